// Online play on the page: "Create a match online", "Join a match", and a link with ?match=CODE.
// The match, its messages and every word the player reads come from the WebAssembly module
// (voltaro_online_*); this file carries WebSocket frames, keys and buttons in, and shows the box,
// the status line and the end.
import { fit } from './fit.js';
import { page } from './page.js';
import { forget, store, stored } from './storage.js';

const params = new URLSearchParams(location.search);
const wantedCode = (params.get('match') || '').trim();
const wantsCreate = params.get('online') === 'create';

// The module's phases (client::MatchView::Phase).
const Phase = { Connecting: 0, Lobby: 1, Waiting: 2, Playing: 3, Box: 4, Over: 5,
                Reconnecting: 6, Closed: 7 };
// The seat is kept on the server for 30 s after a connection drops: try a little less long.
const retryForMs = 28000;
const retryEveryMs = 1000;
const checkEveryMs = 500;

const element = (id) => document.getElementById(id);
const statusLine = element('online-status');
const linkField = element('online-link');
const againButton = element('online-again');
const box = element('box');
const boxText = element('box-text');
const boxOk = element('box-ok');

let module = null;
let socket = null;
let lostSince = 0;
let view = null;
let boxShown = 0;

// What this page showed, in order, for the tests: the same lines as the desktop game's log.
const log = [];
function note(line) {
  if (line && (log.length === 0 || log[log.length - 1].line !== line)) {
    log.push({ t: performance.now(), line });
  }
}

const run = (name, argTypes = [], values = []) =>
  module.ccall(name, null, argTypes, values);

// ---- The menu ----

element('online-create').addEventListener('click', () => {
  location.search = '?online=create';
});
const codeField = element('online-code');
function joinTyped() {
  const typed = codeField.value.trim();
  if (!typed) return;
  const code = new URLSearchParams(typed.split('?')[1] || '').get('match') || typed;
  location.search = '?match=' + encodeURIComponent(code);
}
element('online-join').addEventListener('click', joinTyped);
codeField.addEventListener('keydown', (event) => {
  if (event.key === 'Enter') joinTyped();
});
element('play-here').addEventListener('click', () => {
  if (module) run('voltaro_online_leave');
  location.search = '';
});

// ---- The connection ----

function socketUrl() {
  return (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws';
}

// A room's code goes in the address too: a proxy in front of several servers sends the
// connection to the one that holds the room.
function connect() {
  const code = (view && view.code) || wantedCode;
  run('voltaro_online_connecting');
  socket = new WebSocket(socketUrl() + (code ? '?room=' + encodeURIComponent(code) : ''));
  socket.onopen = () => run('voltaro_online_opened');
  // A server that answers is back; one that only opens connections is still lost, and given
  // up on in time.
  socket.onmessage = (event) => {
    lostSince = 0;
    page.followPixelRatio();
    if (typeof event.data === 'string') {
      run('voltaro_online_received', ['string'], [event.data]);
    }
  };
  socket.onclose = (event) => lost(event.code, event.reason);
}

function lost(code, reason) {
  socket = null;
  const again = module.ccall('voltaro_online_closed', 'number', ['number', 'string'],
                             [code, reason]);
  if (!again) return;
  if (!lostSince) lostSince = performance.now();
  if (performance.now() - lostSince > retryForMs) {
    run('voltaro_online_gave_up');
  } else {
    setTimeout(connect, retryEveryMs);
  }
}

// A server that stopped, or a network that dropped it without a word, closes nothing: the
// connection, or the attempt to open one, is dropped here when the server stays silent.
function checkServer() {
  if (!socket) return;
  const silent = module.ccall('voltaro_online_server_silent', 'number', ['number'],
                              [performance.now()]);
  if (!silent) return;
  const dropped = socket;
  dropped.onopen = dropped.onmessage = dropped.onclose = null;
  dropped.close();
  lost(1006, '');
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
  } else if (next.code && next.phase === Phase.Closed) {
    forget(seatKey(next.code));
  }
  if (next.code && params.get('match') !== next.code) {
    // A reload, or the same link opened again, takes the seat back.
    history.replaceState(null, '', '?match=' + encodeURIComponent(next.code));
  }
  const waiting = next.phase === Phase.Waiting && next.status.indexOf(next.code) >= 0;
  linkField.hidden = !waiting;
  if (waiting) {
    linkField.value = location.origin + location.pathname + '?match=' + next.code;
  }
  againButton.hidden = next.phase !== Phase.Over;
  // With nothing to say, the line gives its room to the field (a phone has little).
  element('online-menu').hidden = !next.status && linkField.hidden && againButton.hidden;
  showChoice(next.phase);
  fit.showPadsOf(next.seat === 'spectator' ? null : next.seat);
  showBox(next);
  document.documentElement.dataset.online = Object.keys(Phase)[next.phase];
  note(next.tickLine);
  if (next.phase === Phase.Box && !next.boxAnswered) {
    note('box ' + next.box + ' ' + next.boxText + ' | ' + next.sceneLine);
  }
  if (next.phase === Phase.Over) note('over ' + next.sceneLine.replace(/^tick \d+/, 'tick 0'));
  note('status ' + next.status);
}

// The ways to play stand over the top of the field: out of the way while a match is on, back
// when it is over.
let inPlay = false;
function showChoice(phase) {
  const now = [Phase.Playing, Phase.Box, Phase.Reconnecting].includes(phase);
  if (now !== inPlay) element('choice').hidden = now;
  inPlay = now;
}

// The server's box over the scene it opened on. OK answers it and closes it here at once; the
// match goes on when both players have answered.
function showBox(next) {
  const wanted = next.phase === Phase.Box && !next.boxAnswered;
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
  if (box.hidden || !view || view.phase !== Phase.Box) return;
  box.hidden = true;
  element('form').focus({ preventScroll: true });
  run('voltaro_online_box_ok');
}

const playAgain = () => run('voltaro_online_play_again');
againButton.addEventListener('click', playAgain);

// ---- Keys: the player's own piece, with the arrows or W/A/S/D; the server repeats ----

function listen() {
  // The keyboard, the touch pads and gamepads: any of them moves this player, as any of the
  // keys does; A answers a box, and at the end asks for another match.
  page.playOnline({
    ready: () => module !== null,
    down: (number, code) => run('voltaro_online_key_down', ['number', 'number'], [number, code]),
    up: (number) => run('voltaro_online_key_up', ['number'], [number]),
    releaseAll: () => run('voltaro_online_focus_lost'),
    answerBox,
    answer: () => (view && view.phase === Phase.Over ? playAgain() : answerBox()),
    rescale: (ratio) => run('voltaro_online_set_device_pixel_ratio', ['number'], [ratio]),
  });
}

// Called by main.js once the module and the faces are loaded, instead of the local game.
function begin(loaded) {
  module = loaded;
  module.page.online = { send, show };
  document.documentElement.dataset.mode = 'online';
  element('who').textContent = 'Your player: arrow keys or W, A, S, D';
  page.describe('An online match: your player moves with the arrow keys or ' +
                              'W, A, S, D.');
  element('online-menu').hidden = false;
  listen();
  const token = wantedCode ? stored(seatKey(wantedCode)) || '' : '';
  run('voltaro_online_start', ['string', 'string'], [wantedCode, token]);
  connect();
  setInterval(checkServer, checkEveryMs);
}

// What this page showed, in order (`log`), for the tests.
export const online = { wanted: () => wantsCreate || wantedCode !== '', begin, log };
