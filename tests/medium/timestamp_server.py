#!/usr/bin/python3
"""An RFC 3161 timestamp server for the tests: each request POSTed over HTTP
is answered by openssl ts -reply with the TSA section of the given openssl
configuration. Listens on 127.0.0.1 at a port the system picks and prints
it; ends when the process that started it ends.

    timestamp_server.py <openssl configuration>
"""
import http.server
import os
import subprocess
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True)
        self.send_response(200 if reply.returncode == 0 else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


parent = os.getppid()
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
server.timeout = 0.2
print(server.server_address[1], flush=True)
while os.getppid() == parent:
    server.handle_request()
