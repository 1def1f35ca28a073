// The Setup echo on TCP 1720, its H.245 call-back, and the gatekeeper
// port's echo on UDP 1719 (marvoly-h323.conf).
//
// On 1720 a client sends one TPKT-framed message (version 3, reserved 0, a
// 16-bit big-endian length that counts the 4 header bytes, at most 1 KiB)
// and gets two lines:
//
//   echo <the message's bytes exactly as they arrived, lowercase hex>
//   h245 reached | h245 unreached | h245 not-tried
//
// The second line tells whether the caller's own address, at the H.245
// port that the message names, took a connection from here and answered
// with the conference token. marvoly sends an H.225.0 Setup as
// src/h323/setup_message.cpp builds it; the fields are found in it as laid
// out there:
//
//   TPKT header (4 bytes)
//   Q.931: 0x08, the call reference's length (low 4 bits) and value,
//     message type 0x05 (Setup), information elements: one byte each with
//     the high bit set, else identifier, length, contents; up to
//   user-user: 0x7e, a 2-byte length, 0x05, then H323-UserInformation in
//     aligned PER, from its first byte u:
//   u+0     0x00 or 0x20     no user-data; the body is a Setup
//   u+1     0x40 or 0xc0     of the Setup's optional root fields only
//                            h245Address
//   u+2     N                protocolIdentifier's length, N bytes follow
//   a=u+3+N 0x00             h245Address is an IPv4 address:
//   a+1     4 bytes          the address (never used here)
//   a+5     2 bytes          the port, big-endian
//   a+7     0x02             sourceInfo: a terminal, nothing else
//   a+8     1 byte           flags
//   a+9     16 bytes         conferenceID: the token
//
// A message laid out otherwise gets its echo and "h245 not-tried", as does
// a port below 1024 and a caller that may not be called
// ($marvoly_callable, marvoly-callers.conf). The call goes to the address
// the connection came from, never to one written in the message: it sends
// the token as 32 lowercase hex digits and a newline, reads at most 256
// bytes for 3 s in all, and counts as reached when they hold the token.
// Nothing of that reply is relayed.
//
// A client that sends "hold\n" instead gets "held\n" and the connection is
// kept, silent, for 4 minutes at most; every "ping\n" on it is answered
// "pong\n", so that the client learns whether a router on the way still
// carries a connection that was idle. Anything else ends it, and so does
// a third held connection of one caller, before its answer.
//
// On 1719 a datagram of at least 16 bytes is answered with one line, the
// caller's address (the server block's return).

const kMessageLimit = 1024;
const kReplyLimit = 256;
const kCallBackMs = 3000;
const kControlLimit = 16; // "control 65535\n" and a little more
const kShortestDatagram = 16; // "255.255.255.255\n"

// --- the Setup echo (port 1720)

// The message's length once its header is there, 0 before, -1 when the
// header is none of TPKT's.
function messageLength(data) {
    if (data.length < 4) {
        return 0;
    }
    const length = data.readUInt16BE(2);
    return data[0] !== 3 || data[1] !== 0 || length < 4 || length > kMessageLimit ? -1 : length;
}

const kHoldLine = 'hold\n';

// Waits for the whole message, or the held mode's line; anything else
// closes the connection.
function readSetup(s) {
    s.on('upstream', (data) => {
        const text = data.slice(0, kHoldLine.length).toString();
        if (text === kHoldLine) {
            s.variables.marvoly_h323_mode = 'held';
            s.done();
            return;
        }
        if (data.length < kHoldLine.length && kHoldLine.startsWith(text)) {
            return;
        }
        const length = messageLength(data);
        if (length < 0) {
            s.deny();
        } else if (length > 0 && data.length >= length && afterMessage(data, length) !== null) {
            s.done();
        }
    });
}

// The start of the H323-UserInformation, or -1.
function userInformation(m) {
    if (m[4] !== 0x08) {
        return -1;
    }
    let i = 6 + (m[5] & 0x0f);
    if (m[i] !== 0x05) {
        return -1;
    }
    for (i += 1; i + 1 < m.length && m[i] !== 0x7e; i += m[i] & 0x80 ? 1 : 2 + m[i + 1]) {
    }
    return i + 4 < m.length && m[i] === 0x7e && m[i + 3] === 0x05 ? i + 4 : -1;
}

