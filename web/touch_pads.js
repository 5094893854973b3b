// The touch pads: on a touch screen each player gets four directions on their own side, red's
// arrows and blue's W A S D. A finger on a pad holds the direction it points to from the pad's
// middle, as a finger holds a key: it goes down once, as a key of its own, and the game repeats
// it on the keyboard's schedule until the finger lifts or slides to another direction. Every
// finger is followed on its own, so both players can hold directions at once.
import { fit } from './fit.js';
import { page } from './page.js';

// What each pad's directions show; the keys they press are the module's (its side key table).
const players = [
  { name: 'red', labels: { up: '↑', left: '←', right: '→', down: '↓' } },
  { name: 'blue', labels: { up: 'W', left: 'A', right: 'D', down: 'S' } },
];
const moves = { up: 0, down: 1, left: 2, right: 3 };
let module = null;

// The key code of a side's direction, once the module is there.
function codeOf(pad, direction) {
  return module._voltaro_side_key_code(players.indexOf(pad.player), moves[direction]);
}

export function keysFrom(loaded) {
  module = loaded;
}

const pads = players.map((player) => {
  const pad = document.createElement('div');
  pad.className = 'pad pad-' + player.name;
  pad.hidden = true;
  pad.setAttribute('aria-hidden', 'true'); // the keyboard plays the same keys
  for (const [direction, label] of Object.entries(player.labels)) {
    const key = document.createElement('div');
    key.className = 'pad-key';
    key.dataset.direction = direction;
    key.textContent = label;
    pad.append(key);
  }
  fit.area.append(pad);
  return { element: pad, player, held: new Map() }; // direction -> fingers holding it
});
fit.relayout();

// The direction from the pad's middle to (x, y); none in the middle cell's inner circle.
function directionAt(pad, x, y) {
  const box = pad.element.getBoundingClientRect();
  const dx = x - (box.left + box.width / 2), dy = y - (box.top + box.height / 2);
  if (Math.hypot(dx, dy) < box.width / 9) return null;
  if (Math.abs(dx) > Math.abs(dy)) return dx < 0 ? 'left' : 'right';
  return dy < 0 ? 'up' : 'down';
}

function keyName(pad, direction) {
  return `touch:${pad.player.name}:${direction}`;
}

// Two fingers on one direction hold it once, until the last of them lets go.
function hold(pad, direction) {
  const fingers = pad.held.get(direction) || 0;
  pad.held.set(direction, fingers + 1);
  if (fingers > 0) return;
  pad.element.querySelector(`[data-direction=${direction}]`).classList.add('held');
  if (module) page.press(keyName(pad, direction), codeOf(pad, direction));
}

function letGo(pad, direction) {
  const fingers = pad.held.get(direction) - 1;
  pad.held.set(direction, fingers);
  if (fingers > 0) return;
  pad.element.querySelector(`[data-direction=${direction}]`).classList.remove('held');
  page.release(keyName(pad, direction));
}

// Each finger stays with the pad it first touched, wherever it slides.
const fingers = new Map(); // touch identifier -> { pad, direction }

function follow(touch) {
  const finger = fingers.get(touch.identifier);
  const direction = directionAt(finger.pad, touch.clientX, touch.clientY);
  if (direction === finger.direction) return;
  if (finger.direction) letGo(finger.pad, finger.direction);
  finger.direction = direction;
  if (direction) hold(finger.pad, direction);
}

for (const pad of pads) {
  pad.element.addEventListener('touchstart', (event) => {
    event.preventDefault(); // no mouse events, no double-tap zoom
    for (const touch of event.changedTouches) {
      fingers.set(touch.identifier, { pad, direction: null });
      follow(touch);
    }
  });
}

// The moves and ends of a touch go to the element it started on, so these see every finger.
document.addEventListener('touchmove', (event) => {
  for (const touch of event.changedTouches) {
    if (fingers.has(touch.identifier)) follow(touch);
  }
}, { passive: true });

function lift(event) {
  for (const touch of event.changedTouches) {
    const finger = fingers.get(touch.identifier);
    if (!finger) continue;
    fingers.delete(touch.identifier);
    if (finger.direction) letGo(finger.pad, finger.direction);
  }
}
document.addEventListener('touchend', lift);
document.addEventListener('touchcancel', lift);

// A touch screen that did not say it was one shows the pads at its first touch.
document.addEventListener('touchstart', () => fit.foundTouch(), { passive: true });

// No long-press menu over the game on a touch screen (a mouse keeps its right-click menu).
document.addEventListener('contextmenu', (event) => {
  if (fit.touch()) event.preventDefault();
});
// Safari's pinch zoom ignores the viewport's settings and touch-action alike.
document.addEventListener('gesturestart', (event) => event.preventDefault());
