// Who plays: two people at this keyboard ("Play here"), or one person as red against the
// computer as blue ("Play against the computer"), at a level the page remembers for the next
// visit. A choice starts a new match: the page is loaded again with it in its address
// (?computer=blue&level=hard, and &seed=N to play a match again the same way). The choice
// stands over the top of the scene until the first key or touch of the match; the window's
// title says who plays which side.
import { store, stored } from './storage.js';

const levels = ['easy', 'normal', 'hard'];
const storedLevel = 'voltaro.level';
const query = new URLSearchParams(location.search);
const againstComputer = query.get('computer') === 'blue';
const level = levels.includes(query.get('level')) ? query.get('level') : 'normal';
const seed = /^[0-9]{1,15}$/.test(query.get('seed') || '')
  ? Number(query.get('seed'))
  : Math.floor(Math.random() * 2 ** 52);
const who = againstComputer ? `Red: you; Blue: the computer, ${level}` : '';

// Where storage is refused the level is the usual one each visit.
function remember(value) {
  store(storedLevel, value);
}
function remembered() {
  const value = stored(storedLevel);
  return levels.includes(value) ? value : 'normal';
}

const choice = document.getElementById('choice');
const select = document.getElementById('level');
select.value = againstComputer ? level : remembered();
select.addEventListener('change', () => remember(select.value));
document.getElementById('who').textContent = who || 'Red: arrow keys; Blue: W, A, S, D';
document.getElementById('play-here').addEventListener('click', () => {
  location.search = '';
});
document.getElementById('play-computer').addEventListener('click', () => {
  remember(select.value);
  location.search = `?computer=blue&level=${select.value}`;
});

if (againstComputer) {
  document.getElementById('form').setAttribute('aria-label',
    `The soccer field. Red: you, with the arrow keys; blue: the computer, ${level}.`);
}

// The match has begun: the choice makes room for it. Tab and Shift only move through it. The
// page's keyboard calls this first with every key; a touch or click comes here itself.
let begun = false;
export function hideChoiceAtFirstMove(event) {
  if (begun || choice.contains(event.target) || event.key === 'Tab' || event.key === 'Shift') {
    return;
  }
  begun = true;
  choice.hidden = true;
  window.removeEventListener('pointerdown', hideChoiceAtFirstMove, true);
}
window.addEventListener('pointerdown', hideChoiceAtFirstMove, true);

// Called by the page once the match has started, before its first tick.
export function seatComputer(module) {
  if (!againstComputer) return;
  document.title += ' - ' + who;
  module._voltaro_seat_computer(2, levels.indexOf(level), seed);
}
