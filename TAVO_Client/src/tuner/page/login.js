'use strict';
// Sends the password as HTTP Basic credentials; the service answers with a session cookie that
// scripts cannot read.

function base64(text) {
  const bytes = new TextEncoder().encode(text);
  let binary = '';
  for (const byte of bytes)
    binary += String.fromCharCode(byte);
  return btoa(binary);
}

document.getElementById('loginForm').addEventListener('submit', async (event) => {
  event.preventDefault();
  const note = document.getElementById('loginNote');
  const password = document.getElementById('password');
  note.textContent = '';
  try {
    const answer = await fetch('/api/login', {
      method: 'POST', credentials: 'same-origin',
      headers: { Authorization: `Basic ${base64(`:${password.value}`)}` },
    });
    if (answer.ok) {
      location.replace('/');
      return;
    }
    note.textContent = (await answer.text()).trim();
  } catch (error) {
    note.textContent = `The tuner service did not answer: ${error.message}`;
  }
  password.select();
});
