#!/usr/bin/env python3
"""A stand-in for the bridge's web API with canned data, for developing the
page and for the browser tests: it serves src/web/assets, Debian's Chart.js
and /api/v1/* exactly as the bridge answers them, under the bridge's
Content-Security-Policy. Listens on 127.0.0.1 only.

    python3 tests/web/mock_api.py --port 8089 [--read-access password] [--no-chartjs]

Passwords: "admin-pass" (admin), "viewer-pass" (viewer). Test hooks:
POST /__mock/events {"up": false} makes the live stream fail until set true.
POST /__mock/settings {"changed": true} makes the next settings apply find the
controller changed by someone else (409); {"refuse_writes": true} makes it
fail after the backup; {"mismatch": true} makes one field read back as it was;
{"reset": true} puts every controller's settings and backups back as at start.
POST /__mock/clock {"synchronised": false} makes "Set clock" refused as the
bridge refuses it while its own clock has no network time, until set true;
{"offset_s": N} shows every time N seconds off, as a bridge whose wall clock
is wrong would (ages stay true: the bridge measures them on its steady clock).
"""
import argparse
import datetime as dt
import json
import math
import os
import secrets
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit, parse_qs, unquote

import mock_settings as settings

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.normpath(os.path.join(HERE, '..', '..', 'src', 'web', 'assets'))
CHART_JS = '/usr/share/javascript/chart.js/Chart.min.js'
CSP = "default-src 'self'; frame-ancestors 'none'"
MIME = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
        '.css': 'text/css; charset=utf-8', '.svg': 'image/svg+xml', '.png': 'image/png'}
COLUMNS = ['pv_voltage', 'battery_voltage', 'load_voltage', 'charge_current', 'load_current',
           'charge_power', 'load_power', 'inner_temperature', 'battery_temperature']

# The window's texts as the bridge builds them (GET /api/v1/texts): the
# names below are copied from what kestrane_web_assets' UiTexts() returns.
TEXTS_FILE = os.path.join(HERE, 'texts.json')


def now_local():
    return dt.datetime.now().astimezone()


def iso(when):
    return when.isoformat(timespec='milliseconds')


def state(pv, bat, load_on, load_w, charge_state, alarm, today_c, today_u, when, mode='Light',
          battery_type=0):
    charge_w = round(pv * 0.0 + (0 if pv < 10 else 180 + 3 * (pv - 17)))
    names = {0x40: 'PV Low', 0x80: 'BAT Low', 0x10: 'BAT Temp'}
    alarms = [names.get(1 << b, format(1 << b, 'X')) for b in range(16) if alarm & (1 << b)]
    return {
        'pv_voltage': pv, 'battery_voltage': bat, 'load_voltage': bat if load_on else 0.0,
        'charge_current': round(charge_w / bat, 1), 'load_current': round(load_w / bat, 1) if load_on else 0.0,
        'charge_power': charge_w, 'load_power': load_w if load_on else 0,
        'inner_temperature': 31, 'battery_temperature': 22,
        'charged_today_wh': today_c, 'charged_month_wh': today_c * 9, 'charged_total_wh': 812345,
        'charged_total_kwh': 812.345, 'used_today_wh': today_u, 'used_month_wh': today_u * 9,
        'used_total_wh': 512300, 'used_total_kwh': 512.3,
        'charge_state': charge_state, 'charge_state_text': 'Fast Charging',
        'alarm_code': alarm, 'alarm': alarm != 0, 'alarms': alarms,
        'alarm_text': ', '.join(alarms) if alarms else 'Normal Run',
        'load_on': load_on, 'load_mode': mode, 'battery_type': battery_type,
        'battery_type_text': 'User-Diy', 'timestamp': iso(when),
    }


def link(requests, timeouts=0, crc=0):
    counters = {'requests': requests, 'ok': requests - timeouts - crc, 'timeout': timeouts,
                'crc_error': crc, 'other_address': 0, 'wrong_function': 0, 'echo': 0, 'exception': 0,
                'short': 0, 'rejected': 0, 'line_closed': 0, 'last_cycle_ms': 61.4}
    return counters


