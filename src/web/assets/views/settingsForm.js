// The settings as panels of the bridge's fields, one panel per profile
// section: read-only rows for a viewer, or the admin's form, which shows
// only the fields of the chosen battery type and load mode, reads back into
// profile values and shows the check's problems beside their fields and in
// one summary list.
import { el, setText } from '../dom.js';
import { t, name } from '../i18n.js';
import { applies, valueAt, fieldLabel, optionName, shownValue, inputText } from './settingsFields.js';

function sectionTitle(key) {
  if (key === 'battery') return name('groups', 'battery') ?? t('battery');
  if (key === 'load') return name('groups', 'load') ?? t('load');
  if (key === 'leadAcid') return t('leadAcidVoltages');
  if (key === 'lithium') return t('lithiumVoltages');
  return key;
}

// Fields by their first path part, in the order the bridge lists them.
function sections(fields) {
  const out = new Map();
  for (const field of fields) {
    const key = field.path.split('.')[0];
    if (!out.has(key)) out.set(key, []);
    out.get(key).push(field);
  }
  return out;
}

function panel(key, children) {
  return el('section', { class: 'panel group', dataset: { section: key }, 'aria-labelledby': `settings-${key}` },
    el('h2', { id: `settings-${key}`, text: sectionTitle(key) }), children);
}

export function settingsValues(fields, profile) {
  const type = valueAt(profile, 'battery.type');
  const mode = valueAt(profile, 'load.mode');
  const panels = [];
  for (const [key, list] of sections(fields)) {
    const rows = list.filter((f) => applies(f, type, mode)).map((f) => el('div', { class: 'row' },
      el('dt', { text: fieldLabel(f.path) }),
      el('dd', { dataset: { path: f.path }, text: shownValue(f, valueAt(profile, f.path)) })));
    if (rows.length) panels.push(panel(key, el('dl', {}, rows)));
  }
  return el('div', { id: 'settings-values', class: 'groups' }, panels);
}

function control(field, id) {
  if (field.kind === 'list') {
    return el('select', { id, dataset: { path: field.path } },
      field.options.map((o) => el('option', { value: o, text: optionName(field.path, o) })));
  }
  return el('input', {
    id, type: 'number', dataset: { path: field.path }, step: field.decimals ? (10 ** -field.decimals).toFixed(field.decimals) : '1',
    min: field.min, max: field.max, inputmode: field.decimals ? 'decimal' : 'numeric',
  });
}

// onEdit() is called on every change the admin makes; `actions` goes at the
// end of the form, after the problem summary.
export function settingsForm(fields, onEdit, actions) {
  const rows = new Map();  // path -> {field, row, input}
  const panels = [];
  for (const [key, list] of sections(fields)) {
    const children = list.map((field) => {
      const id = `setting-${field.path.replaceAll('.', '-')}`;
      const input = control(field, id);
      const row = el('div', { class: 'field', dataset: { field: field.path } },
        el('label', { for: id, text: fieldLabel(field.path) }),
        el('div', { class: 'field-control' }, input, el('span', { class: 'unit', text: field.unit })));
      rows.set(field.path, { field, row, input });
      return row;
    });
    panels.push(panel(key, children));
  }
  const summary = el('ul', { id: 'settings-problems' });
  const summaryTitle = el('p', { class: 'problems-title' });
  const summaryBox = el('div', { class: 'problems', role: 'alert', hidden: true }, summaryTitle, summary);
  const node = el('form', { id: 'settings-form', novalidate: true, 'aria-label': t('settingsTitle') },
    el('div', { class: 'groups' }, panels), summaryBox, actions);

  const listValue = (path) => rows.get(path)?.input.value;

  function refresh() {
    const type = listValue('battery.type');
    const mode = listValue('load.mode');
    for (const { field, row } of rows.values()) row.hidden = !applies(field, type, mode);
    // The first field in sight of a panel has no rule above it.
    for (const section of panels) {
      const shown = [...section.querySelectorAll('.field')].filter((f) => !f.hidden);
      shown.forEach((f, i) => f.classList.toggle('first', i === 0));
      section.hidden = shown.length === 0;
    }
  }

  function clearProblems() {
    for (const { row, input } of rows.values()) {
      row.querySelector('.problem')?.remove();
      row.classList.remove('has-problem');
      input.removeAttribute('aria-invalid');
      input.removeAttribute('aria-describedby');
    }
    summary.replaceChildren();
    summaryBox.hidden = true;
  }

  // Every problem in the summary; those about a field in sight beside it too.
  function showProblems(problems) {
    clearProblems();
    const list = (Array.isArray(problems) ? problems : [])
      .filter((p) => p && typeof p.message === 'string')
      .map((p) => ({ field: typeof p.field === 'string' ? p.field : '', message: p.message }));
    for (const { field, message } of list) {
      summary.append(el('li', { text: field ? `${fieldLabel(field)}${t('colon')}${message}` : message }));
      const at = rows.get(field);
      if (!at || at.row.hidden) continue;
      let node = at.row.querySelector('.problem');
      if (node) {
        node.textContent += `; ${message}`;
        continue;
      }
      node = el('p', { class: 'problem', id: `problem-${at.input.id}`, dataset: { problemFor: field }, text: message });
      at.row.append(node);
      at.row.classList.add('has-problem');
      at.input.setAttribute('aria-invalid', 'true');
      at.input.setAttribute('aria-describedby', node.id);
    }
    setText(summaryTitle, t(list.length === 1 ? 'problemsOne' : 'problemsMany', { n: list.length }));
    summaryBox.hidden = list.length === 0;
  }

  // Puts the profile's values into the form. With `keep`, a field the
  // profile leaves out keeps what the form has; else it is emptied.
  function fillFrom(profile, keep = false) {
    for (const { field, input } of rows.values()) {
      const value = valueAt(profile, field.path);
      if (value === undefined || value === null) {
        if (!keep && field.kind !== 'list') input.value = '';
        continue;
      }
      if (field.kind === 'list') {
        const text = String(value);
        // An entry the list does not have is kept, so the check names it.
        if (![...input.options].some((o) => o.value === text)) input.append(el('option', { value: text, text }));
        input.value = text;
      } else {
        input.value = inputText(field, value);
      }
    }
    clearProblems();
    refresh();
  }

  // The values of the fields that apply, by path; an empty field is left
  // out (the check then says it is missing).
  function read() {
    const values = {};
    for (const { field, row, input } of rows.values()) {
      if (row.hidden || input.value === '') continue;
      values[field.path] = field.kind === 'list' ? input.value : Number(input.value);
    }
    return values;
  }

  // A list may report its change by 'change' alone.
  for (const kind of ['input', 'change']) {
    node.addEventListener(kind, (e) => {
      if (e.target.tagName === 'SELECT') refresh();
      onEdit();
    });
  }
  refresh();
  return { node, fill: fillFrom, read, showProblems, clearProblems };
}
