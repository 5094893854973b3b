// A player alone in the queue of "Play someone online" may play the computer meanwhile: the
// local game's module runs on the field, at the level chosen in the menu, until the server seats
// the player; then it stops where it stands and the online match takes the field and the keys.
import createVoltaro from './voltaro.js';
import { page } from './page.js';

const levels = ['easy', 'normal', 'hard'];
const button = document.getElementById('online-computer');

let running = false;
let starting = null;

async function startLocal() {
  const level = Math.max(0, levels.indexOf(document.getElementById('level').value));
  const loaded = await createVoltaro({ page: page.host });
  if (!running) return; // someone came while it loaded
  page.runBeside(loaded, () => { starting = startLocal(); });
  loaded._voltaro_seat_computer(2, level, Math.floor(Math.random() * 2 ** 52));
  document.documentElement.dataset.local = 'running';
}

export const waitingGame = {
  // Called with every change of the online view: the offer stands while the player waits
  // alone; a seat stops the local game. `redraw` draws the online match's field again.
  follow(phase, redraw) {
    button.hidden = phase !== 'Queued' || running;
    if (phase === 'Queued' || !running) return;
    running = false;
    if (starting) starting.then(() => {}, () => {});
    page.stopLocal();
    delete document.documentElement.dataset.local;
    redraw();
  },
  get running() {
    return running;
  },
};

button.addEventListener('click', () => {
  running = true;
  button.hidden = true;
  starting = startLocal();
});
