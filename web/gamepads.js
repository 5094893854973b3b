// Gamepads (the browser's standard mapping): the first pad plays red, the second blue. The D-pad
// and the left stick are the four directions, each held as a key of its own that the game
// repeats on the keyboard's schedule; A (Cross) answers a box. The page reads the pads once a
// frame, and only while one is connected: a pad unplugged lets go of its directions at once.
import { page } from './page.js';

// A stick direction counts past this deflection and stops below a little less, so that a
// thumb resting on the edge does not make it flicker.
const kDeadZone = 0.5;
const kLetGo = 0.4;
const kButtonA = 0;
// Each direction: its D-pad button, the stick's axis and the sign that points that way.
const directions = {
  up: { button: 12, axis: 1, sign: -1 },
  down: { button: 13, axis: 1, sign: 1 },
  left: { button: 14, axis: 0, sign: -1 },
  right: { button: 15, axis: 0, sign: 1 },
};
const players = [
  { name: 'red', codes: { up: 38, down: 40, left: 37, right: 39 } },
  { name: 'blue', codes: { up: 87, down: 83, left: 65, right: 68 } },
];
// The pad on each player's seat, and what it holds.
const seats = players.map((player) => ({ player, pad: null, held: new Set(), answer: false }));

function pressed(pad, index) {
  const button = pad.buttons[index];
  return !!button && (button.pressed || button.value > 0.5);
}

function keyName(seat, direction) {
  return `gamepad:${seat.player.name}:${direction}`;
}

function leave(seat) {
  for (const direction of seat.held) page.release(keyName(seat, direction));
  seat.held.clear();
  seat.pad = null;
}

function read(seat, pad) {
  for (const [direction, { button, axis, sign }] of Object.entries(directions)) {
    const deflection = (pad.axes[axis] || 0) * sign;
    const was = seat.held.has(direction);
    const now = pressed(pad, button) || deflection > (was ? kLetGo : kDeadZone);
    if (now === was) continue;
    if (now) {
      seat.held.add(direction);
      page.press(keyName(seat, direction), seat.player.codes[direction]);
    } else {
      seat.held.delete(direction);
      page.release(keyName(seat, direction));
    }
  }
  const answer = pressed(pad, kButtonA);
  if (answer && !seat.answer) page.answerBox();
  seat.answer = answer;
}

// None where the browser keeps pads from the page (an insecure origin, a policy).
function gamepads() {
  try {
    return (navigator.getGamepads && navigator.getGamepads()) || [];
  } catch (error) {
    return [];
  }
}

let frame = 0;

function poll() {
  frame = 0;
  const pads = Array.from(gamepads()).filter((pad) => pad && pad.connected);
  const same = (a, b) => a.index === b.index && a.id === b.id;
  for (const seat of seats) {
    if (seat.pad && !pads.some((pad) => same(pad, seat.pad))) leave(seat);
  }
  for (const pad of pads) {
    if (seats.some((seat) => seat.pad && same(pad, seat.pad))) continue;
    const free = seats.find((seat) => !seat.pad);
    if (!free) break;
    free.pad = pad;
    free.answer = pressed(pad, kButtonA); // a press that brought the pad in answers nothing
  }
  for (const seat of seats) {
    // A browser may hand out a new object for the same pad each frame.
    if (seat.pad) read(seat, (seat.pad = pads.find((pad) => same(pad, seat.pad))));
  }
  if (pads.length > 0) frame = requestAnimationFrame(poll);
}

// A pad plugged in or out is taken up or let go of at once, not at the next frame.
function now() {
  cancelAnimationFrame(frame);
  poll();
}
window.addEventListener('gamepadconnected', now);
window.addEventListener('gamepaddisconnected', now);
poll(); // pads that the browser knew before the page loaded
