// Online play on the page: "Create a match online", "Join a match", "Watch a match", "Play
// someone online", and links with ?match=CODE or ?watch=CODE.
// The match, its messages and every word the player reads come from the WebAssembly module
// (voltaro-online, its voltaro_online_*); this file carries WebSocket frames, keys and buttons
// in, drives its frames, and shows the box, the status line and the end.
import { fit } from './fit.js';
import { page } from './page.js';
import { showQrCode } from './qr_code.js';
import { showReplayLink } from './replay_link.js';
import { waitingGame } from './quick_match.js';
import { forget, store, stored } from './storage.js';

const params = new URLSearchParams(location.search);
let wantedCode = (params.get('match') || '').trim();
let watchedCode = (params.get('watch') || '').trim();
const wantsCreate = params.get('online') === 'create';
const wantsQuick = params.get('online') === 'quick';
// What the player typed into "Join a match" or "Watch a match": the module reads it once loaded.
const typedJoin = params.get('join');
const typedWatch = params.get('as') === 'watch';
// How often the module looks after the connection (a ping, a drop, a new try).
const checkEveryMs = 500;

const element = (id) => document.getElementById(id);
const statusLine = element('online-status');
const linkField = element('online-link');
const watchLinkField = element('online-watch-link');
const watchLinkRow = element('online-watch-row');
const watchersLine = element('online-watchers');
const againButton = element('online-again');
const box = element('box');
const boxText = element('box-text');
const boxOk = element('box-ok');

let module = null;
let socket = null;
let view = null;
let boxShown = 0;

// What this page showed, in order, for the tests: the module's lines, as the desktop game logs
// them, with the time each showed.
const log = [];
function note(line) {
  log.push({ t: performance.now(), line });
}

const run = (name, argTypes = [], values = []) =>
  module.ccall(name, null, argTypes, values);

// ---- The menu ----

element('online-create').addEventListener('click', () => {
  location.search = '?online=create';
});
const codeField = element('online-code');
// The module reads what was typed (a code, or a link, perhaps to another server) once loaded.
function joinTyped(as = '') {
  const typed = codeField.value.trim();
  if (!typed) return;
  location.search = '?join=' + encodeURIComponent(typed) + (as ? '&as=' + as : '');
}
element('online-join').addEventListener('click', () => joinTyped());
element('online-watch').addEventListener('click', () => joinTyped('watch'));
element('online-quick').addEventListener('click', () => {
  location.search = '?online=quick';
});
codeField.addEventListener('keydown', (event) => {
  if (event.key === 'Enter') joinTyped();
});
element('play-here').addEventListener('click', () => {
  if (module) run('voltaro_online_leave');
  location.search = '';
});

// ---- The connection: opened and dropped when the module says ----

function open(url) {
  drop();
  try {
    socket = new WebSocket(url);
  } catch {
    // Reported as a connection that could not open, once this call from the module is over.
    setTimeout(() => run('voltaro_online_closed', ['number', 'string', 'number'],
                         [1006, '', performance.now()]));
    return;
  }
  socket.onopen = () => run('voltaro_online_opened');
  socket.onmessage = (event) => {
    page.followPixelRatio();
    if (typeof event.data === 'string') {
      run('voltaro_online_received', ['string', 'number'], [event.data, performance.now()]);
    }
  };
  socket.onclose = (event) => run('voltaro_online_closed', ['number', 'string', 'number'],
                                  [event.code, event.reason, performance.now()]);
}

// A connection the module gave up on: its end is not news to it.
function drop() {
  if (!socket) return;
  const dropped = socket;
  socket = null;
  dropped.onopen = dropped.onmessage = dropped.onclose = null;
  dropped.close();
}

function send(frame) {
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(frame);
}

// ---- What the module shows ----

function seatKey(code) {
  return 'voltaro-seat-' + code;
}

function show(next) {
  view = next;
  statusLine.textContent = next.status;
  if (next.matchLine) document.title = 'Soccer Game: VOLTARO! - ' + next.matchLine;
  if (next.code && next.token) {
    store(seatKey(next.code), next.token);
  }
  const watching = next.seat ? next.seat === 'spectator' : watchedCode !== '';
  if (next.code && next.phase === 'Closed' && !watching) {
    forget(seatKey(next.code)); // a spectator's room closing is no player's seat gone
  }
  const kept = watching ? 'watch' : 'match';
  if (next.code && params.get(kept) !== next.code) {
    // A reload, or the same link opened again, takes the seat back (or watches again).
    history.replaceState(null, '', `?${kept}=` + encodeURIComponent(next.code));
  }
  linkField.hidden = !next.joinLink;
  if (next.joinLink) linkField.value = next.joinLink;
  showQrCode(element('online-qr'), next.joinLink);
  watchLinkRow.hidden = !next.watchLink;
  if (next.watchLink) watchLinkField.value = next.watchLink;
  showQrCode(element('online-watch-qr'), next.watchLink);
  watchersLine.hidden = !next.watchLine;
  watchersLine.textContent = next.watchLine;
  againButton.hidden = next.phase !== 'Over' || watching;
  showReplayLink(next.replayLink); // after the end, and still once the room has closed
  // With nothing to say, the line gives its room to the field (a phone has little).
  element('online-menu').hidden = !next.status && linkField.hidden && againButton.hidden &&
    watchersLine.hidden && !next.replayLink;
  // (Drawn once this call from the module is over.)
  waitingGame.follow(next.phase, () => queueMicrotask(() => run('voltaro_online_redraw')));
  showChoice(next.phase);
  fit.showPadsOf(next.seat === 'spectator' ? null : next.seat);
  showBox(next);
  document.documentElement.dataset.online = next.phase;
}

