// Shown instead of every view while the bridge wants a password to be read.
import { el } from '../dom.js';
import { t } from '../i18n.js';

export function mountLogin(root, { login }) {
  root.dataset.view = 'login';
  const input = el('input', { id: 'view-login-password', type: 'password', autocomplete: 'current-password', required: true });
  const form = el('form', { class: 'panel login-form', id: 'view-login-form' },
    el('label', { for: 'view-login-password', text: t('password') }), input,
    el('button', { type: 'submit', class: 'button primary', text: t('login') }));
  form.addEventListener('submit', (e) => {
    e.preventDefault();
    login(input.value);
  });
  root.append(el('h1', { text: t('login') }), el('p', { text: t('loginNeeded') }), form,
    el('p', { class: 'error', role: 'alert', id: 'view-login-error' }));
  return { update() {}, unmount() {} };
}
