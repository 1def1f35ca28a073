"""Clients of the shipped Setup echo at 192.0.2.1, as tests/service/h323.sh
runs them: tcp FROM HEX[,HEX...] CALLEE, udp FROM HEX, flood FROM[,FROM...]
COUNT HOLD, stream FROM HEX SECONDS, order SOCKET ADDRESS PORT, hold FROM COUNT."""
import contextlib
import socket
import sys
import threading
import time

SERVER = "192.0.2.1"
TOKEN = b"00112233445566778899aabbccddeeff\n"  # the Setups' conferenceID
REPLY = b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 33\r\n\r\n" + TOKEN


# FROM's ports 40001 and 40002 while FROM sends to 1720, each called at
# most once. Once called: answer sends, as marvoly does on both, an HTTP
# answer with the token when what it heard held it; babble 300 bytes
# without it, trickle a byte every half second, silent nothing; none does
# not listen. All but answer hold the call 5 s more.
def callee(address, behaviour, ready):
    listeners = [socket.create_server((address, port)) for port in (40001, 40002)]
    for listener in listeners:
        listener.settimeout(6)
        threading.Thread(target=called, args=(listener, behaviour), daemon=True).start()
    ready.set()


def called(listener, behaviour):
    with listener, contextlib.suppress(OSError):
        call = listener.accept()[0]
        heard = call.recv(256)
        steps = {"answer": [(0, REPLY if TOKEN.strip() in heard else b"")], "babble": [(0, b"x" * 300)],
                 "trickle": [(0.5, b"x")] * 10}.get(behaviour, [])
        for delay, data in steps + [(0 if behaviour == "answer" else 5, b"")]:
            time.sleep(delay)
            call.send(data)


def send(connection, pieces):
    with contextlib.suppress(OSError):
        for i, piece in enumerate(pieces.split(",")):
            time.sleep(0.5 if i else 0)
            connection.send(bytes.fromhex(piece))


# The pieces 0.5 s apart; prints the answer and "closed MS", when it
# closed, or "refused".
def tcp(address, pieces, behaviour):
    ready = threading.Event()
    if behaviour != "none":
        threading.Thread(target=callee, args=(address, behaviour, ready), daemon=True).start()
        ready.wait()
    try:
        connection = socket.create_connection((SERVER, 1720), 8, (address, 0))
    except ConnectionRefusedError:
        print("refused")
        return
    started = time.monotonic()
    threading.Thread(target=send, args=(connection, pieces), daemon=True).start()
    answer = b""
    with contextlib.suppress(OSError):
        while data := connection.recv(4096):
            answer += data
    print(answer.decode() + "closed %d" % ((time.monotonic() - started) * 1000))


def udp(address, data):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
        client.bind((address, 0))
        client.settimeout(1)
        client.sendto(bytes.fromhex(data), (SERVER, 1719))
        with contextlib.suppress(OSError):
            print(client.recv(64).decode(), end="")


def closed(connection):
    connection.setblocking(False)
    try:
        return connection.recv(1) == b""
    except BlockingIOError:
        return False
    except OSError:
        return True


def opened(address):
    with contextlib.suppress(ConnectionRefusedError):
        return socket.create_connection((SERVER, 1720), 8, (address, 0))
    return None


# COUNT silent connections from each address, held HOLD s: prints how many
# were refused, how many were closed within half a second, and by the end.
def flood(addresses, count, hold):
    started = time.monotonic()
    connections = [opened(address) for address in addresses.split(",") for _ in range(int(count))]
    taken = [connection for connection in connections if connection is not None]
    time.sleep(0.5)
    soon = sum(closed(connection) for connection in taken)
    time.sleep(max(0, float(hold) - (time.monotonic() - started)))
    print(len(connections) - len(taken), soon, sum(closed(connection) for connection in taken))


def stream_one(address, setup, until):
    with contextlib.suppress(OSError), socket.create_connection((SERVER, 1720), 8, (address, 0)) as connection:
        connection.sendall(bytes.fromhex(setup))
        connection.settimeout(0.2)
        junk = b"x" * 65536
        while time.monotonic() < until:
            with contextlib.suppress(socket.timeout):
                connection.send(junk)


# Four connections from FROM, each a Setup and then as much as it takes for
# SECONDS, while FROM's H.245 port keeps silent.
def stream(address, setup, seconds):
    ready = threading.Event()
    threading.Thread(target=callee, args=(address, "silent", ready), daemon=True).start()
    ready.wait()
    until = time.monotonic() + float(seconds)
    threads = [threading.Thread(target=stream_one, args=(address, setup, until)) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


# An order told straight to the call-back socket: prints whether ADDRESS
# at PORT was called.
def order(path, address, port):
    with socket.create_server((address, int(port))) as listener, \
            socket.socket(socket.AF_UNIX) as teller:
        listener.settimeout(1)
        teller.connect(path)
        teller.send(("%s %s %s" % (address, port, TOKEN.decode())).encode())
        try:
            listener.accept()[0].close()
            print("called")
        except socket.timeout:
            print("not called")


# COUNT held connections from FROM, each pinged once: what each answered.
def hold(address, count):
    for connection in [socket.create_connection((SERVER, 1720), 2, (address, 0)) for _ in range(int(count))]:
        heard = b""
        with contextlib.suppress(OSError):
            for line in (b"hold\n", b"ping\n"):
                connection.send(line)
                heard += connection.recv(64)
        print(heard.decode().replace("\n", " ").strip() or "closed")


{"tcp": tcp, "udp": udp, "flood": flood, "stream": stream, "order": order, "hold": hold}[sys.argv[1]](*sys.argv[2:])
