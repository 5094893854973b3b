// The replay viewer on the page: a match's record from ?replay=ID (served by the page's own
// server) or from a file plays with the match's own scenes at every tick, as voltaro-replay
// replays it; the controls, the keys, the boxes and the end; refused records; a phone.
const { test, expect } = require('@playwright/test');
const { default: AxeBuilder } = require('@axe-core/playwright');
const fs = require('fs');
const path = require('path');
const { kRed, extent } = require('./helpers');
const h = require('./online_harness');
const { serve, siteFolder } = require('./serve-site');

const records = path.join(__dirname, '../records');
const recordFile = path.join(records, 'goal.replay');
const record = fs.readFileSync(recordFile, 'utf8');

let server;
let recorded;
test.beforeAll(async () => {
  server = await serve(siteFolder(), { m4TcH9: record, empty: '' });
  recorded = await h.recordedStates(records);
});
test.afterAll(async () => server && server.close());

// The scene voltaro-replay shows at `tick`: after every event of the last recorded tick at or
// before it.
function sceneAt(tick) {
  const ticks = [...recorded.byTick.keys()].filter((t) => t <= tick);
  const states = recorded.byTick.get(Math.max(...ticks));
  return states[states.length - 1];
}
const lastTick = () => Math.max(...recorded.byTick.keys());

const shown = (page) => page.evaluate(() => ({
  tick: Number(document.documentElement.dataset.replayTick),
  scene: document.documentElement.dataset.replayScene,
}));

// The page on Playwright's clock, which moves only when the test runs it.
async function opened(page, url) {
  await page.clock.install({ time: 0 });
  await page.clock.pauseAt(1000);
  await page.goto(url);
  await page.waitForFunction(() => document.documentElement.dataset.replay);
}

