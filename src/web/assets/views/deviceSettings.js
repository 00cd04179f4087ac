// The device page's Settings tab: the controller's battery and load settings
// as last read, with the time of that read and the profile as a file. An
// admin, where the bridge allows control, gets a form instead: Check sends
// it to the bridge as a profile and shows the problems or what would be
// written; Write sends the checked profile with the read it is based on.
import { el, fill } from '../dom.js';
import { t, language } from '../i18n.js';
import { wallTime } from '../format.js';
import { store } from '../store.js';
import { getJson, postJson, devicePath, ApiError } from '../api.js';
import { cleanFields, setAt } from './settingsFields.js';
import { settingsForm, settingsValues } from './settingsForm.js';
import { showPlan, clearPlan, showResult, clearResult } from './settingsReport.js';
import { downloadLink, setDownload, dropDownload, uploadControl, readProfileFile } from './settingsFiles.js';
import { backupsPanel } from './settingsBackups.js';

// Keys of the profile as read that a checked profile carries unchanged.
const IDENTITY = ['format', 'model', 'serialNumber', 'firmware'];
const isObject = (v) => Boolean(v) && typeof v === 'object' && !Array.isArray(v);

function failure(e) {
  const refused = e instanceof ApiError && [401, 403, 409].includes(e.status);
  return t(refused ? 'controlDenied' : 'requestFailed', { e: e.message });
}

