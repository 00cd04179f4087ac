// The overview: one card per controller and the totals over all of them.
// Cards are built once and their cells updated in place, so a live update
// does not move the keyboard focus.
import { el, setText } from '../dom.js';
import { t, name, alarmNames } from '../i18n.js';
import { stateValue, wallTime, browserToday } from '../format.js';
import { store, staleAfterMs, deviceAgeMs } from '../store.js';

// online: fresh data; stale: online but nothing newer than three polls;
// offline: the bridge says the controller is away; never: no data at all.
// `now` is the browser's monotonic time (performance.now()).
export function deviceStatus(device, now = performance.now()) {
  if (!device.last_update) return 'never';
  if (!device.online) return 'offline';
  return deviceAgeMs(device, now) > staleAfterMs() ? 'stale' : 'online';
}

export function statusText(device, status) {
  const today = browserToday();
  switch (status) {
    case 'online': return `${t('online')} · ${t('updated', { t: wallTime(device.last_update, today, true) })}`;
    case 'stale': return t('noDataSince', { t: wallTime(device.last_update, today) });
    case 'offline': return `${t('offline')} · ${t('lastSeen', { t: wallTime(device.last_update, today) })}`;
    default: return `${t('offline')} · ${t('neverSeen')}`;
  }
}

function cell(label, key) {
  return el('div', { class: 'metric' }, el('span', { class: 'label', text: label }),
    el('span', { class: 'value', dataset: { key } }));
}

function buildCard(id) {
  const device = store.devices.get(id);
  const title = el('a', { href: `#/device/${encodeURIComponent(id)}`, class: 'card-title', dataset: { key: 'name' } });
  return el('article', { class: 'card', dataset: { deviceId: id }, 'aria-label': device.name || id },
    el('header', { class: 'card-head' }, title,
      el('span', { class: 'badge', dataset: { key: 'alarm' } })),
    el('p', { class: 'status', dataset: { key: 'status' } }),
    el('div', { class: 'metrics' },
      cell(t('pvPower'), 'pv_power'), cell(t('pvVoltage'), 'pv_voltage'),
      cell(t('battery'), 'battery_voltage'), cell(name('fields', 'charge_state') ?? t('chargeState'), 'charge_state'),
      cell(t('load'), 'load'), cell(t('chargedToday'), 'charged_today_wh'),
      cell(t('usedToday'), 'used_today_wh')));
}

function updateCard(card, device, now) {
  const s = device.state || {};
  const q = (key) => card.querySelector(`[data-key="${key}"]`);
  setText(q('name'), device.name || device.id);
  const status = deviceStatus(device, now);
  card.dataset.status = status;
  const statusNode = q('status');
  statusNode.dataset.status = status;
  setText(statusNode, statusText(device, status));
  setText(q('pv_power'), stateValue('charge_power', s.charge_power));
  setText(q('pv_voltage'), stateValue('pv_voltage', s.pv_voltage));
  setText(q('battery_voltage'), stateValue('battery_voltage', s.battery_voltage));
  setText(q('charge_state'), device.state ? name('charge_state', s.charge_state) ?? s.charge_state_text ?? '—' : '—');
  setText(q('load'), device.state
    ? `${s.load_on ? t('loadOn') : t('loadOff')} · ${stateValue('load_power', s.load_power)}` : '—');
  setText(q('charged_today_wh'), stateValue('charged_today_wh', s.charged_today_wh));
  setText(q('used_today_wh'), stateValue('used_today_wh', s.used_today_wh));
  const badge = q('alarm');
  const code = Number(s.alarm_code) || 0;
  badge.classList.toggle('alarm-on', code !== 0);
  badge.hidden = !device.state;
  setText(badge, code !== 0 ? alarmNames(code).join(', ') : name('alarm', 0) ?? '');
}

function buildTotals() {
  return el('section', { class: 'totals panel', id: 'totals', 'aria-labelledby': 'totals-title' },
    el('h2', { id: 'totals-title', text: t('totals') }),
    el('p', { class: 'muted', dataset: { key: 'count' } }),
    el('div', { class: 'metrics' },
      cell(t('pvPower'), 'charge_power'), cell(t('load'), 'load_power'),
      cell(t('chargedToday'), 'charged_today_wh'), cell(t('usedToday'), 'used_today_wh')));
}

function updateTotals(section, now) {
  const sums = { charge_power: 0, load_power: 0, charged_today_wh: 0, used_today_wh: 0 };
  let online = 0;
  for (const device of store.devices.values()) {
    if (deviceStatus(device, now) === 'online') online += 1;
    if (!device.state) continue;
    for (const key of Object.keys(sums)) sums[key] += Number(device.state[key]) || 0;
  }
  setText(section.querySelector('[data-key="count"]'), t('controllers', { n: store.devices.size, m: online }));
  for (const [key, value] of Object.entries(sums))
    setText(section.querySelector(`[data-key="${key}"]`), stateValue(key, value));
}

export function mountOverview(root) {
  root.dataset.view = 'overview';
  const totals = buildTotals();
  const cards = el('div', { class: 'cards', id: 'cards' });
  const message = el('p', { class: 'muted', id: 'overview-message' });
  root.append(el('h1', { class: 'visually-hidden', text: t('overview') }), totals, message, cards);

  function render() {
    const now = performance.now();
    const have = new Map([...cards.children].map((c) => [c.dataset.deviceId, c]));
    if (have.size !== store.order.length || store.order.some((id, i) => cards.children[i]?.dataset.deviceId !== id)) {
      cards.replaceChildren(...store.order.map((id) => have.get(id) || buildCard(id)));
    }
    for (const card of cards.children) updateCard(card, store.devices.get(card.dataset.deviceId), now);
    updateTotals(totals, now);
    setText(message, store.loadError ? t('loadFailed', { e: store.loadError })
      : store.devices.size === 0 ? t('noDevices') : '');
    message.hidden = !message.textContent;
  }

  render();
  // Staleness changes with time alone: look again every few seconds.
  const timer = setInterval(render, 5000);
  return {
    update(kind, id) {
      if (kind === 'device') {
        const card = cards.querySelector(`[data-device-id="${CSS.escape(id)}"]`);
        if (card) { updateCard(card, store.devices.get(id), performance.now()); updateTotals(totals, performance.now()); return; }
      }
      render();
    },
    unmount() { clearInterval(timer); },
  };
}

