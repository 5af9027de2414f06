#!/usr/bin/env python3
"""A real SMTP peer for the mail tests: prints its port, then writes each message it
receives, parsed by Python's MIME parser, as JSON files message-N.json into the folder given."""
import base64
import email
import email.policy
import json
import os
import socket
import sys
import time

from aiosmtpd.controller import Controller


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


controller = Controller(Keeper(sys.argv[1]), hostname="127.0.0.1", port=free_port())
controller.start()
print(controller.port, flush=True)
# Runs until the test closes our standard input.
sys.stdin.read()
controller.stop()
