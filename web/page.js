// The browser's side of the game's host: the canvas, the keyboard, the clock, the message boxes
// and the end of the program. The game, its timers' schedule, the held keys' repeats and what to
// draw all come from the WebAssembly module; this file only carries events in and pixels out.
import { CanvasCommands } from './canvas_commands.js';
import { hideChoiceAtFirstMove } from './computer_choice.js';
import { fit } from './fit.js';

const canvas = document.getElementById('form');
const context = canvas.getContext('2d', { alpha: false });
const box = document.getElementById('box');
const boxText = document.getElementById('box-text');
const boxOk = document.getElementById('box-ok');
const over = document.getElementById('over');
const overText = document.getElementById('over-text');

// The faces that stand in for the form's "MS Sans Serif" and "Viner Hand ITC", shipped with
// the page so that every browser draws the same letters.
const faces = [
  { family: 'Liberation Sans', url: 'fonts/LiberationSans-Regular.woff2', weight: '400' },
  { family: 'Dancing Script', url: 'fonts/DancingScript-Bold.woff2', weight: '700' },
];

let module = null;
let clientSize = { width: 0, height: 0 };
let ratio = 1;
let boxOpen = false;
let finished = false;
let wakeTimer = 0;
let asleep = false; // a wake-up fell due while the page was hidden

// Nothing may call into the module while a message box holds a procedure suspended.
function canCall() {
  return module !== null && !boxOpen && !finished;
}

// ---- Drawing: the module's list of whole-pixel rectangles and texts ----

const commands = new CanvasCommands(context);
let drawn = false;

function draw(words, text) {
  if (!drawn) {
    drawn = true;
    performance.mark('voltaro-first-frame');
  }
  commands.draw(words, text);
}

// The canvas holds the device pixels that cover the client area (as the module counts them)
// at the size that fits the screen (fit.js); its CSS size is exactly that many device pixels,
// so the browser neither stretches nor smooths it.
function sizeCanvas() {
  ratio = fit.ratio(clientSize);
  const devicePixels = window.devicePixelRatio || 1;
  // (Less a hair, so that a product that should be whole and is a rounding above it does not
  // add a column.)
  canvas.width = Math.ceil(clientSize.width * ratio - 1e-6);
  canvas.height = Math.ceil(clientSize.height * ratio - 1e-6);
  canvas.style.width = canvas.width / devicePixels + 'px';
  canvas.style.height = canvas.height / devicePixels + 'px';
  fit.place(canvas);
  document.documentElement.classList.add('placed');
}

// A new ratio (zoom, another screen, a resized or turned window) redraws the whole scene at
// it. Looked for whenever the screen may change anyway: at each wake-up of the local game, at
// each message of an online match; one that comes while the game cannot be called (a box holds
// a procedure) waits for the next.
function followPixelRatio() {
  if (game.ready() && fit.ratio(clientSize) !== ratio) {
    sizeCanvas();
    game.rescale(ratio);
  }
}
fit.onChange(() => {
  followPixelRatio();
  fit.place(canvas);
});

