// Numbers and times as the page shows them. Times of the bridge are its
// local wall time: a timestamp's own digits are shown, never converted to
// the browser's zone, so they match the charts and the daily logs.
import { language, t } from './i18n.js';

const DASH = '—';

export function num(value, decimals = 0, unit = '') {
  if (typeof value !== 'number' || !Number.isFinite(value)) return DASH;
  const text = value.toLocaleString(language() === 'zh' ? 'zh-CN' : 'en-GB', {
    minimumFractionDigits: decimals, maximumFractionDigits: decimals,
  });
  return unit ? `${text} ${unit}` : text;
}

// The unit and decimals of every number key of the state object.
const UNITS = {
  pv_voltage: ['V', 1], battery_voltage: ['V', 1], load_voltage: ['V', 1],
  charge_current: ['A', 1], load_current: ['A', 1],
  charge_power: ['W', 0], load_power: ['W', 0],
  inner_temperature: ['°C', 0], battery_temperature: ['°C', 0],
  charged_today_wh: ['Wh', 0], charged_month_wh: ['Wh', 0], charged_total_kwh: ['kWh', 2],
  used_today_wh: ['Wh', 0], used_month_wh: ['Wh', 0], used_total_kwh: ['kWh', 2],
};

export function stateValue(key, value) {
  const [unit, decimals] = UNITS[key] || ['', 0];
  return num(value, decimals, unit);
}

// "14:05" from "2026-12-09T14:05:03.120+01:00"; with the date when it is
// not `today` (YYYY-MM-DD); with seconds when asked.
export function wallTime(iso, today = null, seconds = false) {
  const match = typeof iso === 'string' && /^(\d{4}-\d{2}-\d{2})T(\d{2}:\d{2})(:\d{2})?/.exec(iso);
  if (!match) return DASH;
  const time = match[2] + (seconds && match[3] ? match[3] : '');
  return match[1] === today ? time : `${match[1]} ${time}`;
}

export function wallDate(iso) {
  const match = typeof iso === 'string' && /^(\d{4}-\d{2}-\d{2})/.exec(iso);
  return match ? match[1] : null;
}

// Seconds of local wall time since 1970 as "HH:MM" (UTC getters: the number
// already is wall time).
export function clockOfWallSeconds(seconds) {
  const d = new Date(seconds * 1000);
  return `${String(d.getUTCHours()).padStart(2, '0')}:${String(d.getUTCMinutes()).padStart(2, '0')}`;
}

export function uptime(seconds) {
  if (typeof seconds !== 'number' || !Number.isFinite(seconds)) return DASH;
  const d = Math.floor(seconds / 86400);
  const h = Math.floor((seconds % 86400) / 3600);
  const m = Math.floor((seconds % 3600) / 60);
  return d > 0 ? `${d} d ${h} h ${m} min` : h > 0 ? `${h} h ${m} min` : `${m} min ${Math.floor(seconds % 60)} s`;
}

export function yesNo(value) {
  return value ? t('yes') : t('no');
}

// YYYY-MM-DD arithmetic on calendar dates, free of time zones.
export function addDays(date, n) {
  const [y, m, d] = date.split('-').map(Number);
  const next = new Date(Date.UTC(y, m - 1, d + n));
  return next.toISOString().slice(0, 10);
}

export function browserToday() {
  const now = new Date();
  return `${now.getFullYear()}-${String(now.getMonth() + 1).padStart(2, '0')}-${String(now.getDate()).padStart(2, '0')}`;
}
