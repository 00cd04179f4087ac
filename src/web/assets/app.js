// The bridge's web page: starts the page, keeps the session and the live
// stream, and routes #/, #/device/<id> and #/bridge to their views.
//
// Element ids and data- attributes that browser tests rely on (keep them):
//   #lang-toggle            switches English / Chinese (remembered in localStorage)
//   #conn-banner            live connection lost / restored (class "down" or "up")
//   #role                   the session's role in words; data-role="none|viewer|admin"
//   #login-open, #logout    log in (opens #login-panel) and log out
//   #login-form, #login-password, #login-submit, #login-error
//   #nav-overview, #nav-bridge, #view (the current view; data-view="overview|device|bridge|login")
//   Overview: #totals with [data-key] cells; .card[data-device-id] per controller with
//     [data-key="status"], [data-status="online|offline|stale|never"], [data-key="pv_power"],
//     [data-key="pv_voltage"], [data-key="battery_voltage"], [data-key="charge_state"],
//     [data-key="load"], [data-key="charged_today_wh"], [data-key="used_today_wh"],
//     [data-key="alarm"] (class "alarm-on" while an alarm is active)
//   Device: #device[data-device-id]; tabs #tab-live (#/device/<id>) and #tab-settings
//     (#/device/<id>/settings), the one shown with aria-current="page";
//     [data-group="running|realtime|battery|load|energy|identity|link"]
//     sections with [data-key] value cells (state keys, settings paths, identity keys, link counters);
//     #load-mode-select, #load-mode-apply, #set-clock, #control-result (admin with allow_control only);
//     #day-date, #day-prev, #day-next, #day-csv, #day-chart, #day-temp-chart, #day-empty;
//     #days-range (7, 31, 365), #days-chart; #charts-unavailable when Chart.js is missing
//   Settings tab: #settings-read-at, #settings-download (a link), #settings-form with a
//     [data-path] input or select per profile field, [data-problem-for="<path>"] beside a field,
//     #settings-problems (li per problem), #settings-check, #settings-write, #settings-upload,
//     #settings-backups with [data-backup="<file>"] buttons, #settings-plan with
//     [data-block-code] per write (.frames, li per change), #settings-result[data-ok][data-status];
//     read-only: #settings-values [data-path] cells, #settings-readonly; #settings-unavailable
//   Bridge: #bridge-info [data-key], #bus-table rows [data-bus-index], #mqtt-state, #history-state
import { getJson, postJson, setCsrf, ApiError } from './api.js';
import { language, setLanguage, setTexts, t } from './i18n.js';
import { store, subscribe, notify, setDevices, updateDevice, setAvailability } from './store.js';
import { mountOverview } from './views/overview.js';
import { mountDevice } from './views/device.js';
import { mountBridge } from './views/bridge.js';
import { mountLogin } from './views/login.js';

const $ = (id) => document.getElementById(id);
let current = null;        // the mounted view: {update(kind, detail), unmount()}
let currentKey = null;     // which view that is: "overview", "bridge", "login" or "device:<id>"
let events = null;         // the EventSource
let streamDropped = false;
let bannerTimer = 0;
let retryTimer = 0;

// Reads the session into the store; the caller shows it, so that after a
// login the new role and the page built for it appear together.
async function fetchSession() {
  try {
    const session = await getJson('/api/v1/session');
    store.session = {
      role: ['viewer', 'admin'].includes(session.role) ? session.role : 'none',
      read_access: session.read_access === 'password' ? 'password' : 'open',
      csrf: typeof session.csrf === 'string' ? session.csrf : null,
    };
  } catch {
    store.session = { role: 'none', read_access: 'open', csrf: null };
  }
  setCsrf(store.session.csrf);
}

function mayRead() {
  return store.session.read_access === 'open' || store.session.role !== 'none';
}

async function loadData() {
  const [texts, bridge, devices] = await Promise.allSettled([
    getJson('/api/v1/texts'), getJson('/api/v1/bridge'), getJson('/api/v1/devices'),
  ]);
  if (texts.status === 'fulfilled') setTexts(texts.value);
  if (bridge.status === 'fulfilled') store.bridge = bridge.value;
  if (devices.status === 'fulfilled') setDevices(devices.value && devices.value.devices);
  const failed = [bridge, devices].find((r) => r.status === 'rejected');
  if (failed && failed.reason instanceof ApiError && failed.reason.status === 401) {
    store.session.role = 'none';
    store.session.read_access = 'password';
    renderAccount();
  }
  store.loadError = failed ? failed.reason.message : null;
  notify('bridge');
}

// The live stream. EventSource reconnects by itself after a network drop;
// when the bridge refuses it outright (closed state) it is opened again.
function startEvents() {
  stopEvents();
  if (!mayRead()) return;
  events = new EventSource('/api/v1/events');
  events.addEventListener('open', () => {
    if (streamDropped) {
      streamDropped = false;
      showBanner('up', t('connBack'));
      loadData();  // catch up on what the drop hid
    }
  });
  events.addEventListener('error', () => {
    streamDropped = true;
    showBanner('down', t('connLost'));
    if (events && events.readyState === EventSource.CLOSED) {
      clearTimeout(retryTimer);
      retryTimer = setTimeout(startEvents, 5000);
    }
  });
  events.addEventListener('state', (e) => withJson(e, updateDevice));
  events.addEventListener('availability', (e) => withJson(e, (a) => setAvailability(a.id, a.online)));
  events.addEventListener('bridge', (e) => withJson(e, (b) => { store.bridge = b; notify('bridge'); }));
}

