#!/usr/bin/env python3
"""Holds N live streams (GET /api/v1/events) open against the bridge and
reads them until stdin closes. Prints "open N" once every stream has had its
first event, so the caller can start measuring; "failed: ..." otherwise.

usage: open_streams.py HOST PORT N
"""
import selectors
import socket
import sys
import time

host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
selector = selectors.DefaultSelector()
started = set()
request = f'GET /api/v1/events HTTP/1.1\r\nHost: {host}:{port}\r\nAccept: text/event-stream\r\n\r\n'.encode()
for i in range(count):
    s = socket.create_connection((host, port), timeout=10)
    s.sendall(request)
    s.setblocking(False)
    selector.register(s, selectors.EVENT_READ, i)
selector.register(sys.stdin, selectors.EVENT_READ, 'stdin')
deadline = time.monotonic() + 60
announced = False
while True:
    if not announced and time.monotonic() > deadline:
        print(f'failed: {len(started)} of {count} streams answered', flush=True)
        sys.exit(1)
    for key, _ in selector.select(timeout=1):
        if key.data == 'stdin':
            sys.exit(0)
        data = key.fileobj.recv(65536)
        if not data:
            print(f'failed: stream {key.data} closed by the bridge', flush=True)
            sys.exit(1)
        if b'event: state' in data:
            started.add(key.data)
    if not announced and len(started) == count:
        print(f'open {count}', flush=True)
        announced = True
