// The bridge's JSON API. Every POST carries the session's CSRF value and a
// JSON body; a failure becomes an ApiError with the bridge's error code and
// the whole answer, whose further keys some errors need (problems, changed).

let csrf = null;

export class ApiError extends Error {
  constructor(status, code, message, body = null) {
    super(message || `HTTP ${status}`);
    this.status = status;
    this.code = code || '';
    this.body = body && typeof body === 'object' ? body : {};
  }
}

export function setCsrf(value) { csrf = typeof value === 'string' ? value : null; }

async function errorOf(response) {
  let body = null;
  try { body = await response.json(); } catch { /* not JSON */ }
  const error = body && typeof body === 'object' ? body.error : null;
  return new ApiError(response.status, error && error.code, error && error.message, body);
}

export async function getJson(path) {
  const response = await fetch(path, { headers: { Accept: 'application/json' }, credentials: 'same-origin' });
  if (!response.ok) throw await errorOf(response);
  return response.json();
}

export async function postJson(path, body = {}) {
  const headers = { 'Content-Type': 'application/json', Accept: 'application/json' };
  if (csrf) headers['X-Kestrane-CSRF'] = csrf;
  const response = await fetch(path, {
    method: 'POST', headers, body: JSON.stringify(body), credentials: 'same-origin',
  });
  if (!response.ok) throw await errorOf(response);
  const text = await response.text();
  return text ? JSON.parse(text) : {};
}

export function devicePath(id, rest = '') {
  return `/api/v1/devices/${encodeURIComponent(id)}${rest}`;
}
