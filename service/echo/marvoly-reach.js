// The call-back page: GET /firewall/reach.tpl?token=T asks whether the
// caller's own TCP port 1720 takes a connection from here. The page opens
// one connection to the address the request came from, port 1720 and no
// other, sends "GET /marvoly/T", and answers "<body>reachable" only when
// the reply holds T; anything else, a refusal, silence or a reply without
// T, is "<body>unreachable". Nothing of the reply is sent back, and nothing
// but the request's own address is ever called, so the page tells a caller
// only about itself.

// Read at most this much of the reply, headers and body; the block's
// js_fetch_timeout bounds the whole call.
const kReplyLimit = 256;

function page(verdict) {
    return '<html><head><title>Call-back</title></head><body>' + verdict + '</body></html>\n';
}

function calledBack(address, token) {
    return ngx.fetch('http://' + address + ':1720/marvoly/' + token,
                     {buffer_size: kReplyLimit, max_response_body_size: kReplyLimit})
        .then((reply) => reply.text())
        .then((text) => text.indexOf(token) >= 0, () => false);
}

function answer(r) {
    if (r.method !== 'GET' && r.method !== 'HEAD') {
        r.return(405);
        return;
    }
    const token = r.args.token;
    const address = r.variables.remote_addr;
    // A token of exactly 16 hex digits, and an IPv4 caller: the only URL
    // this page can ever fetch is http://CALLER:1720/marvoly/HEX. The caller
    // must be one that may be called (marvoly-callers.conf): never this host
    // itself, 0.0.0.0 (which is this host too), a broadcast or multicast
    // address, nor a private one unless the operator allows it; without
    // that file's variable, no one.
    if (typeof token !== 'string' || !/^[0-9a-fA-F]{16}$/.test(token) ||
        !/^[0-9]{1,3}(\.[0-9]{1,3}){3}$/.test(address) ||
        r.variables.marvoly_callable !== '1') {
        r.return(400);
        return;
    }
    calledBack(address, token).then((reached) => {
        r.headersOut['Content-Type'] = 'text/html';
        r.return(200, page(reached ? 'reachable' : 'unreachable'));
    });
}

export default {answer};
