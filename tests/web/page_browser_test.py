#!/usr/bin/env python3
"""The web page in a real headless Chromium against the mock API
(tests/web/mock_api.py), served with the bridge's Content-Security-Policy:
no console errors, no policy violations, the views, the two languages, the
live-connection banner, the admin controls, and screenshots of the overview
and a device page at desktop and phone sizes in both languages.

Exits 77 (skipped) when Chromium, chromedriver or selenium is missing.
Screenshots go to $KESTRANE_SCREENSHOT_DIR (default: a temporary folder).
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.request

try:
    from selenium import webdriver
    from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
CHROMEDRIVER = shutil.which('chromedriver') or '/usr/bin/chromedriver'
if not os.path.exists(CHROMEDRIVER) or not (shutil.which('chromium') or shutil.which('chromium-browser')):
    sys.exit(77)
TEXTS = json.load(open(os.path.join(HERE, 'texts.json'), encoding='utf-8'))
SHOTS = os.environ.get('KESTRANE_SCREENSHOT_DIR') or tempfile.mkdtemp(prefix='kestrane-page-')
BARN = 'sn-ks2026b000000007'   # alarm, allow_control, lithium, Dual Timer
SHED = 'sn-ks2026a000000042'   # normal, no control
# Collected before any page script runs, so a refused inline style or script counts too.
WATCH_CSP = """window.__csp = [];
document.addEventListener('securitypolicyviolation',
  (e) => window.__csp.push(e.violatedDirective + ' ' + e.blockedURI));"""


class MockServer:
    def __init__(self, *args):
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(HERE, 'mock_api.py'), '--port', '0', '--tick', '1', *args],
            stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()  # "listening on http://127.0.0.1:PORT/"
        if not line.startswith('listening on '):
            self.stop()
            raise RuntimeError('mock server did not start: ' + line)
        self.url = line.split()[-1]

    def post(self, path, body):
        request = urllib.request.Request(self.url.rstrip('/') + path, data=json.dumps(body).encode(),
                                         headers={'Content-Type': 'application/json'})
        urllib.request.urlopen(request, timeout=5).read()

    def get(self, path):
        with urllib.request.urlopen(self.url.rstrip('/') + path, timeout=5) as response:
            return json.load(response)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def chromium(language='en-US', width=1280, height=800):
    options = webdriver.ChromeOptions()
    for arg in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                f'--user-data-dir={tempfile.mkdtemp(prefix="kestrane-chromium-")}', f'--lang={language}']:
        options.add_argument(arg)
    options.add_experimental_option('prefs', {'intl.accept_languages': language})
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': WATCH_CSP})
    resize(driver, width, height)
    return driver


def resize(driver, width, height):
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
        'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})


class PageCase(unittest.TestCase):
    """One mock server and one browser for a group of cases; every case
    starts without cookies or stored language and ends without errors."""
    mock_args = ()
    language = 'en-US'
    allowed_errors = ()  # console messages a case expects (substrings)

    @classmethod
    def setUpClass(cls):
        cls.mock = MockServer(*cls.mock_args)
        cls.driver = chromium(cls.language)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.mock.stop()

    def setUp(self):
        self.open('')
        self.driver.delete_all_cookies()
        self.driver.execute_script('localStorage.clear()')
        # Loaded again, so that no session of the case before lives on in
        # the page: opening a #/ path later does not load it anew.
        self.driver.refresh()
        self.driver.get_log('browser')

    def tearDown(self):
        errors = [e['message'] for e in self.driver.get_log('browser')
                  if e['level'] == 'SEVERE' and not any(a in e['message'] for a in self.allowed_errors)]
        self.assertEqual(errors, [], 'console errors')
        self.assertEqual(self.driver.execute_script('return window.__csp || []'), [], 'policy violations')

    def open(self, hash_path):
        self.driver.get(self.mock.url + hash_path)
        self.driver.execute_script('window.__csp = window.__csp || []')

    def wait(self, condition, timeout=10, message=''):
        # The page rebuilds parts of itself: an element found a moment ago
        # may be gone, and the condition is simply asked again.
        return WebDriverWait(self.driver, timeout, poll_frequency=0.1,
                             ignored_exceptions=(NoSuchElementException, StaleElementReferenceException)
                             ).until(lambda d: condition(), message)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def finds(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def text(self, css):
        return self.find(css).text

    def wait_for(self, css, timeout=10):
        return self.wait(lambda: self.finds(css), timeout, f'no {css}')[0]

    def card(self, device_id):
        return self.wait_for(f'.card[data-device-id="{device_id}"]')

    def login(self, password):
        self.wait_for('#role[data-role]')
        self.find('#login-open').click()
        self.find('#login-password').send_keys(password)
        self.find('#login-submit').click()


class OverviewTest(PageCase):
    def test_cards_show_each_controllers_state(self):
        self.open('#/')
        self.wait(lambda: len(self.finds('.card')) == 5)
        shed = self.card(SHED)
        self.assertEqual(shed.find_element(By.CSS_SELECTOR, '[data-key="status"]').get_attribute('data-status'), 'online')
        self.assertEqual(shed.find_element(By.CSS_SELECTOR, '[data-key="charge_state"]').text,
                         TEXTS['en']['charge_state']['1'])
        self.assertRegex(shed.find_element(By.CSS_SELECTOR, '[data-key="battery_voltage"]').text, r'^13\.4 V$')
        self.assertEqual(shed.find_element(By.CSS_SELECTOR, '[data-key="charged_today_wh"]').text, '512 Wh')

        barn = self.card(BARN)
        badge = barn.find_element(By.CSS_SELECTOR, '[data-key="alarm"]')
        self.assertIn('alarm-on', badge.get_attribute('class'))
        self.assertEqual(badge.text, f"{TEXTS['en']['alarm']['64']}, {TEXTS['en']['alarm']['128']}")
        # A name with markup in it stays text.
        self.assertEqual(barn.find_element(By.CSS_SELECTOR, '[data-key="name"]').text, 'Barn roof <b>south</b>')
        self.assertEqual(barn.find_elements(By.TAG_NAME, 'b'), [])

        status = lambda id: self.card(id).find_element(By.CSS_SELECTOR, '[data-key="status"]')
        self.assertEqual(status('sn-ks2026a000000101').get_attribute('data-status'), 'offline')
        self.assertEqual(status('sn-ks2026a000000102').get_attribute('data-status'), 'never')
        self.assertEqual(status('sn-ks2026a000000103').get_attribute('data-status'), 'stale')
        self.assertRegex(status('sn-ks2026a000000103').text, r'^no data since \d\d:\d\d$')
        self.assertEqual(self.find('#totals [data-key="count"]').text, '5 controllers, 2 online')

    def test_freshness_follows_the_bridges_ages_not_its_wall_clock(self):
        # The bridge's clock a year behind (no network time yet) or ahead: its
        # controllers are as fresh as before, only the times shown move.
        status = lambda id: self.card(id).find_element(By.CSS_SELECTOR, '[data-key="status"]')
        year = 365 * 86400
        try:
            for offset in (-year, year):
                self.mock.post('/__mock/clock', {'offset_s': offset})
                self.open('#/')
                self.driver.refresh()  # the same address: load the devices afresh
                self.wait(lambda: status(SHED).get_attribute('data-status') == 'online')
                self.assertEqual(status('sn-ks2026a000000103').get_attribute('data-status'), 'stale')
                self.assertEqual(self.find('#totals [data-key="count"]').text, '5 controllers, 2 online')
                well = next(d for d in self.mock.get('/api/v1/devices')['devices']
                            if d['id'] == 'sn-ks2026a000000103')
                self.assertIn(well['last_update'][:10], status('sn-ks2026a000000103').text)
        finally:
            self.mock.post('/__mock/clock', {})

    def test_live_updates_reach_the_card(self):
        self.open('#/')
        status = lambda: self.card(SHED).find_element(By.CSS_SELECTOR, '[data-key="status"]').text
        first = self.wait(status)
        self.wait(lambda: status() != first, 10, 'no live update')

    def test_banner_tells_when_the_live_connection_drops_and_returns(self):
        self.open('#/')
        self.card(SHED)
        banner = self.find('#conn-banner')
        self.assertFalse(banner.is_displayed())
        try:
            self.mock.post('/__mock/events', {'up': False})
            self.wait(lambda: banner.is_displayed() and banner.get_attribute('data-state') == 'down', 15)
        finally:
            self.mock.post('/__mock/events', {'up': True})
        self.wait(lambda: banner.get_attribute('data-state') == 'up', 15)
        self.assertEqual(banner.text, 'Live connection restored.')
        self.driver.get_log('browser')  # the refused reconnects are logged as errors on purpose

    def test_language_follows_the_toggle_and_is_remembered(self):
        self.open('#/')
        self.card(SHED)
        self.assertEqual(self.driver.execute_script('return document.documentElement.lang'), 'en')
        self.find('#lang-toggle').click()
        state = lambda: self.card(SHED).find_element(By.CSS_SELECTOR, '[data-key="charge_state"]').text
        self.wait(lambda: state() == TEXTS['zh']['charge_state']['1'])
        self.assertEqual(self.find('#nav-overview').text, '总览')
        self.driver.refresh()
        self.wait(lambda: state() == TEXTS['zh']['charge_state']['1'])
        self.assertEqual(self.driver.execute_script('return document.documentElement.lang'), 'zh-Hans')
        self.assertEqual(self.driver.execute_script('return localStorage.getItem("kestrane.lang")'), 'zh')

    def test_bridge_page(self):
        self.open('#/bridge')
        self.wait_for('#bus-table tr[data-bus-index="1"]')
        # The view is built anew on every bridge event: each look finds its element again.
        self.wait(lambda: '/dev/ttyUSB0' in self.text('#bus-table tr[data-bus-index="0"]'))
        self.wait(lambda: self.text('#mqtt-state') == 'connected')
        self.wait(lambda: self.text('#bridge-info [data-key="version"]') == '1.3')
        self.wait(lambda: self.text('#history-state [data-key="records_written"]') == '1,234')


class DevicePageTest(PageCase):
    def open_device(self, device_id):
        self.open(f'#/device/{device_id}')
        self.wait(lambda: self.driver.execute_script(
            "return !!(window.Chart && Chart.getChart('day-chart') && Chart.getChart('days-chart'))"))

    def test_groups_show_every_live_value_in_the_windows_words(self):
        self.open_device(BARN)
        for group in ['running', 'realtime', 'battery', 'load', 'energy', 'identity', 'link']:
            self.find(f'[data-group="{group}"]')
        self.assertEqual(self.text('[data-group="realtime"] h2'), TEXTS['en']['groups']['realtime'])
        mode = self.mock.get(f'/api/v1/devices/{BARN}')['state']['load_mode']  # an admin case may change it
        self.assertEqual(self.text('[data-key="load_mode"]'), TEXTS['en']['load_mode'][mode])
        self.assertEqual(self.text('[data-key="battery_type"]'), TEXTS['en']['battery_type']['4'])
        self.assertEqual(self.text('[data-key="lithium.chargeVoltage"]'), '14.2 V')
        self.assertEqual(self.text('[data-key="load.timer1"]'), '18:05 – 23:00')
        self.assertEqual(self.text('[data-key="firmware"]'), 'V1.4')
        self.assertEqual(self.text('[data-key="link.timeout"]'), '12')
        self.assertEqual(self.finds('#load-mode-select'), [])
        self.assertEqual(self.finds('#set-clock'), [])

    def test_day_chart_breaks_at_gaps_and_moves_by_day(self):
        self.open_device(SHED)
        gaps = self.driver.execute_script(
            "return Chart.getChart('day-chart').data.datasets[0].data.filter((p) => p.y === null).length")
        self.assertGreater(gaps, 0)
        today = self.find('#day-date').get_attribute('value')
        self.assertTrue(self.find('#day-next').get_attribute('disabled'))
        self.find('#day-prev').click()
        self.wait(lambda: self.find('#day-date').get_attribute('value') != today)
        day = self.find('#day-date').get_attribute('value')
        self.assertTrue(self.find('#day-csv').get_attribute('href').endswith(f'/api/v1/devices/{SHED}/day/{day}.csv'))
        self.wait(lambda: self.driver.execute_script(
            "return Chart.getChart('day-chart').options.scales.x.min") == self.driver.execute_script(
            f"return Date.UTC({day[:4]}, {int(day[5:7]) - 1}, {int(day[8:])}) / 1000"))

    def test_a_bar_of_the_days_chart_opens_its_day(self):
        self.open_device(SHED)
        Select(self.find('#days-range')).select_by_value('31')
        self.wait(lambda: self.driver.execute_script("return Chart.getChart('days-chart').data.labels.length") == 31)
        bar = self.driver.execute_script("""
            const chart = Chart.getChart('days-chart');
            const i = chart.data.datasets[0].data.findIndex((v) => v > 0);
            const el = chart.getDatasetMeta(0).data[i];
            return {x: el.x, y: (el.y + el.base) / 2, date: chart.data.labels[i]};""")
        canvas = self.find('#days-chart')
        ActionChains(self.driver).move_to_element_with_offset(
            canvas, int(bar['x'] - canvas.size['width'] / 2), int(bar['y'] - canvas.size['height'] / 2)).click().perform()
        self.wait(lambda: self.find('#day-date').get_attribute('value') == bar['date'])

    def test_admin_sets_load_mode_and_clock_where_allowed(self):
        self.open_device(BARN)
        self.login('admin-pass')
        self.wait(lambda: self.find('#role').get_attribute('data-role') == 'admin')
        select = Select(self.wait_for('#load-mode-select'))
        mode = self.mock.get(f'/api/v1/devices/{BARN}')['state']['load_mode']
        self.assertEqual(select.first_selected_option.get_attribute('value'), mode)
        self.assertEqual([o.text for o in select.options],
                         [TEXTS['en']['load_mode'][m] for m in ['Light', 'Light&Time', 'Dual Timer', 'On', 'Off']])
        select.select_by_value('On')
        self.find('#load-mode-apply').click()
        result = self.find('#control-result')
        self.wait(lambda: result.get_attribute('data-ok') == 'true')
        self.assertEqual(result.text, 'load mode On written and read back')
        self.find('#set-clock').click()
        self.wait(lambda: result.text.startswith('clock set to'))
        # The bridge's own clock without network time: refused, in the page's words.
        self.mock.post('/__mock/clock', {'synchronised': False})
        try:
            self.find('#set-clock').click()
            self.wait(lambda: result.get_attribute('data-ok') == 'false')
            self.assertIn('not synchronised with network time', result.text)
            self.assertIn('clock_source = "local"', result.text)
            self.find('#lang-toggle').click()
            self.wait(lambda: self.find('#set-clock').text == '同步时钟')
            self.find('#set-clock').click()
            self.wait(lambda: '尚未与网络时间同步' in self.find('#control-result').text)
            self.find('#lang-toggle').click()
            self.wait(lambda: self.find('#set-clock').text == 'Set clock')
        finally:
            self.mock.post('/__mock/clock', {'synchronised': True})

        self.open(f'#/device/{SHED}')  # control is off for this one
        self.wait_for('[data-group="realtime"]')
        self.assertEqual(self.finds('#load-mode-select'), [])
        self.find('#logout').click()
        self.wait(lambda: self.find('#role').get_attribute('data-role') == 'viewer')
        self.open(f'#/device/{BARN}')
        self.wait_for('[data-group="realtime"]')
        self.assertEqual(self.finds('#set-clock'), [])

    def test_wrong_password_is_said(self):
        self.open('#/')
        self.login('guess')
        self.wait(lambda: self.text('#login-error') == 'Wrong password.')
        self.assertEqual(self.find('#role').get_attribute('data-role'), 'viewer')
        self.driver.get_log('browser')  # the 401 is logged by the browser


class SettingsSteps:
    """What an admin does on the settings tab, for the cases below."""

    def open_settings(self, device_id=BARN, admin=True):
        self.open(f'#/device/{device_id}/settings')
        if admin:
            self.login('admin-pass')
            self.wait(lambda: self.find('#role').get_attribute('data-role') == 'admin')
        return self.wait_for('#settings-form' if admin else '#settings-values, #settings-readonly, #settings-unavailable')

    def field(self, path):
        return self.find(f'#settings-form [data-path="{path}"]')

    def value(self, path):
        return self.field(path).get_property('value')

    def type_into(self, path, text):
        self.field(path).clear()
        self.field(path).send_keys(text)

    def choose(self, path, option):
        Select(self.field(path)).select_by_value(option)

    def shown(self, path):
        return self.field(path).is_displayed()

    def problem(self, path):
        return self.wait_for(f'[data-problem-for="{path}"]').text

    def summary(self):
        return [li.text for li in self.finds('#settings-problems li')]

    def check_passes(self):
        self.find('#settings-check').click()
        self.wait(lambda: self.finds('#settings-plan [data-block-code]') and self.find('#settings-write').is_enabled())

    def write(self, status):
        self.find('#settings-write').click()
        self.wait(lambda: self.find('#settings-result').get_attribute('data-status') == status, message=status)
        return self.find('#settings-result')

    def profile(self, device_id=BARN):
        return self.mock.get(f'/api/v1/devices/{device_id}/settings')['profile']

    def upload(self, name, data):
        path = os.path.join(tempfile.mkdtemp(prefix='kestrane-upload-'), name)
        with open(path, 'wb') as f:
            f.write(data)
        self.find('#settings-upload').send_keys(path)

    def fail_three_checks(self):
        self.type_into('battery.maxChargeCurrent', '12.34')
        self.type_into('battery.maxLoadCurrent', '-5')
        self.type_into('load.timer1.onHour', '7.5')
        self.find('#settings-check').click()
        self.wait(lambda: len(self.summary()) == 3)


class SettingsTabTest(SettingsSteps, PageCase):
    """The device page's Settings tab against the mock's settings, which are
    put back as at start before every case."""

    def setUp(self):
        super().setUp()
        self.mock.post('/__mock/settings', {'reset': True})

    def test_tabs_switch_without_losing_the_form(self):
        self.open(f'#/device/{BARN}')
        self.wait_for('[data-group="realtime"]')
        self.assertEqual(self.find('#tab-live').get_attribute('aria-current'), 'page')
        self.find('#tab-settings').click()
        self.wait(lambda: self.driver.execute_script('return location.hash') == f'#/device/{BARN}/settings')
        self.wait_for('#settings-values')
        self.assertFalse(self.find('#live-tab').is_displayed())
        self.assertEqual(self.find('#tab-settings').get_attribute('aria-current'), 'page')
        self.login('admin-pass')
        self.wait_for('#settings-form')
        self.type_into('battery.maxLoadCurrent', '18.5')
        self.find('#tab-live').click()
        self.wait(lambda: self.find('#live-tab').is_displayed() and not self.find('#settings-tab').is_displayed())
        self.find('#tab-settings').click()
        self.wait(lambda: self.find('#settings-tab').is_displayed())
        self.assertEqual(self.value('battery.maxLoadCurrent'), '18.5')

    def test_admin_checks_and_writes_float_voltage_and_load_mode(self):
        self.open_settings()
        read_at = self.text('#settings-read-at')
        self.assertRegex(read_at, r'^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$')
        self.assertFalse(self.find('#settings-write').is_enabled())
        # The lithium controller becomes a user-defined lead-acid one, whose
        # charge voltages its lithium profile did not carry.
        self.choose('battery.type', 'User-Diy')
        self.assertEqual(self.value('leadAcid.floatVoltage'), '')
        self.type_into('leadAcid.chargeVoltage', '14.4')
        self.type_into('leadAcid.floatVoltage', '13.6')
        self.type_into('leadAcid.equalizeVoltage', '14.6')
        self.choose('load.mode', 'Light Mode')
        self.check_passes()
        self.assertEqual({b.get_attribute('data-block-code') for b in self.finds('#settings-plan [data-block-code]')},
                         {'10', '13', '50'})
        battery = self.find('#settings-plan [data-block-code="10"]')
        changes = [li.text for li in battery.find_elements(By.TAG_NAME, 'li')]
        self.assertIn(f"{TEXTS['en']['fields']['leadAcid.floatVoltage']}: 13.8 V → 13.6 V", changes)
        self.assertIn(f"{TEXTS['en']['fields']['battery.type']}: Li-ion → User-Diy", changes)
        self.assertIn('battery settings (0x0101-0x0108)', battery.text)
        frames = battery.find_element(By.CLASS_NAME, 'frames')
        self.assertRegex(frames.text, r'^02 10 01 01 00 08 10( [0-9A-F]{2})+$')  # the barn is address 2
        self.assertIn('monospace', frames.value_of_css_property('font-family'))
        mode = self.find('#settings-plan [data-block-code="13"] li').text
        self.assertEqual(mode, f"{TEXTS['en']['fields']['load.mode']}: Dual Timer Mode → Light Mode")

        result = self.write('written')
        self.assertEqual(result.get_attribute('data-ok'), 'true')
        self.assertIn('settings written and read back', result.text)
        self.assertRegex(result.text, r'A backup of the settings before the write was kept: '
                                      r'KS2026B000000007-\d{8}-\d{6}\.json')
        backup = result.text.split('kept: ')[1].strip()
        self.wait(lambda: self.finds('#settings-backups li')[0].find_element(
            By.CSS_SELECTOR, 'button').get_attribute('data-backup') == backup)
        self.assertNotEqual(self.text('#settings-read-at'), read_at)
        self.assertFalse(self.find('#settings-write').is_enabled())
        self.assertEqual((self.value('leadAcid.floatVoltage'), self.value('load.mode')), ('13.6', 'Light Mode'))
        written = self.profile()
        self.assertEqual((written['leadAcid']['floatVoltage'], written['load']['mode']), (13.6, 'Light Mode'))

    def test_every_failing_check_is_listed_and_blocks_write(self):
        self.open_settings()
        self.fail_three_checks()
        expected = {'battery.maxChargeCurrent': '12.34 has more than one decimal',
                    'battery.maxLoadCurrent': '-5 is outside 0.0 to 6553.5',
                    'load.timer1.onHour': 'expected a whole number, got 7.5'}
        for path, message in expected.items():
            self.assertEqual(self.problem(path), message)
        self.assertEqual(self.summary()[0], f"{TEXTS['en']['fields']['battery.maxChargeCurrent']}: 12.34 has more than one decimal")
        self.assertEqual(self.summary()[2], 'Timer 1 on (hour): expected a whole number, got 7.5')
        self.assertFalse(self.find('#settings-write').is_enabled())
        self.assertFalse(self.find('#settings-plan').is_displayed())

        # Fixed, the check passes; any edit after it takes Write away again.
        self.type_into('battery.maxChargeCurrent', '12.3')
        self.type_into('battery.maxLoadCurrent', '5')
        self.type_into('load.timer1.onHour', '7')
        self.check_passes()
        self.assertEqual(self.finds('[data-problem-for]'), [])
        self.field('load.timer1.onHour').send_keys('1')
        self.wait(lambda: not self.find('#settings-write').is_enabled())
        self.assertFalse(self.find('#settings-plan').is_displayed())

        # The bridge words its problems in the page's language.
        self.find('#lang-toggle').click()
        self.wait(lambda: self.find('#settings-check').text == '检查')
        self.type_into('battery.maxLoadCurrent', '-5')
        self.find('#settings-check').click()
        self.assertEqual(self.problem('battery.maxLoadCurrent'), '-5 超出范围 0.0 ~ 6553.5')
        self.assertEqual(self.summary(), [f"{TEXTS['zh']['fields']['battery.maxLoadCurrent']}：-5 超出范围 0.0 ~ 6553.5"])

    def test_read_only_for_viewers_and_where_control_is_off(self):
        self.open_settings(admin=False)
        self.wait_for('#settings-values')
        for hook in ['#settings-form', '#settings-check', '#settings-write', '#settings-upload', '#settings-backups']:
            self.assertEqual(self.finds(hook), [], hook)
        cell = lambda path: self.find(f'#settings-values [data-path="{path}"]').text
        self.assertEqual(cell('lithium.chargeVoltage'), '14.2 V')
        self.assertEqual(cell('load.mode'), TEXTS['en']['load_mode']['Dual Timer'])
        self.assertEqual(cell('load.timer1.onMinute'), '5')
        self.assertEqual(self.finds('#settings-values [data-path="leadAcid.overVoltageProtect"]'), [])
        self.assertIn('log in as an admin', self.text('#settings-readonly'))
        self.assertTrue(self.find('#settings-download').get_attribute('href').startswith('blob:'))

        self.login('admin-pass')
        self.wait(lambda: self.find('#role').get_attribute('data-role') == 'admin')
        self.open(f'#/device/{SHED}/settings')
        self.wait(lambda: 'control is not allowed for this controller' in self.text('#settings-readonly'))
        self.assertEqual(self.finds('#settings-form'), [])
        self.assertEqual(self.finds('#settings-backups'), [])
        self.assertEqual(self.find('#settings-values [data-path="leadAcid.floatVoltage"]').text, '13.8 V')
        self.assertEqual(self.find('#settings-values [data-path="battery.systemVoltage"]').text, '24V')

        self.open('#/device/sn-ks2026a000000101/settings')
        self.assertEqual(self.wait_for('#settings-unavailable').text,
                         'The settings of this controller have not been read yet.')
        self.driver.get_log('browser')  # the 503 is logged by the browser

    def test_a_change_by_someone_else_refills_the_form(self):
        self.open_settings()
        read_at = self.text('#settings-read-at')
        self.type_into('battery.maxLoadCurrent', '19.5')
        self.check_passes()
        self.mock.post('/__mock/settings', {'changed': True})
        result = self.write('changed')
        self.assertEqual(result.get_attribute('data-ok'), 'false')
        self.assertIn('Someone changed the settings since they were read', result.text)
        self.assertEqual((self.value('battery.maxChargeCurrent'), self.value('battery.maxLoadCurrent')), ('40.0', '20.0'))
        self.assertNotEqual(self.text('#settings-read-at'), read_at)
        # Based on the new read, the same edit goes through.
        self.type_into('battery.maxLoadCurrent', '19.5')
        self.check_passes()
        self.write('written')
        self.assertEqual(self.profile()['battery']['maxLoadCurrent'], 19.5)
        self.driver.get_log('browser')  # the 409 is logged by the browser

    def test_failed_and_mismatched_writes_say_what_happened(self):
        self.open_settings()
        self.type_into('battery.maxLoadCurrent', '19.5')
        self.check_passes()
        self.mock.post('/__mock/settings', {'refuse_writes': True})
        result = self.write('failed')
        self.assertEqual(result.get_attribute('data-ok'), 'false')
        self.assertIn('writing load control (0x010A-0x0113) failed: exception (exception code 4)', result.text)
        self.assertRegex(result.text, r'A backup of the settings before the write was kept: KS2026B000000007-\d{8}-\d{6}')
        self.assertEqual(self.value('battery.maxLoadCurrent'), '19.5')  # kept to try again
        self.check_passes()
        self.mock.post('/__mock/settings', {'mismatch': True})
        result = self.write('mismatch')
        self.assertIn(f"{TEXTS['en']['fields']['battery.maxLoadCurrent']}: written 19.5 A, read back 20.0 A",
                      [li.text for li in result.find_elements(By.TAG_NAME, 'li')])

    def test_an_uploaded_profile_fills_the_form_and_is_checked(self):
        self.open_settings()
        self.upload('big.json', b'{"x": "' + b'a' * (64 * 1024) + b'"}')
        self.wait(lambda: self.text('#settings-note') == 'big.json is larger than 64 KiB; it was not read.')
        self.upload('notes.json', b'{"battery": ')
        self.wait(lambda: self.text('#settings-note') == 'notes.json is not JSON; it was not read.')
        self.assertEqual(self.value('battery.maxChargeCurrent'), '45.0')

        profile = {'battery': {'maxChargeCurrent': 33.3}, 'load': {'timer1': {'onHour': 25.5}}}
        self.upload('barn.json', json.dumps(profile).encode())
        self.assertEqual(self.problem('load.timer1.onHour'), 'expected a whole number, got 25.5')
        self.assertEqual(len(self.summary()), 1)
        self.assertEqual((self.value('battery.maxChargeCurrent'), self.value('battery.maxLoadCurrent')), ('33.3', '20.0'))
        self.assertIn('barn.json', self.text('#settings-note'))
        self.assertFalse(self.find('#settings-write').is_enabled())

    def test_a_backup_fills_the_form(self):
        self.open_settings()
        name = 'KS2026B000000007-20261201-093000.json'
        self.wait_for(f'#settings-backups [data-backup="{name}"]').click()
        self.wait(lambda: self.value('battery.maxChargeCurrent') == '40.0')
        self.assertEqual(self.value('load.timer1.onHour'), '19')
        self.assertIn(name, self.text('#settings-note'))
        self.assertFalse(self.find('#settings-write').is_enabled())
        self.check_passes()
        self.assertIn(f"{TEXTS['en']['fields']['battery.maxChargeCurrent']}: 45.0 A → 40.0 A",
                      self.text('#settings-plan [data-block-code="10"]'))

    def test_battery_type_and_load_mode_show_only_their_fields(self):
        self.open_settings()
        lead = ['leadAcid.overVoltageProtect', 'battery.systemVoltage', 'battery.equalizeMinutes']
        self.assertTrue(self.shown('lithium.chargeVoltage'))
        self.assertFalse(any(self.shown(p) for p in lead + ['leadAcid.floatVoltage']))
        self.choose('battery.type', 'User-Diy')
        self.assertTrue(all(self.shown(p) for p in lead + ['leadAcid.floatVoltage']))
        self.assertFalse(self.shown('lithium.chargeVoltage'))
        self.choose('battery.type', 'FLD')
        self.assertTrue(self.shown('leadAcid.overVoltageProtect'))
        self.assertFalse(self.shown('leadAcid.floatVoltage'))
        self.choose('battery.type', 'Li-ion')
        self.assertTrue(self.shown('lithium.chargeVoltage'))
        self.assertFalse(any(self.shown(p) for p in lead))
        self.assertFalse(self.find('[data-section="leadAcid"]').is_displayed())

        self.assertTrue(self.shown('load.timer2.offMinute'))
        self.choose('load.mode', 'Light&Time Mode')
        self.assertTrue(self.shown('load.eveningHours') and self.shown('load.onVoltage'))
        self.assertFalse(self.shown('load.timer2.offMinute') or self.shown('load.onDelay'))
        self.choose('load.mode', 'On Mode')
        self.assertFalse(self.shown('load.onVoltage'))
        self.assertEqual(Select(self.field('battery.type')).first_selected_option.text, TEXTS['en']['battery_type']['4'])

    def test_download_is_the_profile_as_read(self):
        folder = tempfile.mkdtemp(prefix='kestrane-download-')
        self.driver.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': folder})
        self.open_settings(admin=False)
        link = self.wait_for('#settings-download')
        self.assertTrue(link.get_attribute('href').startswith('blob:'))
        self.assertEqual(link.get_attribute('download'), 'KS2026B000000007-settings.json')
        link.click()
        path = os.path.join(folder, 'KS2026B000000007-settings.json')
        self.wait(lambda: os.path.exists(path) and os.path.getsize(path) > 0)
        with open(path, encoding='utf-8') as f:
            self.assertEqual(json.load(f), self.profile())


class PasswordReadTest(PageCase):
    mock_args = ('--read-access', 'password')
    allowed_errors = ('401 (Unauthorized)',)

    def test_login_opens_the_page(self):
        self.open('#/')
        self.wait(lambda: self.find('#view').get_attribute('data-view') == 'login')
        self.find('#view-login-password').send_keys('viewer-pass')
        self.find('#view-login-form button').click()
        self.wait(lambda: len(self.finds('.card')) == 5)
        self.assertFalse(self.find('#logout').get_attribute('hidden'))


class WithoutChartJsTest(PageCase):
    mock_args = ('--no-chartjs',)
    allowed_errors = ('chart.min.js',)

    def test_device_page_says_charts_are_unavailable(self):
        self.open(f'#/device/{SHED}')
        self.assertIn('Chart.js', self.wait_for('#charts-unavailable').text)
        self.wait(lambda: self.text('[data-key="charged_today_wh"]') == '512 Wh')


class ScreenshotTest(SettingsSteps, PageCase):
    """Overview, a device page and its settings tab with a failing check at
    desktop and phone size in both languages; the initial language comes
    from the browser's."""
    language = 'zh-CN'

    def whole_page(self, width, name):
        resize(self.driver, width, 800)
        resize(self.driver, width, self.driver.execute_script('return document.documentElement.scrollHeight'))
        self.driver.save_screenshot(os.path.join(SHOTS, name))

    def test_settings_screenshots(self):
        self.open_settings()
        for lang in ['zh', 'en']:
            resize(self.driver, 1280, 800)
            self.fail_three_checks()
            for width in [1280, 360]:
                self.whole_page(width, f'settings-{lang}-{width}.png')
            if lang == 'zh':
                self.assertEqual(self.find('#tab-settings').text, '参数设置')
                self.find('#lang-toggle').click()
                self.wait(lambda: self.find('#settings-check').text == 'Check')
        print(f'screenshots in {SHOTS}', file=sys.stderr)

    def test_screenshots(self):
        for lang in ['zh', 'en']:
            for width, height in [(1280, 800), (390, 844)]:
                resize(self.driver, width, height)
                self.open('#/')
                self.wait(lambda: len(self.finds('.card')) == 5)
                if lang == 'zh':
                    self.assertEqual(self.find('#nav-overview').text, '总览')  # from the browser's language
                self.driver.save_screenshot(os.path.join(SHOTS, f'overview-{lang}-{width}x{height}.png'))
                self.open(f'#/device/{BARN}')
                self.wait(lambda: self.driver.execute_script(
                    "return !!(window.Chart && Chart.getChart('days-chart'))"))
                self.driver.save_screenshot(os.path.join(SHOTS, f'device-{lang}-{width}x{height}.png'))
            if lang == 'zh':
                self.find('#lang-toggle').click()
        print(f'screenshots in {SHOTS}', file=sys.stderr)


if __name__ == '__main__':
    unittest.main(verbosity=2)
