// The controller's backups, newest first as the bridge lists them, each
// with a button that puts it into the form.
import { el, fill } from '../dom.js';
import { t } from '../i18n.js';
import { wallTime } from '../format.js';

export function backupsPanel(onPick) {
  const list = el('ul', { id: 'settings-backups', class: 'backups' });
  const note = el('p', { class: 'muted' });
  const node = el('section', { class: 'panel backups-panel', 'aria-labelledby': 'settings-backups-title' },
    el('h2', { id: 'settings-backups-title', text: t('backupsTitle') }), list, note);

  function show(backups) {
    const items = (Array.isArray(backups) ? backups : [])
      .filter((b) => b && typeof b.name === 'string' && b.name);
    fill(list, items.map((b) => el('li', {},
      el('span', { class: 'backup-name', text: b.name }),
      el('time', { class: 'muted', datetime: typeof b.time === 'string' ? b.time : null, text: wallTime(b.time, null, true) }),
      el('button', { type: 'button', class: 'button', dataset: { backup: b.name }, text: t('loadBackup'), onclick: () => onPick(b.name) }))));
    note.textContent = items.length ? '' : t('noBackups');
    note.className = 'muted';
  }

  function failed(text) {
    list.replaceChildren();
    note.textContent = text;
    note.className = 'error';
  }

  return { node, show, failed };
}
