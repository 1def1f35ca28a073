#!/usr/bin/env python3
"""An echo page server that acknowledges late, as many servers do (delayed
ACK): quick acknowledgements are switched off again after every receive.
Serves the echo page to each connection until stopped.

    delayed_ack_peer.py PORT
"""
import socket
import sys

PAGE = (b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
        b"<html><head><title>IP address</title></head><body>127.0.0.1</body></html>\n")


def main():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", int(sys.argv[1])))
    listener.listen(8)
    print("listening", flush=True)
    while True:
        connection, _ = listener.accept()
        connection.settimeout(10)
        request = b""
        try:
            while b"\r\n\r\n" not in request:
                connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 0)
                chunk = connection.recv(4096)
                if not chunk:
                    break
                request += chunk
            connection.sendall(PAGE)
        except OSError:
            pass
        connection.close()


if __name__ == "__main__":
    main()
