# hold.py FROM HOST:PORT COUNT [PREFIX]: COUNT requests from FROM, each sent
# up to half its header after PREFIX (printf's escapes). Prints how many the
# server holds half a second later; fails if it holds any 6 s after that.
import select, socket, sys, time

host, port = sys.argv[2].rsplit(":", 1)
half = (sys.argv[4] if len(sys.argv) > 4 else "").encode().decode("unicode_escape").encode()
held = [socket.socket() for _ in range(int(sys.argv[3]))]
poller = select.poll()  # what was closed, reset or refused reads as ready
for c in held:
    c.bind((sys.argv[1], 0))
    c.settimeout(1)
    poller.register(c, select.POLLIN)
    try:
        c.connect((host, int(port)))
        c.send(half + b"GET /firewall/ip.tpl HTTP/1.0\r\n")
    except OSError:
        pass
time.sleep(0.5)
print(len(held) - len(poller.poll(0)), flush=True)
time.sleep(6)
sys.exit(len(poller.poll(0)) != len(held))
