// Where the scene and the touch pads stand, on any screen: the scene at the largest size that
// fits the room the page leaves, with its proportions, and on a touch screen a pad for each
// player, red's on the left and blue's on the right, beside the scene or below it, whichever
// leaves the scene larger. The scene is never a scaled bitmap: the page draws it at the ratio
// given here, in device pixels that the canvas shows one for one.
const root = document.documentElement;
const stage = document.getElementById('stage');
const area = document.createElement('div');
area.id = 'play-area';
stage.before(area);
area.append(stage);

const kMargin = 8; // CSS pixels between a pad and the screen's edge or the scene

// Asked again at every layout, as a browser may tell late; once seen, the pads stay.
const coarse = window.matchMedia('(any-pointer: coarse)');
function touch() {
  if (navigator.maxTouchPoints > 0 || coarse.matches || 'ontouchstart' in window) {
    root.classList.add('touch');
  }
  return root.classList.contains('touch');
}
touch();

// A pad is three cells square: big enough for a thumb (a cell of 48 CSS pixels at least),
// small enough to leave the scene room; below the scene, as wide as two of them side by side
// allow.
function padSize(cell) {
  return 3 * Math.max(48, Math.min(80, cell));
}

let placed = null;
// Whose pads show: both players' (undefined) here; in an online match only the player's own
// ('red' or 'blue'), or none (null) before a seat.
let padsOf;

// The layout of a client area of `client` form pixels in the room there is now, in CSS
// pixels of the play area: the scene's scale, its room, and the pads' boxes.
function layout(client) {
  const width = area.clientWidth, height = area.clientHeight;
  const scaleIn = (w, h) => Math.max(0.05, Math.min(w / client.width, h / client.height));
  // Online only the player's own pad takes room beside the scene, on its side.
  const sides = padsOf === undefined ? 2 : padsOf === null ? 0 : 1;
  if (!touch() || sides === 0) {
    return { scale: scaleIn(width, height), room: { x: 0, y: 0, width, height }, pads: null };
  }
  const pads = (size) => [{ x: kMargin, y: height - kMargin - size, size },
    { x: width - kMargin - size, y: height - kMargin - size, size }];
  const besidePad = padSize(Math.round(Math.min(width, height) / 7.5));
  const side = besidePad + 2 * kMargin;
  const left = padsOf === 'blue' ? 0 : side;
  const beside = scaleIn(width - sides * side, height);
  const belowPad = padSize(Math.min(Math.round(height / 7.5), Math.floor((width - 3 * kMargin) / 6)));
  const under = belowPad + 2 * kMargin;
  const below = scaleIn(width, height - under);
  if (beside > below) {
    return { scale: beside, room: { x: left, y: 0, width: width - sides * side, height },
             pads: pads(besidePad) };
  }
  return { scale: below, room: { x: 0, y: 0, width, height: height - under }, pads: pads(belowPad) };
}

// Device pixels per form pixel: at the form's own size, the screen's own ratio, as on the
// desktop. (The canvas's last column and row of device pixels may then hold half a pixel of
// the scene, which the play area clips.)
function ratio(client) {
  placed = layout(client);
  return (window.devicePixelRatio || 1) * placed.scale;
}

// Puts the canvas (of its CSS size now) in the middle of its room, on whole device pixels
// wherever the play area itself starts, and the pads at their places.
function place(canvas) {
  if (!placed) return;
  const dpr = window.devicePixelRatio || 1;
  const origin = area.getBoundingClientRect();
  const snap = (at, start) => (Math.round((start + at) * dpr) - start * dpr) / dpr;
  const { room } = placed;
  const width = canvas.width / dpr, height = canvas.height / dpr;
  stage.style.left = snap(room.x + Math.max(0, (room.width - width) / 2), origin.left) + 'px';
  stage.style.top = snap(room.y + Math.max(0, (room.height - height) / 2), origin.top) + 'px';
  const pads = area.querySelectorAll('.pad');
  pads.forEach((element, i) => {
    const box = placed.pads && placed.pads[i];
    element.hidden =
      !box || (padsOf !== undefined && !element.classList.contains('pad-' + padsOf));
    if (!box) return;
    element.style.left = box.x + 'px';
    element.style.top = box.y + 'px';
    element.style.width = element.style.height = box.size + 'px';
  });
}

// Any change of the room (the window, the phone turned, other parts of the page) lays it out
// again through `relayout`, which the page gives.
let relayout = () => {};
new ResizeObserver(() => relayout()).observe(area);
window.addEventListener('resize', () => relayout());
coarse.addEventListener('change', () => relayout());

export const fit = {
  area,
  touch,
  // A touch screen that did not say so shows itself at its first touch.
  foundTouch() {
    if (touch()) return;
    root.classList.add('touch');
    relayout();
  },
  ratio,
  place,
  // Only `player`'s pad ('red' or 'blue'; null: none), for one player online.
  showPadsOf(player) {
    if (player === padsOf) return;
    padsOf = player;
    relayout();
  },
  onChange(callback) {
    relayout = callback;
  },
  // Something new to place (the pads): the game may have opened before they were made.
  relayout() {
    relayout();
  },
};
