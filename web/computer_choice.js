// Who plays: two people at this keyboard ("Play here"), or one person as red against the
// computer as blue ("Play against the computer"), at a level the page remembers for the next
// visit. A choice starts a new match: the page is loaded again with it in its address
// (?computer=blue&level=hard, and &seed=N to play a match again the same way).
'use strict';

(function () {
  const levels = ['easy', 'normal', 'hard'];
  const storedLevel = 'voltaro.level';
  const query = new URLSearchParams(location.search);
  const againstComputer = query.get('computer') === 'blue';
  const level = levels.includes(query.get('level')) ? query.get('level') : 'normal';
  const seed = /^[0-9]{1,15}$/.test(query.get('seed') || '')
    ? Number(query.get('seed'))
    : Math.floor(Math.random() * 2 ** 52);

  function remembered() {
    try {
      const value = localStorage.getItem(storedLevel);
      return levels.includes(value) ? value : 'normal';
    } catch (e) {
      return 'normal'; // storage may be refused; the level is then the usual one
    }
  }

  const select = document.getElementById('level');
  select.value = againstComputer ? level : remembered();
  select.addEventListener('change', () => {
    try {
      localStorage.setItem(storedLevel, select.value);
    } catch (e) {
      // not remembered: nothing else depends on it
    }
  });

  document.getElementById('who').textContent = againstComputer
    ? `Red: you (arrow keys). Blue: the computer, ${level}.`
    : 'Red: arrow keys. Blue: W, A, S, D.';

  document.getElementById('play-here').addEventListener('click', () => {
    location.search = '';
  });
  document.getElementById('play-computer').addEventListener('click', () => {
    try {
      localStorage.setItem(storedLevel, select.value);
    } catch (e) {
      // as above
    }
    location.search = `?computer=blue&level=${select.value}`;
  });

  // Called by the page once the match has started, before its first tick.
  window.voltaroSeatComputer = (module) => {
    if (againstComputer) module._voltaro_seat_computer(2, levels.indexOf(level), seed);
  };
})();
