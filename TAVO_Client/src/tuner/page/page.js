'use strict';
// The tuner's page: the boxes, the chosen box's channels and its remote. Its key tables
// (TAVO_TABLES) are written at build time from the window's. Every press goes out by POST, one
// at a time in the order pressed, and a refusal stops what waits behind it, as in the window.

const state = {
  boxes: [],
  box: null,         // the chosen box
  offered: new Set(),
  page: 1,
  presses: [],       // waiting: {path, what}
  sending: false,
  digits: '',
  digitTimer: 0,
  tuned: null,       // the number tuned last, and the one before
  tunedBefore: null,
};

const $ = (id) => document.getElementById(id);

// Qt's key names (as the tables give them) where a browser names the key otherwise.
const browserKeyNames = {
  Up: 'ArrowUp', Down: 'ArrowDown', Left: 'ArrowLeft', Right: 'ArrowRight', PgUp: 'PageUp', PgDown: 'PageDown',
  Return: 'Enter', Esc: 'Escape', Del: 'Delete', Ins: 'Insert', Space: ' ',
};

// "Ctrl+Shift+P; Home" into [{ctrl, shift, alt, key}]; a key given without a modifier is
// taken with Shift too (? is Shift+/ on many layouts), as in the window.
function parseKeyboard(text) {
  return text.split('; ').filter(Boolean).map((one) => {
    const parts = one === '+' ? ['+'] : one.split('+');
    const key = parts.pop() || '+';
    const modifiers = new Set(parts);
    return { ctrl: modifiers.has('Ctrl'), shift: modifiers.has('Shift'), alt: modifiers.has('Alt'),
             plain: modifiers.size === 0, key: (browserKeyNames[key] || key).toLowerCase() };
  });
}

function matches(event, combos) {
  const key = event.key.toLowerCase();
  return combos.some((combo) => combo.key === key && combo.ctrl === event.ctrlKey && combo.alt === event.altKey
    && (combo.plain ? !event.metaKey : combo.shift === event.shiftKey));
}

const slotKeys = TAVO_TABLES.slots.filter((slot) => slot.key)
  .map((slot) => ({ ...slot, combos: parseKeyboard(slot.keyboard) }));
const windowKeys = TAVO_TABLES.windowKeys.map((key) => ({ ...key, combos: parseKeyboard(key.keyboard) }));

async function getJson(path) {
  const answer = await fetch(path, { cache: 'no-store', credentials: 'same-origin' });
  if (answer.status === 401) {
    location.assign('/login');
    throw new Error('not signed in');
  }
  if (!answer.ok)
    throw new Error((await answer.text()).trim());
  return answer.json();
}

function showRefusal(title, text) {
  $('refusalTitle').textContent = title || (state.box ? state.box.name : '');
  $('refusalText').textContent = text;
  if (!$('refusal').open)
    $('refusal').showModal();
}

// ---- presses, in order ----

function enqueue(path, what) {
  state.presses.push({ path, what });
  if (!state.sending)
    sendNext();
}

async function sendNext() {
  const press = state.presses.shift();
  if (!press) {
    state.sending = false;
    return;
  }
  state.sending = true;
  let refusal = null;
  try {
    const answer = await fetch(press.path, { method: 'POST', credentials: 'same-origin' });
    const type = answer.headers.get('Content-Type') || '';
    const body = type.startsWith('application/json') ? await answer.json() : { refusal: (await answer.text()).trim() };
    if (answer.status === 401)
      location.assign('/login');
    if (body.refusal)
      refusal = body;
  } catch (error) {
    refusal = { refusal: `The tuner service did not answer ${press.what}: ${error.message}` };
  }
  if (refusal) {
    state.presses = [];
    showRefusal(refusal.title, refusal.refusal);
  }
  sendNext();
}

function pressKey(key) {
  if (!state.box || !state.offered.has(key))
    return;
  enqueue(`/api/key/${state.box.id}/${key}`, `the key ${key}`);
}