# The controllers' settings, one value per profile field as their registers
# hold them; the profile the page gets is exported from these (mock_settings).
VALUES_LEAD = {
    'battery.type': 'User-Diy', 'battery.systemVoltage': '24V', 'battery.maxChargeCurrent': 30.5,
    'battery.maxLoadCurrent': 20.0, 'battery.equalizeMinutes': 120,
    'leadAcid.chargeVoltage': 14.4, 'leadAcid.floatVoltage': 13.8, 'leadAcid.equalizeVoltage': 14.6,
    'leadAcid.overVoltageProtect': 16.0, 'leadAcid.overVoltageRecover': 15.0,
    'leadAcid.lowVoltageProtect': 11.0, 'leadAcid.lowVoltageRecover': 12.2,
    'lithium.chargeVoltage': 14.2, 'lithium.nominalVoltage': 12.8, 'lithium.lowVoltageProtect': 11.2,
    'lithium.overVoltageProtect': 14.6, 'lithium.lowVoltageRecover': 12.0, 'lithium.overVoltageRecover': 14.0,
    'load.mode': 'Light Mode', 'load.morningHours': 0, 'load.onVoltage': 5.0, 'load.offVoltage': 6.0,
    'load.onDelay': 5, 'load.offDelay': 10,
    'load.timer1.onHour': 18, 'load.timer1.onMinute': 30, 'load.timer1.offHour': 23, 'load.timer1.offMinute': 0,
    'load.timer2.onHour': 5, 'load.timer2.onMinute': 0, 'load.timer2.offHour': 6, 'load.timer2.offMinute': 30,
}
VALUES_LITHIUM = {
    **VALUES_LEAD, 'battery.type': 'Li-ion', 'battery.systemVoltage': 'Auto', 'battery.maxChargeCurrent': 45.0,
    'lithium.chargeVoltage': 14.2, 'lithium.nominalVoltage': 12.8, 'lithium.lowVoltageProtect': 10.8,
    'lithium.overVoltageProtect': 14.8, 'lithium.lowVoltageRecover': 12.0, 'lithium.overVoltageRecover': 14.0,
    'load.mode': 'Dual Timer Mode', 'load.timer1.onMinute': 5, 'load.timer2.onMinute': 30,
    'load.timer2.offHour': 7, 'load.timer2.offMinute': 0,
}
# A backup the barn's controller already has: other current limit and timer.
BACKUP_LITHIUM = {**VALUES_LITHIUM, 'battery.maxChargeCurrent': 40.0, 'load.timer1.onHour': 19}


