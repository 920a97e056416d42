#!/usr/bin/env python3
"""A web service for tests: answers from a table and records every request.

Usage: httpserver.py TABLE.json RECORD.jsonl
TABLE: {"routes": {"/path": {"status": 200, "lines": ["..."]}},
        "proxy": {"user": "u", "password": "p"}}   (proxy: optional)
Listens on 127.0.0.1 at a port the system picks and prints it on one line.
Each request becomes one JSON line of RECORD before it is answered.
"""
import base64
import http.server
import json
import sys
import urllib.parse

table_path, record_path = sys.argv[1], sys.argv[2]
with open(table_path, encoding="utf-8") as f:
    table = json.load(f)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length).decode("latin-1")
        with open(record_path, "a", encoding="utf-8") as record:
            record.write(json.dumps({"requestline": self.requestline, "path": self.path,
                                     "headers": {k.lower(): v for k, v in self.headers.items()},
                                     "body": body}) + "\n")
        proxy = table.get("proxy")
        path = self.path
        if proxy is not None:
            if not path.startswith("http://"):
                return self.answer(400, ["not the absolute form"])
            wanted = "Basic " + base64.b64encode(
                (proxy["user"] + ":" + proxy["password"]).encode()).decode()
            if self.headers.get("Proxy-Authorization") != wanted:
                return self.answer(407, ["proxy credentials wanted"],
                                   {"Proxy-Authenticate": 'Basic realm="test"'})
            path = urllib.parse.urlsplit(path).path
        route = table["routes"].get(path)
        if route is None:
            return self.answer(404, ["no such page"])
        self.answer(route["status"], route["lines"])

    def answer(self, status, lines, headers=None):
        data = "".join(line + "\n" for line in lines).encode("latin-1")
        self.send_response(status)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
