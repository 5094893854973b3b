// Gamepads (the browser's standard mapping). What a pad does is the module's to say, as on the
// desktop: which side it plays, its stick's dead zone, what its D-pad and A (Cross) press. This
// file only reads the pads, once a frame and only while one is connected, hands the module what
// it sees, and carries out the presses it answers with, the keyboard's way: a held direction is
// a key of its own that the game repeats, and A answers a box.
import { page } from './page.js';

let module = null;
let frame = 0;

// None where the browser keeps pads from the page (an insecure origin, a policy).
function gamepads() {
  try {
    return (navigator.getGamepads && navigator.getGamepads()) || [];
  } catch (error) {
    return [];
  }
}

// A number for each pad, the same while it stays plugged in (the browser may hand out a new
// object for it each frame, and give its index to another pad once it is gone).
const numbers = new Map();
function numberOf(pad) {
  const name = `${pad.index} ${pad.id}`;
  if (!numbers.has(name)) numbers.set(name, numbers.size + 1);
  return numbers.get(name);
}

// Bit n for the layout's button n.
function buttons(pad) {
  let bits = 0;
  pad.buttons.slice(0, 32).forEach((button, index) => {
    if (button && (button.pressed || button.value > 0.5)) bits |= 1 << index;
  });
  return bits;
}

function poll() {
  frame = 0;
  const pads = Array.from(gamepads()).filter((pad) => pad && pad.connected);
  for (const pad of pads) {
    module._voltaro_pad_seen(numberOf(pad), buttons(pad), pad.axes[0] || 0, pad.axes[1] || 0);
  }
  module._voltaro_pads_read();
  for (const press of (module.padPresses || []).splice(0)) {
    if (press.confirm) page.answerBox();
    else if (press.up) page.release(`pad:${press.key}`);
    else page.press(`pad:${press.key}`, press.code);
  }
  if (pads.length > 0) frame = requestAnimationFrame(poll);
}

// A pad plugged in or out is taken up or let go of at once, not at the next frame.
function now() {
  cancelAnimationFrame(frame);
  if (module) poll();
}
window.addEventListener('gamepadconnected', now);
window.addEventListener('gamepaddisconnected', now);

// From the module's start on, with the pads that the browser knew before.
export function readPads(loaded) {
  module = loaded;
  poll();
}
