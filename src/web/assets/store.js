// What the page knows about the bridge: session, bridge object and the
// controllers by id, kept current by the live stream. Views subscribe and
// are told what changed.

export const store = {
  session: { role: 'none', read_access: 'open', csrf: null },
  bridge: null,
  devices: new Map(),  // id -> device object as GET /api/v1/devices lists it
  order: [],           // ids in the bridge's order
};

const listeners = new Set();

// fn(kind, detail): kind is 'devices', 'device' (detail: id), 'bridge' or 'session'.
export function subscribe(fn) {
  listeners.add(fn);
  return () => listeners.delete(fn);
}

export function notify(kind, detail) {
  for (const fn of [...listeners]) fn(kind, detail);
}

// A device object as it arrives, stamped with the browser's monotonic time,
// so that its age can be told later without any wall clock.
export function stamped(device) {
  return { ...device, received_at: performance.now() };
}

// Milliseconds since the device's state last changed: the bridge's age_s
// (on its steady clock) when the object arrived, plus the time since then
// on the browser's. Neither machine's wall clock counts, so a bridge whose
// clock network time has not set yet, or sets while the page is open,
// shows its controllers as fresh as they are. Infinity when unknown.
export function deviceAgeMs(device, now = performance.now()) {
  const age = device && device.age_s;
  if (typeof age !== 'number' || !Number.isFinite(age) || !Number.isFinite(device.received_at)) return Infinity;
  return age * 1000 + Math.max(0, now - device.received_at);
}

export function setDevices(list) {
  store.devices.clear();
  store.order = [];
  for (const device of Array.isArray(list) ? list : []) {
    if (!device || typeof device.id !== 'string') continue;
    store.devices.set(device.id, stamped(device));
    store.order.push(device.id);
  }
  notify('devices');
}

// A state event carries the whole device object; identity and settings of a
// device page stay as they were fetched.
export function updateDevice(device) {
  if (!device || typeof device.id !== 'string') return;
  const known = store.devices.get(device.id);
  if (!known) store.order.push(device.id);
  store.devices.set(device.id, { ...(known || {}), ...stamped(device) });
  notify('device', device.id);
}

export function setAvailability(id, online) {
  const known = store.devices.get(id);
  if (!known) return;
  store.devices.set(id, { ...known, online: Boolean(online) });
  notify('device', id);
}

// Three poll intervals, at least 15 s: a card older than this says since when
// there is no data.
export function staleAfterMs() {
  const poll = store.bridge && Number(store.bridge.poll_interval_s);
  return Math.max(15, 3 * (Number.isFinite(poll) && poll > 0 ? poll : 5)) * 1000;
}

export function canControl(device) {
  return store.session.role === 'admin' && Boolean(device && device.allow_control);
}
