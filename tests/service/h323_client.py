"""One client of the shipped H.323 echo, and the caller's H.245 port.

    h323_client.py tcp FROM HEX[,HEX...] CALLEE
    h323_client.py udp FROM HEX
    h323_client.py flood FROM COUNT

tcp sends the bytes from address FROM to port 1720 of 192.0.2.1, the
pieces 0.5 s apart, while FROM's port 40001 is CALLEE: answer (replies
with the token that tests/service/h323.sh puts in the Setup, when it hears
it), silent (takes the call and says nothing), trickle (a byte without the
token every half second), babble (300 bytes without it) or none (nothing
listens). It prints what came back and, on a last line, after how many
milliseconds the connection was closed. udp prints the answer to one
datagram to port 1719, or nothing. flood opens COUNT connections at once,
says nothing on them, and prints how many were closed within half a second.
"""
import socket
import sys
import threading
import time

SERVER = "192.0.2.1"
TOKEN = b"00112233445566778899aabbccddeeff\n"


def callee(address, behaviour, ready):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, 40001))
    listener.listen(1)
    listener.settimeout(6)
    ready.set()
    try:
        call = listener.accept()[0]
        heard = call.recv(64)
        call.sendall({"answer": TOKEN if heard == TOKEN else b"", "babble": b"x" * 300}.get(behaviour, b""))
        for _ in range(10 if behaviour == "trickle" else 0):
            time.sleep(0.5)
            call.send(b"x")
        time.sleep(5 if behaviour in ("silent", "babble") else 0.2)
        call.close()
    except OSError:
        pass
    listener.close()


def send(connection, pieces):
    for i, piece in enumerate(pieces.split(",")):
        time.sleep(0.5 if i else 0)
        try:
            connection.sendall(bytes.fromhex(piece))
        except OSError:
            return


def tcp(address, pieces, behaviour):
    ready = threading.Event()
    if behaviour != "none":
        threading.Thread(target=callee, args=(address, behaviour, ready), daemon=True).start()
        ready.wait()
    connection = socket.create_connection((SERVER, 1720), timeout=8, source_address=(address, 0))
    started = time.monotonic()
    threading.Thread(target=send, args=(connection, pieces), daemon=True).start()
    answer = b""
    while True:
        try:
            data = connection.recv(4096)
        except OSError:
            data = b""
        if not data:
            break
        answer += data
    sys.stdout.write(answer.decode("latin1"))
    print("closed %d" % ((time.monotonic() - started) * 1000))


def udp(address, data):
    client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    client.bind((address, 0))
    client.settimeout(1)
    client.sendto(bytes.fromhex(data), (SERVER, 1719))
    try:
        sys.stdout.write(client.recv(64).decode("latin1"))
    except OSError:
        pass


def flood(address, count):
    connections = [socket.create_connection((SERVER, 1720), source_address=(address, 0))
                   for _ in range(int(count))]
    time.sleep(0.5)
    closed = 0
    for connection in connections:
        connection.setblocking(False)
        try:
            closed += connection.recv(1) == b""
        except BlockingIOError:
            pass
    print(closed)


{"tcp": tcp, "udp": udp, "flood": flood}[sys.argv[1]](*sys.argv[2:])
