#!/usr/bin/env python3
"""A real SMTP peer for the mail tests: prints its port, then writes each message it
receives, parsed by Python's MIME parser, as JSON files message-N.json into the folder given.

Options after the folder: --starttls CERT KEY (STARTTLS offered and required), --tls CERT
KEY (TLS from the first byte), --auth USER:PASSWORD (AUTH required, over TLS only),
--noauth (no AUTH mechanism offered)."""
import base64
import email
import email.policy
import json
import logging
import os
import socket
import ssl
import sys
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Keeper:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        parts = []
        for part in message.walk():
            if part.is_multipart():
                continue
            payload = part.get_payload(decode=True) or b""
            parts.append({
                "type": part.get_content_type(),
                "charset": part.get_content_charset(),
                "filename": part.get_filename(),
                "data": base64.b64encode(payload).decode("ascii"),
            })
        summary = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "headers": {k: str(v) for k, v in message.items()},
            "defects": [str(d) for d in message.defects],
            "parts": parts,
        }
        self.count += 1
        path = os.path.join(self.folder, "message-%d.json" % self.count)
        with open(path + ".part", "w") as f:
            json.dump(summary, f)
        os.rename(path + ".part", path)
        return "250 Message accepted for delivery"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def server_context(cert, key):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


class Authenticator:
    def __init__(self, user, password):
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == self.user and auth_data.password == self.password
        return AuthResult(success=ok, handled=False)


# The tests read what was received; the server's own advice would only clutter their log.
warnings.simplefilter("ignore")
logging.disable(logging.WARNING)

options = {}
args = sys.argv[2:]
while args:
    name = args.pop(0)
    if name in ("--starttls", "--tls"):
        options[name] = server_context(args.pop(0), args.pop(0))
    elif name == "--auth":
        options[name] = args.pop(0).split(":", 1)
    elif name == "--noauth":
        options[name] = True

settings = dict(hostname="127.0.0.1", port=free_port())
if "--starttls" in options:
    settings.update(tls_context=options["--starttls"], require_starttls=True)
if "--tls" in options:
    settings.update(ssl_context=options["--tls"])
if "--auth" in options:
    # With TLS from the first byte the whole session is encrypted; the server's own
    # "TLS required" rule only knows STARTTLS.
    settings.update(authenticator=Authenticator(*options["--auth"]), auth_required=True,
                    auth_require_tls="--tls" not in options)
if "--noauth" in options:
    settings.update(auth_exclude_mechanism=["LOGIN", "PLAIN"])
controller = Controller(Keeper(sys.argv[1]), **settings)
controller.start()
print(controller.port, flush=True)
# Runs until the test closes our standard input.
sys.stdin.read()
controller.stop()
