#!/bin/sh
# The built Setup as a decoder that we did not write reads it: tshark's
# Q.931 and H.225.0 dissectors, on a TCP segment to port 1720.
#
#   setup_decode.sh H323_DRIVER BASE
set -eu

rig_lib=$(cd "$(dirname "$0")/../lib" && pwd)
. "$rig_lib/use.sh"

command -v tshark >/dev/null && command -v text2pcap >/dev/null || skip "tshark is not installed"
rig_begin "$2"
echo "000000 $("$1" setup 192.0.2.10 40001 | sed 's/../& /g')" >"$rig_dir/setup.txt"
text2pcap -q -T 40002,1720 "$rig_dir/setup.txt" "$rig_dir/setup.pcap"

while read -r field value; do
    expect "$field" "$(tshark -r "$rig_dir/setup.pcap" -T fields -e "$field" 2>/dev/null)" "$value"
done <<'FIELDS'
q931.disc                         0x08
q931.message_type                 0x05
q931.call_ref                     4d56
q931.information_transfer_capability 0x08
q931.uil1                         0x05
q931.user.protocol_discriminator  0x05
h225.protocolIdentifier           0.0.8.2250.0.4
h225.h245Ip                       192.0.2.10
h225.h245IpPort                   40001
h225.terminal_element             1
h225.conferenceID                 00112233-4455-6677-8899-aabbccddeeff
h225.conferenceGoal               0
h225.callType                     0
h225.ipV4                         192.0.2.10
h225.ipV4_port                    40002
h225.guid                         ffeeddcc-bbaa-9988-7766-554433221100
h225.h245Tunnelling               0
h245.forwardLogicalChannelNumber  1,2
h245.dataType                     1,3,1,2
h245.multiplexParameters          4,2,4,2
h245.g711Ulaw64k                  20
h245.qcifMPI                      1
h245.maxBitRate                   3840
h245.sessionID                    1,2
h245.ip4_network                  192.0.2.10,192.0.2.10,192.0.2.10,192.0.2.10
h245.tsapIdentifier               40010,40011,40020,40021
FIELDS
expect "packets with a malformed or expert mark" \
    "$(tshark -r "$rig_dir/setup.pcap" -Y '_ws.malformed or _ws.expert' 2>/dev/null | wc -l)" 0
echo "PASS"
