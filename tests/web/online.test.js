// Online play end to end: pages in chromium and desktop games in a private X server play whole
// matches through a voltaro-server on loopback, and what every client showed is checked against
// the server's record, replayed by voltaro-replay.
const { test, expect } = require('@playwright/test');
const { execFileSync } = require('child_process');
const path = require('path');
const h = require('./online_harness');

// The pages a test opened go with it: left open, each would keep drawing its frames and trying
// its server again, and slow every later test in the same browser.
test.afterEach(async ({ browser }) => {
  h.stopAll();
  await Promise.all(browser.contexts().map((context) => context.close()));
});

// ---- Clients, page or desktop, behind one face ----

// On a phone (`touch`), a finger answers the boxes.
function pageClient(page, name, touch = false) {
  return {
    name,
    // Nothing yet while a page that was sent elsewhere (to watch, say) is still loading.
    async lines() {
      try {
        return (await page.evaluate(() => window.voltaroOnlineLog)) || [];
      } catch (error) {
        if (/Execution context was destroyed|navigat/i.test(String(error))) return [];
        throw error;
      }
    },
    press: () => page.keyboard.press('x'),
    async answer() {
      if (await page.locator('#box').isHidden()) return false;
      await (touch ? page.tap('#box-ok') : page.click('#box-ok'));
      return true;
    },
  };
}

function desktopClient(game, window) {
  return {
    name: game.name,
    lines: async () => game.lines(),
    press: async () => h.keyIn(game, window, 'key', 'x'),
    async answer() {
      let box;
      try {
        box = h.xdotool(game.display, 'search', '--all', '--onlyvisible', '--pid', String(game.child.pid),
          '--name', '^voltaro$').split('\n')[0];
      } catch {
        return false;
      }
      return h.keyIn(game, box, 'key', 'Return');
    },
  };
}

async function statusOf(client) {
  const statuses = (await client.lines()).filter(({ line }) => line.startsWith('status '));
  return statuses.length ? statuses[statuses.length - 1].line.slice(7) : '';
}

function waitStatus(client, pattern, limitMs = 10000) {
  return h.until(`${client.name} says ${pattern}`, async () => pattern.test(await statusOf(client)),
    limitMs);
}

const playing = async (client) => (await client.lines()).some(({ line }) => /^tick \d+ /.test(line));

// "Create a match" has the dialog's focus: Space presses it, once the dialog takes the focus
// (a press that comes before it does is lost: pressed again until the game says it connected).
async function createIn(game, dialog) {
  const connected = () => game.lines().some(({ line }) => /^status (Connected|Waiting)/.test(line));
  for (let attempt = 0; attempt < 5 && !connected(); attempt += 1) {
    await h.until(`${game.name}'s dialog takes the keys`, () => h.keyIn(game, dialog, 'key', 'space'));
    await h.until(`${game.name} connects`, connected, 3000).catch(() => {});
  }
}

async function codeFrom(client) {
  return h.until(`${client.name} shows the room's code`, async () =>
    (/send them the code (\w+)\./.exec(await statusOf(client)) || [])[1]);
}

// Presses X on `presser` (it only refreshes the box snapshot) until the first goal's box, then
// answers every box on every client, until every client shows the end.
async function playToTheEnd(clients, presser) {
  const anyBox = async () => (await presser.lines()).some(({ line }) => line.startsWith('box '));
  await h.until('a goal', async () => {
    if (await anyBox()) return true;
    await presser.press();
    return false;
  }, 150000, h.pressEveryMs);
  const answered = new Set();
  await h.until('the end of the match on every client', async () => {
    let over = 0;
    for (const client of clients) {
      const lines = await client.lines();
      if (lines.some(({ line }) => line.startsWith('over '))) {
        over += 1;
        continue;
      }
      const boxes = lines.filter(({ line }) => line.startsWith('box '));
      const last = boxes.length ? boxes[boxes.length - 1].line.split(' ')[1] : null;
      if (last && !answered.has(client.name + last) && await client.answer()) {
        answered.add(client.name + last);
      }
    }
    return over === clients.length;
  }, 60000);
}

// Both clients showed the same boxes in order and the same end, every scene they showed is the
// server's at that tick, and the record replayed ends on the scene they ended on.
async function expectTheRecordedMatch(clients, records) {
  const recorded = await h.recordedStates(records);
  const seen = [];
  for (const client of clients) {
    const lines = await client.lines();
    const ends = h.boxesAndEnd(lines);
    expect(ends.map((l) => l.split(' | ')[0])).toEqual(
      [expect.stringMatching(/^box \d+ Goal!$/), expect.stringMatching(/^box \d+ GAME OVER! (Red|Blue) is the Winner$/),
        expect.stringMatching(/^over /)]);
    expect(ends[2]).toBe('over ' + recorded.final);
    // Hundreds of ticks to the goal, a final tick every 32.
    expect(h.checkAgainstRecord(lines, recorded), `${client.name}'s scenes`).toBeGreaterThan(10);
    seen.push(ends);
  }
  expect(seen[1]).toEqual(seen[0]);
}

