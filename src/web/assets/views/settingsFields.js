// The settings fields as the bridge lists them (GET .../settings "fields"):
// which apply to a battery type and load mode, their labels and shown
// values in the page's language, and values at profile paths. The list
// comes from the network, so what does not look like a field is dropped.
import { t, labelOf, entryName } from '../i18n.js';
import { num } from '../format.js';

const NEEDS = {
  always: () => true,
  lead_acid: (type) => type !== 'Li-ion',
  user_diy: (type) => type === 'User-Diy',
  lithium: (type) => type === 'Li-ion',
  light_modes: (type, mode) => mode === 'Light Mode' || mode === 'Light&Time Mode',
  light_mode: (type, mode) => mode === 'Light Mode',
  light_time_mode: (type, mode) => mode === 'Light&Time Mode',
  dual_timer_mode: (type, mode) => mode === 'Dual Timer Mode',
};

// Page-own words for the fields the window's tables do not name.
const OWN = {
  'battery.systemVoltage': 'systemVoltage', 'load.eveningHours': 'eveningHours',
  'load.morningHours': 'morningHours', 'load.onDelay': 'onDelay', 'load.offDelay': 'offDelay',
};
// The lists whose entries the window's tables name: path -> texts section.
const LIST_NAMES = { 'battery.type': 'battery_type', 'load.mode': 'load_mode' };

const PATH = /^[A-Za-z][A-Za-z0-9_]*(\.[A-Za-z][A-Za-z0-9_]*)*$/;
const finite = (v) => typeof v === 'number' && Number.isFinite(v);

export function cleanFields(list) {
  if (!Array.isArray(list)) return [];
  const seen = new Set();
  return list.filter((f) => {
    if (!f || typeof f !== 'object' || typeof f.path !== 'string' || !PATH.test(f.path) || seen.has(f.path)) return false;
    seen.add(f.path);
    if (f.kind === 'list') return Array.isArray(f.options) && f.options.every((o) => typeof o === 'string');
    return f.kind === 'number' && Number.isInteger(f.decimals) && f.decimals >= 0 && f.decimals <= 6;
  }).map((f) => ({
    ...f, unit: typeof f.unit === 'string' ? f.unit : '',
    min: finite(f.min) ? f.min : undefined, max: finite(f.max) ? f.max : undefined,
  }));
}

// Whether `field` applies to a profile of this battery type and load mode;
// a need this page does not know is taken as always.
export function applies(field, type, mode) {
  return Object.hasOwn(NEEDS, field.need) ? NEEDS[field.need](type, mode) : true;
}

export function valueAt(object, path) {
  let value = object;
  for (const part of path.split('.')) {
    if (!value || typeof value !== 'object' || !Object.hasOwn(value, part)) return undefined;
    value = value[part];
  }
  return value;
}

export function setAt(object, path, value) {
  const parts = path.split('.');
  let at = object;
  for (const part of parts.slice(0, -1)) {
    if (!at[part] || typeof at[part] !== 'object') at[part] = {};
    at = at[part];
  }
  at[parts[parts.length - 1]] = value;
}

export function fieldLabel(path) {
  const timer = /^load\.(timer[12])\.(onHour|onMinute|offHour|offMinute)$/.exec(path);
  if (timer) return t('timerPart', { timer: t(timer[1]), part: t(timer[2]) });
  return labelOf(path, Object.hasOwn(OWN, path) ? OWN[path] : null);
}

// A list entry in the page's language; the profile's own name otherwise.
export function optionName(path, option) {
  if (path === 'battery.systemVoltage' && option === 'Auto') return t('auto');
  return (Object.hasOwn(LIST_NAMES, path) && entryName(LIST_NAMES[path], option)) || option;
}

export function shownValue(field, value) {
  if (value === undefined || value === null) return '—';
  if (field.kind === 'list') return optionName(field.path, String(value));
  return typeof value === 'number' ? num(value, field.decimals, field.unit) : String(value);
}

// A number as a number input holds it: with the field's decimals when it
// has no more, else as it is, so an extra decimal is kept for the check.
export function inputText(field, value) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return typeof value === 'string' ? value : '';
  const scaled = value * 10 ** field.decimals;
  return Math.abs(scaled - Math.round(scaled)) < 1e-9 ? value.toFixed(field.decimals) : String(value);
}
