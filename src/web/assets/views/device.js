// One controller, in two tabs: its live values (every value in the window's
// groups, its link counters, its history charts and, for an admin where the
// bridge allows it, the load mode and the clock) and its settings
// (deviceSettings.js), each built when first shown.
import { el, fill, setText } from '../dom.js';
import { t, name, alarmNames, labelOf } from '../i18n.js';
import { num, stateValue, wallDate, browserToday } from '../format.js';
import { store, canControl, stamped } from '../store.js';
import { getJson, postJson, devicePath } from '../api.js';
import { deviceStatus, statusText } from './overview.js';
import { loadChartJs, mountDeviceCharts } from './deviceCharts.js';
import { mountSettings } from './deviceSettings.js';

const REALTIME = ['pv_voltage', 'battery_voltage', 'load_voltage', 'charge_current', 'load_current',
  'charge_power', 'load_power', 'inner_temperature', 'battery_temperature'];
const ENERGY = ['charged_today_wh', 'charged_month_wh', 'charged_total_kwh',
  'used_today_wh', 'used_month_wh', 'used_total_kwh'];
// Settings profile paths with unit and decimals; a path the profile leaves
// out (another battery type, another load mode) is not shown.
const BATTERY_SETTINGS = [
  ['battery.systemVoltage', '', 0], ['battery.maxChargeCurrent', 'A', 1], ['battery.maxLoadCurrent', 'A', 1],
  ['leadAcid.chargeVoltage', 'V', 1], ['leadAcid.floatVoltage', 'V', 1], ['leadAcid.equalizeVoltage', 'V', 1],
  ['battery.equalizeMinutes', 'min', 0], ['leadAcid.overVoltageProtect', 'V', 1],
  ['leadAcid.overVoltageRecover', 'V', 1], ['leadAcid.lowVoltageProtect', 'V', 1],
  ['leadAcid.lowVoltageRecover', 'V', 1], ['lithium.chargeVoltage', 'V', 1], ['lithium.nominalVoltage', 'V', 1],
  ['lithium.overVoltageProtect', 'V', 1], ['lithium.overVoltageRecover', 'V', 1],
  ['lithium.lowVoltageProtect', 'V', 1], ['lithium.lowVoltageRecover', 'V', 1],
];
const LOAD_SETTINGS = [
  ['load.onVoltage', 'V', 1], ['load.offVoltage', 'V', 1], ['load.onDelay', 'min', 0, 'onDelay'],
  ['load.offDelay', 'min', 0, 'offDelay'], ['load.eveningHours', 'h', 0, 'eveningHours'],
  ['load.morningHours', 'h', 0, 'morningHours'],
];
const LOAD_MODES = ['Light', 'Light&Time', 'Dual Timer', 'On', 'Off'];
const OWN_LABELS = { systemVoltage: 'systemVoltage', charge_state: 'chargeState', load_on: 'loadOutput' };

function settingAt(settings, path) {
  let value = settings;
  for (const part of path.split('.')) value = value && typeof value === 'object' ? value[part] : undefined;
  return value;
}

// Whether a setting matters for the battery type and load mode the profile
// itself names, by the profile's own rules: the bridge's profile carries
// every field, lead-acid and lithium, all load modes' fields alike.
const LEAD_ACID_ONLY = ['battery.systemVoltage', 'battery.equalizeMinutes'];
const LOAD_MODE_FIELDS = {
  'load.onVoltage': ['Light Mode', 'Light&Time Mode'], 'load.offVoltage': ['Light Mode', 'Light&Time Mode'],
  'load.onDelay': ['Light Mode'], 'load.offDelay': ['Light Mode'],
  'load.eveningHours': ['Light&Time Mode'], 'load.morningHours': ['Light&Time Mode'],
  'load.timer1': ['Dual Timer Mode'], 'load.timer2': ['Dual Timer Mode'],
};

function applies(settings, path) {
  if (settingAt(settings, path) === undefined) return false;
  const type = settingAt(settings, 'battery.type');
  if (typeof type === 'string' && (path.startsWith('leadAcid.') || LEAD_ACID_ONLY.includes(path)))
    return type !== 'Li-ion';
  if (typeof type === 'string' && path.startsWith('lithium.')) return type === 'Li-ion';
  const mode = settingAt(settings, 'load.mode');
  if (typeof mode === 'string' && LOAD_MODE_FIELDS[path]) return LOAD_MODE_FIELDS[path].includes(mode);
  return true;
}

function row(key, label) {
  return el('div', { class: 'row' }, el('dt', { text: label }), el('dd', { dataset: { key } }));
}

function group(id, title, rows) {
  return el('section', { class: 'panel group', dataset: { group: id }, 'aria-labelledby': `group-${id}` },
    el('h2', { id: `group-${id}`, text: title }), el('dl', {}, rows));
}

