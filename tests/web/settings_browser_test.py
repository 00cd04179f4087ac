#!/usr/bin/env python3
"""The Settings tab in a real headless Chromium against the REAL bridge and
simulated controllers (the rig of bridge_browser_test.py): what an admin
writes from the form is compared with the simulator's own registers, which
it dumps after every accepted write (--registers-file). Also: failing
checks, a viewer, a controller changed behind the page's back, a controller
that refuses writes, a profile uploaded from `kestrane-cli settings export`
of another controller, and a restore from a backup.

Programs come from the environment as for bridge_browser_test.py, plus
KESTRANE_CLI. Exits 77 (skipped) when Chromium, chromedriver, selenium or
mosquitto is missing.
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

from bridge_browser_test import (ADMIN_PASSWORD, SHOTS, VIEWER_PASSWORD, BridgeCase, Http, Process,
                                 resize, start_sim, wait_until)
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.support.ui import Select

CLI = os.environ.get('KESTRANE_CLI', 'build/tools/kestrane-cli')
FLOAT_REGISTER = 0x0104       # lead-acid float voltage, tenths of a volt
LOAD_MODE_REGISTER = 0x0401
FINAL = ('written', 'mismatch', 'failed', 'changed', 'refused', 'denied')


class SettingsBridgeTest(BridgeCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix='kestrane-settings-e2e-')
        cls.registers_files = [os.path.join(cls.scratch, f'registers{i}.json') for i in range(2)]
        cls.buses = (('--devices', '1,2', '--registers-file', cls.registers_files[0]),
                     ('--registers-file', cls.registers_files[1]))
        super().setUpClass()

    # The simulator's side.
    def registers(self, bus=0):
        with open(self.registers_files[bus]) as f:
            return json.load(f)

    def device_registers(self, bus, address):
        return {int(k): v for k, v in self.registers(bus)['devices'][str(address)].items()}

    @staticmethod
    def changed(before, after):
        return sorted(k for k in after if before.get(k) != after[k])

    # The page's side.
    def open_settings(self, device_id, password=ADMIN_PASSWORD):
        self.open(f'#/device/{device_id}/settings')
        self.login(password)
        admin = password == ADMIN_PASSWORD
        self.wait(lambda: self.find('#role').get_attribute('data-role') == ('admin' if admin else 'viewer'))
        # An admin gets the form, anyone else the values as text.
        self.wait_for('#settings-form [data-path="battery.type"]' if admin
                      else '#settings-values [data-path="battery.type"]')

    def value(self, path):
        try:
            return self.find(f'#settings-form [data-path="{path}"]').get_attribute('value')
        except StaleElementReferenceException:
            return None

    def set_value(self, path, value):
        field = self.wait_for(f'#settings-form [data-path="{path}"]')
        if field.tag_name == 'select':
            Select(field).select_by_value(value)
        else:
            field.clear()
            field.send_keys(str(value))

    def check(self):
        # Problems of an earlier check stay shown until the new answer
        # replaces them: wait for that, not for the old ones.
        old = self.finds('#settings-problems li')
        self.find('#settings-check').click()
        if old:
            self.wait(lambda: self.is_stale(old[0]), 20, 'the earlier problems replaced')
        self.wait(lambda: self.finds('#settings-problems li') or self.finds('#settings-plan [data-block-code]'),
                  20, 'the check answered')

    def write(self):
        self.wait(lambda: self.find('#settings-write').is_enabled(), 10, 'Write enabled')
        self.find('#settings-write').click()
        status = self.wait(lambda: self.status_now(), 30, 'the write answered')
        return status, self.find('#settings-result').text

    @staticmethod
    def is_stale(element):
        try:
            element.is_enabled()
            return False
        except StaleElementReferenceException:
            return True

    def status_now(self):
        try:
            status = self.find('#settings-result').get_attribute('data-status')
        except StaleElementReferenceException:
            return None
        return status if status in FINAL else None

    def plan_codes(self):
        return [int(e.get_attribute('data-block-code')) for e in self.finds('#settings-plan [data-block-code]')]

    def test_an_admin_writes_the_float_voltage_and_load_mode_and_only_those_registers_change(self):
        barn = self.device(0, 2)['id']
        before = self.device_registers(0, 2)
        neighbour = self.device_registers(0, 1)
        profile = self.api.get(f'/api/v1/devices/{barn}/settings')['profile']
        float_now = profile['leadAcid']['floatVoltage']
        mode = 'Dual Timer Mode' if profile['load']['mode'] != 'Dual Timer Mode' else 'Light Mode'
        self.open_settings(barn)
        self.assertEqual(float(self.value('leadAcid.floatVoltage')), float_now)
        self.set_value('leadAcid.floatVoltage', f'{float_now - 0.2:.1f}')
        self.set_value('load.mode', mode)
        self.check()
        self.assertEqual(self.finds('#settings-problems li'), [])
        self.assertEqual(self.plan_codes(), [10, 50, 13])
        frames = self.find('#settings-plan [data-block-code="10"] .frames').text
        self.assertTrue(frames.replace('\n', ' ').startswith('02 10 01 01 00 08'), frames)  # address 2
        status, text = self.write()
        self.assertEqual(status, 'written', text)

        after = self.device_registers(0, 2)
        self.assertEqual(self.changed(before, after), [FLOAT_REGISTER, LOAD_MODE_REGISTER])
        self.assertEqual(after[FLOAT_REGISTER], round((float_now - 0.2) * 10))
        self.assertEqual(self.device_registers(0, 1), neighbour)
        read = self.api.get(f'/api/v1/devices/{barn}/settings')['profile']
        self.assertEqual((read['leadAcid']['floatVoltage'], read['load']['mode']),
                         (round(float_now - 0.2, 1), mode))
        self.restore_through_the_api(barn, profile)

    def restore_through_the_api(self, device_id, profile):
        admin = Http(self.rig.web_port)
        admin.login(ADMIN_PASSWORD)
        read_at = admin.get(f'/api/v1/devices/{device_id}/settings')['read_at']
        status, body = admin.post(f'/api/v1/devices/{device_id}/settings/apply',
                                  {'profile': profile, 'based_on': read_at})
        self.assertEqual((status, body.get('ok')), (200, True), body)

    def test_three_failing_fields_are_listed_at_once_and_nothing_is_written(self):
        barn = self.device(0, 2)['id']
        writes = self.registers(0)['writes']
        self.open_settings(barn)
        for lang, width in [('en', 1280), ('zh', 1280), ('zh', 390)]:
            resize(self.driver, width, 900 if width > 600 else 844)
            if lang == 'zh' and width == 1280:
                self.find('#lang-toggle').click()
                self.wait(lambda: self.find('#nav-overview').text == '总览')
                self.wait_for('#settings-form [data-path="battery.type"]')
            self.set_value('leadAcid.floatVoltage', '19.6')
            self.set_value('leadAcid.lowVoltageRecover', '5.0')
            self.set_value('leadAcid.overVoltageRecover', '16.5')
            self.check()
            for path in ['leadAcid.floatVoltage', 'leadAcid.lowVoltageRecover', 'leadAcid.overVoltageRecover']:
                self.wait(lambda: (self.text_now(f'[data-problem-for="{path}"]') or '').strip())
            self.assertEqual(len(self.finds('#settings-problems li')), 3)
            self.assertFalse(self.find('#settings-write').is_enabled())
            self.driver.execute_script(
                "document.querySelector('[data-problem-for=\"leadAcid.floatVoltage\"]').scrollIntoView()")
            self.driver.save_screenshot(os.path.join(SHOTS, f'bridge-settings-check-{lang}-{width}.png'))
        resize(self.driver, 1280, 800)
        self.assertEqual(self.registers(0)['writes'], writes)

    def test_a_viewer_sees_the_settings_but_cannot_write_them(self):
        barn = self.device(0, 2)['id']
        profile = self.api.get(f'/api/v1/devices/{barn}/settings')['profile']
        self.open_settings(barn, VIEWER_PASSWORD)
        self.assertEqual(self.find('#settings-values [data-path="leadAcid.floatVoltage"]').text,
                         f"{profile['leadAcid']['floatVoltage']:.1f} V")
        self.assertEqual(self.finds('#settings-form'), [])
        self.assertEqual(self.finds('#settings-write'), [])
        self.assertEqual(self.finds('#settings-check'), [])
        session = json.loads(self.browser_fetch('GET', '/api/v1/session', {})[1])
        status, body = self.browser_fetch('POST', f'/api/v1/devices/{barn}/settings/apply',
                                          {'Content-Type': 'application/json', 'X-Kestrane-CSRF': session['csrf']})
        self.assertEqual(status, 403, body)
        self.driver.get_log('browser')  # the refused fetch is logged on purpose

    def test_a_controller_changed_behind_the_pages_back_is_not_written(self):
        barn = self.device(0, 2)['id']
        profile = self.api.get(f'/api/v1/devices/{barn}/settings')['profile']
        self.open_settings(barn)
        self.set_value('leadAcid.floatVoltage', f"{profile['leadAcid']['floatVoltage'] - 0.1:.1f}")
        self.check()
        # A second admin changes the load mode between the page's read and its write.
        other = Http(self.rig.web_port)
        other.login(ADMIN_PASSWORD)
        mode = 'On' if profile['load']['mode'] != 'On Mode' else 'Off'
        self.assertEqual(other.post(f'/api/v1/devices/{barn}/load_mode', {'mode': mode})[1]['ok'], True)
        before = self.device_registers(0, 2)
        status, text = self.write()
        self.assertEqual(status, 'changed', text)
        self.driver.get_log('browser')  # the 409 is logged by the browser
        self.assertEqual(self.device_registers(0, 2), before)
        self.wait(lambda: self.value('load.mode') == f'{mode} Mode')
        self.restore_through_the_api(barn, profile)

    def test_a_controller_that_refuses_writes_keeps_the_backup_and_the_page_says_what_failed(self):
        args = ('--registers-file', self.registers_files[1])
        self.restart_gate(*args, '--refuse-writes')
        try:
            gate = self.device(1, 1)['id']
            before = self.device_registers(1, 1)
            self.open_settings(gate)
            self.set_value('battery.maxChargeCurrent', '30.0')
            self.check()
            self.assertEqual([e.text for e in self.finds('#settings-problems li')], [])
            self.assertEqual(self.plan_codes(), [10, 50])
            status, text = self.write()
            self.assertIn(status, ('failed', 'mismatch'), text)
            self.assertIn('exception', text)
            backups = Http(self.rig.web_port)
            backups.login(ADMIN_PASSWORD)
            names = [b['name'] for b in backups.get(f'/api/v1/devices/{gate}/backups')['backups']]
            self.assertTrue(names and names[0] in text, (names, text))
            self.assertEqual(self.device_registers(1, 1), before)
        finally:
            self.restart_gate(*args)

    def restart_gate(self, *args):
        """The second bus's simulator started again with `args`, once the
        bridge has opened its line again and read the controller."""
        reopened = self.rig.bridge.output().count('open again')
        self.rig.restart_sim(1, *args)
        wait_until(lambda: self.rig.bridge.output().count('open again') > reopened, 30, 'the line reopened')
        gate = self.device(1, 1)['id']
        wait_until(lambda: self.api.get(f'/api/v1/devices/{gate}')['online'], 30, 'the gate back online')

    def test_a_profile_exported_from_another_controller_fills_the_form(self):
        folder = tempfile.mkdtemp(prefix='kestrane-export-', dir=self.scratch)
        link = os.path.join(folder, 'other')
        other = start_sim(folder, 'other', link, '--address', '7', '--seed', '11')
        try:
            changed = os.path.join(folder, 'changed.json')
            exported = os.path.join(folder, 'exported.json')
            subprocess.run([CLI, 'settings', 'export', '--port', link, '--address', '7', '-o', changed],
                           check=True, capture_output=True)
            with open(changed) as f:
                profile = json.load(f)
            profile['leadAcid']['floatVoltage'] = 13.5
            profile['battery']['maxChargeCurrent'] = 32.5
            profile['load'] = {**profile['load'], 'mode': 'Dual Timer Mode',
                               'timer1': {'onHour': 19, 'onMinute': 15, 'offHour': 22, 'offMinute': 45}}
            with open(changed, 'w') as f:
                json.dump(profile, f)
            subprocess.run([CLI, 'settings', 'apply', changed, '--yes', '--port', link, '--address', '7'],
                           check=True, capture_output=True, env={**os.environ, 'XDG_DATA_HOME': folder})
            subprocess.run([CLI, 'settings', 'export', '--port', link, '--address', '7', '-o', exported],
                           check=True, capture_output=True)
        finally:
            other.stop()
        with open(exported) as f:
            profile = json.load(f)

        barn = self.device(0, 2)['id']
        self.open_settings(barn)
        self.find('#settings-upload').send_keys(exported)
        self.wait(lambda: self.value('load.timer1.onHour') == '19')
        for section in ('battery', 'leadAcid', 'load'):
            for key, value in profile[section].items():
                items = value.items() if isinstance(value, dict) else [(None, value)]
                for sub, v in items:
                    path = f'{section}.{key}' + (f'.{sub}' if sub else '')
                    if self.finds(f'#settings-form [data-path="{path}"]'):
                        shown = self.value(path)
                        self.assertEqual(float(shown) if isinstance(v, (int, float)) else shown, v, path)

    def test_a_backup_fills_the_form_and_writing_it_restores_the_registers(self):
        barn = self.device(0, 2)['id']
        profile = self.api.get(f'/api/v1/devices/{barn}/settings')['profile']
        original = self.device_registers(0, 2)
        changed = json.loads(json.dumps(profile))
        changed['battery']['maxLoadCurrent'] = profile['battery']['maxLoadCurrent'] - 2
        self.restore_through_the_api(barn, changed)  # an ordinary write, which leaves a backup
        self.assertNotEqual(self.device_registers(0, 2), original)

        self.open_settings(barn)
        backup = self.wait_for('#settings-backups [data-backup]')
        backup.click()
        self.wait(lambda: self.value('battery.maxLoadCurrent') is not None
                  and float(self.value('battery.maxLoadCurrent')) == profile['battery']['maxLoadCurrent'])
        self.check()
        status, text = self.write()
        self.assertEqual(status, 'written', text)
        self.assertEqual(self.device_registers(0, 2), original)


if __name__ == '__main__':
    unittest.main(verbosity=2)
