#!/usr/bin/env python3
"""serve.py FOLDER: serves the folder over HTTP on 127.0.0.1 and prints its port first. A
request for /<mode>/<path> serves <path>; the mode says how: ok, stall (a little, then
nothing), truncate (half, then the connection closes), drip (a byte every 2 s), huge-<name>
(the file <name> announced as 1 GiB) or endless-<name> (<name> without a length); the last
two send 600 MiB of zeros in place of the file; any other mode is ok."""
import http.server
import os
import sys
import time

root = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        mode, _, name = self.path.lstrip('/').partition('/')
        path = os.path.join(root, name.split('?')[0])
        if not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, 'rb') as file:
            data = file.read()
        kind, _, target = mode.partition('-')
        synthetic = target == os.path.basename(path)
        self.send_response(200)
        if not synthetic or kind != 'endless':
            self.send_header('Content-Length', str(1 << 30 if synthetic else len(data)))
        self.end_headers()
        if mode == 'stall':
            self.wfile.write(data[:1024])
            time.sleep(60)
        for index in range(len(data) if mode == 'drip' else 0):
            self.wfile.write(data[index:index + 1])
            time.sleep(2)
        for _ in range(9600 if synthetic else 0):
            self.wfile.write(bytes(65536))
        self.wfile.write(data[:len(data) // 2] if mode == 'truncate' else data)

    def log_message(self, *arguments):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