// The H.245 port and the token, or null.
function setupFields(m) {
    const u = userInformation(m);
    if (u < 0 || u + 3 > m.length || (m[u] & 0xdf) !== 0 || (m[u + 1] & 0x7f) !== 0x40) {
        return null;
    }
    const a = u + 3 + m[u + 2];
    if (a + 25 > m.length || m[a] !== 0 || m[a + 7] !== 0x02) {
        return null;
    }
    return {port: m.readUInt16BE(a + 5), token: m.slice(a + 9, a + 25).toString('hex')};
}

// A port the calls may go to, written in decimal without a leading zero:
// never below 1024, where the caller's own services are.
function callablePort(text) {
    return /^[1-9][0-9]{3,4}$/.test(text) && Number(text) >= 1024 && Number(text) <= 65535;
}

// The bytes after the message, once they are all in: none, or the control
// line with its newline, or more than a line's worth (a bad one); null
// while a line may still be coming.
function afterMessage(data, length) {
    const rest = data.slice(length);
    const whole = rest.length === 0 || rest.length > kControlLimit || rest.indexOf('\n') >= 0;
    return whole ? rest : null;
}

// The control line's port: 0 without a line, -1 for one that is not
// "control PORT\n" with a port that may be called.
function controlPort(rest) {
    if (rest.length === 0) {
        return 0;
    }
    const line = /^control ([0-9]+)\n/.exec(rest.slice(0, kControlLimit).toString());
    return line !== null && callablePort(line[1]) ? Number(line[1]) : -1;
}

// What the call-back server below is told: the caller's own address, the
// port and the token; null when no call is to be made.
function callBackOrder(s, fields) {
    if (s.variables.marvoly_callable !== '1' || fields === null || fields.port < 1024) {
        return null;
    }
    return s.variables.remote_addr + ' ' + fields.port + ' ' + fields.token + '\n';
}

// One verdict of one Setup's calls; once every line wanted has one, they
// go out together. A call-back server still there is then told to end the
// call, and its close ends this connection.
function settle(call, name, verdict) {
    if (call.over || call.verdicts[name] !== undefined) {
        return;
    }
    call.verdicts[name] = verdict;
    if (call.names.some((line) => call.verdicts[line] === undefined)) {
        return;
    }
    call.over = true;
    clearTimeout(call.timer);
    call.s.sendDownstream(call.names.map((line) => line + ' ' + call.verdicts[line] + '\n').join(''),
                          {flush: true});
    if (!call.closed) {
        call.s.sendUpstream('end\n', {flush: true});
    }
}

function settleAll(call, verdict) {
    call.names.forEach((line) => settle(call, line, verdict));
}

// The control call, an HTTP GET of the token from the caller's own
// address at the control line's port; the H.245 call follows it (a call
// over the socket ends this connection when it ends, so it goes last).
function callControl(call, port, token, order) {
    const url = 'http://' + call.s.variables.remote_addr + ':' + port + '/marvoly/' + token;
    ngx.fetch(url, {buffer_size: kReplyLimit, max_response_body_size: kReplyLimit})
        .then((reply) => reply.text())
        .then((text) => text.indexOf(token) >= 0, () => false)
        .then((reached) => {
            settle(call, 'control', reached ? 'reached' : 'unreached');
            if (!call.over) {
                call.s.sendUpstream(order, {flush: true});
            }
        });
}

// The echo at once; then the calls, and their verdicts at 3 s at the
// latest: "reached" as soon as the callee answered, "unreached" when the
// call ends without.
function startCalls(call, data) {
    const length = messageLength(data);
    const message = data.slice(0, length);
    const fields = setupFields(message);
    const order = callBackOrder(call.s, fields);
    const port = controlPort(data.slice(length));
    call.names = port === 0 ? ['h245'] : ['h245', 'control'];
    call.s.sendDownstream('echo ' + message.toString('hex') + '\n', {flush: true});
    if (order === null) {
        settleAll(call, 'not-tried');
        return;
    }
    call.timer = setTimeout(() => settleAll(call, 'unreached'), kCallBackMs);
    if (port > 0) {
        callControl(call, port, fields.token, order);
        return;
    }
    settle(call, 'control', 'not-tried');
    call.s.sendUpstream(order, {flush: true});
}