async function openPage(browser, url, options = {}) {
  const context = await browser.newContext(options);
  const page = await context.newPage();
  await page.goto(url);
  return { context, page };
}

const dialogTitle = '^Soccer Game: VOLTARO! - online$';

// A desktop game that creates a match as red on the server at `url`, and a page that joins it
// as blue, once both play.
async function desktopAgainstPage(browser, display, dir, name, url) {
  const game = h.startGame(display, dir, name, ['--online', '--server', url]);
  await createIn(game, await h.findWindow(game, dialogTitle));
  const code = await codeFrom({ name, lines: async () => game.lines() });
  const { page } = await openPage(browser, `${url}?match=${code}`);
  const window = await h.findWindow(game, 'you play Red');
  const red = desktopClient(game, window);
  const blue = pageClient(page, 'blue');
  await h.until('both play', async () => (await playing(red)) && (await playing(blue)));
  return { game, window, code, page, red, blue };
}

// ---- Cross-play ----

test('two pages play a whole match through the server, as its record says', async ({ browser }) => {
  test.setTimeout(300000);
  const server = await h.startServer(h.workDir('pages'));
  const redPage = (await openPage(browser, server.url + '?online=create')).page;
  const red = pageClient(redPage, 'red');
  const code = await codeFrom(red);
  // The waiting screen's QR code holds the very link written beside it, and says so.
  const joinLink = await redPage.inputValue('#online-link');
  expect(joinLink).toBe(`${server.url}?match=${code}`);
  const joinCode = redPage.locator('#online-qr canvas');
  await expect(joinCode).toBeVisible();
  await expect(joinCode).toHaveAttribute('aria-label', `QR code of the link ${joinLink}`);
  expect(h.decodeQr(await redPage.locator('#online-qr').screenshot())).toBe(joinLink);
  h.keepScreen('page-waiting.png', await redPage.screenshot());
  // Blue plays on a phone: only its own pad shows, and a finger on it moves blue.
  const phone = { viewport: { width: 844, height: 390 }, hasTouch: true, isMobile: true };
  const bluePage = (await openPage(browser, server.url + '?match=' + code, phone)).page;
  const blue = pageClient(bluePage, 'blue', true);
  await h.until('both pages play', async () => (await playing(red)) && (await playing(blue)));
  await expect(bluePage).toHaveTitle(`Soccer Game: VOLTARO! - you play Blue against Red, room ${code}`);
  await expect(bluePage.locator('.pad-blue')).toBeVisible();
  await expect(bluePage.locator('.pad-red')).toBeHidden();
  const blueTop = async () => Number(/ blue \[[^,]*,([^\]]*)\]/.exec(
    (await blue.lines()).filter(({ line }) => /^tick /.test(line)).pop().line)[1]);
  const before = await blueTop();
  const up = await bluePage.locator('.pad-blue [data-direction=up]').boundingBox();
  await bluePage.touchscreen.tap(up.x + up.width / 2, up.y + up.height / 2);
  await h.until('blue goes up a step', async () => (await blueTop()) === before - 200);
  await playToTheEnd([red, blue], red);
  await expectTheRecordedMatch([red, blue], server.records);
  await expect(bluePage.locator('#online-again')).toBeVisible();

  // Both are offered the replay, by the id the record is named by: to watch, to copy, and as a
  // code to scan; the server serves the record there.
  const record = await h.recordedStates(server.records);
  const id = path.basename(record.file, '.replay');
  const replayLink = `${server.url}?replay=${id}`;
  for (const end of [redPage, bluePage]) {
    await expect(end.locator('#online-replay')).toBeVisible();
    await expect(end.locator('#replay-link')).toHaveValue(replayLink);
    await expect(end.locator('#replay-watch')).toHaveAttribute('href', replayLink);
    await expect(end.locator('#replay-qr canvas')).toBeVisible();
  }
  // On the phone on its side too, where the code is drawn smaller beside the field.
  for (const end of [redPage, bluePage]) {
    expect(h.decodeQr(await end.locator('#replay-qr').screenshot())).toBe(replayLink);
  }
  expect(await (await redPage.request.get(`${server.url}replay/${id}`)).text()).toBe(record.script);
  // By keyboard alone: Tab reaches "Copy the link" at the end, and Enter copies.
  await redPage.locator('#online-again').focus();
  for (let tabs = 0; tabs < 10 && !(await redPage.locator('#replay-copy').evaluate((b) => b === document.activeElement)); tabs += 1) {
    await redPage.keyboard.press('Tab');
  }
  await expect(redPage.locator('#replay-copy')).toBeFocused();
  await redPage.keyboard.press('Enter');
  await expect(redPage.locator('#replay-copied')).not.toBeEmpty();
  h.keepScreen('page-end.png', await redPage.screenshot());
  h.keepScreen('page-end-phone.png', await bluePage.screenshot());
});

