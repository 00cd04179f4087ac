#!/usr/bin/env python3
"""The web page in a real headless Chromium against the REAL bridge: three
simulated controllers on two pseudo-terminal buses (kestrane-sim), the
bridge with its history and web page, and a real mosquitto broker, all on
127.0.0.1. What the page shows is compared with what the bridge's API says;
commands are followed down to the simulator's register (read back by the
bridge) and out to the MQTT event topic.

Programs come from the environment: KESTRANE_BRIDGE, KESTRANE_SIM and
KESTRANE_LOGGEN (paths of the built programs). Exits 77 (skipped) when
Chromium, chromedriver, selenium or mosquitto is missing.
Screenshots go to $KESTRANE_SCREENSHOT_DIR (default: a temporary folder).
"""
import datetime as dt
import http.client
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    sys.exit(77)

CHROMEDRIVER = shutil.which('chromedriver') or '/usr/bin/chromedriver'
MOSQUITTO = shutil.which('mosquitto') or '/usr/sbin/mosquitto'
MOSQUITTO_SUB = shutil.which('mosquitto_sub') or '/usr/bin/mosquitto_sub'
if not all(os.path.exists(p) for p in (CHROMEDRIVER, MOSQUITTO, MOSQUITTO_SUB)) or not (
        shutil.which('chromium') or shutil.which('chromium-browser')):
    sys.exit(77)
BRIDGE = os.environ.get('KESTRANE_BRIDGE', 'build/tools/kestrane-bridge')
SIM = os.environ.get('KESTRANE_SIM', 'build/tools/kestrane-sim')
LOGGEN = os.environ.get('KESTRANE_LOGGEN', 'build/tools/kestrane-loggen')
SHOTS = os.environ.get('KESTRANE_SCREENSHOT_DIR') or tempfile.mkdtemp(prefix='kestrane-bridge-page-')
ADMIN_PASSWORD = 'correct horse admin'
VIEWER_PASSWORD = 'battery staple viewer'
WATCH_CSP = """window.__csp = [];
document.addEventListener('securitypolicyviolation',
  (e) => window.__csp.push(e.violatedDirective + ' ' + e.blockedURI));"""


