// A player alone in the queue of "Play someone online" may play the computer meanwhile: the
// local game's module runs on the field, at the level chosen in the menu, until the server seats
// the player; then it stops where it stands and the online match takes the field and the keys.
import createVoltaro from './voltaro.js';
import { page } from './page.js';

const levels = ['easy', 'normal', 'hard'];
const button = document.getElementById('online-computer');

let running = false; // asked for, loading or playing

async function startLocal() {
  const level = Math.max(0, levels.indexOf(document.getElementById('level').value));
  const loaded = await createVoltaro({ page: page.host });
  if (!running) return; // someone came while it loaded
  // "New match" at its end plays the computer again, still in the queue.
  page.runBeside(loaded, playComputer);
  loaded._voltaro_seat_computer(2, level, Math.floor(Math.random() * 2 ** 52));
  document.documentElement.dataset.local = 'running';
}

function playComputer() {
  running = true;
  button.hidden = true;
  startLocal().catch(() => {
    running = false; // the local game could not load: the offer stands again
    button.hidden = false;
  });
}

export const waitingGame = {
  // Called with every change of the online view: the offer stands while the player waits
  // alone; anything else (a seat, above all) stops the local game. `redraw` draws the online
  // match's field again.
  follow(phase, redraw) {
    button.hidden = phase !== 'Queued' || running;
    if (phase === 'Queued' || !running) return;
    running = false;
    page.stopLocal();
    delete document.documentElement.dataset.local;
    redraw();
  },
};

button.addEventListener('click', playComputer);
