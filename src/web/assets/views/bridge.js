// The bridge itself: version, uptime, buses, MQTT and the history store.
import { el, fill } from '../dom.js';
import { t } from '../i18n.js';
import { num, uptime } from '../format.js';
import { store } from '../store.js';

function pair(key, label, value, stateClass) {
  return el('div', { class: 'row' }, el('dt', { text: label }),
    el('dd', { dataset: { key }, class: stateClass || null, text: value }));
}

function busRow(bus) {
  return el('tr', { dataset: { busIndex: bus.index } },
    el('td', { text: String(bus.index ?? '—') }), el('th', { scope: 'row', text: bus.port ?? '—' }),
    el('td', { class: bus.open ? 'good' : 'bad', text: bus.open ? t('open') : t('closed') }),
    el('td', { class: 'number', text: num(bus.last_pass_ms, 1, 'ms') }),
    el('td', { class: 'number', text: num(bus.devices) }));
}

export function mountBridge(root) {
  root.dataset.view = 'bridge';
  const body = el('div', { class: 'groups' });
  root.append(el('h1', { text: t('bridge') }), body);

  function render() {
    const b = store.bridge || {};
    const mqtt = b.mqtt || {};
    const history = b.history || {};
    const mqttText = !mqtt.configured ? t('notConfigured') : mqtt.connected ? t('connected') : t('disconnected');
    const historyState = !history.enabled ? 'muted' : history.ok ? 'good' : 'bad';
    fill(body,
      el('section', { class: 'panel group', id: 'bridge-info', 'aria-labelledby': 'bridge-title' },
        el('h2', { id: 'bridge-title', text: t('bridge') }),
        el('dl', {}, pair('version', t('version'), b.version ?? '—'),
          pair('uptime', t('uptime'), uptime(b.uptime_s)),
          pair('poll_interval_s', t('pollInterval'), num(b.poll_interval_s, 0, 's')))),
      el('section', { class: 'panel group', 'aria-labelledby': 'mqtt-title' },
        el('h2', { id: 'mqtt-title', text: t('mqtt') }),
        el('dl', {}, pair('mqtt', t('state'), mqttText,
          mqtt.configured ? (mqtt.connected ? 'good' : 'bad') : 'muted'))),
      el('section', { class: 'panel group', id: 'history-state', 'aria-labelledby': 'history-title' },
        el('h2', { id: 'history-title', text: t('history') }),
        el('dl', {}, pair('enabled', t('state'), history.enabled ? t('enabled') : t('disabled')),
          history.enabled ? [
            pair('ok', t('historyOk'), history.ok ? t('ok') : t('failing'), historyState),
            pair('dir', t('folder'), history.dir ?? '—'),
            pair('interval_s', t('interval'), num(history.interval_s, 0, 's')),
            pair('records_written', t('written'), num(history.records_written)),
            pair('history_dropped', t('dropped'), num(history.history_dropped)),
          ] : null)),
      el('section', { class: 'panel wide', 'aria-labelledby': 'buses-title' },
        el('h2', { id: 'buses-title', text: t('buses') }),
        el('div', { class: 'table-wrap' }, el('table', { id: 'bus-table' },
          el('thead', {}, el('tr', {}, ['#', t('port'), t('state'), t('lastPass'), t('devices')]
            .map((h) => el('th', { scope: 'col', text: h })))),
          el('tbody', {}, (Array.isArray(b.buses) ? b.buses : []).map(busRow))))));
    body.querySelector('[data-key="mqtt"]').id = 'mqtt-state';
  }

  render();
  return {
    update(kind) { if (kind === 'bridge') render(); },
    unmount() {},
  };
}
