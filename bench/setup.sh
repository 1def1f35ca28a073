#!/bin/sh
# Installs what the benchmarks use beyond the build: libcurl to compare the
# lookup with, tshark to watch the wire, wrk to load the echo page.
set -eu
packages="libcurl4-openssl-dev tshark wrk"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
