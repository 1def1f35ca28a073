# rogue_upnp.py MODE ADDRESS: a UPnP device for the deep rig that answers
# every discovery search on the LAN address ADDRESS and serves its
# description at http://ADDRESS:5000/ as MODE says: slow (a byte every 4 s,
# without end), huge (200 MiB), or elsewhere (a gateway device's, from a host
# that is not the default gateway).
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
        while mode == "slow":
            self.wfile.write(b"<")
            self.wfile.flush()
            time.sleep(4)
        for _ in range(3200 if mode == "huge" else 1):
            self.wfile.write(b" " * 65536 if mode == "huge" else GATEWAY)


server = http.server.ThreadingHTTPServer((address, 5000), Description)
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