// A held connection goes on to the held server, named by its caller's
// address in the PROXY protocol's line before the first of its own.
function passHeld(s) {
    const v = s.variables;
    let line = `PROXY TCP4 ${v.remote_addr} ${v.server_addr} ${v.remote_port} ${v.server_port}\r\n`;
    // One piece: what is sent apart from the data passing goes after it.
    s.on('upstream', (data, flags) => {
        s.send(Buffer.concat([Buffer.from(line), data]), flags);
        line = '';
    });
}

// The held server's answers, a line for each line; the connection itself
// goes on to a server that closes it at 4 minutes (marvoly-h323.conf).
function holdCall(s) {
    s.on('upstream', (data) => {
        const lines = data.toString().split('\n');
        if (data.length > 64 || lines.pop() !== '' ||
            lines.some((line) => line !== 'hold' && line !== 'ping')) {
            hangUp();
        }
        s.sendDownstream(lines.map((line) => (line === 'hold' ? 'held\n' : 'pong\n')).join(''),
                         {flush: true});
    });
}

function answerSetup(s) {
    if (s.variables.marvoly_h323_mode === 'held') {
        passHeld(s);
        return;
    }
    const call = {s: s, names: null, verdicts: {}, timer: null, over: false, closed: false};
    s.on('upstream', (data) => {
        if (call.names === null) {
            startCalls(call, data);
        }
    });
    s.on('downstream', (data, flags) => {
        call.closed = flags.last;
        if (data.toString().indexOf('reached') >= 0) {
            settle(call, 'h245', 'reached');
        }
        if (flags.last) {
            settleAll(call, 'unreached');
        }
    });
}

// --- the call-back (the server on this host's socket)

// The order from the Setup echo: "ADDRESS PORT TOKEN\n"; "end\n" and
// anything else close the connection. The socket is nginx's alone, but
// what it is told is checked as the Setup echo checked it all the same: a
// caller that may be called ($marvoly_callable of that address), a port
// that may be called.
function readCallBack(s) {
    s.on('upstream', (data) => {
        if (data.indexOf('\n') < 0) {
            return;
        }
        const order = /^([0-9.]{7,15}) ([0-9]+) ([0-9a-f]{32})\n/.exec(data);
        if (order !== null) {
            s.variables.marvoly_caller_address = order[1];
        }
        if (order === null || !callablePort(order[2]) || s.variables.marvoly_callable !== '1') {
            s.deny();
            return;
        }
        s.variables.marvoly_h245_peer = order[1] + ':' + order[2];
        s.variables.marvoly_h245_token = order[3];
        s.done();
    });
}

// njs has no call that closes a stream connection, but an exception thrown
// while data passes ends it, the other side too; this block's error log,
// where nginx would note it, is /dev/null.
function hangUp() {
    throw new Error('the call-back is over');
}

// Sends the token instead of the order, and tells the Setup echo "reached"
// once the reply holds it; 256 bytes without it, or the Setup echo's
// word, end the call.
function callBack(s) {
    const token = s.variables.marvoly_h245_token;
    let called = false;
    let reached = false;
    let heard = Buffer.alloc(0);
    s.on('upstream', () => {
        if (called) {
            hangUp();
        }
        called = true;
        s.send(token + '\n', {flush: true});
    });
    s.on('downstream', (data) => {
        if (reached) {
            return;
        }
        heard = Buffer.concat([heard, data]).slice(0, kReplyLimit);
        reached = heard.indexOf(token) >= 0;
        if (reached) {
            s.send('reached\n', {flush: true});
        } else if (heard.length >= kReplyLimit) {
            hangUp();
        }
    });
}

// The held connection's far end: waits for data that the Setup echo never
// passes on, until preread_timeout closes it.
function holdSilently(s) {
    s.on('upstream', () => {});
}

// --- the gatekeeper port (UDP 1719)

function readDatagram(s) {
    s.on('upstream', (data) => {
        if (data.length >= kShortestDatagram) {
            s.done();
        } else {
            s.deny();
        }
    });
}

export default {readSetup, answerSetup, holdCall, holdSilently, readCallBack, callBack, readDatagram};
