#!/usr/bin/env python3
# git http-backend behind a small HTTP server, for the tests: serves the bare repositories
# under ROOT on 127.0.0.1 at a free port, which it prints on its first line; with USER:TOKEN,
# every request must carry them as basic authentication. Ends by itself after LIFETIME
# seconds. Usage: git-http-server.py ROOT LIFETIME [USER:TOKEN]
import base64
import os
import socket
import subprocess
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = sys.argv[1]
LIFETIME = int(sys.argv[2])
LOGIN = sys.argv[3] if len(sys.argv) > 3 else ""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        # The headers and the body go out at once, as a web server sends them.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def do_GET(self):
        self.serve()

    def do_POST(self):
        self.serve()

    def body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                if size == 0:
                    while self.rfile.readline().strip():
                        pass
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        return self.rfile.read(int(self.headers.get("Content-Length") or 0))

    def serve(self):
        data = self.body()
        if LOGIN:
            expected = "Basic " + base64.b64encode(LOGIN.encode()).decode()
            if self.headers.get("Authorization", "") != expected:
                self.send_response(401)
                self.send_header("WWW-Authenticate", 'Basic realm="git"')
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        path, _, query = self.path.partition("?")
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "GIT_PROJECT_ROOT": ROOT,
            "GIT_HTTP_EXPORT_ALL": "1",
            "GATEWAY_INTERFACE": "CGI/1.1",
            "SERVER_PROTOCOL": "HTTP/1.1",
            "REQUEST_METHOD": self.command,
            "PATH_INFO": path,
            "QUERY_STRING": query,
            "CONTENT_TYPE": self.headers.get("Content-Type", ""),
            "CONTENT_LENGTH": str(len(data)),
            "REMOTE_USER": "tester",
            "REMOTE_ADDR": "127.0.0.1",
        }
        if self.headers.get("Content-Encoding"):
            env["HTTP_CONTENT_ENCODING"] = self.headers["Content-Encoding"]
        if self.headers.get("Git-Protocol"):
            env["GIT_PROTOCOL"] = self.headers["Git-Protocol"]
        out = subprocess.run(["git", "http-backend"], input=data, env=env,
                             capture_output=True, timeout=60).stdout
        split = out.find(b"\r\n\r\n")
        head, rest = (out[:split], out[split + 4:]) if split >= 0 else out.split(b"\n\n", 1)
        status, headers = 200, []
        for line in head.replace(b"\r\n", b"\n").split(b"\n"):
            name, _, value = line.decode("latin-1").partition(":")
            if name.lower() == "status":
                status = int(value.split()[0])
            elif name:
                headers.append((name, value.strip()))
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(rest)))
        self.end_headers()
        self.wfile.write(rest)


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Timer(LIFETIME, lambda: os._exit(0)).start()
server.serve_forever()
