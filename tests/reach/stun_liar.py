# stun_liar.py HOST:PORT LIE: a STUN server that lies, for media_path.sh.
# Every binding request, a CHANGE-REQUEST'd one too, gets a binding success
# from where it was sent, its XOR-MAPPED-ADDRESS the asker's own and no
# OTHER-ADDRESS, but for the one LIE: other=HOST:PORT names that as
# OTHER-ADDRESS, mapped=HOST:PORT gives that as XOR-MAPPED-ADDRESS. Prints
# "ready" once it listens.
import socket, struct, sys

COOKIE = 0x2112A442


def endpoint(host, port):
    return struct.unpack("!I", socket.inet_aton(host))[0], int(port)


def address(kind, where, mask=0):
    number, port = where
    return struct.pack("!HHBBHI", kind, 8, 0, 1, port ^ (mask >> 16), number ^ mask)


def answer(request, asker):
    kind, told = sys.argv[2].split("=")
    told = endpoint(*told.rsplit(":", 1))
    attributes = address(0x0020, told if kind == "mapped" else endpoint(*asker), COOKIE)
    if kind == "other":
        attributes += address(0x802C, told)
    return struct.pack("!HHI", 0x0101, len(attributes), COOKIE) + request[8:20] + attributes


host, port = sys.argv[1].rsplit(":", 1)
udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
udp.bind((host, int(port)))
print("ready", flush=True)
while True:
    request, asker = udp.recvfrom(1500)
    if len(request) >= 20 and struct.unpack("!HHI", request[:8]) == (1, len(request) - 20, COOKIE):
        udp.sendto(answer(request, asker), asker)
