// The history charts of a device page: one day (powers, battery voltage,
// temperatures; a null point of the series breaks the line where the
// controller was away) and the energy of the last 7, 31 or 365 days, whose
// bars open their day.
import { el, fill } from '../dom.js';
import { t } from '../i18n.js';
import { getJson, devicePath } from '../api.js';
import { addDays, clockOfWallSeconds } from '../format.js';

const DAY_SECONDS = 86400;
const BUCKETS = 288;  // five minutes each

function colour(name) {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim() || '#888';
}

// Seconds of wall time since 1970 at the start of a YYYY-MM-DD.
function dayStart(date) {
  const [y, m, d] = date.split('-').map(Number);
  return Date.UTC(y, m - 1, d) / 1000;
}

// {x, y} series of the day, one per wanted value; a gap becomes a point
// with y null just after the last bucket, so the line stops there.
export function seriesToLines(answer, values) {
  const columns = Array.isArray(answer && answer.columns) ? answer.columns : [];
  const points = Array.isArray(answer && answer.points) ? answer.points : [];
  const lines = values.map(() => []);
  let lastEnd = null;
  let any = false;
  for (const p of points) {
    if (!p || !Array.isArray(p.mean)) {
      if (lastEnd !== null) lines.forEach((line) => line.push({ x: lastEnd, y: null }));
      continue;
    }
    const x = (Number(p.t) + Number(p.t_end)) / 2;
    lastEnd = Number(p.t_end);
    any = true;
    values.forEach((value, i) => {
      const y = value(p.mean, columns);
      lines[i].push({ x, y: Number.isFinite(y) ? y : null });
    });
  }
  return { lines, any };
}

const column = (key) => (mean, columns) => mean[columns.indexOf(key)];

function baseOptions(date, yTitle) {
  const start = dayStart(date);
  return {
    animation: false, responsive: true, maintainAspectRatio: false, parsing: false,
    spanGaps: false, interaction: { mode: 'nearest', axis: 'x', intersect: false },
    elements: { point: { radius: 0 }, line: { borderWidth: 2 } },
    plugins: {
      legend: { labels: { boxWidth: 12 } },
      tooltip: { callbacks: { title: (items) => (items.length ? clockOfWallSeconds(items[0].parsed.x) : '') } },
    },
    scales: {
      x: { type: 'linear', min: start, max: start + DAY_SECONDS,
        ticks: { stepSize: 3 * 3600, callback: (v) => clockOfWallSeconds(v), maxRotation: 0 } },
      y: { title: { display: true, text: yTitle } },
    },
  };
}

// A point with no neighbour on either side draws no line: it gets a dot, so
// a lone bucket (the first minutes of a day, a short run between gaps) shows.
function loneDot(context) {
  const data = context.dataset.data;
  const i = context.dataIndex;
  const missing = (j) => j < 0 || j >= data.length || data[j].y === null;
  return !missing(i) && missing(i - 1) && missing(i + 1) ? 3 : 0;
}

function line(label, data, colourName, axis = 'y', dash = []) {
  const c = colour(colourName);
  return { label, data, borderColor: c, backgroundColor: c, yAxisID: axis, borderDash: dash, pointRadius: loneDot };
}

let chartJs = null;

// Loads Debian's Chart.js once, from the bridge; resolves also when it is
// missing (the charts then say they are unavailable).
export function loadChartJs() {
  if (!chartJs) {
    chartJs = new Promise((resolve) => {
      if (window.Chart) { resolve(); return; }
      const script = document.createElement('script');
      script.src = '/assets/chart.min.js';
      script.onload = () => resolve();
      script.onerror = () => resolve();
      document.head.appendChild(script);
    });
  }
  return chartJs;
}