export function mountSettings(root, id) {
  let read = null;      // {profile, at}: the settings as last read and when
  let form = null;
  let checked = null;   // JSON of the profile that last passed a check unedited
  let busy = false;
  let gone = false;
  const link = downloadLink();
  const readAt = el('time', { id: 'settings-read-at' });
  const note = el('p', { id: 'settings-note', role: 'status', 'aria-live': 'polite', hidden: true });
  const plan = el('section', { id: 'settings-plan', class: 'panel plan', hidden: true });
  const result = el('div', { id: 'settings-result', role: 'status', 'aria-live': 'polite', hidden: true });
  const check = el('button', { type: 'submit', id: 'settings-check', class: 'button', text: t('check') });
  const write = el('button', {
    type: 'button', id: 'settings-write', class: 'button primary', text: t('write'), disabled: true,
  });
  const upload = uploadControl(pickFile);
  const backups = backupsPanel(pickBackup);
  const withLang = (path) => `${devicePath(id, path)}?lang=${language()}`;

  function setRead(profile, at) {
    read = { profile, at: typeof at === 'string' ? at : null };
    readAt.textContent = wallTime(at, null, true);
    if (read.at) readAt.setAttribute('datetime', read.at);
    setDownload(link, profile);
  }

  function profileOf() {
    const profile = {};
    for (const key of IDENTITY) if (read.profile[key] !== undefined) profile[key] = read.profile[key];
    for (const [path, value] of Object.entries(form.read())) setAt(profile, path, value);
    return profile;
  }

  // Any edit makes the last check's plan stale: Write waits for a new one.
  function edited() {
    checked = null;
    write.disabled = true;
    clearPlan(plan);
  }

  function setBusy(on) {
    busy = on;
    check.disabled = on;
    write.disabled = on || checked === null;
    upload.querySelector('input').disabled = on;
    for (const button of backups.node.querySelectorAll('button')) button.disabled = on;
  }

  function say(kind, text) {
    note.hidden = !text;
    note.className = kind === 'error' ? 'error' : 'muted';
    note.dataset.kind = kind;
    note.textContent = text;
  }

  async function runCheck() {
    if (busy || !form) return;
    const profile = profileOf();
    const sent = JSON.stringify(profile);
    edited();
    clearResult(result);
    setBusy(true);
    let answer;
    try {
      answer = await postJson(withLang('/settings/check'), profile);
    } catch (e) {
      if (!gone) showResult(result, 'denied', false, [failure(e)]);
      return;
    } finally {
      setBusy(false);
    }
    // An answer about values edited since is of no use any more.
    if (gone || JSON.stringify(profileOf()) !== sent) return;
    const problems = Array.isArray(answer.problems) ? answer.problems : [];
    form.showProblems(problems);
    if (answer.ok !== true || problems.length) return;
    showPlan(plan, answer.writes);
    if (Array.isArray(answer.writes) && answer.writes.length) checked = sent;
    write.disabled = checked === null;
  }

  async function runWrite() {
    if (busy || checked === null) return;
    if (JSON.stringify(profileOf()) !== checked) { edited(); return; }
    const profile = JSON.parse(checked);
    setBusy(true);
    write.textContent = t('writing');
    clearResult(result);
    let answer;
    try {
      answer = await postJson(withLang('/settings/apply'), { profile, based_on: read.at });
    } catch (e) {
      if (!gone) writeRefused(e);
      return;
    } finally {
      write.textContent = t('write');
      edited();
      setBusy(false);
    }
    if (gone) return;
    const backup = typeof answer.backup === 'string' && answer.backup ? t('backupKept', { name: answer.backup }) : null;
    const message = typeof answer.message === 'string' ? answer.message : '';
    if (isObject(answer.profile)) setRead(answer.profile, answer.read_at);
    if (answer.ok === true) {
      form.fill(read.profile);
      showResult(result, 'written', true, [message || t('settingsWritten'), backup]);
    } else {
      // The admin's values stay in the form, to be checked and written again.
      const mismatches = Array.isArray(answer.mismatches) ? answer.mismatches : [];
      showResult(result, mismatches.length ? 'mismatch' : 'failed', false,
        [message || t('settingsNotWritten'), backup], mismatches);
    }
    loadBackups();
  }

  function writeRefused(e) {
    const body = e instanceof ApiError ? e.body : {};
    if (e.status === 409 && body.changed === true) {
      if (isObject(body.profile)) {
        setRead(body.profile, body.read_at);
        form.fill(read.profile);
      }
      showResult(result, 'changed', false, [t('settingsChanged')]);
    } else if (e.status === 422 && Array.isArray(body.problems)) {
      form.showProblems(body.problems);
      showResult(result, 'refused', false, [e.message]);
    } else {
      showResult(result, 'denied', false, [failure(e)]);
    }
  }

  // A profile from elsewhere fills the fields it has; the rest stay.
  function fillFrom(profile, words) {
    form.fill(profile, true);
    edited();
    clearResult(result);
    say('info', words);
  }

  async function pickFile(file) {
    if (busy || !form) return;
    const got = await readProfileFile(file);
    if (gone) return;
    if (got.error) { say('error', got.error); return; }
    fillFrom(got.profile, t('uploadLoaded', { name: file.name }));
    await runCheck();
  }

  async function pickBackup(name) {
    if (busy || !form) return;
    setBusy(true);
    try {
      const answer = await getJson(devicePath(id, `/backups/${encodeURIComponent(name)}`));
      if (gone) return;
      if (!isObject(answer.profile)) throw new Error(t('noProfile'));
      fillFrom(answer.profile, t('backupLoaded', { name }));
    } catch (e) {
      if (!gone) say('error', t('backupFailed', { e: e.message }));
    } finally {
      setBusy(false);
    }
  }

  async function loadBackups() {
    try {
      const answer = await getJson(devicePath(id, '/backups'));
      if (!gone) backups.show(answer.backups);
    } catch (e) {
      if (!gone) backups.failed(t('backupsFailed', { e: e.message }));
    }
    if (!gone) setBusy(busy);
  }

  function render(answer) {
    const fields = cleanFields(answer.fields);
    setRead(answer.profile, answer.read_at);
    const admin = store.session.role === 'admin';
    const editable = admin && answer.control === true;
    const head = el('section', { class: 'panel settings-head', 'aria-labelledby': 'settings-title' },
      el('h2', { id: 'settings-title', text: t('settingsTitle') }),
      el('p', { class: 'read-at' }, `${t('settingsRead')}${t('colon')}`, readAt),
      editable ? null : el('p', {
        id: 'settings-readonly', class: 'notice', text: t(admin ? 'controlNotAllowed' : 'viewerReadOnly'),
      }),
      el('div', { class: 'toolbar' }, link, editable ? upload : null),
      note);
    if (!editable) {
      fill(root, head, settingsValues(fields, read.profile));
      return;
    }
    form = settingsForm(fields, edited, el('div', { class: 'form-actions' }, check, write));
    form.fill(read.profile);
    form.node.addEventListener('submit', (e) => { e.preventDefault(); runCheck(); });
    write.addEventListener('click', runWrite);
    fill(root, head, form.node, plan, result, backups.node);
    loadBackups();
  }

  async function load() {
    fill(root, el('p', { class: 'muted', text: t('loadingSettings') }));
    try {
      const answer = await getJson(devicePath(id, '/settings'));
      if (gone) return;
      if (!isObject(answer) || !isObject(answer.profile)) throw new Error(t('noProfile'));
      render(answer);
    } catch (e) {
      if (gone) return;
      const status = e instanceof ApiError ? e.status : 0;
      const text = status === 503 ? t('settingsUnavailable')
        : status === 404 ? t('notFound') : t('settingsLoadFailed', { e: e.message });
      fill(root, el('section', { class: 'panel settings-head' },
        el('h2', { text: t('settingsTitle') }), el('p', { id: 'settings-unavailable', class: 'notice', text })));
    }
  }

  load();
  return {
    unmount() {
      gone = true;
      dropDownload(link);
    },
  };
}