test('a desktop game and a page play a whole match, as the record says', async ({ browser }) => {
  test.setTimeout(300000);
  const dir = h.workDir('cross');
  const server = await h.startServer(dir);
  const display = await h.startX(dir);
  const { game, window, code, red, blue } =
    await desktopAgainstPage(browser, display, dir, 'red', server.url);
  await h.findWindow(game, `^Soccer Game: VOLTARO! - you play Red against Blue, room ${code}$`);
  await playToTheEnd([red, blue], blue);
  await expectTheRecordedMatch([red, blue], server.records);
  h.closeWindow(game, window);
  expect(await h.exitsWithin(game, 5000)).toEqual({ code: 0, signal: null });
});

test('two desktop games play a whole match, as the record says', async () => {
  test.setTimeout(300000);
  const dir = h.workDir('desktops');
  const server = await h.startServer(dir);
  const display = await h.startX(dir);
  const redGame = h.startGame(display, dir, 'red', ['--online', '--server', server.url]);
  await createIn(redGame, await h.findWindow(redGame, dialogTitle));
  const code = await codeFrom({ name: 'red', lines: async () => redGame.lines() });
  const blueGame = h.startGame(display, dir, 'blue', ['--join', server.url + '?match=' + code]);
  const red = desktopClient(redGame, await h.findWindow(redGame, 'you play Red'));
  const blue = desktopClient(blueGame, await h.findWindow(blueGame, 'you play Blue'));
  await h.until('both play', async () => (await playing(red)) && (await playing(blue)));
  await playToTheEnd([red, blue], red);
  await expectTheRecordedMatch([red, blue], server.records);
});

// ---- Across the internet: voltaro-server behind nginx over TLS, as the README sets it up ----

test('two pages play a whole match through nginx, over TLS, on the process that holds the room', async ({ browser }) => {
  test.setTimeout(300000);
  const dir = h.workDir('nginx');
  const servers = [];
  for (const prefix of ['A', 'B']) {
    servers.push(await h.startServer(path.join(dir, prefix), ['--code-prefix', prefix,
      '--max-per-address', '0']));
  }
  const front = await h.startNginx(dir, servers);
  const secure = { ignoreHTTPSErrors: true }; // the test's own certificate
  const redPage = (await openPage(browser, front.url + '?online=create', secure)).page;
  const red = pageClient(redPage, 'red');
  const code = await codeFrom(red);
  const link = await redPage.inputValue('#online-link');
  expect(link).toBe(`${front.url}?match=${code}`);
  const blue = pageClient((await openPage(browser, link, secure)).page, 'blue');
  await h.until('both pages play', async () => (await playing(red)) && (await playing(blue)));
  await playToTheEnd([red, blue], red);
  await expectTheRecordedMatch([red, blue], servers[code.startsWith('A') ? 0 : 1].records);
});

// ---- voltaro --host ----