def wait_until(condition, timeout=20, message='condition', step=0.05):
    """condition() until it is truthy; its last value. Never a fixed sleep."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f'timed out waiting for {message}')
        time.sleep(step)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def hash_password(password):
    out = subprocess.run([BRIDGE, '--hash-password'], input=password + '\n', capture_output=True,
                         text=True, check=True)
    return out.stdout.strip()


class Process:
    """A child with its output in a file, stopped (and waited for) at the end."""

    def __init__(self, folder, name, argv):
        self.log_path = os.path.join(folder, name + '.log')
        self.log = open(self.log_path, 'w')
        self.process = subprocess.Popen(argv, stdout=self.log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)

    def output(self):
        with open(self.log_path, errors='replace') as f:
            return f.read()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


def start_sim(folder, name, link, *args):
    sim = Process(folder, name, [SIM, '--link', link, *args])
    wait_until(lambda: os.path.islink(link) and os.path.exists(link) or sim.process.poll() is not None,
               10, f'{name} link')
    if sim.process.poll() is not None:
        raise RuntimeError(f'{name} did not start: {sim.output()}')
    return sim


class Http:
    """A client of the bridge with its own session cookie, like a second browser."""

    def __init__(self, port):
        self.port = port
        self.cookie = None
        self.csrf = None

    def request(self, method, path, body=None, headers=None):
        connection = http.client.HTTPConnection('127.0.0.1', self.port, timeout=20)
        all_headers = dict(headers or {})
        data = None
        if body is not None:
            data = json.dumps(body).encode()
            all_headers.setdefault('Content-Type', 'application/json')
        if self.cookie:
            all_headers['Cookie'] = self.cookie
        try:
            connection.request(method, path, body=data, headers=all_headers)
            response = connection.getresponse()
            raw = response.read()
            cookie = response.getheader('Set-Cookie')
            if cookie:
                self.cookie = cookie.split(';')[0]
            kind = response.getheader('Content-Type') or ''
            return response.status, json.loads(raw) if kind.startswith('application/json') else raw
        finally:
            connection.close()

    def get(self, path):
        status, body = self.request('GET', path)
        if status != 200:
            raise AssertionError(f'GET {path}: {status} {body}')
        return body

    def login(self, password):
        status, body = self.request('POST', '/api/v1/login', {'password': password})
        if status == 200:
            self.csrf = body['csrf']
        return status, body

    def post(self, path, body, csrf=True):
        headers = {'X-Kestrane-CSRF': self.csrf} if csrf and self.csrf else {}
        return self.request('POST', path, body, headers)


class Rig:
    """Simulators, broker and bridge for one test class."""

    def __init__(self, read_access='open', buses=(('--devices', '1,2'), ()), mqtt=True):
        self.folder = tempfile.mkdtemp(prefix='kestrane-bridge-e2e-')
        self.processes = []
        self.sims = []
        try:
            self.start(read_access, buses, mqtt)
        except BaseException:
            self.stop()
            raise

    def start(self, read_access, buses, mqtt):
        self.history = os.path.join(self.folder, 'history')
        os.makedirs(self.history)
        self.links = [os.path.join(self.folder, f'bus{i}') for i in range(len(buses))]
        for i, args in enumerate(buses):
            self.sims.append(start_sim(self.folder, f'sim{i}', self.links[i], '--seed', str(i + 3), *args))
        self.mqtt_port = None
        if mqtt:
            self.mqtt_port = free_port()
            conf = os.path.join(self.folder, 'mosquitto.conf')
            with open(conf, 'w') as f:
                f.write(f'listener {self.mqtt_port} 127.0.0.1\nallow_anonymous true\npersistence false\n')
            broker = Process(self.folder, 'mosquitto', [MOSQUITTO, '-c', conf])
            self.processes.append(broker)
            wait_until(lambda: self.connectable(self.mqtt_port) or broker.process.poll() is not None, 10, 'broker')
        self.web_port = free_port()
        config = os.path.join(self.folder, 'bridge.toml')
        lines = ['poll_interval_s = 1', '']
        if mqtt:
            lines += ['[mqtt]', 'host = "127.0.0.1"', f'port = {self.mqtt_port}',
                      'client_id = "kestrane-e2e"', 'topic_prefix = "kestrane"', '']
        lines += ['[history]', f'dir = "{self.history}"', 'interval_s = 1', '',
                  '[web]', f'listen = "127.0.0.1:{self.web_port}"', f'read_access = "{read_access}"',
                  f'viewer_password_hash = "{hash_password(VIEWER_PASSWORD)}"',
                  f'admin_password_hash = "{hash_password(ADMIN_PASSWORD)}"', '']
        names = iter(['Shed east', 'Barn <b>roof</b>', 'Pump house', 'Gate'])
        for i, args in enumerate(buses):
            addresses = args[1].split(',') if args and args[0] == '--devices' else ['1']
            devices = ', '.join(f'{{ address = {a}, name = "{next(names)}", allow_control = true }}'
                                for a in addresses)
            lines += ['[[bus]]', f'port = "{self.links[i]}"', 'response_timeout_ms = 400', 'retries = 1',
                      f'devices = [ {devices} ]', '']
        with open(config, 'w') as f:
            f.write('\n'.join(lines))
        os.chmod(config, 0o600)
        self.bridge = Process(self.folder, 'bridge', [BRIDGE, '--config', config])
        self.processes.append(self.bridge)
        wait_until(lambda: self.connectable(self.web_port) or self.bridge.process.poll() is not None, 20, 'web port')
        if self.bridge.process.poll() is not None:
            raise RuntimeError('bridge did not start: ' + self.bridge.output())
        self.url = f'http://127.0.0.1:{self.web_port}/'

    @staticmethod
    def connectable(port):
        try:
            socket.create_connection(('127.0.0.1', port), timeout=1).close()
            return True
        except OSError:
            return False

    def restart_sim(self, index, *args):
        self.sims[index].stop()
        self.sims[index] = start_sim(self.folder, f'sim{index}-again', self.links[index],
                                     '--seed', str(index + 3), *args)

    def stop(self):
        for p in reversed(self.processes):
            p.stop()
        for sim in self.sims:
            sim.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


def chromium(language='en-US'):
    options = webdriver.ChromeOptions()
    for arg in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                f'--user-data-dir={tempfile.mkdtemp(prefix="kestrane-chromium-")}', f'--lang={language}']:
        options.add_argument(arg)
    options.add_experimental_option('prefs', {'intl.accept_languages': language})
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': WATCH_CSP})
    resize(driver, 1280, 800)
    return driver


def resize(driver, width, height):
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
        'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})


class BridgeCase(unittest.TestCase):
    """One rig and one browser per class; every case starts without cookies
    or stored language and ends without console errors or policy violations."""
    read_access = 'open'
    allowed_errors = ()
    buses = (('--devices', '1,2'), ())  # the simulators' arguments, one per bus

    @classmethod
    def setUpClass(cls):
        cls.rig = Rig(cls.read_access, cls.buses)
        try:
            cls.api = Http(cls.rig.web_port)
            if cls.read_access != 'open':
                cls.api.login(VIEWER_PASSWORD)
            cls.texts = cls.api.get('/api/v1/texts')
            # Every controller answered once and has its id from the serial number.
            cls.devices = wait_until(cls.all_online, 30, 'three controllers online')
            cls.driver = chromium()
        except BaseException:
            cls.rig.stop()
            raise

    @classmethod
    def all_online(cls):
        """The controllers by (bus, address) once each answered and has its
        final id: every simulator's first controller has the same serial
        number, so one of them keeps its bus-and-address id."""
        devices = cls.api.get('/api/v1/devices')['devices']
        if len(devices) != 3 or not all(d['online'] and d['state'] for d in devices):
            return None
        for d in devices:
            # A controller may take its serial-number id between the two requests.
            status, detail = cls.api.request('GET', f"/api/v1/devices/{d['id']}")
            if status != 200 or not detail['identity']['serial_number']:
                return None
        return {(d['bus'], d['address']): d for d in cls.api.get('/api/v1/devices')['devices']}

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.rig.stop()

    def setUp(self):
        # A page of the same origin that is not the app, so the next open()
        # loads the app afresh rather than only changing its hash.
        self.driver.get(self.rig.url + 'api/v1/texts')
        self.driver.delete_all_cookies()
        self.driver.execute_script('localStorage.clear()')
        self.driver.get_log('browser')

    def tearDown(self):
        errors = [e['message'] for e in self.driver.get_log('browser')
                  if e['level'] == 'SEVERE' and not any(a in e['message'] for a in self.allowed_errors)]
        self.assertEqual(errors, [], 'console errors')
        self.assertEqual(self.driver.execute_script('return window.__csp || []'), [], 'policy violations')

    def open(self, hash_path):
        self.driver.get(self.rig.url + hash_path)

    def wait(self, condition, timeout=15, message=''):
        message = message or f'the condition on line {condition.__code__.co_firstlineno}'
        return WebDriverWait(self.driver, timeout, poll_frequency=0.1).until(lambda d: condition(), message)

    def finds(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def text_now(self, css):
        """The text of what `css` finds now; the device page rebuilds its
        groups once the controller's details arrive, so a cell found before
        that is gone."""
        try:
            return self.find(css).text
        except StaleElementReferenceException:
            return None

    def wait_for(self, css, timeout=15):
        return self.wait(lambda: self.finds(css), timeout, f'no {css}')[0]

    def cell(self, device_id, key):
        return self.wait_for(f'.card[data-device-id="{device_id}"] [data-key="{key}"]')

    def device(self, bus, address):
        return self.devices[(bus, address)]

    def login(self, password):
        self.wait_for('#role[data-role]')
        self.find('#login-open').click()
        self.find('#login-password').send_keys(password)
        self.find('#login-submit').click()

    def browser_fetch(self, method, path, headers):
        """A request from the page's own origin with its cookie: [status, body]."""
        return self.driver.execute_async_script("""
            const [method, path, headers, done] = arguments;
            fetch(path, {method, headers, body: method === 'POST' ? '{"mode":"On"}' : undefined,
                         credentials: 'same-origin'})
              .then(async (r) => done([r.status, await r.text()]), (e) => done([0, String(e)]));""",
                                                 method, path, headers)


