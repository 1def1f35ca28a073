"""Datagrams and SYNs from forged sources, and a count of answers, for the
service rigs' per-source limits (run as root in the rig's namespace):
  forge udp|syn DEST PORT COUNT [PAYLOAD_HEX]   one packet from each of
      COUNT random public sources
  fill [IP_PREFIX] FAMILY TABLE SET udp|syn DEST PORT [PAYLOAD_HEX]
      forges until nft's SET (through "ip IP_PREFIX nft" when given) is
      full, within 20 rounds; the path drops some of a burst
  ask FROM DEST PORT COUNT PAYLOAD_HEX          COUNT datagrams from FROM,
      then prints how many were answered within a second of the last"""
import json
import subprocess
import random
import socket
import struct
import sys
import time


def checksum(data):
    data += b"\0" * (len(data) % 2)
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    total = (total >> 16) + (total & 0xffff)
    return ~(total + (total >> 16)) & 0xffff


# A source outside 0/8, 10/8, 127/8 and the multicast and reserved ranges.
def source():
    first = random.choice([n for n in range(1, 224) if n not in (10, 127)])
    return bytes([first, random.randrange(256), random.randrange(256), random.randrange(1, 255)])


def packet(src, dst, port, kind, payload):
    sport = random.randrange(1024, 65536)
    if kind == "udp":
        body = struct.pack("!HHHH", sport, port, 8 + len(payload), 0) + payload
        proto = socket.IPPROTO_UDP
    else:
        body = struct.pack("!HHIIBBHHH", sport, port, random.randrange(1 << 32), 0, 5 << 4, 0x02,
                           65535, 0, 0)
        proto = socket.IPPROTO_TCP
    pseudo = src + dst + struct.pack("!BBH", 0, proto, len(body))
    at = 6 if kind == "udp" else 16
    body = body[:at] + struct.pack("!H", checksum(pseudo + body)) + body[at + 2:]
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(body), 0, 0, 64, proto, 0, src, dst)
    return header + body


def forge(kind, dest, port, count, payload=""):
    dst = socket.inet_aton(dest)
    with socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW) as raw:
        for _ in range(int(count)):
            raw.sendto(packet(source(), dst, int(port), kind, bytes.fromhex(payload)), (dest, 0))


# Answers are read between the sends, as the socket's buffer holds a few
# hundred.
def ask(address, dest, port, count, payload):
    answered = 0
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
        client.bind((address, 0))
        client.setblocking(False)
        for _ in range(int(count)):
            client.sendto(bytes.fromhex(payload), (dest, int(port)))
            answered += drain(client)
        time.sleep(1)
        answered += drain(client)
    print(answered)


def drain(client):
    got = 0
    try:
        while client.recv(2048):
            got += 1
    except BlockingIOError:
        pass
    return got


def elements(nft, family, table, name):
    listing = subprocess.run(nft + ["-j", "list", "set", family, table, name], check=True,
                             capture_output=True, timeout=20).stdout
    found = [item["set"] for item in json.loads(listing)["nftables"] if "set" in item][0]
    return len(found.get("elem", [])), found["size"]


def fill(*args):
    nft = ["ip"] + args[0].split() + ["nft"] if args[0].startswith("netns") else ["nft"]
    family, table, name, *packets = args[1:] if nft != ["nft"] else args
    for _ in range(20):
        held, size = elements(nft, family, table, name)
        if held >= size:
            return
        forge(packets[0], packets[1], packets[2], size - held + 1000, *packets[3:])
    sys.exit("the set %s did not fill" % name)


{"forge": forge, "fill": fill, "ask": ask}[sys.argv[1]](*sys.argv[2:])
