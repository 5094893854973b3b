// Replays on the page: a link with ?replay=ID plays the record this page's own server keeps
// under /replay/ID, and a record file dropped on the page or picked with "Watch a replay file"
// plays the same way. The record is read, played and drawn by the viewer's module
// (voltaro-viewer, its voltaro_replay_*), with every word of where it stands; this file carries the record's bytes
// in, drives the frames, takes the keys and the controls, and shows what the module says.
import { fit } from './fit.js';
import { page } from './page.js';

const params = new URLSearchParams(location.search);
const wantedId = params.get('replay');

const element = (id) => document.getElementById(id);
const panel = element('replay');
const controls = element('replay-controls');
const problemLine = element('replay-problem');
const playButton = element('replay-play');
const speedChoice = element('replay-speed');
const seekBar = element('replay-seek');
const marks = element('replay-marks');
const positionLine = element('replay-position');
const box = element('box');
const boxText = element('box-text');
const boxOk = element('box-ok');

let module = null;
let view = null;
let boxShown = 0;
let framing = false;

const run = (name, argTypes = [], values = []) => module.ccall(name, null, argTypes, values);
const now = () => performance.now();

// ---- What the module shows ----

function show(next) {
  view = next;
  playButton.textContent = next.playing ? 'Pause' : 'Play';
  seekBar.max = String(next.lastTick);
  seekBar.value = String(next.tick);
  seekBar.setAttribute('aria-valuetext', next.position);
  positionLine.textContent = next.position;
  speedChoice.value = String(next.speedIndex);
  speedChoice.title = next.speed;
  showBox(next);
  // For the tests: the tick on screen and its scene, as the replay tool would write it.
  document.documentElement.dataset.replayTick = String(next.tick);
  document.documentElement.dataset.replayScene = next.scene;
}

// The match's boxes, each over the scene it opened on, as the players saw them: OK (Enter or
// Space) goes on to the next.
function showBox(next) {
  if (!next.box) {
    if (boxShown) box.hidden = true;
    boxShown = 0;
    return;
  }
  if (boxShown === next.box && !box.hidden) return;
  boxShown = next.box;
  boxText.textContent = next.boxText;
  page.say(next.boxText);
  box.classList.toggle('error', !/^Goal!$|^GAME OVER!/.test(next.boxText));
  box.hidden = false;
  boxOk.focus({ preventScroll: true });
}

function answerBox() {
  if (box.hidden || !view || !view.box) return;
  box.hidden = true;
  boxShown = 0;
  element('form').focus({ preventScroll: true });
  run('voltaro_replay_box_ok', ['number'], [now()]);
}

// Each key press's tick, and the goal's, along the seek bar: a thin line each, the goal's
// taller and white.
function drawMarks() {
  const count = module.ccall('voltaro_replay_mark_count', 'number');
  const last = Number(seekBar.max);
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(marks.clientWidth * ratio));
  const height = Math.max(1, Math.round(marks.clientHeight * ratio));
  marks.width = width;
  marks.height = height;
  const context = marks.getContext('2d');
  context.clearRect(0, 0, width, height);
  // The range's thumb travels between half its width from either end.
  const inset = 8 * ratio;
  for (let i = 0; i < count; ++i) {
    const tick = module.ccall('voltaro_replay_mark_tick', 'number', ['number'], [i]);
    const goal = module.ccall('voltaro_replay_mark_is_goal', 'number', ['number'], [i]) !== 0;
    const x = Math.round(inset + (last > 0 ? tick / last : 0) * (width - 2 * inset));
    context.fillStyle = goal ? '#ffffff' : '#ffbf00';
    const top = goal ? 0 : Math.round(height / 3);
    context.fillRect(x, top, Math.max(1, Math.round(ratio)), height - top);
  }
}

// A record that is refused replaces nothing: a replay already on screen stays, with its controls.
function fail(sentence) {
  problemLine.textContent = sentence;
  problemLine.hidden = false;
  controls.hidden = view === null;
  document.documentElement.dataset.replay = 'refused';
}

// ---- The record: its bytes into the module, as they are ----

function play(bytes) {
  const at = module.ccall('voltaro_replay_buffer', 'number', ['number'], [bytes.length]);
  const room = module.ccall('voltaro_replay_buffer_size', 'number');
  module.HEAPU8.set(bytes.subarray(0, room), at);
  if (!module.ccall('voltaro_replay_start', 'number')) {
    fail(module.ccall('voltaro_replay_problem', 'string'));
    return;
  }
  problemLine.hidden = true;
  controls.hidden = false;
  document.title = 'Soccer Game: VOLTARO! - replay';
  document.documentElement.dataset.replay = 'playing';
  drawMarks();
  element('form').focus({ preventScroll: true });
  if (!framing) {
    framing = true;
    requestAnimationFrame(eachFrame);
  }
}

