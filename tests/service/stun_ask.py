"""Binding requests to a STUN server, for the rigs of the shipped one.

  stun_ask.py ask SOURCE SERVER PORT [FLAGS [PADDING]]
      one request from the local address SOURCE, with CHANGE-REQUEST FLAGS
      (2 the other port, 4 the other address, 6 both) and a PADDING
      attribute of that many bytes when given; prints where the answer came
      from and its addresses ("203.0.113.1:3478 mapped=10.84.0.2:40000
      origin=... other=..."), or "none" after 1 s
  stun_ask.py flood SOURCE SERVER PORT COUNT RATE
      COUNT requests, RATE a second (0: as fast as they go); prints how many
      were answered
"""
import os
import socket
import struct
import sys
import time

COOKIE = 0x2112A442
NAMES = {0x0020: "mapped", 0x802B: "origin", 0x802C: "other"}


def request(flags=0, padding=0):
    attributes = b""
    if flags:
        attributes += struct.pack("!HHI", 0x0003, 4, flags)
    if padding:
        attributes += struct.pack("!HH", 0x0026, padding) + bytes(-(-padding // 4) * 4)
    return struct.pack("!HHI", 0x0001, len(attributes), COOKIE) + os.urandom(12) + attributes


def address(kind, value):
    port, raw = struct.unpack("!H4s", value[2:8])
    if kind == 0x0020:
        port ^= COOKIE >> 16
        raw = bytes(a ^ b for a, b in zip(raw, struct.pack("!I", COOKIE)))
    return "%s:%d" % (socket.inet_ntoa(raw), port)


def describe(answer, source):
    words = ["%s:%d" % source]
    at = 20
    while at + 4 <= len(answer):
        kind, length = struct.unpack("!HH", answer[at:at + 4])
        if kind in NAMES:
            words.append("%s=%s" % (NAMES[kind], address(kind, answer[at + 4:at + 4 + length])))
        at += 4 + -(-length // 4) * 4
    return " ".join(words)


def main(mode, source, server, port, *rest):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 22)
    s.bind((source, 0))
    target = (server, int(port))
    if mode == "ask":
        s.settimeout(1)
        s.sendto(request(*map(int, rest)), target)
        try:
            print(describe(*s.recvfrom(2048)))
        except socket.timeout:
            print("none")
        return
    count, rate = int(rest[0]), float(rest[1])
    message = request()
    start = time.monotonic()
    for sent in range(1, count + 1):
        s.sendto(message, target)
        if rate:
            time.sleep(max(0.0, start + sent / rate - time.monotonic()))
    s.settimeout(0.5)
    answered = 0
    try:
        while True:
            s.recvfrom(2048)
            answered += 1
    except socket.timeout:
        print(answered)


main(*sys.argv[1:])