def volts(value):
    return f'{value:.1f} V'


class OpenBridgeTest(BridgeCase):
    def test_overview_shows_the_simulators_values(self):
        self.open('#/')
        self.wait(lambda: len(self.finds('.card')) == 3)
        for device in self.devices.values():
            did = device['id']
            self.assertEqual(self.cell(did, 'status').get_attribute('data-status'), 'online')
            # The page and the API look at the same moving values: the same
            # reading once both caught up with one poll.
            def same():
                state = self.api.get(f'/api/v1/devices/{did}')['state']
                return (self.cell(did, 'battery_voltage').text == volts(state['battery_voltage'])
                        and self.cell(did, 'pv_voltage').text == volts(state['pv_voltage'])
                        and self.cell(did, 'charged_today_wh').text == f"{state['charged_today_wh']:,} Wh"
                        and self.cell(did, 'charge_state').text
                        == self.texts['en']['charge_state'][str(state['charge_state'])])
            self.wait(same, 15, f'{did}: the page shows what the API says')
        name = self.cell(self.device(0, 2)['id'], 'name')
        self.assertEqual(name.text, 'Barn <b>roof</b>')  # markup from the config stays text
        self.assertEqual(name.find_elements(By.TAG_NAME, 'b'), [])
        self.wait(lambda: self.find('#totals [data-key="count"]').text == '3 controllers, 3 online')

    def test_a_state_change_reaches_the_open_page_through_the_live_stream(self):
        target = self.device(0, 1)['id']
        admin = Http(self.rig.web_port)
        self.assertEqual(admin.login(ADMIN_PASSWORD)[0], 200)
        before = admin.get(f'/api/v1/devices/{target}')['state']['load_mode']
        after = 'On' if before != 'On' else 'Off'
        self.open(f'#/device/{target}')
        self.wait(lambda: self.text_now('[data-key="load_mode"]') == self.texts['en']['load_mode'][before])
        # Settings of another battery type are not shown (the profile holds all).
        detail = admin.get(f'/api/v1/devices/{target}')
        self.wait_for('[data-key="battery.maxChargeCurrent"]')
        if detail['settings']['battery']['type'] != 'Li-ion':
            self.assertEqual(self.finds('[data-key^="lithium."]'), [])
            self.assertNotEqual(self.finds('[data-key^="leadAcid."]'), [])
        self.driver.execute_script('window.__same_page = true')
        status, answer = admin.post(f'/api/v1/devices/{target}/load_mode', {'mode': after})
        self.assertEqual((status, answer['ok']), (200, True), answer)
        self.wait(lambda: self.text_now('[data-key="load_mode"]') == self.texts['en']['load_mode'][after], 15,
                  'load mode on the page')
        self.assertTrue(self.driver.execute_script('return window.__same_page === true'), 'the page was reloaded')

    def test_a_hung_up_controller_goes_offline_and_comes_back(self):
        pump = self.device(1, 1)['id']
        self.open('#/')
        status = self.cell(pump, 'status')
        self.wait(lambda: status.get_attribute('data-status') == 'online')
        # A simulator that closes its line after a few requests, like an
        # adapter pulled out: the card turns offline, then online again once a
        # simulator is back on the same path.
        self.rig.restart_sim(1, '--hangup-after', '40')
        try:
            self.wait(lambda: status.get_attribute('data-status') == 'offline', 40, 'offline')
            self.assertRegex(status.text, r'^Offline · last seen \d\d:\d\d$')
            self.wait(lambda: self.find('#totals [data-key="count"]').text == '3 controllers, 2 online')
            self.assertFalse(self.api.get(f'/api/v1/devices/{pump}')['online'])
        finally:
            self.rig.restart_sim(1)
        self.wait(lambda: status.get_attribute('data-status') == 'online', 40, 'online again')
        self.driver.get_log('browser')

    def test_day_chart_draws_the_generated_history(self):
        shed = self.device(0, 1)['id']
        today = dt.date.fromisoformat(self.device(0, 1)['last_update'][:10])
        first = today - dt.timedelta(days=3)
        subprocess.run([LOGGEN, os.path.join(self.rig.history, shed), '--first', first.isoformat(),
                        '--days', '3', '--clean'], check=True, capture_output=True)
        yesterday = (today - dt.timedelta(days=1)).isoformat()
        points = """const c = Chart.getChart('day-chart');
            return c ? c.data.datasets[0].data.filter((p) => p.y !== null).map((p) => p.x) : [];"""
        # Today: the bridge's own records, written every second.
        self.open(f'#/device/{shed}')
        self.wait(lambda: self.find('#day-date').get_attribute('value') == today.isoformat())
        self.wait(lambda: self.driver.execute_script(points), 15, "the bridge's own records of today")
        self.find('#day-prev').click()
        self.wait(lambda: self.find('#day-date').get_attribute('value') == yesterday)
        # Local wall seconds: every point lies inside the day the axis shows.
        start = (dt.date.fromisoformat(yesterday) - dt.date(1970, 1, 1)).days * 86400
        # The chart keeps today's points until the day's answer has arrived.
        self.wait(lambda: self.driver.execute_script(
            "return Chart.getChart('day-chart').options.scales.x.min") == start, 15, 'the day on the axis')
        xs = self.wait(lambda: self.driver.execute_script(points), 15, 'points of the generated day')
        self.assertGreater(len(xs), 200)
        self.assertTrue(all(start <= x <= start + 86400 for x in xs), (start, xs[0], xs[-1]))
        self.assertEqual(self.driver.execute_script("return Chart.getChart('day-chart').options.scales.x.min"), start)
        self.assertTrue(self.find('#day-empty').get_attribute('hidden'))
        # The last 7 days: the three generated days have bars.
        bars = """const c = Chart.getChart('days-chart');
            return c ? c.data.datasets[0].data.filter((v) => v > 0).length : 0;"""
        self.wait(lambda: self.driver.execute_script(bars) >= 3, 15, 'bars of the generated days')
        csv = self.api.request('GET', f'/api/v1/devices/{shed}/day/{yesterday}.csv')
        self.assertEqual(csv[0], 200)

    def test_the_language_switch_shows_chinese(self):
        did = self.device(0, 1)['id']
        self.open('#/')
        self.cell(did, 'status')
        self.find('#lang-toggle').click()
        self.wait(lambda: self.find('#nav-overview').text == '总览')
        count = self.find('#totals [data-key="count"]')
        self.wait(lambda: count.text == '3 台控制器，3 台在线', 15, f'totals in Chinese: {count.text!r}')
        state = self.api.get(f'/api/v1/devices/{did}')['state']
        self.assertIn(self.cell(did, 'charge_state').text, self.texts['zh']['charge_state'].values())
        self.assertEqual(self.driver.execute_script('return document.documentElement.lang'), 'zh-Hans')
        self.assertTrue(state)

    def test_a_viewer_cannot_change_the_load_mode(self):
        barn = self.device(0, 2)['id']
        self.open(f'#/device/{barn}')
        self.login(VIEWER_PASSWORD)
        self.wait(lambda: self.find('#role').get_attribute('data-role') == 'viewer')
        self.wait_for('[data-group="realtime"]')
        self.assertEqual(self.finds('#load-mode-select'), [])
        self.assertEqual(self.finds('#set-clock'), [])
        # A forged request with the viewer's own CSRF value is still refused.
        session = json.loads(self.browser_fetch('GET', '/api/v1/session', {})[1])
        self.assertEqual(session['role'], 'viewer')
        status, body = self.browser_fetch('POST', f'/api/v1/devices/{barn}/load_mode',
                                          {'Content-Type': 'application/json', 'X-Kestrane-CSRF': session['csrf']})
        self.assertEqual(status, 403, body)
        self.assertEqual(json.loads(body)['error']['code'], 'forbidden')
        self.driver.get_log('browser')  # the refused fetch is logged on purpose

    def test_an_admin_changes_the_load_mode_and_mqtt_hears_of_it(self):
        barn = self.device(0, 2)['id']
        # Line-buffered, so the subscription's acknowledgement and the event
        # reach the file as they happen.
        events = Process(self.rig.folder, 'events', [
            'stdbuf', '-oL', MOSQUITTO_SUB, '-h', '127.0.0.1', '-p', str(self.rig.mqtt_port), '-t', f'kestrane/{barn}/event', '-d'])
        try:
            wait_until(lambda: 'SUBACK' in events.output(), 10, 'mosquitto_sub subscribed')
            self.open(f'#/device/{barn}')
            self.login(ADMIN_PASSWORD)
            self.wait(lambda: self.find('#role').get_attribute('data-role') == 'admin')
            # The controls are built again once the details arrive: wait for those first.
            self.wait_for('[data-key="battery.maxChargeCurrent"]')
            select = Select(self.wait_for('#load-mode-select'))
            before = self.api.get(f'/api/v1/devices/{barn}')['state']['load_mode']
            self.wait(lambda: select.first_selected_option.get_attribute('value') == before)
            after = 'Light&Time' if before != 'Light&Time' else 'Dual Timer'
            select.select_by_value(after)
            self.find('#load-mode-apply').click()
            result = self.find('#control-result')
            self.wait(lambda: result.get_attribute('data-ok') == 'true', 20, 'command outcome')
            # The bridge read the simulator's register back; its next poll shows it.
            wait_until(lambda: self.api.get(f'/api/v1/devices/{barn}')['state']['load_mode'] == after, 10,
                       'the new load mode in the API')
            self.wait(lambda: self.text_now('[data-key="load_mode"]') == self.texts['en']['load_mode'][after])

            def event():
                for line in events.output().splitlines():
                    if line.startswith('{'):
                        return json.loads(line)
            outcome = wait_until(event, 15, 'the outcome on the MQTT event topic')
            self.assertEqual((outcome['device_id'], outcome['ok']), (barn, True), outcome)
            self.assertEqual(outcome['message'], result.text)
        finally:
            events.stop()

    def test_a_post_without_the_csrf_header_is_refused(self):
        barn = self.device(0, 2)['id']
        admin = Http(self.rig.web_port)
        self.assertEqual(admin.login(ADMIN_PASSWORD)[0], 200)
        status, body = admin.post(f'/api/v1/devices/{barn}/load_mode', {'mode': 'On'}, csrf=False)
        self.assertEqual((status, body['error']['code']), (403, 'csrf'))
        admin.csrf = 'f' * len(admin.csrf)
        self.assertEqual(admin.post(f'/api/v1/devices/{barn}/clock', {})[0], 403)
        self.assertEqual(admin.post('/api/v1/logout', {}, csrf=False)[0], 403)

    def test_screenshots(self):
        barn = self.device(0, 2)['id']
        for lang in ['en', 'zh']:
            for width, height in [(1280, 800), (390, 844)]:
                resize(self.driver, width, height)
                self.open('#/')
                self.wait(lambda: len(self.finds('.card[data-status="online"]')) == 3)
                if lang == 'zh':
                    self.wait(lambda: self.find('#nav-overview').text == '总览')
                self.driver.save_screenshot(os.path.join(SHOTS, f'bridge-overview-{lang}-{width}x{height}.png'))
                self.open(f'#/device/{barn}')
                self.wait(lambda: self.driver.execute_script(
                    "return !!(window.Chart && Chart.getChart('day-chart') && Chart.getChart('days-chart'))"))
                self.wait(lambda: self.text_now('[data-key="firmware"]') not in (None, '', '—'))
                self.driver.save_screenshot(os.path.join(SHOTS, f'bridge-device-{lang}-{width}x{height}.png'))
            if lang == 'en':
                self.find('#lang-toggle').click()
        # The charts of a controller with history: its page scrolled to them.
        resize(self.driver, 1280, 800)
        shed = self.device(0, 1)['id']
        self.open(f'#/device/{shed}')
        self.wait(lambda: self.driver.execute_script("return !!(window.Chart && Chart.getChart('days-chart'))"))
        day = self.find('#day-date').get_attribute('value')
        self.find('#day-prev').click()
        self.wait(lambda: self.find('#day-date').get_attribute('value') != day)
        self.wait(lambda: self.driver.execute_script(
            "return Chart.getChart('day-chart').data.datasets[0].data.length > 100"))
        self.driver.execute_script("document.getElementById('chart-slot').scrollIntoView()")
        self.driver.save_screenshot(os.path.join(SHOTS, 'bridge-device-charts-zh-1280x800.png'))
        print(f'screenshots in {SHOTS}', file=sys.stderr)


