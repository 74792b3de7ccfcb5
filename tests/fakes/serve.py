#!/usr/bin/env python3
"""serve.py FOLDER: serves the folder over HTTP on 127.0.0.1 and prints its port first. A
request for /<mode>/<path> serves <path>; the mode says how: ok, stall (a little, then
nothing), hang (half, then nothing, unless a Range asks for a part: a transfer that only a
downloader carrying on from its partial file ends), truncate (half, then the connection
closes), drip (a byte every 2 s), throttle-<n> (n KiB a second, in small pieces),
status-<code> (that HTTP status, no file), cookie-<token> (401 unless the request carries the
cookie pass=<token>; with it, ok, and one more cookie set), huge-<name> (the file <name> announced as 1 GiB)
or endless-<name> (<name> without a length); the last two send 600 MiB of zeros in place of
the file; any other mode is ok. A request with "Range: bytes=N-" (or N-M) gets that part of
the file with 206 and Content-Range, as a downloader that carries on from a partial file
asks, except in the last two modes."""
import http.server
import os
import re
import sys
import time

root = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        mode, _, name = self.path.lstrip('/').partition('/')
        kind, _, target = mode.partition('-')
        if kind == 'status' and target.isdigit():
            self.send_error(int(target))
            return
        if kind == 'cookie':
            if 'pass=' + target not in re.split(r';\s*', self.headers.get('Cookie', '')):
                self.send_error(401)
                return
        path = os.path.join(root, name.split('?')[0])
        if not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, 'rb') as file:
            data = file.read()
        synthetic = target == os.path.basename(path)
        wanted = re.fullmatch(r'bytes=(\d+)-(\d*)', self.headers.get('Range', ''))
        if wanted and not synthetic:
            first = int(wanted.group(1))
            last = min(int(wanted.group(2) or len(data) - 1), len(data) - 1)
            if first >= len(data) or first > last:
                self.send_response(416)
                self.send_header('Content-Range', 'bytes */%d' % len(data))
                self.send_header('Content-Length', '0')
                self.end_headers()
                return
            self.send_response(206)
            self.send_header('Content-Range', 'bytes %d-%d/%d' % (first, last, len(data)))
            data = data[first:last + 1]
        else:
            self.send_response(200)
        if kind == 'cookie':
            self.send_header('Set-Cookie', 'served=1; Path=/')
        self.send_header('Accept-Ranges', 'bytes')
        if not synthetic or kind != 'endless':
            self.send_header('Content-Length', str(1 << 30 if synthetic else len(data)))
        self.end_headers()
        if mode == 'hang' and not wanted:
            self.wfile.write(data[:len(data) // 2])
            self.wfile.flush()
            time.sleep(60)
            return
        if mode == 'stall':
            self.wfile.write(data[:1024])
            time.sleep(60)
        for index in range(len(data) if mode == 'drip' else 0):
            self.wfile.write(data[index:index + 1])
            time.sleep(2)
        for _ in range(9600 if synthetic else 0):
            self.wfile.write(bytes(65536))
        if kind == 'throttle' and target.isdigit():
            # Pieces of 4 KiB, so that a reader sees the bytes come steadily, each sent when
            # its time comes: the rate holds whatever the writes cost.
            piece, rate, begun = 4096, max(int(target), 1) * 1024, time.monotonic()
            for start in range(0, len(data), piece):
                self.wfile.write(data[start:start + piece])
                self.wfile.flush()
                time.sleep(max(0, begun + (start + piece) / rate - time.monotonic()))
            return
        self.wfile.write(data[:len(data) // 2] if mode == 'truncate' else data)

    def handle_one_request(self):
        # A reader that has what it wants may close the connection at any time.
        try:
            super().handle_one_request()
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def log_message(self, *arguments):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
