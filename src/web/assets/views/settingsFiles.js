// The profile as a file: a download link for the settings as last read
// (a Blob URL, which the page's Content-Security-Policy allows), and the
// file input that reads a profile the admin picks.
import { el } from '../dom.js';
import { t } from '../i18n.js';

// As large as the bridge takes a request body.
export const MAX_PROFILE_BYTES = 64 * 1024;

export function downloadLink() {
  return el('a', { id: 'settings-download', class: 'button', text: t('downloadProfile') });
}

// Points the link at `profile` as pretty JSON named after the controller's
// serial number; the previous file is let go.
export function setDownload(link, profile) {
  dropDownload(link);
  const blob = new Blob([`${JSON.stringify(profile, null, 2)}\n`], { type: 'application/json' });
  link.href = URL.createObjectURL(blob);
  const serial = typeof profile.serialNumber === 'string'
    ? profile.serialNumber.replace(/[^A-Za-z0-9._-]/g, '').replace(/^\.+/, '') : '';
  link.download = `${serial || 'controller'}-settings.json`;
}

export function dropDownload(link) {
  if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
}

// A button-like label for a hidden file input; onFile(file) for each pick.
export function uploadControl(onFile) {
  const input = el('input', {
    id: 'settings-upload', type: 'file', accept: '.json,application/json', class: 'visually-hidden',
  });
  input.addEventListener('change', () => {
    const file = input.files && input.files[0];
    input.value = '';  // the same file can be picked again
    if (file) onFile(file);
  });
  return el('span', { class: 'upload' }, input, el('label', { for: 'settings-upload', class: 'button', text: t('uploadProfile') }));
}

// Resolves to {profile} or {error: the words for the admin}.
export async function readProfileFile(file) {
  const fileName = file.name;
  if (file.size > MAX_PROFILE_BYTES) return { error: t('uploadTooBig', { name: fileName }) };
  let value;
  try {
    value = JSON.parse(await file.text());
  } catch {
    return { error: t('uploadNotJson', { name: fileName }) };
  }
  if (!value || typeof value !== 'object' || Array.isArray(value)) return { error: t('uploadNotProfile', { name: fileName }) };
  return { profile: value };
}
