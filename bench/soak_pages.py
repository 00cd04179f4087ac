#!/usr/bin/env python3
"""Live pages for bench/soak.sh: N browsers that each log in once with the
viewer password, then open the live stream (GET /api/v1/events), read it for
a random while, drop it, wait a moment and open it again.

SIGUSR1 closes every stream and holds them closed; SIGUSR2 lets them go on.
Ends on SIGTERM, printing one summary line:
"pages: opened N, events E, refused R, failed F".

usage: soak_pages.py HOST PORT N PASSWORD-FILE SEED
"""
import json
import random
import selectors
import signal
import socket
import sys
import time
import urllib.request

host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
with open(sys.argv[4]) as f:
    password = f.read().strip()
rng = random.Random(int(sys.argv[5]))
paused = False
stopping = False


def on_pause(*_):
    global paused
    paused = True


def on_resume(*_):
    global paused
    paused = False


def on_stop(*_):
    global stopping
    stopping = True


signal.signal(signal.SIGUSR1, on_pause)
signal.signal(signal.SIGUSR2, on_resume)
signal.signal(signal.SIGTERM, on_stop)


def login():
    """The session cookie of a viewer login, as a browser keeps it."""
    request = urllib.request.Request(
        f'http://{host}:{port}/api/v1/login',
        data=json.dumps({'password': password}).encode(),
        headers={'Content-Type': 'application/json'})
    with urllib.request.urlopen(request, timeout=10) as answer:
        cookie = answer.headers.get('Set-Cookie', '')
    return cookie.split(';', 1)[0]


class Page:
    def __init__(self, cookie):
        self.cookie = cookie
        self.sock = None
        self.until = 0.0      # when the open stream is dropped
        self.next_open = time.monotonic() + rng.uniform(0, 3)


stats = {'opened': 0, 'events': 0, 'refused': 0, 'failed': 0}
selector = selectors.DefaultSelector()
pages = [Page(login()) for _ in range(count)]


def close(page, pause_after):
    if page.sock is not None:
        selector.unregister(page.sock)
        page.sock.close()
        page.sock = None
    page.next_open = time.monotonic() + pause_after


def open_stream(page):
    try:
        s = socket.create_connection((host, port), timeout=5)
        s.sendall((f'GET /api/v1/events HTTP/1.1\r\nHost: {host}:{port}\r\n'
                   f'Accept: text/event-stream\r\nCookie: {page.cookie}\r\n\r\n').encode())
        s.setblocking(False)
    except OSError:
        stats['failed'] += 1
        page.next_open = time.monotonic() + 1
        return
    page.sock = s
    page.until = time.monotonic() + rng.uniform(1, 20)
    selector.register(s, selectors.EVENT_READ, page)
    stats['opened'] += 1


while not stopping:
    now = time.monotonic()
    if paused:
        for page in pages:
            close(page, 0)
    else:
        for page in pages:
            if page.sock is not None and now >= page.until:
                close(page, rng.uniform(0, 5))
            elif page.sock is None and now >= page.next_open:
                open_stream(page)
    ready = selector.select(timeout=0.2) if selector.get_map() else time.sleep(0.2) or []
    for key, _ in ready:
        page = key.data
        try:
            data = page.sock.recv(65536)
        except (BlockingIOError, InterruptedError):
            continue
        except OSError:
            data = b''
        if not data:
            stats['failed'] += 1
            close(page, 1)
            continue
        if b' 503 ' in data[:20] or b' 429 ' in data[:20]:
            stats['refused'] += 1
            close(page, 2)
            continue
        stats['events'] += data.count(b'event: ')
for page in pages:
    close(page, 0)
print('pages: opened {opened}, events {events}, refused {refused}, failed {failed}'.format(**stats),
      flush=True)