// Calls `changed` at every change of the screen's device pixel ratio.
function watchPixelRatio(changed) {
  const query = window.matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`);
  query.addEventListener('change', () => {
    watchPixelRatio(changed);
    changed();
  }, { once: true });
}

// ---- The clock: the module says when it wants to be called again ----

function arm(atMs) {
  clearTimeout(wakeTimer);
  wakeTimer = 0;
  if (atMs < 0) return;
  wakeTimer = setTimeout(wake, Math.max(0, Math.ceil(atMs - performance.now())));
}

// A hidden page does not tick: when it is shown again each timer gets one late tick and then
// keeps to its grid, with no burst of the ticks it missed.
function wake() {
  wakeTimer = 0;
  if (!canCall()) return;
  if (document.hidden) {
    asleep = true;
    return;
  }
  followPixelRatio();
  module._voltaro_wake(performance.now());
}

document.addEventListener('visibilitychange', () => {
  if (document.hidden) {
    releaseAllKeys();
  } else if (asleep) {
    asleep = false;
    wake();
  }
});

// ---- Keys ----

// Keys whose code is not their character, by the key's name.
const namedKeys = {
  Backspace: 8, Tab: 9, Clear: 12, Enter: 13, Shift: 16, Control: 17, Alt: 18, AltGraph: 18,
  Pause: 19, CapsLock: 20, Escape: 27, ' ': 32, PageUp: 33, PageDown: 34, End: 35, Home: 36,
  ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, PrintScreen: 44, Insert: 45,
  Delete: 46, Meta: 91, OS: 91, ContextMenu: 93, NumLock: 144, ScrollLock: 145,
};
// Keys that type no Latin letter, by their place on a US keyboard.
const usPlaces = {
  Semicolon: 186, Equal: 187, Comma: 188, Minus: 189, Period: 190, Slash: 191, Backquote: 192,
  BracketLeft: 219, Backslash: 220, BracketRight: 221, Quote: 222, IntlBackslash: 226,
  NumpadMultiply: 106, NumpadAdd: 107, NumpadSubtract: 109, NumpadDecimal: 110,
  NumpadDivide: 111, NumpadEnter: 13,
};

// The classic host's key code: the arrows 37..40; a Latin letter's upper-case character code
// whatever Shift, Caps Lock or the layout's place for it (W on AZERTY is where US has Z); and
// for a key of another script (Cyrillic, Greek...) the code of the US key in its place, so the
// W, A, S, D places play blue on every layout.
function hostKeyCode(event) {
  const key = event.key;
  if (Object.prototype.hasOwnProperty.call(namedKeys, key)) return namedKeys[key];
  if (/^[a-zA-Z]$/.test(key)) return key.toUpperCase().charCodeAt(0);
  const fKey = /^F([1-9]|1[0-9]|2[0-4])$/.exec(key);
  if (fKey) return 111 + Number(fKey[1]);
  const code = event.code;
  let m;
  if ((m = /^Key([A-Z])$/.exec(code))) return m[1].charCodeAt(0);
  if ((m = /^Digit([0-9])$/.exec(code))) return 48 + Number(m[1]);
  if ((m = /^Numpad([0-9])$/.exec(code))) return 96 + Number(m[1]);
  if (Object.prototype.hasOwnProperty.call(usPlaces, code)) return usPlaces[code];
  return 0;
}

// Each physical key, and each direction of a touch pad or gamepad, gets a number of its own,
// for holding and letting go.
const keyNumbers = new Map();
function numberOf(name) {
  if (!keyNumbers.has(name)) keyNumbers.set(name, keyNumbers.size + 1);
  return keyNumbers.get(name);
}
function keyNumber(event) {
  return numberOf(event.code || 'key:' + event.key);
}

// Keys belong to the game: no scrolling, no quick find, no focus moving away with Tab. The
// browser keeps its shortcuts (with Ctrl, Alt or Meta) and its function keys.
function keepFromBrowser(event) {
  if (!event.ctrlKey && !event.altKey && !event.metaKey && !/^F[0-9]+$/.test(event.key)) {
    event.preventDefault();
  }
}

// Before the match's first move the menu over the field is the page's: Tab and Shift move
// through it, and its own buttons and list take their keys. From the first move on, while the
// menu is hidden, every key goes to the game. A replay's controls keep Tab for good: nobody
// plays there.
const menus = ['choice', 'online-menu', 'over', 'replay'].map((id) => document.getElementById(id));
function menuKey(event) {
  if (menus.some((menu) => !menu.hidden && menu.contains(event.target))) return true;
  return (!menus[0].hidden || !menus[3].hidden) && (event.key === 'Tab' || event.key === 'Shift');
}

function releaseAllKeys() {
  game.releaseAll();
}

// The one way keys reach a game, the local one or an online match: Enter or Space answers an
// open box (the local game's or the server's, both shown in the same one).
window.addEventListener('keydown', (event) => {
  hideChoiceAtFirstMove(event);
  if (event.target instanceof HTMLInputElement) return; // typing a match's code
  if (!box.hidden) {
    keepFromBrowser(event);
    if (!event.repeat && (event.key === 'Enter' || event.key === ' ')) game.answerBox();
    return;
  }
  if (finished || menuKey(event)) return;
  keepFromBrowser(event);
  if (event.repeat) return; // the host repeats held keys on its own schedule
  game.down(keyNumber(event), hostKeyCode(event));
});

let begun = false; // a key has reached the game

function keyDown(number, code) {
  begun = true;
  module._voltaro_key_down(number, code, performance.now());
}

window.addEventListener('keyup', (event) => {
  game.up(keyNumber(event));
});

window.addEventListener('blur', releaseAllKeys);

// ---- Message boxes ----

// A screen reader hears each box as it opens.
const said = document.getElementById('said');
function say(text) {
  said.textContent = text;
}

let resume = null;

function openBox(text, isError, wakeUp) {
  boxOpen = true;
  resume = wakeUp;
  boxText.textContent = text;
  say(text);
  box.classList.toggle('error', isError);
  box.hidden = false;
  boxOk.focus({ preventScroll: true });
}

// OK: the suspended procedure goes on at once, inside this call; it may open the next box.
function closeBox() {
  if (!boxOpen) return;
  box.hidden = true;
  boxOpen = false;
  const wakeUp = resume;
  resume = null;
  canvas.focus({ preventScroll: true });
  wakeUp(performance.now());
}

boxOk.addEventListener('click', () => game.answerBox());

// ---- Keys of the touch pads and gamepads: the same path as the keyboard's ----

// Where the keys, the box's OK and a new pixel ratio go: the game on this page, or an online
// match (online.js), which takes the keys by the same numbers and codes.
const localGame = {
  // Whether the game may be called now.
  ready: canCall,
  down(number, code) {
    if (canCall()) keyDown(number, code);
  },
  up(number) {
    if (canCall()) module._voltaro_key_up(number);
  },
  releaseAll() {
    if (canCall()) module._voltaro_release_all_keys();
  },
  answerBox: closeBox,
  // A pad's answer: after the end, the same press starts a new match.
  answer() {
    if (finished) newMatch();
    else closeBox();
  },
  rescale(newRatio) {
    module._voltaro_set_device_pixel_ratio(newRatio);
  },
};

let game = localGame;
let onlineGame = null; // the online match's, while a local game runs beside it
let againLocally = null; // while a local game runs beside an online wait: its next match

export const page = {
  // A direction held down (`name` tells it from every other key) or let go.
  press(name, code) {
    game.down(numberOf(name), code);
  },
  release(name) {
    game.up(numberOf(name));
  },
  // A press that answers an open box, as Enter does.
  answerBox() {
    game.answer();
  },
  // Whether any key has reached the game yet.
  get begun() {
    return begun;
  },
  // A screen reader hears `text` now.
  say,
  // What the field's name tells a screen reader: the scene, and who plays which side.
  describe(players) {
    canvas.setAttribute('aria-label', 'The soccer field. ' + players);
  },
  followPixelRatio,
  // An online match takes the keys, the box and the ratio, and is never reloaded under the
  // players: `online` has the local game's methods.
  playOnline(online) {
    game = online;
    onlineGame = online;
    begun = true;
    watchPixelRatio(followPixelRatio);
  },
  // Another screen takes the canvas (a replay): the local game is called no more.
  stop() {
    module = null;
    clearTimeout(wakeTimer);
    box.hidden = true;
    over.hidden = true;
  },
  // The faces this page draws with, for loading before the first frame.
  faces,
  // What the module calls on this page.
  host: {
    open(caption, width, height) {
      document.title = caption;
      clientSize = { width, height };
      sizeCanvas();
      return ratio;
    },
    draw,
    arm,
    messageBox: openBox,
    ended,
  },
  // The local game starts on `loaded`, the module at its first frame.
  run(loaded) {
    module = loaded;
    watchPixelRatio(followPixelRatio);
    module._voltaro_start(performance.now());
    canvas.focus({ preventScroll: true }); // once it shows: a hidden canvas takes no focus
  },
  // A local game on `loaded` while an online match waits (a player alone in the queue plays
  // the computer meanwhile): it has the field and the keys until stopLocal(). "New match" at its
  // end calls `again` rather than load the page afresh, which would give up the wait.
  runBeside(loaded, again) {
    finished = false;
    againLocally = again;
    game = localGame;
    page.run(loaded);
  },
  // The local game stops where it stands, its box and its end put away; the online match has
  // the field and the keys again.
  stopLocal() {
    clearTimeout(wakeTimer);
    finished = false; // the keys' way to the online match is open again; no module to call
    boxOpen = false;
    resume = null;
    box.hidden = true;
    over.hidden = true;
    module = null;
    againLocally = null;
    if (onlineGame) game = onlineGame;
  },
  // The page could not start the game: why, in place of the match.
  failed(error) {
    overText.textContent = 'The game could not start: ' + error;
    over.hidden = false;
    document.getElementById('new-match').hidden = true;
  },
};

// ---- The end ----

function ended(exitStatus) {
  finished = true;
  clearTimeout(wakeTimer);
  overText.textContent = exitStatus === 0
    ? 'The match is over.'
    : 'The match is over: the game stopped on a run-time error.';
  over.hidden = false;
  document.getElementById('new-match').focus({ preventScroll: true });
}

// A new match starts the program afresh.
function newMatch() {
  if (againLocally) againLocally();
  else location.reload();
}
document.getElementById('new-match').addEventListener('click', newMatch);

// ---- Start-up ----

// The page's own address, whatever the query of this match: one page for a search engine.
if (/^https?:$/.test(location.protocol)) {
  const canonical = document.createElement('link');
  canonical.rel = 'canonical';
  canonical.href = location.origin + location.pathname;
  document.head.append(canonical);
}