test('voltaro --host serves the page, a page joins through the printed address, a desktop game by the address alone', async ({ browser }) => {
  test.setTimeout(120000);
  const dir = h.workDir('host');
  const display = await h.startX(dir);
  const game = h.startGame(display, dir, 'host', ['--host', '--port', '0', '--site', h.site]);
  // The last address printed is this machine's own: the test connects through loopback only.
  const link = await h.until('the printed links', () =>
    (/(http:\/\/127\.0\.0\.1:\d+\/\?match=\w+)/.exec(game.out.text) || [])[1]);
  expect(game.out.text).toMatch(/your friend joins match \w+ at/);
  // It listens on IPv6 too, on the same port, where the machine has IPv6.
  const port = /127\.0\.0\.1:(\d+)/.exec(link)[1];
  if (await h.hasIpv6()) expect((await fetch(`http://[::1]:${port}/`)).status).toBe(200);
  const page = (await openPage(browser, link)).page;
  const blue = pageClient(page, 'blue');
  const red = { name: 'host', lines: async () => game.lines() };
  await h.until('both play', async () => (await playing(red)) && (await playing(blue)));
  const window = await h.findWindow(game, 'you play Red against Blue');
  h.closeWindow(game, window);
  // Red's leave or the hosted server's end, whichever reaches the room first.
  await waitStatus(blue, /^(Red left the room|The server has shut down|The server is shutting down)/, 5000);
  expect(await h.exitsWithin(game, 8000)).toEqual({ code: 0, signal: null });

  const host = h.startGame(display, dir, 'host2', ['--host', '--port', '0', '--site', h.site]);
  const address = await h.until('the second host\'s address', () =>
    (/http:\/\/(127\.0\.0\.1:\d+)\//.exec(host.out.text) || [])[1]);
  const friend = h.startGame(display, dir, 'friend', ['--join', address]);
  await h.findWindow(friend, 'you play Blue against Red');
  await h.until('both play', async () => (await playing({ lines: async () => host.lines() })) &&
    (await playing({ lines: async () => friend.lines() })));
});

// ---- Faults ----

test('a tab closed mid-match pauses it, and the same link reopened within 30 s resumes it', async ({ browser }) => {
  test.setTimeout(120000);
  const server = await h.startServer(h.workDir('tab'));
  const red = pageClient((await openPage(browser, server.url + '?online=create')).page, 'red');
  const code = await codeFrom(red);
  const { context, page } = await openPage(browser, server.url + '?match=' + code);
  await h.until('both play', async () => (await playing(red)) && (await playing(pageClient(page, 'blue'))));
  await page.close();
  await waitStatus(red, /^Blue left the match: the match waits for them to come back\.$/);
  const reopened = await context.newPage();
  await reopened.goto(server.url + '?match=' + code);
  const blue = pageClient(reopened, 'blue again');
  await waitStatus(red, /^Blue is back\.$/);
  await h.until('the match goes on for the reopened tab', () => playing(blue));
  await expect(reopened).toHaveTitle(/you play Blue against Red/);
  // A new pixel ratio draws the online scene anew at it, sharp, as the local game does.
  const cdp = await context.newCDPSession(reopened);
  await cdp.send('Emulation.setDeviceMetricsOverride',
    { width: 900, height: 720, deviceScaleFactor: 2, mobile: false });
  await h.until('the canvas follows the new ratio', () => reopened.evaluate(() => {
    // Drawn at the ratio that fits the window, two device pixels to a CSS pixel: blue's middle.
    const ratio = form.width / 847;
    const sharp = Math.abs(form.width / parseFloat(form.style.width) - 2) < 0.01;
    const d = form.getContext('2d')
      .getImageData(Math.round(684 * ratio), Math.round(252 * ratio), 1, 1).data;
    return sharp && ratio > 1.5 && d[0] === 0 && d[1] === 0 && d[2] === 255;
  }));
});

test('a server stopped mid-match: both clients say so and take their seats back; killed: both say so within 5 s, and the desktop closes cleanly', async ({ browser }) => {
  test.setTimeout(120000);
  const dir = h.workDir('killed');
  const server = await h.startServer(dir);
  const display = await h.startX(dir);
  const { game, window, red: desktop, blue } =
    await desktopAgainstPage(browser, display, dir, 'red', server.url);
  // Stopped, the server closes nothing: each client asks it, hears no answer, and says so.
  server.child.kill('SIGSTOP');
  // (Asked after 2 s of silence, given up 4 s later, checked twice a second; and room for a
  // loaded machine.)
  await waitStatus(desktop, /^Lost the connection to the server/, 15000);
  await waitStatus(blue, /^Lost the connection to the server/, 15000);
  const marks = [(await desktop.lines()).length, (await blue.lines()).length];
  server.child.kill('SIGCONT');
  await h.until('both play again', async () => {
    const again = async (client, mark) => !/^Lost/.test(await statusOf(client)) &&
      (await client.lines()).slice(mark).some(({ line }) => /^tick \d+ /.test(line));
    return (await again(desktop, marks[0])) && (await again(blue, marks[1]));
  }, 30000);
  server.child.kill('SIGKILL');
  await waitStatus(desktop, /^Lost the connection to the server/, 5000);
  await waitStatus(blue, /^Lost the connection to the server/, 5000);
  h.closeWindow(game, window);
  expect(await h.exitsWithin(game, 5000)).toEqual({ code: 0, signal: null });
});

test('a pasted link plays on the server it names; a code stays on this page\'s server', async ({ browser }) => {
  test.setTimeout(60000);
  const dir = h.workDir('links');
  const here = await h.startServer(path.join(dir, 'here'));
  const there = await h.startServer(path.join(dir, 'there'));
  const red = pageClient((await openPage(browser, there.url + '?online=create')).page, 'red');
  const code = await codeFrom(red);
  const { page } = await openPage(browser, here.url);
  await page.fill('#online-code', ` ${there.url}?match=${code} `);
  await page.click('#online-join');
  await page.waitForURL(`${there.url}?match=${code}`);
  await h.until('the pasted link plays', () => playing(pageClient(page, 'blue')), 20000);

  const stranger = (await openPage(browser, here.url)).page;
  await stranger.fill('#online-code', 'ZZZZZZ');
  await stranger.press('#online-code', 'Enter');
  await stranger.waitForURL(`${here.url}?match=ZZZZZZ`);
  await waitStatus(pageClient(stranger, 'stranger'), /^No room has that code/);
});

test('where the browser refuses storage, a page still creates a match and plays it', async ({ browser }) => {
  test.setTimeout(60000);
  const server = await h.startServer(h.workDir('storage'));
  const refusing = await browser.newContext();
  await refusing.addInitScript(() => {
    for (const name of ['getItem', 'setItem', 'removeItem']) {
      Storage.prototype[name] = () => { throw new DOMException('refused', 'SecurityError'); };
    }
  });
  const redPage = await refusing.newPage();
  await redPage.goto(server.url + '?online=create');
  const red = pageClient(redPage, 'red');
  const code = await codeFrom(red);
  const blue = pageClient((await openPage(browser, server.url + '?match=' + code)).page, 'blue');
  await h.until('both play', async () => (await playing(red)) && (await playing(blue)));
});

test('the desktop game exits cleanly when closed in the lobby, while waiting, in play and with a box open', async ({ browser }) => {
  test.setTimeout(300000);
  const dir = h.workDir('close');
  const server = await h.startServer(dir);
  const display = await h.startX(dir);

  const lobby = h.startGame(display, dir, 'lobby', ['--online', '--server', server.url]);
  h.closeWindow(lobby, await h.findWindow(lobby, dialogTitle));
  expect(await h.exitsWithin(lobby, 5000)).toEqual({ code: 0, signal: null });

  const waiting = h.startGame(display, dir, 'waiting', ['--online', '--server', server.url]);
  const dialog = await h.findWindow(waiting, dialogTitle);
  await createIn(waiting, dialog);
  await codeFrom({ name: 'waiting', lines: async () => waiting.lines() });
  h.closeWindow(waiting, dialog);
  expect(await h.exitsWithin(waiting, 5000)).toEqual({ code: 0, signal: null });

  const match = (name) => desktopAgainstPage(browser, display, dir, name, server.url);
  // The friend is told at once that red left.
  async function closeIt({ game, blue, window }) {
    h.closeWindow(game, window);
    expect(await h.exitsWithin(game, 5000)).toEqual({ code: 0, signal: null });
    await waitStatus(blue, /^Red left the room\.$/, 5000);
  }

  await closeIt(await match('playing'));

  const boxed = await match('boxed');
  await h.until('a goal', async () => {
    if ((await boxed.red.lines()).some(({ line }) => line.startsWith('box '))) return true;
    await boxed.blue.press();
    return false;
  }, 150000, h.pressEveryMs);
  await closeIt(boxed);
});

// ---- Latency ----

// From a key press until the player's own piece shows its move on the screen, `presses` times,
// pressing up and down in turn (`press` says when the key came, on the log's clock): the
// figures in milliseconds, sorted. `own` is the player's colour in the log's scenes.
async function inputToScreen(client, own, press, presses = 8) {
  const figures = [];
  const place = (line) => (new RegExp(` ${own} (\\[[^\\]]*\\])`).exec(line) || [])[1];
  let last = null; // where the piece was last shown
  for (let i = 0; i < presses; i += 1) {
    const before = await client.lines();
    if (last === null) last = place(before.filter(({ line }) => /^tick /.test(line)).pop().line);
    const pressedAt = await press(i % 2 === 0 ? 'up' : 'down');
    const shown = await h.until(`${client.name} shows its own press`, async () =>
      (await client.lines()).slice(before.length).find(({ line }) => /^own /.test(line)));
    expect(place(shown.line), `${client.name}'s press ${i} moves its piece`).not.toBe(last);
    last = place(shown.line);
    figures.push(shown.t - pressedAt);
  }
  return figures.sort((a, b) => a - b);
}

function report(what, figures) {
  const median = figures[Math.floor(figures.length / 2)];
  console.log(`input to screen, ${what}: min ${figures[0].toFixed(1)} ms, median ` +
    `${median.toFixed(1)} ms, max ${figures[figures.length - 1].toFixed(1)} ms over ` +
    `${figures.length} presses`);
  return median;
}

// A page and a desktop game each behind a relay that delays each direction by 125 ms (a round
// trip of 250 ms): their own player moves on their screen in the frame after the key, before the
// server has heard of it. Measured from the moment the client got the key until it had drawn
// the move (the page's browser shows it at its next frame, the desktop's window has painted it).
test('input to screen through a 250 ms round trip, on a page and on the desktop', async ({ browser }) => {
  test.setTimeout(180000);
  const dir = h.workDir('latency');
  const server = await h.startServer(dir);
  const relay = await h.delayingRelay(server.port, 125);
  const display = await h.startX(dir);
  const { game, window, page, blue, red } =
    await desktopAgainstPage(browser, display, dir, 'red', `http://127.0.0.1:${relay.port}/`);
  await page.evaluate(() => {
    window.addEventListener('keydown', () => { window.keyAt = performance.now(); }, true);
  });
  const onPage = await inputToScreen(blue, 'blue', async (key) => {
    await page.keyboard.press(key === 'up' ? 'w' : 's');
    return page.evaluate(() => window.keyAt);
  });
  h.xdotool(game.display, 'windowfocus', '--sync', window);
  const onDesktop = await inputToScreen(red, 'red', async (key) => {
    const before = game.lines().length;
    h.xdotool(game.display, 'key', key === 'up' ? 'Up' : 'Down');
    return h.until('the game gets the key', () => {
      const got = game.lines().slice(before).find(({ line }) => /^key /.test(line));
      return got ? got.t : undefined;
    });
  });
  // The own piece never waits for the round trip: drawn within a frame of the key (the
  // median, for a loaded machine may hold a press back now and then).
  report('page, 250 ms round trip', onPage);
  report('desktop, 250 ms round trip', onDesktop);
  relay.close();
  const frame = 1000 / 60;
  expect(onPage[onPage.length >> 1]).toBeLessThan(frame);
  expect(onDesktop[onDesktop.length >> 1]).toBeLessThan(frame);
});

// ---- Watching, and the quick match ----

// A look at a screen, for the person who checks them, where VOLTARO_SHOTS names a folder.
async function shot(page, name) {
  if (process.env.VOLTARO_SHOTS) await page.screenshot({ path: path.join(process.env.VOLTARO_SHOTS, name) });
}

const watchersOf = (page) => page.locator('#online-watchers');

// Two pages that asked for someone to play meet in a room of their own, the longer waiting as
// red, and play it out; a third watches by its code from the menu and sees the same match.
test('two pages quick-matched play a whole match, and a page that watches sees the same', async ({ browser }) => {
  test.setTimeout(300000);
  const server = await h.startServer(h.workDir('quick'));
  const firstPage = (await openPage(browser, server.url + '?online=quick')).page;
  const first = pageClient(firstPage, 'first');
  await waitStatus(first, /^Waiting for someone to play: 0:00\.$/);
  // The wait is counted on screen, a second at a time.
  await waitStatus(first, /^Waiting for someone to play: 0:01\.$/, 5000);
  await expect(firstPage.locator('#online-status')).toHaveText(/^Waiting for someone to play: 0:0\d\.$/);
  await shot(firstPage, 'queued.png');
  // Meanwhile the computer: the local game has the field and the keys, the wait goes on.
  await firstPage.click('#online-computer');
  await expect(firstPage.locator('html')).toHaveAttribute('data-local', 'running');
  await expect(firstPage.locator('#online-computer')).toBeHidden();
  await firstPage.locator('#form').focus();
  await firstPage.keyboard.press('ArrowUp');
  await waitStatus(first, /^Waiting for someone to play: 0:0[3-9]\.$/, 8000);
  await shot(firstPage, 'queued-computer.png');

  const secondPage = (await openPage(browser, server.url)).page;
  await secondPage.click('#online-quick');
  const second = pageClient(secondPage, 'second');
  await h.until('both pages play', async () => (await playing(first)) && (await playing(second)));
  // Someone came: the computer's match is over, and the online one has the field.
  await expect(firstPage.locator('html')).not.toHaveAttribute('data-local', 'running');
  await expect(firstPage.locator('#box')).toBeHidden();
  await expect(firstPage.locator('#over')).toBeHidden();
  const code = new URL(firstPage.url()).searchParams.get('match');
  expect(code).toMatch(/^\w{6}$/);
  await expect(firstPage).toHaveTitle(`Soccer Game: VOLTARO! - you play Red against Blue, room ${code}`);
  await expect(secondPage).toHaveTitle(`Soccer Game: VOLTARO! - you play Blue against Red, room ${code}`);
  await expect(firstPage.locator('#online-link')).toBeHidden(); // nobody to invite

  const watcherPage = (await openPage(browser, server.url)).page;
  await watcherPage.fill('#online-code', code.toLowerCase());
  await watcherPage.click('#online-watch');
  const watcher = pageClient(watcherPage, 'watcher');
  await h.until('the spectator plays the match too', () => playing(watcher));
  expect(new URL(watcherPage.url()).searchParams.get('watch')).toBe(code);
  await expect(watchersOf(watcherPage)).toHaveText(`You are watching Red against Blue in room ${code}.`);
  await expect(watchersOf(firstPage)).toHaveText('1 person watches this match.');
  await expect(watchersOf(secondPage)).toHaveText('1 person watches this match.');
  await expect(watcherPage).toHaveTitle(`Soccer Game: VOLTARO! - watching Red against Blue, room ${code}`);
  await shot(watcherPage, 'watching.png');
  await shot(firstPage, 'watched.png');

  await playToTheEnd([first, second, watcher], first);
  await expectTheRecordedMatch([first, second], server.records);
  const recorded = await h.recordedStates(server.records);
  expect(h.checkAgainstRecord(await watcher.lines(), recorded)).toBeGreaterThan(10);
  expect(h.boxesAndEnd(await watcher.lines())).toEqual(h.boxesAndEnd(await first.lines()));
  await shot(watcherPage, 'watched-end.png');
  await expect(watcherPage.locator('#online-again')).toBeHidden();
  await expect(firstPage.locator('#online-again')).toBeVisible();
  // The players play again, as in any room; the spectator sees the new match start.
  await firstPage.click('#online-again');
  await secondPage.click('#online-again');
  await h.until('the second match on the spectator\'s page', async () => {
    const lines = (await watcher.lines()).map(({ line }) => line);
    const end = lines.findIndex((line) => line.startsWith('over '));
    return lines.slice(end).some((line) => /^tick \d+ /.test(line));
  });
});

// The link to watch stands beside the link to join while red waits; opened, it watches the room
// from before its match to the match itself.
test('the waiting screen offers a link to watch, and ?watch= watches the room', async ({ browser }) => {
  test.setTimeout(120000);
  const server = await h.startServer(h.workDir('watch-link'));
  const redPage = (await openPage(browser, server.url + '?online=create')).page;
  const red = pageClient(redPage, 'red');
  const code = await codeFrom(red);
  await expect(redPage.locator('#online-link')).toHaveValue(`${server.url}?match=${code}`);
  await expect(redPage.locator('#online-watch-link')).toHaveValue(`${server.url}?watch=${code}`);
  await expect(redPage.locator('#online-watch-row')).toBeVisible();
  await shot(redPage, 'waiting-links.png');
  const watcherPage = (await openPage(browser, await redPage.locator('#online-watch-link').inputValue())).page;
  const watcher = pageClient(watcherPage, 'watcher');
  await waitStatus(watcher, /^Waiting for the match to start\.\.\.$/);
  await expect(watchersOf(redPage)).toHaveText('1 person watches this match.');
  const bluePage = (await openPage(browser, `${server.url}?match=${code}`)).page;
  await h.until('the spectator sees the match start', () => playing(watcher));
  await expect(watchersOf(bluePage)).toHaveText('1 person watches this match.');
  // A reload watches again, and the count stays one.
  await watcherPage.reload();
  await h.until('the spectator watches again', () => playing(pageClient(watcherPage, 'watcher')));
  await expect(watchersOf(redPage)).toHaveText('1 person watches this match.');
});

// Presses `key` in a window of one game until `done` holds, once at a time with time between
// for it to take effect: a key pressed again too soon could do the next thing.
async function pressUntil(game, window, key, what, done) {
  for (let attempt = 0; attempt < 5 && !(await done()); attempt += 1) {
    h.keyIn(game, window, 'key', key);
    await h.until(what, done, 3000).catch(() => {});
  }
  return h.until(what, done, 1000);
}

// Whether one game shows a window titled `title` (a regular expression).
function showsWindow(game, title) {
  try {
    return h.xdotool(game.display, 'search', '--all', '--onlyvisible', '--pid', String(game.child.pid),
      '--name', title) !== '';
  } catch {
    return false;
  }
}

// A desktop game that waits alone plays the computer meanwhile; a page that asks after it
// meets it, the desktop game as red, and the computer's match is over. A desktop game that
// watches by the link sees the same match, boxes and end; and both players play the replay, the
// page in the browser and the desktop game in its own window, to the match's final scene.
test('a desktop game and a page quick-matched play a whole match, watched; both replay it to its final scene', async ({ browser }) => {
  test.setTimeout(300000);
  const dir = h.workDir('quick-desktop');
  const server = await h.startServer(dir);
  const display = await h.startX(dir);
  const redGame = h.startGame(display, dir, 'red', ['--quick', '--server', server.url]);
  const dialog = await h.findWindow(redGame, dialogTitle);
  const waits = (game) => game.lines().some(({ line }) => /^status Waiting for someone to play/.test(line));
  await h.until('the desktop game waits in the queue', () => waits(redGame));
  const computerTitle = 'Red: you; Blue: the computer, normal$';
  await pressUntil(redGame, dialog, 'space', 'the computer plays the waiting player',
    () => showsWindow(redGame, computerTitle));
  if (process.env.VOLTARO_KEEP_SCREENS) {
    h.xdotool(display, 'windowraise', dialog); // under the computer's window, which took the keys
    h.keepScreen('desktop-queued.png', execFileSync('import', ['-window', dialog, 'png:-'],
      { env: { ...process.env, ...display } }));
  }
  const bluePage = (await openPage(browser, server.url + '?online=quick')).page;
  const blue = pageClient(bluePage, 'blue');
  const redWindow = await h.findWindow(redGame, 'you play Red against Blue');
  const red = desktopClient(redGame, redWindow);
  await h.until('both play', async () => (await playing(red)) && (await playing(blue)));
  await h.until('the computer\'s match is over', () => !showsWindow(redGame, computerTitle));
  const code = new URL(bluePage.url()).searchParams.get('match');
  const watcherGame = h.startGame(display, dir, 'watcher', ['--watch', `${server.url}?watch=${code}`]);
  const watcherWindow = await h.findWindow(watcherGame, `watching Red against Blue, room ${code}$`);
  const watcher = desktopClient(watcherGame, watcherWindow);
  await h.until('the desktop spectator plays the match too', () => playing(watcher));
  await expect(watchersOf(bluePage)).toHaveText('1 person watches this match.');
  if (process.env.VOLTARO_SHOTS) {
    for (const [name, window] of [['desktop-watching.png', watcherWindow], ['desktop-watched.png', redWindow]]) {
      h.xdotool(display, 'windowraise', window); // the games' windows share the screen
      execFileSync('import', ['-window', window, path.join(process.env.VOLTARO_SHOTS, name)],
        { env: { ...process.env, ...display } });
    }
  }
  await playToTheEnd([red, blue, watcher], blue);
  await expectTheRecordedMatch([red, blue], server.records);
  const recorded = await h.recordedStates(server.records);
  expect(h.checkAgainstRecord(await watcher.lines(), recorded)).toBeGreaterThan(10);
  expect(h.boxesAndEnd(await watcher.lines())).toEqual(h.boxesAndEnd(await red.lines()));
  h.closeWindow(watcherGame, watcherWindow);
  expect(await h.exitsWithin(watcherGame, 5000)).toEqual({ code: 0, signal: null });

  // Both players watch the replay to its end: the goal's boxes, then the final scene.
  const lastTick = Math.max(...recorded.byTick.keys());
  const [replayPage] = await Promise.all([bluePage.waitForEvent('popup'), bluePage.click('#replay-watch')]);
  await replayPage.waitForFunction(() => document.documentElement.dataset.replay);
  await replayPage.keyboard.press('End');
  await expect(replayPage.locator('#box-text')).toHaveText('Goal!');
  await replayPage.keyboard.press('Enter');
  await expect(replayPage.locator('#box-text')).toHaveText(/^GAME OVER! (Red|Blue) is the Winner$/);
  await replayPage.keyboard.press('Enter');
  await expect(replayPage.locator('#box')).toBeHidden();
  expect(await replayPage.evaluate(() => ({
    tick: Number(document.documentElement.dataset.replayTick),
    scene: document.documentElement.dataset.replayScene,
  }))).toEqual({ tick: lastTick, scene: recorded.final });

  await pressUntil(redGame, redWindow, 'alt+w', 'the desktop game plays the replay in its own window',
    () => showsWindow(redGame, ' - replay$'));
  const replayWindow = await h.findWindow(redGame, ' - replay$');
  const replayLines = () => redGame.lines().map(({ line }) => line).filter((line) => line.startsWith('replay '));
  await pressUntil(redGame, replayWindow, 'End', 'the desktop replay at its goal',
    () => replayLines().some((line) => line.startsWith('replay box Goal! | ')));
  const finalLine = `replay tick ${lastTick} ${recorded.final}`;
  await h.until('the desktop replay\'s final scene', async () => {
    const lines = replayLines();
    if (lines[lines.length - 1] === finalLine) return true;
    if (lines[lines.length - 1].startsWith('replay box ')) await red.answer();
    return false;
  });
  const boxes = replayLines().filter((line) => line.startsWith('replay box ')).map((line) => line.split(' | ')[0]);
  expect(boxes.slice(-2)).toEqual(['replay box Goal!', expect.stringMatching(/^replay box GAME OVER! (Red|Blue) is the Winner$/)]);
  h.keepScreen('desktop-replay-end.png', execFileSync('import', ['-window', replayWindow, 'png:-'],
    { env: { ...process.env, ...display } }));
  h.closeWindow(redGame, redWindow);
  expect(await h.exitsWithin(redGame, 5000)).toEqual({ code: 0, signal: null });

  // A friend sent the link plays it with the desktop game alone, to the same goal.
  const goalLine = replayLines().find((line) => line.startsWith('replay box Goal! | '));
  const friend = h.startGame(display, dir, 'friend', ['--replay', await bluePage.locator('#replay-link').inputValue()]);
  const friendWindow = await h.findWindow(friend, ' - replay$');
  await pressUntil(friend, friendWindow, 'End', 'the friend\'s replay at its goal',
    () => friend.lines().some(({ line }) => line === goalLine));
  h.closeWindow(friend, friendWindow);
  expect(await h.exitsWithin(friend, 5000)).toEqual({ code: 0, signal: null });
});