// A replay is only ever read as far as the module has room for.
async function playFile(file) {
  const room = module.ccall('voltaro_replay_buffer', 'number', ['number'], [file.size]) &&
    module.ccall('voltaro_replay_buffer_size', 'number');
  try {
    play(new Uint8Array(await file.slice(0, room).arrayBuffer()));
  } catch (error) {
    fail(`The file could not be read: ${error.message || error}`);
  }
}

// An id is letters, digits, - and _ only: nothing else of this server can be asked for.
async function fetchReplay(id) {
  if (!/^[A-Za-z0-9_-]{1,64}$/.test(id)) {
    fail('That is not the id of a replay.');
    return;
  }
  let response;
  try {
    response = await fetch('/replay/' + id, { cache: 'no-store', credentials: 'omit' });
  } catch (error) {
    fail(`The replay could not be fetched: ${error.message || error}`);
    return;
  }
  if (response.status === 404) {
    fail('This server has no replay of that id.');
    return;
  }
  if (!response.ok) {
    fail(`The server could not send the replay (status ${response.status}).`);
    return;
  }
  play(new Uint8Array(await response.arrayBuffer()));
}

// ---- The player's controls: the buttons, the bar, and the keys ----

playButton.addEventListener('click', () => run('voltaro_replay_toggle_play', ['number'], [now()]));
element('replay-back').addEventListener('click', () => run('voltaro_replay_step', ['number', 'number'], [-1, now()]));
element('replay-forward').addEventListener('click', () => run('voltaro_replay_step', ['number', 'number'], [1, now()]));
speedChoice.addEventListener('change', () => run('voltaro_replay_set_speed', ['number', 'number'],
                                                 [Number(speedChoice.value), now()]));
seekBar.addEventListener('input', () => run('voltaro_replay_seek', ['number', 'number'],
                                            [Number(seekBar.value), now()]));
window.addEventListener('resize', () => { if (view) drawMarks(); });

// The keys by the classic host's codes: Space, the Left and Right arrows, + and - (on the main
// keys or the keypad), Home and End.
function keyDown(code) {
  if (!view) return;
  if (code === 32) run('voltaro_replay_toggle_play', ['number'], [now()]);
  else if (code === 37) run('voltaro_replay_step', ['number', 'number'], [-1, now()]);
  else if (code === 39) run('voltaro_replay_step', ['number', 'number'], [1, now()]);
  else if (code === 187 || code === 107) run('voltaro_replay_set_speed', ['number', 'number'], [view.speedIndex + 1, now()]);
  else if (code === 189 || code === 109) run('voltaro_replay_set_speed', ['number', 'number'], [Math.max(0, view.speedIndex - 1), now()]);
  else if (code === 36) run('voltaro_replay_seek', ['number', 'number'], [0, now()]);
  else if (code === 35) run('voltaro_replay_seek', ['number', 'number'], [view.lastTick, now()]);
}

function listen() {
  page.playOnline({
    ready: () => module !== null,
    down: (number, code) => keyDown(code),
    up: () => {},
    releaseAll: () => {},
    answerBox,
    answer: answerBox,
    rescale: (ratio) => run('voltaro_replay_set_device_pixel_ratio', ['number'], [ratio]),
  });
}

function eachFrame() {
  run('voltaro_replay_frame', ['number'], [now()]);
  requestAnimationFrame(eachFrame);
}

// Called by main.js with the viewer's module, once it and the faces are loaded: the replay of
// the link, or of `file`.
function begin(loaded, file = null) {
  const first = module === null;
  module = loaded;
  if (first) {
    module.page.replay = { show };
    document.documentElement.dataset.mode = 'replay';
    element('choice').hidden = true;
    element('over').hidden = true;
    panel.hidden = false;
    fit.showPadsOf(null); // nobody plays: no pads
    page.describe('A replay of a match: Space plays and pauses it, the Left and Right arrows ' +
                  'step a tick.');
    listen();
  }
  if (file) playFile(file);
  else fetchReplay(wantedId.trim());
}

// A record file dropped anywhere on the page, or picked, is handed to `open`.
function takeFiles(open) {
  window.addEventListener('dragover', (event) => {
    if (!event.dataTransfer || ![...event.dataTransfer.types].includes('Files')) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
  });
  window.addEventListener('drop', (event) => {
    const file = event.dataTransfer && event.dataTransfer.files[0];
    if (!file) return;
    event.preventDefault();
    open(file);
  });
  for (const id of ['replay-file', 'replay-file-again']) {
    const input = element(id);
    input.addEventListener('change', () => {
      const file = input.files[0];
      input.value = '';
      if (file) open(file);
    });
  }
}

export const replay = {
  wanted: () => wantedId !== null,
  begin,
  takeFiles,
};