// The ways to play stand over the top of the field: out of the way while a match is on, back
// when it is over.
let inPlay = false;
function showChoice(phase) {
  const now = ['Playing', 'Box', 'Reconnecting'].includes(phase);
  if (now !== inPlay) element('choice').hidden = now;
  inPlay = now;
}

// The server's box over the scene it opened on. OK answers it and closes it here at once; the
// match goes on when both players have answered.
function showBox(next) {
  const wanted = next.phase === 'Box' && !next.boxAnswered;
  if (!wanted) {
    box.hidden = true;
    return;
  }
  if (boxShown === next.box && !box.hidden) return;
  boxShown = next.box;
  boxText.textContent = next.boxText;
  page.say(next.boxText);
  box.classList.remove('error');
  box.hidden = false;
  boxOk.focus({ preventScroll: true });
}

function answerBox() {
  if (box.hidden || !view || view.phase !== 'Box') return;
  box.hidden = true;
  element('form').focus({ preventScroll: true });
  run('voltaro_online_box_ok');
}

const playAgain = () => run('voltaro_online_play_again');
againButton.addEventListener('click', playAgain);

// ---- Keys: the player's own piece, with the arrows or W/A/S/D; the match repeats held keys ----

function listen() {
  // The keyboard, the touch pads and gamepads: any of them moves this player, as any of the
  // keys does; A answers a box, and at the end asks for another match.
  page.playOnline({
    ready: () => module !== null,
    // The module moves the player's piece and draws it before this returns: it shows at the
    // browser's next frame.
    down: (number, code) => run('voltaro_online_key_down', ['number', 'number', 'number'],
                                [number, code, performance.now()]),
    up: (number) => run('voltaro_online_key_up', ['number', 'number'], [number, performance.now()]),
    releaseAll: () => run('voltaro_online_focus_lost', ['number'], [performance.now()]),
    answerBox,
    answer: () => (view && view.phase === 'Over' ? playAgain() : answerBox()),
    rescale: (ratio) => run('voltaro_online_set_device_pixel_ratio', ['number'], [ratio]),
  });
}

// What the player typed into "Join a match", read by the module: a room on this page's server
// is joined here; a link to another server opens that server's page, where the room is.
function joinHere() {
  const link = module.ccall('voltaro_online_page_to_join', 'string',
                            ['string', 'string', 'number'],
                            [typedJoin, location.href, typedWatch ? 1 : 0]);
  let target = null;
  try {
    target = link ? new URL(link) : null;
  } catch {
    // no address a browser can open: back to this page's menu
  }
  if (!target) {
    location.replace(location.pathname);
    return false;
  }
  if (target.origin + target.pathname !== location.origin + location.pathname) {
    location.replace(target.href);
    return false;
  }
  wantedCode = target.searchParams.get('match') || '';
  watchedCode = target.searchParams.get('watch') || '';
  history.replaceState(null, '', target.search);
  return true;
}

// Called by main.js once the module and the faces are loaded, instead of the local game.
function begin(loaded) {
  module = loaded;
  if (typedJoin !== null && !joinHere()) return;
  module.page.online = { send, open, drop, note, show };
  document.documentElement.dataset.mode = 'online';
  element('online-menu').hidden = false;
  if (watchedCode) {
    // A spectator has no player: the keys do nothing but answer a box.
    element('who').textContent = 'Watching a match';
    page.describe('An online match that you watch.');
    listen();
    run('voltaro_online_watch', ['string', 'string'], [location.href, watchedCode]);
  } else {
    element('who').textContent = 'Your player: arrow keys or W, A, S, D';
    page.describe('An online match: your player moves with the arrow keys or ' +
                                'W, A, S, D.');
    listen();
    if (wantsQuick && !wantedCode) {
      run('voltaro_online_quick_match', ['string'], [location.href]);
    } else {
      const token = wantedCode ? stored(seatKey(wantedCode)) || '' : '';
      run('voltaro_online_start', ['string', 'string', 'string'],
          [location.href, wantedCode, token]);
    }
  }
  setInterval(() => run('voltaro_online_check_connection', ['number'], [performance.now()]),
              checkEveryMs);
  requestAnimationFrame(eachFrame);
}

// The match moves between the server's messages: the module plays it on to the present and
// draws it at every frame the browser shows (none while the tab is hidden).
function eachFrame() {
  run('voltaro_online_frame', ['number'], [performance.now()]);
  requestAnimationFrame(eachFrame);
}

// What this page showed, in order (`log`), for the tests.
export const online = {
  wanted: () => wantsCreate || wantsQuick || wantedCode !== '' || watchedCode !== '' ||
    typedJoin !== null,
  begin,
  log,
};