function stopEvents() {
  clearTimeout(retryTimer);
  if (events) events.close();
  events = null;
}

function withJson(event, fn) {
  let data;
  try { data = JSON.parse(event.data); } catch { return; }
  if (data && typeof data === 'object') fn(data);
}

function showBanner(kind, text) {
  const banner = $('conn-banner');
  clearTimeout(bannerTimer);
  banner.className = `banner ${kind}`;
  banner.dataset.state = kind;
  banner.textContent = text;
  banner.hidden = false;
  if (kind === 'up') bannerTimer = setTimeout(() => { banner.hidden = true; }, 5000);
}

function renderAccount() {
  const { role, read_access: access } = store.session;
  const roleNode = $('role');
  roleNode.dataset.role = role;
  roleNode.textContent = `${t('role')}: ${t(role === 'admin' ? 'roleAdmin' : role === 'viewer' ? 'roleViewer' : 'roleNone')}`;
  $('login-open').hidden = role === 'admin';
  $('logout').hidden = !(role === 'admin' || (role === 'viewer' && access === 'password'));
}

function renderChrome() {
  document.title = t('title');
  $('brand').textContent = t('title');
  $('nav-overview').textContent = t('overview');
  $('nav-bridge').textContent = t('bridge');
  $('login-open').textContent = t('login');
  $('logout').textContent = t('logout');
  $('login-password-label').textContent = t('password');
  $('login-submit').textContent = t('login');
  const toggle = $('lang-toggle');
  toggle.textContent = t('language');
  toggle.lang = language() === 'en' ? 'zh-Hans' : 'en';
  toggle.setAttribute('aria-label', t('languageLabel'));
  const banner = $('conn-banner');
  if (!banner.hidden) banner.textContent = t(banner.dataset.state === 'down' ? 'connLost' : 'connBack');
  renderAccount();
}

function deviceRoute(hash) {
  const match = /^#\/device\/([^/]+)(\/settings)?$/.exec(hash);
  if (!match) return null;
  try {
    return { id: decodeURIComponent(match[1]), tab: match[2] ? 'settings' : 'live' };
  } catch {
    return null;  // a malformed escape: no such controller
  }
}

// Mounts the view of the hash. With `keep` (a change of the hash), the view
// already shown stays when the hash means the same view ("" and "#/"), and
// moving between the tabs of the device page shown only switches the tab,
// so what is typed into the settings form and the charts stay.
function route(keep = false) {
  const hash = location.hash || '#/';
  const view = $('view');
  const device = mayRead() ? deviceRoute(hash) : null;
  const key = !mayRead() ? 'login' : device ? `device:${device.id}` : hash === '#/bridge' ? 'bridge' : 'overview';
  if (keep && current && key === currentKey) {
    if (device) current.showTab(device.tab);
    return;
  }
  if (current) current.unmount();
  current = null;
  currentKey = key;
  view.replaceChildren();
  if (!mayRead()) current = mountLogin(view, { login });
  else if (device) current = mountDevice(view, device.id, device.tab);
  else if (hash === '#/bridge') current = mountBridge(view);
  else current = mountOverview(view);
  for (const link of document.querySelectorAll('.nav a')) {
    const active = link.getAttribute('href') === hash || (hash.startsWith('#/device/') && link.id === 'nav-overview');
    if (active) link.setAttribute('aria-current', 'page'); else link.removeAttribute('aria-current');
  }
}

// The error goes to the header's form and, when the login view is shown
// instead of a page, to that view's form, which is the one in sight.
async function login(password) {
  const errors = [$('login-error'), $('view-login-error')].filter(Boolean);
  for (const node of errors) node.textContent = '';
  try {
    const result = await postJson('/api/v1/login', { password });
    setCsrf(result.csrf);
    $('login-panel').hidden = true;
    $('login-password').value = '';
    await afterLogin();
    return true;
  } catch (e) {
    const text = e instanceof ApiError && e.status === 429 ? t('loginThrottled') : t('loginFailed');
    for (const node of errors) node.textContent = text;
    return false;
  }
}

async function afterLogin() {
  await fetchSession();
  await loadData();
  renderAccount();
  startEvents();
  route();
}

async function logout() {
  try { await postJson('/api/v1/logout'); } catch { /* the session ends on the next look anyway */ }
  await afterLogin();
}

function wire() {
  $('lang-toggle').addEventListener('click', () => {
    setLanguage(language() === 'en' ? 'zh' : 'en');
    renderChrome();
    route();
  });
  $('login-open').addEventListener('click', () => {
    const panel = $('login-panel');
    panel.hidden = !panel.hidden;
    if (!panel.hidden) $('login-password').focus();
  });
  $('login-form').addEventListener('submit', (e) => {
    e.preventDefault();
    login($('login-password').value);
  });
  $('logout').addEventListener('click', logout);
  window.addEventListener('hashchange', () => {
    route(true);
    $('view').focus({ preventScroll: true });
  });
  subscribe((kind, detail) => { if (current) current.update(kind, detail); });
}


async function start() {
  setLanguage(language());
  wire();
  renderChrome();
  // The data is asked for beside the session: with open reading (the usual
  // case) it is there one round trip sooner, and a 401 is handled as before.
  const data = loadData();
  await fetchSession();
  await data;
  renderChrome();
  route();
  startEvents();
}

start();
