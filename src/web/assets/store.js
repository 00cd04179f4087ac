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

export function setDevices(list) {
  store.devices.clear();
  store.order = [];
  for (const device of Array.isArray(list) ? list : []) {
    if (!device || typeof device.id !== 'string') continue;
    store.devices.set(device.id, device);
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
  store.devices.set(device.id, { ...(known || {}), ...device });
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