function tuneNumber(number) {
  if (!state.box)
    return;
  if (state.tuned !== number) {
    state.tunedBefore = state.tuned;
    state.tuned = number;
  }
  markTuned();
  if (state.box.channels.some((channel) => channel.number === number)) {
    enqueue(`/api/channel/${state.box.id}/${number}`, `channel ${number}`);
    return;
  }
  // A number not in the list goes out as its digits.
  for (const digit of number)
    pressKey(`NUM_${digit}`);
}

// ---- typed digits, paced as the window's ----

function typeDigit(digit) {
  state.digits = (state.digits + digit).slice(-6);
  $('typing').textContent = state.digits;
  clearTimeout(state.digitTimer);
  state.digitTimer = setTimeout(enterDigits, TAVO_TABLES.digitPauseMs);
}

function enterDigits() {
  clearTimeout(state.digitTimer);
  const number = state.digits;
  state.digits = '';
  $('typing').textContent = '';
  if (number)
    tuneNumber(number);
}

function stepChannel(step) {
  const channels = state.box ? state.box.channels : [];
  if (channels.length === 0)
    return;
  const at = channels.findIndex((channel) => channel.number === state.tuned);
  const next = at < 0 ? (step > 0 ? 0 : channels.length - 1) : (at + step + channels.length) % channels.length;
  tuneNumber(channels[next].number);
}

const windowActions = {
  nextChannel: () => stepChannel(1),
  previousChannel: () => stepChannel(-1),
  channelBefore: () => { if (state.tunedBefore) tuneNumber(state.tunedBefore); },
  keyboardHelp: () => $('keyboard').showModal(),
};

// ---- the remote ----

function renderTabs() {
  const tabs = $('remoteTabs');
  tabs.replaceChildren();
  const pages = Math.max(...TAVO_TABLES.slots.map((slot) => slot.page));
  for (let page = 1; page <= pages; ++page) {
    const tab = document.createElement('button');
    tab.type = 'button';
    tab.role = 'tab';
    tab.textContent = `Page ${page}`;
    tab.setAttribute('aria-selected', String(page === state.page));
    tab.addEventListener('click', () => { state.page = page; renderTabs(); renderKeys(); });
    tabs.append(tab);
  }
}

// A held button repeats at the keyboard's pace where the window's does, but never runs ahead
// of the box: a repeat waits while presses are still waiting.
function holdRepeats(button, key) {
  let timer = 0;
  const stop = () => { clearTimeout(timer); timer = 0; button.classList.remove('down'); };
  const repeat = () => {
    if (state.presses.length === 0)
      pressKey(key);
    timer = setTimeout(repeat, 120);
  };
  button.addEventListener('pointerdown', (event) => {
    event.preventDefault();
    button.classList.add('down');
    pressKey(key);
    timer = setTimeout(repeat, 500);
  });
  for (const end of ['pointerup', 'pointerleave', 'pointercancel'])
    button.addEventListener(end, stop);
  button.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      event.stopPropagation();
      pressKey(key);
    }
  });
}

function renderKeys() {
  const grid = $('keys');
  grid.replaceChildren();
  for (const slot of TAVO_TABLES.slots.filter((each) => each.page === state.page)) {
    const button = document.createElement('button');
    button.type = 'button';
    button.style.gridRow = String(slot.row);
    button.style.gridColumn = String(slot.column);
    if (!slot.key) {
      button.className = 'corner';
      button.tabIndex = -1;
      button.setAttribute('aria-hidden', 'true');
    } else {
      button.textContent = slot.caption;
      button.dataset.key = slot.key;
      button.title = slot.keyboard ? `${slot.caption} (${slot.keyboard.replaceAll('; ', ' or ')})` : slot.caption;
      button.disabled = !state.offered.has(slot.key);
      if (slot.autoRepeat)
        holdRepeats(button, slot.key);
      else
        button.addEventListener('click', () => pressKey(slot.key));
    }
    grid.append(button);
  }
}