class Mock:
    def __init__(self, read_access, chartjs):
        self.lock = threading.Condition()
        self.read_access = read_access
        self.chartjs = chartjs
        self.sessions = {}  # token -> (role, csrf)
        self.events_up = True
        self.clock_synchronised = True
        self.clock_offset = dt.timedelta(0)
        self.generation = 0  # bumps when the stream is cut
        self.started = time.time()
        self.seq = 0
        n = now_local()
        self.devices = [
            {'id': 'sn-ks2026a000000042', 'name': 'Shed east', 'bus': 0, 'address': 1, 'online': True,
             'allow_control': False, 'last_update': iso(n),
             'state': state(38.2, 13.4, True, 24, 1, 0, 512, 300, n),
             'link': link(4210, 3, 1),
             'identity': {'model': 'KESTRANE-MPPT40A', 'serial_number': 'KS2026A000000042', 'firmware': 'V1.3'},
             'values': VALUES_LEAD},
            {'id': 'sn-ks2026b000000007', 'name': 'Barn roof <b>south</b>', 'bus': 0, 'address': 2,
             'online': True, 'allow_control': True, 'last_update': iso(n),
             'state': state(12.1, 11.6, False, 0, 0, 0x80 | 0x40, 120, 410, n, 'Dual Timer', 4),
             'link': link(4208, 12, 0),
             'identity': {'model': 'KESTRANE-MPPT60A', 'serial_number': 'KS2026B000000007', 'firmware': 'V1.4'},
             'values': VALUES_LITHIUM},
            {'id': 'sn-ks2026a000000101', 'name': 'Pump house', 'bus': 1, 'address': 1, 'online': False,
             'allow_control': True, 'last_update': iso(n - dt.timedelta(hours=2, minutes=17)),
             'state': state(0.0, 12.6, False, 0, 0, 0, 80, 15, n - dt.timedelta(hours=2, minutes=17)),
             'link': link(900, 300, 2),
             'identity': {'model': 'KESTRANE-MPPT20A', 'serial_number': 'KS2026A000000101', 'firmware': 'V1.2'},
             'values': None},
            # Online by the bridge's word, but nothing new for three minutes.
            {'id': 'sn-ks2026a000000103', 'name': 'Well', 'bus': 1, 'address': 3, 'online': True,
             'allow_control': False, 'last_update': iso(n - dt.timedelta(minutes=3)),
             'state': state(20.5, 12.9, True, 12, 3, 0, 210, 90, n - dt.timedelta(minutes=3)),
             'link': link(800, 40, 0),
             'identity': {'model': 'KESTRANE-MPPT20A', 'serial_number': 'KS2026A000000103', 'firmware': 'V1.2'},
             'values': None},
            {'id': 'sn-ks2026a000000102', 'name': 'Gate', 'bus': 1, 'address': 2, 'online': False,
             'allow_control': False, 'last_update': None, 'state': None, 'link': link(120, 120, 0),
             'identity': {'model': '', 'serial_number': '', 'firmware': ''}, 'values': None},
        ]
        self.reset_settings()
        with open(TEXTS_FILE, encoding='utf-8') as f:
            self.texts = json.load(f)

    def reset_settings(self):
        """The settings as at start: read ten minutes ago, one old backup for
        the barn, no test hook armed."""
        read_at = now_local() - dt.timedelta(minutes=10)
        self.settings_hooks = {}
        for device, start in zip(self.devices, [VALUES_LEAD, VALUES_LITHIUM, None, None, None]):
            device['values'] = dict(start) if start else None
            device['read_at'] = iso(read_at) if start else None
            device['backups'] = []
        barn = self.devices[1]
        barn['backups'].append({'name': 'KS2026B000000007-20261201-093000.json', 'time': '2026-12-01T09:30:00+01:00',
                                'profile': self.profile(barn, BACKUP_LITHIUM, '2026-12-01T09:30:00+01:00')})

    @staticmethod
    def profile(device, values, exported_at):
        ident = device['identity']
        return settings.export({'model': ident['model'], 'serialNumber': ident['serial_number'],
                                'firmware': ident['firmware']}, values, exported_at)

    def settings_of(self, device):
        return self.profile(device, device['values'], device['read_at']) if device['values'] else None

    def touch(self, device):
        """A new read of the settings: a later read_at, never the same one."""
        at = max(now_local(), dt.datetime.fromisoformat(device['read_at']) + dt.timedelta(milliseconds=1))
        device['read_at'] = iso(at)

    def backup(self, device):
        """Keeps the settings before a write, named by serial number and time."""
        n = now_local()
        name = f"{device['identity']['serial_number']}-{n:%Y%m%d-%H%M%S}.json"
        taken = {b['name'] for b in device['backups']}
        for i in range(2, 100):
            if name not in taken:
                break
            name = f"{device['identity']['serial_number']}-{n:%Y%m%d-%H%M%S}-{i}.json"
        device['backups'].insert(0, {'name': name, 'time': n.isoformat(timespec='seconds'),
                                     'profile': self.settings_of(device)})
        return name

    def bridge(self):
        return {'version': '1.3', 'uptime_s': int(time.time() - self.started) + 93784, 'poll_interval_s': 5,
                'buses': [{'index': 0, 'port': '/dev/ttyUSB0', 'open': True, 'last_pass_ms': 812.5, 'devices': 2},
                          {'index': 1, 'port': '/dev/ttyUSB1', 'open': False, 'last_pass_ms': 0, 'devices': 2}],
                'mqtt': {'configured': True, 'connected': True},
                'history': {'enabled': True, 'dir': '/var/lib/kestrane-bridge/history', 'interval_s': 60,
                            'ok': True, 'history_dropped': 0, 'records_written': 1234,
                            'queued': 0, 'last_error': ''}}

    def public(self, device, detail=False):
        keys = ['id', 'name', 'bus', 'address', 'online', 'allow_control', 'last_update', 'state', 'link']
        if detail:
            keys += ['identity']
        out = {k: device[k] for k in keys}
        # As the bridge: the age on its own clock, whatever the browser's says.
        if device['last_update'] is not None:
            at = dt.datetime.fromisoformat(device['last_update'])
            out['age_s'] = round((now_local() - at).total_seconds(), 3)
            out['last_update'] = iso(at + self.clock_offset)
        else:
            out['age_s'] = None
        if detail:
            out['settings'] = self.settings_of(device)
            out['settings_read_at'] = device['read_at']
        return out

    def tick(self):
        """One poll of the online controllers: their values move a little."""
        with self.lock:
            self.seq += 1
            n = now_local()
            for device in self.devices[:2]:
                s = device['state']
                s['pv_voltage'] = round(30 + 8 * math.sin(self.seq / 5), 1)
                s['charge_power'] = int(300 + 100 * math.sin(self.seq / 5))
                s['timestamp'] = iso(n)
                device['last_update'] = iso(n)
                device['link']['requests'] += 7
                device['link']['ok'] += 7
            self.lock.notify_all()