function clock(timer) {
  if (!timer || typeof timer !== 'object') return undefined;
  const two = (v) => (typeof v === 'number' ? String(v).padStart(2, '0') : '--');
  return `${two(timer.onHour)}:${two(timer.onMinute)} – ${two(timer.offHour)}:${two(timer.offMinute)}`;
}

// tab: 'live' or 'settings'.
export function mountDevice(root, id, tab = 'live') {
  root.dataset.view = 'device';
  let detail = null;  // identity and settings from GET /api/v1/devices/{id}
  let charts = null;
  let chartsWanted = false;
  let settings = null;
  const head = el('div', { class: 'device-head' });
  const control = el('div', { id: 'control-slot' });
  const groups = el('div', { class: 'groups' });
  const chartSlot = el('div', { id: 'chart-slot' });
  const base = `#/device/${encodeURIComponent(id)}`;
  const tabs = el('nav', { class: 'tabs', 'aria-label': t('deviceTabs') },
    el('a', { id: 'tab-live', href: base, text: t('tabLive') }),
    el('a', { id: 'tab-settings', href: `${base}/settings`, text: t('tabSettings') }));
  const live = el('div', { id: 'live-tab' }, control, groups, chartSlot);
  const settingsSlot = el('div', { id: 'settings-tab' });
  const page = el('div', { id: 'device', dataset: { deviceId: id } }, head, tabs, live, settingsSlot);
  root.append(page);

  function device() { return store.devices.get(id) || (detail && detail.id === id ? detail : null); }

  function build() {
    const d = device();
    tabs.hidden = !d;
    if (!d) {
      fill(head, el('h1', { text: t('notFound') }), el('a', { href: '#/', text: t('back') }));
      return;
    }
    fill(head, el('a', { href: '#/', class: 'back', text: `← ${t('back')}` }),
      el('h1', { dataset: { key: 'name' } }), el('p', { class: 'status', dataset: { key: 'status' } }));
    const battery = BATTERY_SETTINGS.filter(([path]) => detail && applies(detail.settings, path))
      .map(([path, , , own]) => row(path, labelOf(path, own || (path === 'battery.systemVoltage' ? 'systemVoltage' : null))));
    const load = LOAD_SETTINGS.filter(([path]) => detail && applies(detail.settings, path))
      .map(([path, , , own]) => row(path, labelOf(path, own)));
    for (const timer of ['timer1', 'timer2'])
      if (detail && applies(detail.settings, `load.${timer}`)) load.push(row(`load.${timer}`, t(timer)));
    const link = Object.keys(d.link || {}).map((key) => row(`link.${key}`, key === 'last_cycle_ms' ? t('lastCycle') : key));
    fill(groups,
      group('running', name('groups', 'running') ?? t('chargeState'), [
        row('charge_state', t('chargeState')), row('alarm', labelOf('alarm', 'alarm'))]),
      group('realtime', name('groups', 'realtime') ?? 'Real-time', REALTIME.map((k) => row(k, labelOf(k)))),
      group('battery', name('groups', 'battery') ?? t('battery'), [
        row('battery_type', labelOf('battery_type')), ...battery,
        detail && !detail.settings ? el('p', { class: 'muted', text: t('noSettings') }) : null]),
      group('load', name('groups', 'load') ?? t('load'), [
        row('load_on', t('loadOutput')), row('load_mode', t('loadModeWords')), ...load]),
      group('energy', name('groups', 'energy') ?? 'Energy', ENERGY.map((k) => row(k, labelOf(k)))),
      group('identity', name('groups', 'identity') ?? 'Identity', [
        row('model', labelOf('model')), row('serial_number', labelOf('serial_number')),
        row('firmware', labelOf('firmware')), row('id', t('deviceId')), row('bus_address', t('busAddress'))]),
      group('link', t('link'), link));
    buildControl(d);
    update();
  }

  function update() {
    const d = device();
    if (!d) return;
    const s = d.state || {};
    const has = Boolean(d.state);
    const set = (key, text) => setText(page.querySelector(`[data-key="${CSS.escape(key)}"]`), text);
    set('name', d.name || d.id);
    const status = deviceStatus(d);
    const statusNode = head.querySelector('[data-key="status"]');
    if (statusNode) { statusNode.dataset.status = status; setText(statusNode, statusText(d, status)); }
    for (const key of [...REALTIME, ...ENERGY]) set(key, stateValue(key, s[key]));
    const code = Number(s.alarm_code) || 0;
    set('charge_state', has ? name('charge_state', s.charge_state) ?? s.charge_state_text ?? '—' : '—');
    set('alarm', has ? (code ? alarmNames(code).join(', ') : name('alarm', 0) ?? '') : '—');
    page.querySelector('[data-key="alarm"]')?.classList.toggle('alarm-text', code !== 0);
    set('battery_type', has ? name('battery_type', s.battery_type) ?? '--' : '—');
    set('load_on', has ? `${s.load_on ? t('loadOn') : t('loadOff')} · ${stateValue('load_power', s.load_power)}` : '—');
    set('load_mode', has && s.load_mode ? name('load_mode', s.load_mode) ?? s.load_mode : '—');
    const settings = detail && detail.settings;
    for (const [path, unit, decimals] of [...BATTERY_SETTINGS, ...LOAD_SETTINGS]) {
      const value = settingAt(settings, path);
      if (value !== undefined) set(path, typeof value === 'number' ? num(value, decimals, unit) : String(value));
    }
    for (const timer of ['timer1', 'timer2']) {
      const text = clock(settingAt(settings, `load.${timer}`));
      if (text) set(`load.${timer}`, text);
    }
    const identity = (detail && detail.identity) || {};
    set('model', identity.model || '—');
    set('serial_number', identity.serial_number || '—');
    set('firmware', identity.firmware || '—');
    set('id', d.id);
    set('bus_address', `${d.bus ?? '—'} / ${d.address ?? '—'}`);
    for (const [key, value] of Object.entries(d.link || {}))
      set(`link.${key}`, key === 'last_cycle_ms' ? num(value, 1, 'ms') : num(value));
    const select = document.getElementById('load-mode-select');
    if (select && !select.matches(':focus') && s.load_mode && !select.dataset.touched) select.value = s.load_mode;
  }

  function buildControl(d) {
    if (!canControl(d)) { control.replaceChildren(); return; }
    // Built once per page: a rebuild would drop the admin's pending choice
    // and the last result.
    if (control.firstChild) return;
    const select = el('select', { id: 'load-mode-select', 'aria-label': t('loadModeLabel') },
      LOAD_MODES.map((mode) => el('option', { value: mode, text: name('load_mode', mode) ?? mode })));
    select.addEventListener('change', () => { select.dataset.touched = '1'; });
    const result = el('p', { id: 'control-result', role: 'status', 'aria-live': 'polite' });
    const apply = el('button', { type: 'button', id: 'load-mode-apply', class: 'button primary', text: t('apply') });
    const setClock = el('button', { type: 'button', id: 'set-clock', class: 'button', text: t('setClock') });
    async function send(path, body) {
      apply.disabled = setClock.disabled = true;
      result.className = 'result';
      result.textContent = t('working');
      try {
        const answer = await postJson(devicePath(id, path), body);
        result.className = `result ${answer.ok ? 'ok' : 'failed'}`;
        result.dataset.ok = String(Boolean(answer.ok));
        result.textContent = answer.refused === 'clock_unsynchronised' ? t('clockUnsynced')
          : typeof answer.message === 'string' ? answer.message : '';
      } catch (e) {
        result.className = 'result failed';
        result.dataset.ok = 'false';
        result.textContent = t('controlDenied', { e: e.message });
      } finally {
        apply.disabled = setClock.disabled = false;
      }
    }
    apply.addEventListener('click', () => send('/load_mode', { mode: select.value }));
    setClock.addEventListener('click', () => send('/clock', {}));
    fill(control, el('section', { class: 'panel control', 'aria-labelledby': 'control-title' },
      el('h2', { id: 'control-title', text: t('control') }),
      el('div', { class: 'control-row' },
        el('label', { for: 'load-mode-select', text: labelOf('load.mode', 'loadModeLabel') }), select, apply, setClock),
      result));
  }

  async function loadDetail() {
    try {
      detail = stamped(await getJson(devicePath(id)));
    } catch {
      detail = null;
    }
    build();
    startCharts();
  }

  // Chart.js is fetched only when the live tab of a device is first shown,
  // so the overview shows its live values without waiting for it, and a
  // chart is never drawn into a hidden tab.
  async function startCharts() {
    const d = device();
    if (!d || chartsWanted || live.hidden) return;
    chartsWanted = true;
    await loadChartJs();
    if (!charts) charts = mountDeviceCharts(chartSlot, id, wallDate(d.last_update) || browserToday());
  }

  function showTab(which) {
    for (const link of tabs.querySelectorAll('a')) {
      if (link.id === `tab-${which}`) link.setAttribute('aria-current', 'page'); else link.removeAttribute('aria-current');
    }
    live.hidden = which !== 'live';
    settingsSlot.hidden = which !== 'settings';
    if (which === 'settings' && !settings) settings = mountSettings(settingsSlot, id);
    if (which === 'live') startCharts();
  }

  showTab(tab === 'settings' ? 'settings' : 'live');
  build();
  loadDetail();
  return {
    deviceId: id,
    showTab,
    update(kind, which) {
      if (kind === 'device' && which !== id) return;
      if (kind === 'session' || kind === 'devices') build(); else update();
    },
    unmount() {
      if (charts) charts.unmount();
      if (settings) settings.unmount();
    },
  };
}