// Whether the red piece is drawn where `scene` has it: its left edge on the canvas, in form
// pixels (a twip is 1/15 of one), within the two pixels between its box and the scaled circle's
// first red one. A step of the piece is 200 twips.
async function expectRedDrawnAt(page, scene, what) {
  const ratio = await page.evaluate(() => voltaroFit.ratio({ width: 847, height: 646 }));
  const drawn = (await extent(page, kRed)).left / ratio;
  const left = Number(/red \[([^,]+),/.exec(scene)[1]) / 15;
  expect(Math.abs(drawn - left), `red drawn at ${drawn}, not ${left}: ${what}`).toBeLessThanOrEqual(2.5);
}

test('?replay=ID plays the record its server keeps: seeking shows each tick\'s scene, the end the match\'s boxes and final scene', async ({ page }) => {
  await opened(page, server.url + '?replay=m4TcH9');
  await expect(page.locator('#replay-controls')).toBeVisible();
  await expect(page).toHaveTitle('Soccer Game: VOLTARO! - replay');
  expect(await shown(page)).toEqual({ tick: 0, scene: sceneAt(0) });
  const seek = page.locator('#replay-seek');
  await expect(seek).toHaveAttribute('max', String(lastTick()));

  for (const tick of [1500, 3, 977, 2000, 0, 1234]) {
    await seek.fill(String(tick));
    expect(await shown(page), `seek to ${tick}`).toEqual({ tick, scene: sceneAt(tick) });
    await expectRedDrawnAt(page, sceneAt(tick), `tick ${tick}`);
  }
  await expect(page.locator('#replay-position')).toHaveText('Tick 1234 of 2443 - 0:19.28 of 0:38.17');
  await expect(seek).toHaveAttribute('aria-valuetext', 'Tick 1234 of 2443 - 0:19.28 of 0:38.17');

  // The keys, on the field: a tick on and back, then play, faster, pause.
  await page.locator('#form').focus();
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowLeft');
  expect(await shown(page)).toEqual({ tick: 1235, scene: sceneAt(1235) });
  await page.keyboard.press('Space');
  await expect(page.locator('#replay-play')).toHaveText('Pause');
  await page.clock.runFor(1000);
  const played = (await shown(page)).tick;
  expect(played).toBeGreaterThanOrEqual(1235 + 60);
  expect(played).toBeLessThanOrEqual(1235 + 68);
  await page.keyboard.press('+');
  await expect(page.locator('#replay-speed')).toHaveValue('3');
  await page.clock.runFor(500);
  expect((await shown(page)).tick - played).toBeGreaterThanOrEqual(60);
  await page.keyboard.press('Space');
  const paused = await shown(page);
  await page.clock.runFor(2000);
  expect(await shown(page)).toEqual(paused);
  expect(paused.scene).toBe(sceneAt(paused.tick));

  // The end: the goal's boxes one after the other, then the match's final scene.
  await page.keyboard.press('End');
  await expect(page.locator('#box-text')).toHaveText('Goal!');
  await expect(page.locator('#said')).toHaveText('Goal!');
  await page.keyboard.press('Enter');
  await expect(page.locator('#box-text')).toHaveText(/^GAME OVER! (Red|Blue) is the Winner$/);
  await page.keyboard.press('Enter');
  await expect(page.locator('#box')).toBeHidden();
  expect(await shown(page)).toEqual({ tick: lastTick(), scene: recorded.final });
  await expectRedDrawnAt(page, recorded.final, 'the end');

  // The marks under the bar: each key press's tick and the goal's.
  const marked = await page.evaluate(() => {
    const canvas = document.getElementById('replay-marks');
    const d = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let white = 0, amber = 0;
    for (let i = 0; i < d.length; i += 4) {
      if (d[i] === 255 && d[i + 1] === 255 && d[i + 2] === 255) ++white;
      if (d[i] === 255 && d[i + 1] === 0xbf && d[i + 2] === 0) ++amber;
    }
    return { white, amber };
  });
  expect(marked.white).toBeGreaterThan(0);
  expect(marked.amber).toBeGreaterThan(20);
  await page.screenshot({ path: test.info().outputPath('replay-end.png') });

  await page.clock.resume(); // axe waits on the page's timers
  const { violations } = await new AxeBuilder({ page }).analyze();
  expect(violations.map((v) => v.id)).toEqual([]);
});

test('a record file picked on the page, or dropped on it, plays the same way; what is no record is refused', async ({ page }) => {
  await page.goto(process.env.VOLTARO_URL);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await page.locator('#replay-file').setInputFiles(recordFile);
  await page.waitForFunction(() => document.documentElement.dataset.replay === 'playing');
  await expect(page.locator('#choice')).toBeHidden();
  expect(await shown(page)).toEqual({ tick: 0, scene: sceneAt(0) });
  await page.locator('#replay-seek').fill('2000');
  expect(await shown(page)).toEqual({ tick: 2000, scene: sceneAt(2000) });

  // Dropped on the page: a file that is not a match's record says why, and the replay on
  // screen stays.
  const drop = async (name, text) => {
    const transfer = await page.evaluateHandle(([name, text]) => {
      const t = new DataTransfer();
      t.items.add(new File([text], name, { type: 'text/plain' }));
      return t;
    }, [name, text]);
    await page.dispatchEvent('body', 'drop', { dataTransfer: transfer });
  };
  await drop('notes.txt', 'ball\n# tick 0\n');
  await expect(page.locator('#replay-problem')).toHaveText(
    'This is not a match record: line 1: an event before the first "# tick" line: ball');
  expect(await shown(page)).toEqual({ tick: 2000, scene: sceneAt(2000) });
  await expect(page.locator('#replay-controls')).toBeVisible();
  await drop('nul.replay', '# tick 0\nkey 32\u0000\n');
  await expect(page.locator('#replay-problem')).toContainText('line 2: \'key\' needs a whole number');
  await drop('goal.replay', record);
  await page.waitForFunction(() => document.documentElement.dataset.replay === 'playing');
  await expect(page.locator('#replay-problem')).toBeHidden();
  expect(await shown(page)).toEqual({ tick: 0, scene: sceneAt(0) });
});

// Ten minutes in which nobody presses a key, as a match records them: both timers at every
// tick of the grid.
const tenMinutes = 38400;
const quietRecord = '# tick 0\n' +
  Array.from({ length: tenMinutes }, (_, i) => `# tick ${i + 1}\ngoal\nball\n`).join('');

test('a seek over ten minutes of play takes under 50 ms', async ({ page }) => {
  await page.goto(process.env.VOLTARO_URL);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  const started = Date.now();
  await page.locator('#replay-file').setInputFiles(
    { name: 'quiet.replay', mimeType: 'text/plain', buffer: Buffer.from(quietRecord) });
  await page.waitForFunction(() => document.documentElement.dataset.replay === 'playing');
  const loadedMs = Date.now() - started;
  const seen = await page.evaluate((last) => {
    const bar = document.getElementById('replay-seek');
    let slowest = 0, seed = 7;
    for (let i = 0; i < 200; ++i) {
      seed = (seed * 1103515245 + 12345) % 2147483648;
      const tick = i % 2 ? seed % (last + 1) : (i % 4 ? last : 0); // the far ends, and anywhere
      const start = performance.now();
      bar.value = String(tick);
      bar.dispatchEvent(new Event('input'));
      slowest = Math.max(slowest, performance.now() - start);
      if (Number(document.documentElement.dataset.replayTick) !== tick) return { wrong: tick };
    }
    return { slowest, position: document.getElementById('replay-position').textContent };
  }, tenMinutes);
  console.log(`ten minutes of play: read and played through in ${loadedMs} ms, slowest of 200 seeks ${seen.slowest.toFixed(2)} ms`);
  expect(seen.wrong).toBeUndefined();
  expect(seen.slowest).toBeLessThan(50);
  expect(seen.position).toMatch(/ of 38400 - .* of 10:00.00$/);
});

test('a replay id the server does not have, or that is no id, is said so', async ({ page }) => {
  await opened(page, server.url + '?replay=nothing-here');
  await expect(page.locator('#replay-problem')).toHaveText('This server has no replay of that id.');
  await expect(page.locator('#replay-controls')).toBeHidden();
  await opened(page, server.url + '?replay=..%2Findex.html');
  await expect(page.locator('#replay-problem')).toHaveText('That is not the id of a replay.');
  await opened(page, server.url + '?replay=empty');
  await expect(page.locator('#replay-problem')).toHaveText(
    'This is not a match record: it has no "# tick" line.');
});

test.describe('on a phone on its side', () => {
  test.use({ viewport: { width: 844, height: 390 }, deviceScaleFactor: 2, hasTouch: true, isMobile: true });

  test('the scene and every control fit the screen, nothing scrolls, and a tap plays', async ({ page }) => {
    await opened(page, server.url + '?replay=m4TcH9');
    await expect(page.locator('#replay-controls')).toBeVisible();
    const boxes = await page.evaluate(() => ['form', 'replay-play', 'replay-back', 'replay-forward',
      'replay-speed', 'replay-seek', 'replay-position'].map((id) => {
      const { left, top, right, bottom } = document.getElementById(id).getBoundingClientRect();
      return { id, left, top, right, bottom };
    }));
    for (const b of boxes) {
      expect(b.left >= 0 && b.top >= 0 && b.right <= 844 + 0.5 && b.bottom <= 390 + 0.5, JSON.stringify(b)).toBe(true);
    }
    expect(await page.evaluate(() => [document.scrollingElement.scrollWidth,
      document.scrollingElement.scrollHeight])).toEqual([844, 390]);
    await page.locator('#replay-play').tap();
    await page.clock.runFor(500);
    expect((await shown(page)).tick).toBeGreaterThan(20);
    await page.screenshot({ path: test.info().outputPath('replay-phone.png') });
  });
});
