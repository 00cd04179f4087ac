#!/usr/bin/env python3
"""The bridge as a Type=notify service, as systemd sees it.

service_notify_test.py BRIDGE SIM [MOSQUITTO]

The real bridge, with a simulated controller on a pseudo-terminal, the web
page, history and (when a broker program is given) MQTT, runs with
NOTIFY_SOCKET naming a datagram socket of this test and WATCHDOG_USEC set,
as systemd starts it: it must say READY=1 once started, WATCHDOG=1 at half
the watchdog's period while its threads are alive, and STOPPING=1 on SIGTERM
before it exits 0. Without WATCHDOG_USEC it says READY=1 and never pings.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

WATCHDOG_USEC = 400000  # pings every 0.2 s


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_until(condition, timeout, what):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError(f'timed out waiting for {what}')
        time.sleep(0.02)


class Notifications:
    """systemd's end of NOTIFY_SOCKET: every datagram the bridge sends."""

    def __init__(self, folder):
        self.path = os.path.join(folder, 'notify')
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.socket.bind(self.path)

    def next(self, timeout):
        self.socket.settimeout(timeout)
        try:
            return self.socket.recv(4096).decode()
        except socket.timeout:
            return None

    def expect(self, message, timeout, skipping=()):
        """Waits for `message`; anything else but `skipping` fails."""
        end = time.monotonic() + timeout
        while True:
            left = end - time.monotonic()
            got = self.next(max(left, 0.01)) if left > 0 else None
            if got is None:
                raise AssertionError(f'no {message} within {timeout} s')
            if got == message:
                return
            if got not in skipping:
                raise AssertionError(f'{got!r} while waiting for {message}')


def run_bridge(bridge, folder, config, notify, watchdog):
    env = dict(os.environ, NOTIFY_SOCKET=notify.path)
    env.pop('WATCHDOG_PID', None)
    env.pop('WATCHDOG_USEC', None)
    if watchdog:
        env['WATCHDOG_USEC'] = str(WATCHDOG_USEC)
    log = open(os.path.join(folder, 'bridge.log'), 'wb')
    return subprocess.Popen([bridge, '--config', config], stdout=log, stderr=subprocess.STDOUT,
                            env=env), log


def main():
    bridge, sim = sys.argv[1:3]
    mosquitto = sys.argv[3] if len(sys.argv) > 3 and os.path.exists(sys.argv[3]) else None
    folder = tempfile.mkdtemp(prefix='kestrane-notify-')
    children = []
    try:
        link = os.path.join(folder, 'bus0')
        children.append(subprocess.Popen([sim, '--link', link], stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL))
        wait_until(lambda: os.path.exists(link), 10, 'the simulator')
        lines = ['poll_interval_s = 1', '',
                 '[history]', f'dir = "{folder}/history"', 'interval_s = 1', '',
                 '[web]', f'listen = "127.0.0.1:{free_port()}"', '']
        if mosquitto:
            port = free_port()
            conf = os.path.join(folder, 'mosquitto.conf')
            with open(conf, 'w') as f:
                f.write(f'listener {port} 127.0.0.1\nallow_anonymous true\npersistence false\n')
            children.append(subprocess.Popen([mosquitto, '-c', conf], stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL))
            lines += ['[mqtt]', 'host = "127.0.0.1"', f'port = {port}', 'client_id = "notify"', '']
        lines += ['[[bus]]', f'port = "{link}"', 'devices = [ { address = 1 } ]', '']
        config = os.path.join(folder, 'bridge.toml')
        with open(config, 'w') as f:
            f.write('\n'.join(lines))

        notify = Notifications(folder)
        # Watched: ready, then pings at half the period, then stopping.
        process, log = run_bridge(bridge, folder, config, notify, watchdog=True)
        children.append(process)
        notify.expect('READY=1', 20)
        start = time.monotonic()
        for _ in range(5):
            notify.expect('WATCHDOG=1', 2)
        pings_took = time.monotonic() - start
        assert pings_took < 5 * WATCHDOG_USEC / 1e6, f'five pings took {pings_took:.2f} s'
        process.send_signal(signal.SIGTERM)
        notify.expect('STOPPING=1', 5, skipping=('WATCHDOG=1',))
        assert process.wait(15) == 0, 'the bridge did not exit 0 on SIGTERM'
        log.close()
        print(f'READY=1, 5 x WATCHDOG=1 in {pings_took:.2f} s, STOPPING=1, exit 0')

        # Not watched: ready, and no pings.
        process, log = run_bridge(bridge, folder, config, notify, watchdog=False)
        children.append(process)
        notify.expect('READY=1', 20)
        got = notify.next(1.0)
        assert got is None, f'{got!r} without a watchdog'
        process.send_signal(signal.SIGTERM)
        notify.expect('STOPPING=1', 5)
        assert process.wait(15) == 0
        log.close()
        print('without WATCHDOG_USEC: READY=1, no pings, STOPPING=1')
    except AssertionError as error:
        print(f'FAILED: {error}')
        logfile = os.path.join(folder, 'bridge.log')
        if os.path.exists(logfile):
            print(open(logfile, errors='replace').read()[-3000:])
        return 1
    finally:
        for child in children:
            if child.poll() is None:
                child.kill()
                child.wait()
        shutil.rmtree(folder, ignore_errors=True)
    print('passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
