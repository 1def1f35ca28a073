# rogue_upnp.py MODE ADDRESS: a UPnP device for the deep rig that answers
# every discovery search on the LAN address ADDRESS and serves its
# description at http://ADDRESS:5000/ as MODE says: slow (a byte every 4 s,
# without end), huge (200 MiB), or elsewhere (a gateway device's, from a host
# that is not the default gateway); trickle is slow, and also an echo page on
# port 8080 (where the router sends the LAN's port 80) that answers the
# address page at once and the call-back page a byte every 4 s.
import http.server
import re
import socket
import sys
import threading
import time

mode, address = sys.argv[1:]
SERVICE = "<service><serviceType>urn:schemas-upnp-org:service:%s:1</serviceType></service>"
GATEWAY = (
    "<root><device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
    "<serviceList>%s%s</serviceList></device></root>"
    % (SERVICE % "WANCommonInterfaceConfig", SERVICE % "WANIPConnection")
).encode()


class Description(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.end_headers()
        while mode in ("slow", "trickle"):
            self.wfile.write(b"<")
            self.wfile.flush()
            time.sleep(4)
        for _ in range(3200 if mode == "huge" else 1):
            self.wfile.write(b" " * 65536 if mode == "huge" else GATEWAY)


class EchoPage(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.end_headers()
        if self.path.startswith("/firewall/ip.tpl"):
            self.wfile.write(b"<html><body>11.84.0.1</body></html>\n")
        while self.path.startswith("/firewall/reach.tpl"):
            self.wfile.write(b"<")
            self.wfile.flush()
            time.sleep(4)


for port, handler in [(5000, Description)] + [(8080, EchoPage)] * (mode == "trickle"):
    server = http.server.ThreadingHTTPServer(("0.0.0.0" if port == 8080 else address, port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
search = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
search.bind(("", 1900))
group = socket.inet_aton("239.255.255.250") + socket.inet_aton(address)
search.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, group)
while True:
    question, asker = search.recvfrom(2048)
    for kind in re.findall(rb"(?im)^ST: *(\S+)", question):
        answer = b"HTTP/1.1 200 OK\r\nST: %s\r\nLOCATION: http://%s:5000/\r\nUSN: uuid:rogue::%s\r\n\r\n"
        search.sendto(answer % (kind, address.encode(), kind), asker)