def day_points(date, buckets):
    """A sunny day: PV from 07:30 to 16:30, a gap from 10:00 to 11:30."""
    start = dt.datetime.fromisoformat(date).replace(tzinfo=dt.timezone.utc).timestamp()
    width = 86400 / buckets
    points = []
    for i in range(buckets):
        t0 = start + i * width
        hour = (i * width) / 3600
        if 10 <= hour < 11.5:
            points.append(None)
            continue
        sun = max(0.0, math.sin(math.pi * (hour - 7.5) / 9)) if 7.5 <= hour <= 16.5 else 0.0
        charge = 420 * sun
        load = 60 if hour >= 18 or hour < 6 else 5
        bat = 12.2 + 2.0 * sun + (0.3 if hour > 12 else 0)
        mean = [round(18 + 20 * sun, 1), round(bat, 2), round(bat, 2), round(charge / bat, 2), round(load / bat, 2),
                round(charge, 1), load, round(25 + 10 * sun, 1), round(18 + 4 * sun, 1)]
        points.append({'t': int(t0), 't_end': int(t0 + width), 'n': 5, 'min': [round(v * 0.95, 2) for v in mean],
                       'mean': mean, 'max': [round(v * 1.05, 2) for v in mean]})
    return points


def days_between(first, last):
    d0 = dt.date.fromisoformat(first)
    d1 = dt.date.fromisoformat(last)
    out = []
    while d0 <= d1 and len(out) < 400:
        k = d0.toordinal()
        has = k % 11 != 3
        out.append({'date': d0.isoformat(), 'has_data': has,
                    'charged_wh': (300 + (k * 37) % 400) if has else 0, 'used_wh': (150 + (k * 53) % 250) if has else 0,
                    'peak_charge_w': 410, 'peak_load_w': 60, 'min_battery_v': 12.1, 'max_battery_v': 14.3})
        d0 += dt.timedelta(days=1)
    return out