export function mountDeviceCharts(root, id, today) {
  const Chart = window.Chart;
  let date = today;
  let range = 7;
  let dayChart = null;
  let tempChart = null;
  let daysChart = null;
  let dayRequest = 0;

  const dateInput = el('input', { type: 'date', id: 'day-date', value: date, max: today, 'aria-label': t('day') });
  const prev = el('button', { type: 'button', id: 'day-prev', class: 'button', text: `‹ ${t('previousDay')}` });
  const next = el('button', { type: 'button', id: 'day-next', class: 'button', text: `${t('nextDay')} ›` });
  const csv = el('a', { id: 'day-csv', class: 'button link', download: true, text: t('downloadCsv') });
  const empty = el('p', { id: 'day-empty', class: 'muted', hidden: true, text: t('noHistory') });
  const dayCanvas = el('canvas', { id: 'day-chart', role: 'img', 'aria-label': `${t('power')}, ${t('batteryVoltage')}` });
  const tempCanvas = el('canvas', { id: 'day-temp-chart', role: 'img', 'aria-label': t('temperature') });
  const rangeSelect = el('select', { id: 'days-range', 'aria-label': t('days') },
    [7, 31, 365].map((n) => el('option', { value: n, text: t('lastDays', { n }) })));
  const daysCanvas = el('canvas', { id: 'days-chart', role: 'img', 'aria-label': `${t('charged')}, ${t('used')}` });
  const unavailable = Chart ? null
    : el('p', { id: 'charts-unavailable', class: 'notice', text: t('chartsUnavailable') });

  fill(root,
    el('section', { class: 'panel chart-panel', 'aria-labelledby': 'day-title' },
      el('h2', { id: 'day-title', text: t('day') }),
      el('div', { class: 'toolbar' }, prev, dateInput, next, csv),
      unavailable, empty,
      Chart ? el('div', { class: 'chart-box' }, dayCanvas) : null,
      Chart ? el('div', { class: 'chart-box small' }, tempCanvas) : null),
    el('section', { class: 'panel chart-panel', 'aria-labelledby': 'days-title' },
      el('h2', { id: 'days-title', text: t('days') }),
      el('div', { class: 'toolbar' }, rangeSelect, el('span', { class: 'muted', text: t('clickBar') })),
      Chart ? el('div', { class: 'chart-box' }, daysCanvas) : null));

  if (Chart) {
    Chart.defaults.color = colour('--text-muted');
    Chart.defaults.borderColor = colour('--grid');
    Chart.defaults.font.family = getComputedStyle(document.body).fontFamily;
  }

  async function showDay(newDate) {
    date = newDate;
    dateInput.value = date;
    next.disabled = date >= today;
    csv.href = devicePath(id, `/day/${date}.csv`);
    csv.setAttribute('download', `${id}-${date}.csv`);
    const request = ++dayRequest;
    let answer = null;
    try {
      answer = await getJson(devicePath(id, `/series?from=${date}T00:00:00&to=${addDays(date, 1)}T00:00:00&buckets=${BUCKETS}`));
    } catch { /* shown as a day without history */ }
    if (request !== dayRequest) return;  // a later day was asked for meanwhile
    const power = seriesToLines(answer, [column('charge_power'),
      (m, c) => m[c.indexOf('charge_power')] - m[c.indexOf('load_power')], column('load_power'), column('battery_voltage')]);
    const temps = seriesToLines(answer, [column('inner_temperature'), column('battery_temperature')]);
    empty.hidden = power.any;
    if (!Chart) return;
    if (dayChart) dayChart.destroy();
    if (tempChart) tempChart.destroy();
    const options = baseOptions(date, t('power'));
    options.scales.y1 = { position: 'right', title: { display: true, text: t('voltage') }, grid: { drawOnChartArea: false } };
    dayChart = new Chart(dayCanvas, { type: 'line', options, data: { datasets: [
      line(t('pvChargePower'), power.lines[0], '--chart-pv'),
      line(t('batteryNetPower'), power.lines[1], '--chart-battery', 'y', [4, 3]),
      line(t('loadPower'), power.lines[2], '--chart-load'),
      line(t('batteryVoltage'), power.lines[3], '--chart-voltage', 'y1'),
    ] } });
    tempChart = new Chart(tempCanvas, { type: 'line', options: baseOptions(date, t('temperature')), data: { datasets: [
      line(t('innerTemp'), temps.lines[0], '--chart-inner'),
      line(t('batteryTemp'), temps.lines[1], '--chart-voltage'),
    ] } });
  }

  async function showDays() {
    const from = addDays(today, -(range - 1));
    let days = [];
    try {
      const answer = await getJson(devicePath(id, `/days?from=${from}&to=${today}`));
      days = Array.isArray(answer && answer.days) ? answer.days : [];
    } catch { /* an empty chart */ }
    if (!Chart) return;
    if (daysChart) daysChart.destroy();
    const labels = days.map((d) => String(d.date));
    const value = (d, key) => (d.has_data && Number.isFinite(d[key]) ? d[key] : null);
    daysChart = new Chart(daysCanvas, {
      type: 'bar',
      data: { labels, datasets: [
        { label: t('charged'), data: days.map((d) => value(d, 'charged_wh')), backgroundColor: colour('--chart-pv') },
        { label: t('used'), data: days.map((d) => value(d, 'used_wh')), backgroundColor: colour('--chart-load') },
      ] },
      options: {
        animation: false, responsive: true, maintainAspectRatio: false,
        scales: { x: { ticks: { callback: (v, i) => labels[i].slice(5), maxRotation: 0, autoSkipPadding: 8 } } },
        onClick: (event, elements) => {
          if (elements.length) {
            showDay(labels[elements[0].index]);
            dateInput.scrollIntoView({ block: 'center' });
          }
        },
        onHover: (event, elements) => { event.native.target.style.cursor = elements.length ? 'pointer' : 'default'; },
      },
    });
  }

  prev.addEventListener('click', () => showDay(addDays(date, -1)));
  next.addEventListener('click', () => showDay(addDays(date, 1)));
  dateInput.addEventListener('change', () => { if (/^\d{4}-\d{2}-\d{2}$/.test(dateInput.value)) showDay(dateInput.value); });
  rangeSelect.addEventListener('change', () => { range = Number(rangeSelect.value); showDays(); });

  showDay(date);
  showDays();
  return {
    unmount() {
      for (const chart of [dayChart, tempChart, daysChart]) if (chart) chart.destroy();
    },
  };
}