async function loadRemote() {
  state.offered = new Set();
  renderKeys();
  $('remoteNote').textContent = 'Reading the box\'s remote…';
  try {
    const remote = await getJson(`/api/remote/${state.box.id}`);
    if (remote.refusal) {
      $('remoteNote').textContent = remote.refusal;
      return;
    }
    state.offered = new Set(remote.keys);
    $('remoteNote').textContent = remote.controller ? `Remote: ${remote.controller}` : '';
  } catch (error) {
    $('remoteNote').textContent = error.message;
  }
  renderKeys();
}

// ---- the picture ----

// The box's picture, fragmented MP4 fed into Media Source Extensions as it comes. The page keeps
// to the newest picture: a browser that fell behind jumps ahead rather than play late.
const picture = { abort: null };
const keptBehindSeconds = 20;
const lateSeconds = 1.0;

function pictureNote(text) {
  $('pictureNote').textContent = text;
  $('video').hidden = Boolean(text);
}

async function showPicture(box) {
  if (picture.abort)
    picture.abort.abort();
  const video = $('video');
  video.removeAttribute('src');
  video.load();
  if (!window.MediaSource) {
    pictureNote('This browser has no Media Source Extensions: the picture plays in the window and in TV software.');
    return;
  }
  pictureNote('Waiting for the box\'s picture…');
  const abort = new AbortController();
  picture.abort = abort;
  try {
    const answer = await fetch(`/api/picture/${box.id}`, { credentials: 'same-origin', signal: abort.signal });
    if (!answer.ok) {
      pictureNote((await answer.text()).trim());
      return;
    }
    const type = answer.headers.get('Content-Type');
    if (!MediaSource.isTypeSupported(type)) {
      pictureNote(`This browser does not play ${type}.`);
      return;
    }
    const source = new MediaSource();
    video.src = URL.createObjectURL(source);
    await new Promise((resolve) => source.addEventListener('sourceopen', resolve, { once: true }));
    const buffer = source.addSourceBuffer(type);
    const waiting = [];
    const feed = () => {
      if (buffer.updating || waiting.length === 0 || source.readyState !== 'open')
        return;
      buffer.appendBuffer(waiting.shift());
    };
    buffer.addEventListener('updateend', () => {
      const ranges = buffer.buffered;
      if (ranges.length > 0) {
        const end = ranges.end(ranges.length - 1);
        if (video.currentTime < ranges.start(0) || end - video.currentTime > lateSeconds)
          video.currentTime = Math.max(ranges.start(ranges.length - 1), end - 0.1);
        if (video.currentTime - ranges.start(0) > 2 * keptBehindSeconds && !buffer.updating) {
          buffer.remove(0, video.currentTime - keptBehindSeconds);
          return;
        }
      }
      feed();
    });
    const reader = answer.body.getReader();
    pictureNote('');
    video.play().catch(() => {});
    for (;;) {
      const { value, done } = await reader.read();
      if (done)
        break;
      waiting.push(value);
      feed();
    }
    if (!abort.signal.aborted)
      pictureNote('The box\'s picture ended.');
  } catch (error) {
    if (!abort.signal.aborted)
      pictureNote(`The picture stopped: ${error.message}`);
  }
}

// ---- boxes and channels ----

function markTuned() {
  for (const button of $('channelList').querySelectorAll('button'))
    button.setAttribute('aria-current', String(button.dataset.number === state.tuned));
}