class PasswordBridgeTest(BridgeCase):
    read_access = 'password'
    allowed_errors = ('401 (Unauthorized)', '429 (Too Many Requests)')

    def test_every_viewer_path_wants_a_session_and_wrong_passwords_are_throttled(self):
        did = self.devices[(0, 1)]['id']
        today = self.devices[(0, 1)]['last_update'][:10]
        paths = ['/api/v1/devices', f'/api/v1/devices/{did}', '/api/v1/events', '/api/v1/bridge',
                 f'/api/v1/devices/{did}/days?from={today}&to={today}',
                 f'/api/v1/devices/{did}/series?from={today}&to={today}T23:59',
                 f'/api/v1/devices/{did}/day/{today}.csv']
        stranger = Http(self.rig.web_port)
        for path in paths:
            status, body = stranger.request('GET', path)
            self.assertEqual(status, 401, path)
            self.assertEqual(body['error']['code'], 'unauthorized', path)
        # /metrics, where the bridge has it, is no more open than the rest.
        self.assertIn(stranger.request('GET', '/metrics')[0], (401, 404))
        self.assertEqual(stranger.get('/api/v1/session')['role'], 'none')
        for path in paths[:2] + paths[3:]:
            self.assertEqual(self.api.request('GET', path)[0], 200, path)

        # The page asks for the password first; five wrong ones, then 429.
        self.open('#/')
        self.wait(lambda: self.find('#view').get_attribute('data-view') == 'login')
        for attempt in range(5):
            status, body = stranger.login('wrong guess')
            self.assertEqual(status, 401, attempt)
        status, body = stranger.login(VIEWER_PASSWORD)  # even the right one, for now
        self.assertEqual((status, body['error']['code']), (429, 'too_many_requests'))
        self.find('#view-login-password').send_keys(VIEWER_PASSWORD)
        self.find('#view-login-form button').click()
        self.wait(lambda: self.find('#view-login-error').text == 'Too many attempts; wait a moment.', 10,
                  'the throttle said in the login view')
        self.assertEqual(self.find('#view').get_attribute('data-view'), 'login')


if __name__ == '__main__':
    unittest.main(verbosity=2)
