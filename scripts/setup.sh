#!/bin/sh
# Installs what Marvoly needs to build, run and test on Debian 12
# (--run-only: to build and run; --bench: what the benchmarks add). Packages
# that are already there are left alone.
set -eu

packages="cmake ninja-build g++ googletest libncurses-dev libminiupnpc-dev libnatpmp-dev
  miniupnpd-iptables libnginx-mod-http-js libnginx-mod-stream-js tshark
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  clang-format clang-14 libclang-rt-14-dev python3 python3-jsonschema
  wine wine64 fonts-wine imagemagick xvfb xauth
  nginx-light haproxy curl iproute2 iptables nftables conntrack coturn tmux util-linux procps time
  dpkg-dev file lintian groff-base man-db chromium"
case "${1-}" in
--run-only) packages="cmake ninja-build g++ libncurses-dev libminiupnpc-dev libnatpmp-dev binutils-mingw-w64-x86-64 mingw-w64-common xdg-utils" ;;
# The benchmarks compare with libcurl, watch the wire and load the echo page.
--bench) packages="libcurl4-openssl-dev tshark wrk" ;;
esac

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
