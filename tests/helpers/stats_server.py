#!/usr/bin/env python3
"""A statistics endpoint on loopback for tests.

Binds 127.0.0.1 on a free port, prints the port on the first line of standard output,
and appends every request to LOG as one JSON line {"method", "path", "userAgent"}
(path with its query, exactly as sent), written before the answer goes out.

  stats_server.py LOG                      answers every request with 204
  stats_server.py --silent-server LOG      records requests but never answers
  --seconds N                              ends by itself after N seconds (for callers
                                           that cannot stop it, such as a Windows test)
"""
import argparse
import json
import os
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# Descriptors inherited past standard error (a test runner's pipes, its log) would keep the
# runner waiting for as long as the server lives.
os.closerange(3, os.sysconf("SC_OPEN_MAX"))
parser = argparse.ArgumentParser()
parser.add_argument("log")
parser.add_argument("--silent-server", action="store_true")
parser.add_argument("--seconds", type=float)
args = parser.parse_args()
log_lock = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    def handle_request_line(self):
        record = {"method": self.command, "path": self.path, "userAgent": self.headers.get("User-Agent")}
        with log_lock, open(args.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(record) + "\n")
        if args.silent_server:
            threading.Event().wait()  # holds the connection open until the server ends
        self.send_response(204)
        self.end_headers()

    do_GET = do_POST = do_HEAD = do_PUT = handle_request_line

    def log_message(self, *unused):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
if args.seconds:
    threading.Timer(args.seconds, os._exit, [0]).start()
server.serve_forever()
