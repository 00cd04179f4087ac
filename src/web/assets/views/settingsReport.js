// What a passing check will write (each register block with its changed
// fields and its Modbus frames) and what a write did. Everything shown
// comes from the bridge's answer, so it goes in as text only.
import { el, fill } from '../dom.js';
import { t } from '../i18n.js';
import { fieldLabel } from './settingsFields.js';

const text = (value) => (value === undefined || value === null ? '' : String(value));
const objects = (list) => (Array.isArray(list) ? list.filter((x) => x && typeof x === 'object') : []);

export function showPlan(node, writes) {
  const list = objects(writes);
  node.hidden = false;
  if (!list.length) {
    fill(node, el('h2', { text: t('checkPassed') }), el('p', { text: t('nothingToWrite') }));
    return;
  }
  fill(node, el('h2', { text: t('checkPassedWrites') }), list.map((write) => {
    const changes = objects(write.changes);
    return el('div', { class: 'write', dataset: { blockCode: text(write.code) } },
      el('h3', { text: text(write.block) }),
      changes.length
        ? el('ul', { class: 'changes' }, changes.map((c) => el('li', {
          text: `${fieldLabel(text(c.field))}${t('colon')}${text(c.from)} → ${text(c.to)}`,
        })))
        : el('p', { class: 'muted', text: t('noFieldChanges') }),
      el('p', { class: 'frames-label', text: t('frames') }),
      el('pre', { class: 'frames', text: text(write.frames_hex) }));
  }));
}

export function clearPlan(node) {
  node.hidden = true;
  node.replaceChildren();
}

// status: written, mismatch, failed, changed, refused or denied. The first
// line says what happened, the fields read back otherwise follow it, then
// the other lines (the backup).
export function showResult(node, status, ok, lines, mismatches = []) {
  node.hidden = false;
  node.className = `result ${ok ? 'ok' : 'failed'}`;
  node.dataset.ok = String(ok);
  node.dataset.status = status;
  const [first, ...rest] = lines.filter(Boolean);
  const wrong = objects(mismatches);
  fill(node, el('p', { text: first }),
    wrong.length ? el('ul', { class: 'mismatches' }, wrong.map((m) => el('li', {
      text: t('mismatchLine', { label: fieldLabel(text(m.field)), expected: text(m.expected), read: text(m.read) }),
    }))) : null,
    rest.map((line) => el('p', { class: 'detail', text: line })));
}

export function clearResult(node) {
  node.hidden = true;
  node.replaceChildren();
  delete node.dataset.ok;
  delete node.dataset.status;
}