def make_handler(mock):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = 'HTTP/1.1'

        def log_message(self, *args):
            pass

        def send(self, status, body, ctype='application/json', extra=None):
            data = body if isinstance(body, bytes) else json.dumps(body).encode()
            self.send_response(status)
            self.send_header('Content-Type', ctype)
            self.send_header('Content-Length', str(len(data)))
            self.send_header('Content-Security-Policy', CSP)
            self.send_header('X-Content-Type-Options', 'nosniff')
            self.send_header('Cache-Control', 'no-store')
            for k, v in (extra or {}).items():
                self.send_header(k, v)
            self.end_headers()
            self.wfile.write(data)

        def error(self, status, code, message):
            self.send(status, {'error': {'code': code, 'message': message}})

        def session(self):
            for part in self.headers.get('Cookie', '').split(';'):
                name, _, value = part.strip().partition('=')
                if name == 'kestrane_session' and value in mock.sessions:
                    return value, mock.sessions[value]
            return None, ('viewer' if mock.read_access == 'open' else 'none', None)

        def may_read(self):
            return self.session()[1][0] != 'none'

        def do_GET(self):
            url = urlsplit(self.path)
            path, query = url.path, parse_qs(url.query)
            if path in ('/', '/index.html') or path.startswith('/assets/'):
                return self.asset(path)
            if path == '/api/v1/session':
                token, (role, csrf) = self.session()
                return self.send(200, {'role': role, 'read_access': mock.read_access, 'csrf': csrf})
            if path == '/api/v1/texts':
                return self.send(200, mock.texts)
            if not self.may_read():
                return self.error(401, 'unauthorized', 'log in to read this bridge')
            if path == '/api/v1/bridge':
                return self.send(200, mock.bridge())
            if path == '/api/v1/events':
                return self.events()
            if path == '/api/v1/devices':
                with mock.lock:
                    return self.send(200, {'devices': [mock.public(d) for d in mock.devices]})
            parts = path.split('/')
            if len(parts) >= 5 and parts[1:4] == ['api', 'v1', 'devices']:
                device = next((d for d in mock.devices if d['id'] == parts[4]), None)
                if device is None:
                    return self.error(404, 'not_found', 'no such device')
                rest = parts[5:]
                if not rest:
                    with mock.lock:
                        return self.send(200, mock.public(device, detail=True))
                if rest == ['settings']:
                    with mock.lock:
                        if not device['values']:
                            return self.error(503, 'unavailable', 'the settings have not been read yet')
                        return self.send(200, {'profile': mock.settings_of(device), 'read_at': device['read_at'],
                                               'control': device['allow_control'], 'fields': settings.public_fields()})
                if rest and rest[0] == 'backups' and len(rest) <= 2:
                    token, (role, _) = self.session()
                    if token is None:
                        return self.error(401, 'unauthorized', 'log in first')
                    if role != 'admin':
                        return self.error(403, 'forbidden', 'this needs the admin role')
                    with mock.lock:
                        if len(rest) == 1:
                            return self.send(200, {'backups': [{'name': b['name'], 'time': b['time']}
                                                               for b in device['backups']]})
                        backup = next((b for b in device['backups'] if b['name'] == unquote(rest[1])), None)
                        if backup is None:
                            return self.error(404, 'not_found', 'no such backup')
                        return self.send(200, {'profile': backup['profile']})
                if rest == ['days']:
                    return self.send(200, {'days': days_between(query['from'][0], query['to'][0])})
                if rest == ['series']:
                    date = query['from'][0][:10]
                    buckets = max(1, min(1440, int(query.get('buckets', ['288'])[0])))
                    points = day_points(date, buckets) if device['state'] else [None] * 0
                    return self.send(200, {'columns': COLUMNS, 'points': points})
                if len(rest) == 2 and rest[0] == 'day' and rest[1].endswith('.csv'):
                    body = 'time,pv_voltage,battery_voltage\n00:00:00,0.0,12.6\n'.encode()
                    return self.send(200, body, 'text/csv; charset=utf-8')
            return self.error(404, 'not_found', 'no such path')

        def do_POST(self):
            path = urlsplit(self.path).path
            length = int(self.headers.get('Content-Length', '0') or 0)
            raw = self.rfile.read(length) if length else b''
            if path == '/__mock/settings':
                hooks = json.loads(raw or b'{}')
                with mock.lock:
                    if hooks.get('reset'):
                        mock.reset_settings()
                    mock.settings_hooks.update({k: v for k, v in hooks.items() if k != 'reset'})
                return self.send(200, mock.settings_hooks)
            if path == '/__mock/clock':
                hooks = json.loads(raw or b'{}')
                with mock.lock:
                    mock.clock_synchronised = bool(hooks.get('synchronised', True))
                    mock.clock_offset = dt.timedelta(seconds=float(hooks.get('offset_s', 0)))
                return self.send(200, {'synchronised': mock.clock_synchronised})
            if path == '/__mock/events':
                with mock.lock:
                    mock.events_up = bool(json.loads(raw or b'{}').get('up', True))
                    mock.generation += 1
                    mock.lock.notify_all()
                return self.send(200, {'up': mock.events_up})
            # As the bridge: compressed bodies are refused, the content type
            # is not looked at, and a body that is no JSON object is a 400.
            if self.headers.get('Content-Encoding', 'identity').strip().lower() != 'identity':
                return self.error(415, 'unsupported_encoding', 'request bodies must not be compressed')
            if length > 64 * 1024:
                return self.error(413, 'payload_too_large', 'the request body is too large')
            try:
                body = json.loads(raw or b'{}')
            except ValueError:
                body = None
            token, (role, csrf) = self.session()
            if path == '/api/v1/login':
                password = body.get('password') if isinstance(body, dict) else None
                if not isinstance(password, str):
                    return self.error(400, 'bad_request', 'expected {"password": "..."}')
                role = {'admin-pass': 'admin', 'viewer-pass': 'viewer'}.get(password)
                if role is None:
                    return self.error(401, 'unauthorized', 'wrong password')
                token, csrf = secrets.token_hex(16), secrets.token_hex(16)
                mock.sessions[token] = (role, csrf)
                return self.send(200, {'role': role, 'csrf': csrf},
                                 extra={'Set-Cookie': f'kestrane_session={token}; Path=/; HttpOnly; SameSite=Strict'})
            # The bridge's order: the role first (401, 403 forbidden), then
            # the CSRF header (403 csrf), then the path's own checks.
            parts = path.split('/')
            command = parts[1:4] == ['api', 'v1', 'devices'] and (
                (len(parts) == 6 and parts[5] in ('load_mode', 'clock')) or
                (len(parts) == 7 and parts[5] == 'settings' and parts[6] in ('check', 'apply')))
            if path != '/api/v1/logout' and not command:
                return self.error(404, 'not_found', 'no such path')
            if command and token is None:
                return self.error(401, 'unauthorized', 'log in first')
            if command and role != 'admin':
                return self.error(403, 'forbidden', 'this needs the admin role')
            if token is None or self.headers.get('X-Kestrane-CSRF') != csrf:
                return self.error(403, 'csrf', 'missing or wrong X-Kestrane-CSRF header')
            if path == '/api/v1/logout':
                mock.sessions.pop(token, None)
                return self.send(200, {'role': 'none'},
                                 extra={'Set-Cookie': 'kestrane_session=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0'})
            if command:
                device = next((d for d in mock.devices if d['id'] == parts[4]), None)
                if device is None:
                    return self.error(404, 'not_found', 'no such controller')
                if not device['allow_control']:
                    return self.error(409, 'conflict', 'control is not allowed for this controller '
                                      "(allow_control in the bridge's config)")
                if parts[5] == 'settings':
                    lang = 'zh' if parse_qs(urlsplit(self.path).query).get('lang') == ['zh'] else 'en'
                    with mock.lock:
                        return self.settings_command(device, parts[6], body, lang)
                if not device['online']:
                    return self.send(200, {'ok': False, 'message': 'controller did not answer'})
                if parts[5] == 'clock' and not mock.clock_synchronised:
                    return self.send(200, {'ok': False, 'refused': 'clock_unsynchronised',
                                           'message': "clock not set: this machine's clock is not "
                                                      'synchronised with network time yet'})
                if parts[5] == 'clock':
                    return self.send(200, {'ok': True, 'message': 'clock set to ' + now_local().strftime('%H:%M:%S')})
                mode = body.get('mode') if isinstance(body, dict) else None
                if mode not in ('Light', 'Light&Time', 'Dual Timer', 'On', 'Off'):
                    return self.error(400, 'bad_request',
                                      'expected {"mode": "Light"|"Light&Time"|"Dual Timer"|"On"|"Off"}')
                with mock.lock:
                    device['state']['load_mode'] = mode
                return self.send(200, {'ok': True, 'message': f'load mode {mode} written and read back'})
            return self.error(404, 'not_found', 'no such path')

        def settings_command(self, device, what, body, lang):
            """Check and apply of a profile, as the bridge answers them."""
            if not device['values']:
                return self.error(503, 'unavailable', 'the settings have not been read yet')
            words = settings.MESSAGES[lang]
            profile = body.get('profile') if what == 'apply' and isinstance(body, dict) else body
            values, problems = settings.read(profile, lang)
            address = device['address']
            if what == 'check':
                writes = [] if problems else settings.plan(device['values'], values, address, lang)
                return self.send(200, {'ok': not problems, 'problems': problems, 'writes': writes})
            if problems:
                return self.send(422, {'error': {'code': 'invalid_profile', 'message': words['nothing'].format(len(problems))},
                                       'ok': False, 'problems': problems})
            hooks = mock.settings_hooks
            if hooks.pop('changed', False):
                # Someone else changed the controller since the page read it.
                device['values']['battery.maxChargeCurrent'] = round(device['values']['battery.maxChargeCurrent'] - 5, 1)
                mock.touch(device)
            if body.get('based_on') != device['read_at']:
                return self.send(409, {'error': {'code': 'changed', 'message': 'the settings changed since they were read'},
                                       'changed': True, 'profile': mock.settings_of(device), 'read_at': device['read_at']})
            writes = settings.plan(device['values'], values, address, 'en')
            if not writes:
                return self.send(200, {'ok': True, 'backup': None, 'message': words['unchanged'], 'mismatches': [],
                                       'written': [], 'profile': mock.settings_of(device), 'read_at': device['read_at']})
            backup = mock.backup(device)
            if hooks.pop('refuse_writes', False):
                mock.touch(device)
                return self.send(200, {'ok': False, 'backup': backup, 'message': words['refused'], 'mismatches': [],
                                       'written': [], 'profile': mock.settings_of(device), 'read_at': device['read_at']})
            old = device['values']
            device['values'] = {**old, **values}
            mismatches = []
            if hooks.pop('mismatch', False):
                change = next(c for w in writes for c in w['changes'])
                device['values'][change['field']] = old[change['field']]
                mismatches.append({'field': change['field'], 'expected': change['to'], 'read': change['from']})
            mock.touch(device)
            return self.send(200, {'ok': not mismatches, 'backup': backup,
                                   'message': words['mismatch' if mismatches else 'written'], 'mismatches': mismatches,
                                   'written': [w['block'] for w in writes],
                                   'profile': mock.settings_of(device), 'read_at': device['read_at']})

        def asset(self, path):
            if path in ('/', '/index.html'):
                file = os.path.join(ASSETS, 'index.html')
            elif path == '/assets/chart.min.js':
                if not mock.chartjs:
                    return self.error(404, 'not_found', 'no such file')
                file = CHART_JS
            else:
                relative = path[len('/assets/'):]
                file = os.path.normpath(os.path.join(ASSETS, relative))
                if not file.startswith(ASSETS + os.sep) or not os.path.isfile(file):
                    return self.error(404, 'not_found', 'no such file')
            with open(file, 'rb') as f:
                data = f.read()
            return self.send(200, data, MIME.get(os.path.splitext(file)[1], 'application/octet-stream'))

        def events(self):
            with mock.lock:
                if not mock.events_up:
                    return self.error(503, 'unavailable', 'stream down')
                generation = mock.generation
            self.send_response(200)
            self.send_header('Content-Type', 'text/event-stream')
            self.send_header('Cache-Control', 'no-store')
            self.send_header('Content-Security-Policy', CSP)
            self.send_header('Connection', 'close')
            self.end_headers()
            self.close_connection = True
            try:
                self.wfile.write(b'retry: 1000\n\n')
                self.wfile.flush()
                seen = mock.seq
                while True:
                    with mock.lock:
                        mock.lock.wait_for(lambda: mock.seq != seen or mock.generation != generation, timeout=15)
                        if mock.generation != generation:
                            return
                        seen = mock.seq
                        messages = [('state', mock.public(d)) for d in mock.devices[:2]]
                        if seen % 6 == 0:
                            messages.append(('bridge', mock.bridge()))
                    for event, data in messages:
                        self.wfile.write(f'event: {event}\ndata: {json.dumps(data)}\n\n'.encode())
                    self.wfile.flush()
            except (BrokenPipeError, ConnectionResetError):
                return

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--port', type=int, default=8089)
    parser.add_argument('--read-access', choices=['open', 'password'], default='open')
    parser.add_argument('--no-chartjs', action='store_true')
    parser.add_argument('--tick', type=float, default=2.0, help='seconds between live updates')
    args = parser.parse_args()
    mock = Mock(args.read_access, not args.no_chartjs)
    server = ThreadingHTTPServer(('127.0.0.1', args.port), make_handler(mock))
    server.daemon_threads = True

    def ticker():
        while True:
            time.sleep(args.tick)
            mock.tick()
    threading.Thread(target=ticker, daemon=True).start()
    print(f'listening on http://127.0.0.1:{server.server_address[1]}/', flush=True)
    server.serve_forever()


if __name__ == '__main__':
    main()
