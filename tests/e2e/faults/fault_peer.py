#!/usr/bin/env python3
"""An echo host that misbehaves in one chosen way, for every connection,
until it is stopped:

    fault_peer.py PORT FAULT

FAULT is one of the keys of FAULTS below. The peer listens on 127.0.0.1,
reads each request up to its empty line, answers as the fault says, and
appends one line per connection to stdout. Every wait of its own is bounded.
"""
import socket
import struct
import sys
import threading

HEADER = b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
PAGE = b"<html><head><title>IP address</title></head><body>%s</body></html>\n"
WAIT_S = 60  # a client silent this long is given up on

# Each fault: the bytes to send, then how the connection ends.
FAULTS = {
    "reset-in-header": (b"HTTP/1.0 200 OK\r\nContent-Ty", "reset"),
    "reset-in-body": (HEADER + b"<html><head><title>IP address</title></head><body>127.0", "reset"),
    "silent": (b"", "stall"),
    "endless-body": (HEADER + b"<html><body>", "endless"),
    "marker-in-capitals": (HEADER + b"<HTML><BODY>127.0.0.1</BODY></HTML>\n", "close"),
    "nul-before-marker": (HEADER + b"<html>\0" + PAGE % b"127.0.0.1", "close"),
    "three-numbers": (HEADER + PAGE % b"127.0.1", "close"),
}


def read_request(connection):
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        chunk = connection.recv(4096)
        if not chunk:
            break
        data += chunk


def serve(connection, answer, ending):
    connection.settimeout(WAIT_S)
    try:
        read_request(connection)
        connection.sendall(answer)
        if ending == "reset":
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        elif ending == "stall":
            while connection.recv(4096):
                pass
        elif ending == "endless":
            filler = b"x" * 65536
            while True:
                connection.sendall(filler)
        else:
            connection.shutdown(socket.SHUT_WR)
            while connection.recv(4096):
                pass
    except OSError:
        pass
    finally:
        connection.close()


def main():
    port, fault = int(sys.argv[1]), sys.argv[2]
    answer, ending = FAULTS[fault]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    print("listening", port, fault, flush=True)
    while True:
        connection, _ = listener.accept()
        print("connection", fault, flush=True)
        threading.Thread(target=serve, args=(connection, answer, ending), daemon=True).start()


if __name__ == "__main__":
    main()