function renderChannels() {
  const list = $('channelList');
  list.replaceChildren();
  const channels = state.box ? state.box.channels : [];
  if (channels.length === 0) {
    const empty = document.createElement('li');
    empty.textContent = 'No channels: the window\'s channel list (L) fills it.';
    list.append(empty);
  }
  for (const channel of channels) {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.dataset.number = channel.number;
    const number = document.createElement('span');
    number.className = 'number';
    number.textContent = channel.number;
    button.append(number);
    // Names line up whether a channel has a logo or not.
    const logo = document.createElement(channel.logo ? 'img' : 'span');
    logo.className = 'logo';
    if (channel.logo) {
      logo.src = channel.logo;
      logo.alt = '';
      logo.loading = 'lazy';
    }
    button.append(logo);
    const name = document.createElement('span');
    name.textContent = channel.name;
    button.append(name);
    button.addEventListener('click', () => tuneNumber(channel.number));
    item.append(button);
    list.append(item);
  }
  markTuned();
}

function chooseBox(id) {
  state.box = state.boxes.find((box) => box.id === id) || state.boxes[0] || null;
  state.presses = [];
  state.tuned = state.tunedBefore = null;
  if (state.box)
    localStorage.setItem('box', state.box.id);
  $('box').value = state.box ? state.box.id : '';
  renderChannels();
  if (state.box) {
    loadRemote();
    showPicture(state.box);
  }
  else
    $('remoteNote').textContent = 'No box has answered yet.';
}

async function loadBoxes() {
  try {
    state.boxes = (await getJson('/api/boxes')).boxes;
  } catch (error) {
    $('remoteNote').textContent = error.message;
    return;
  }
  const select = $('box');
  select.replaceChildren(...state.boxes.map((box) => new Option(box.name + (box.encrypted ? ' (encrypted)' : ''), box.id)));
  // A link or home-screen entry may name the box: /#box=<id>.
  const named = new URLSearchParams(location.hash.slice(1)).get('box');
  chooseBox(state.box ? state.box.id : (named || localStorage.getItem('box')));
}

// ---- the keyboard ----

function onKey(event) {
  if (event.target instanceof HTMLSelectElement || event.defaultPrevented)
    return;
  if ($('refusal').open) {
    if (event.key === 'Escape' || event.key === ' ') {
      event.preventDefault();
      $('refusal').close();
    }
    return;
  }
  if ($('keyboard').open)
    return;
  const windowKey = windowKeys.find((key) => matches(event, key.combos));
  if (windowKey) {
    event.preventDefault();
    windowActions[windowKey.action]();
    return;
  }
  // Digits make a number as on the window's picture; Return ends it, and with no digits
  // typed it stays the remote's OK.
  if (/^[0-9]$/.test(event.key) && !event.ctrlKey && !event.altKey && !event.metaKey) {
    event.preventDefault();
    typeDigit(event.key);
    return;
  }
  if (event.key === 'Enter' && state.digits) {
    event.preventDefault();
    enterDigits();
    return;
  }
  const slot = slotKeys.find((each) => matches(event, each.combos));
  if (slot) {
    event.preventDefault();
    if (event.repeat && !slot.autoRepeat)
      return;
    if (!event.repeat || state.presses.length === 0)
      pressKey(slot.key);
  }
}

function fillKeyboardHelp() {
  const rows = [...slotKeys.filter((slot) => slot.keyboard && !/^NUM_/.test(slot.key))
    .map((slot) => [slot.keyboard.replaceAll('; ', ' or '), slot.caption]),
  ['0 … 9', 'A channel number, tuned after a pause or on Return'],
  ...windowKeys.map((key) => [key.keyboard.replaceAll('; ', ' or '), key.help])];
  $('keyboardTable').tBodies[0].replaceChildren(...rows.map(([keys, does]) => {
    const row = document.createElement('tr');
    for (const text of [keys, does]) {
      const cell = document.createElement('td');
      cell.textContent = text;
      row.append(cell);
    }
    return row;
  }));
}

$('box').addEventListener('change', (event) => chooseBox(event.target.value));
$('help').addEventListener('click', () => $('keyboard').showModal());
document.addEventListener('keydown', onKey);
fillKeyboardHelp();
renderTabs();
renderKeys();
loadBoxes();
