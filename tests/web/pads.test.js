// Playing without a keyboard: fingers on the touch pads (several at once, through the DevTools
// protocol's touch input) and gamepads (headless chromium has none: navigator.getGamepads is
// replaced by pads whose buttons and axes a test sets). Every press goes the keyboard's way, so
// a held direction repeats on the keyboard's schedule.
const { test, expect } = require('@playwright/test');
const { kRed, kBlue, start, extent } = require('./helpers');

test.use({ viewport: { width: 844, height: 390 }, deviceScaleFactor: 1, hasTouch: true, isMobile: true });

test.beforeEach(async ({ page }) => {
  await page.addInitScript(() => {
    const pads = [null, null, null, null];
    Object.defineProperty(navigator, 'getGamepads', { value: () => pads.slice() });
    const signal = (type) => window.dispatchEvent(new Event(type));
    window.testPads = {
      plug(index, held = []) {
        pads[index] = { index, id: `test pad ${index}`, connected: true, mapping: 'standard',
          timestamp: 0, axes: [0, 0, 0, 0],
          buttons: Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 })) };
        for (const button of held) window.testPads.button(index, button, true);
        signal('gamepadconnected');
      },
      unplug(index) {
        pads[index] = null;
        signal('gamepaddisconnected');
      },
      button(index, button, pressed) {
        Object.assign(pads[index].buttons[button], { pressed, touched: pressed, value: +pressed });
      },
      axis(index, axis, value) {
        pads[index].axes[axis] = value;
      },
    };
  });
});

// How far each player moves while `act` runs, in steps of 200 twips.
async function moves(page, act) {
  const step = await page.evaluate(() => voltaroFit.ratio({ width: 847, height: 646 }) * 200 / 15);
  const where = async () => [await extent(page, kRed), await extent(page, kBlue)];
  const before = await where();
  await act();
  const [red, blue] = (await where()).map((now, i) =>
    [now.left - before[i].left, now.top - before[i].top].map((d) => Math.round(d / step) + 0));
  return { red, blue };
}

// The centre of a direction of a pad, in CSS pixels.
async function keyAt(page, player, direction) {
  const box = await page.locator(`.pad-${player} [data-direction=${direction}]`).boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

function touches(cdp, type, points) {
  return cdp.send('Input.dispatchTouchEvent',
    { type, touchPoints: points.map(({ x, y }, id) => ({ x, y, id })) });
}

test('a tap on each direction of a pad moves that player one step that way', async ({ page }) => {
  await start(page);
  const cdp = await page.context().newCDPSession(page);
  const steps = { up: [0, -1], down: [0, 1], left: [-1, 0], right: [1, 0] };
  for (const [player, other] of [['red', 'blue'], ['blue', 'red']]) {
    for (const [direction, step] of Object.entries(steps)) {
      const at = await keyAt(page, player, direction);
      const moved = await moves(page, async () => {
        await touches(cdp, 'touchStart', [at]);
        await touches(cdp, 'touchEnd', []);
      });
      expect(moved, `${player} ${direction}`).toEqual({ [player]: step, [other]: [0, 0] });
    }
  }
});

test('two fingers hold a direction each, both repeat, and a slide turns one', async ({ page }) => {
  await start(page);
  const cdp = await page.context().newCDPSession(page);
  const redRight = await keyAt(page, 'red', 'right'), redDown = await keyAt(page, 'red', 'down');
  const blueLeft = await keyAt(page, 'blue', 'left');

  await touches(cdp, 'touchStart', [redRight]);
  let moved = await moves(page, async () => {
    await touches(cdp, 'touchStart', [redRight, blueLeft]);
    await page.clock.runFor(1000); // 500 ms delay, then 30 a second
  });
  expect(moved.red[0]).toBeGreaterThanOrEqual(14);
  expect(moved.blue[0]).toBeLessThanOrEqual(-15); // its own press and 14 repeats

  moved = await moves(page, async () => {
    await touches(cdp, 'touchMove', [redDown, blueLeft]);
    await page.clock.runFor(700);
  });
  expect(moved.red[0]).toBe(0);
  expect(moved.red[1]).toBeGreaterThanOrEqual(6);
  expect(moved.blue[0]).toBeLessThanOrEqual(-20); // blue's finger held on throughout

  await touches(cdp, 'touchEnd', []);
  moved = await moves(page, () => page.clock.runFor(1000));
  expect(moved).toEqual({ red: [0, 0], blue: [0, 0] });
});

test('pads: the first plays red, the second blue; stick and D-pad move, the dead zone does not; unplugged, a pad lets go', async ({ page }) => {
  await start(page);
  const pads = (script, ...args) => page.evaluate(script, args);
  await pads(() => { testPads.plug(0); testPads.plug(1); });

  let moved = await moves(page, async () => {
    await pads(() => testPads.button(0, 15, true)); // D-pad right
    await page.clock.runFor(20);
    await pads(() => testPads.button(0, 15, false));
    await pads(() => testPads.axis(1, 0, -0.3)); // inside the dead zone
    await page.clock.runFor(100);
  });
  expect(moved).toEqual({ red: [1, 0], blue: [0, 0] });

  moved = await moves(page, async () => {
    await pads(() => { testPads.axis(1, 0, -0.9); testPads.button(0, 13, true); }); // left, down
    await page.clock.runFor(1000);
  });
  expect(moved.red[1]).toBeGreaterThanOrEqual(15);
  expect(moved.blue[0]).toBeLessThanOrEqual(-15);

  // Red's pad unplugged while held: red stops, blue goes on.
  moved = await moves(page, async () => {
    await pads(() => testPads.unplug(0));
    await page.clock.runFor(500);
  });
  expect(moved.red).toEqual([0, 0]);
  expect(moved.blue[0]).toBeLessThanOrEqual(-10);

  // A pad plugged in with a direction held plays red at once, before the next frame.
  moved = await moves(page, () => pads(() => testPads.plug(2, [12])));
  expect(moved.red).toEqual([0, -1]);
});

test('the boxes answer a tap on OK and a pad\'s A, and A at the end starts a new match', async ({ page }) => {
  await start(page);
  const cdp = await page.context().newCDPSession(page);
  await page.evaluate(() => testPads.plug(0));
  await page.keyboard.press(' '); // the ball now meets the players; it reaches red's goal
  const box = page.locator('#box');
  for (let t = 0; t < 20 && !(await box.isVisible()); ++t) await page.clock.runFor(500);
  await expect(page.locator('#box-text')).toHaveText('Goal!');

  const ok = await page.locator('#box-ok').boundingBox();
  expect(Math.min(ok.width, ok.height)).toBeGreaterThanOrEqual(44);
  await touches(cdp, 'touchStart', [{ x: ok.x + ok.width / 2, y: ok.y + ok.height / 2 }]);
  await touches(cdp, 'touchEnd', []);
  await expect(page.locator('#box-text')).toHaveText('GAME OVER! Red is the Winner');

  await page.evaluate(() => testPads.button(0, 0, true));
  await page.clock.runFor(20);
  await expect(box).toBeHidden();
  await expect(page.locator('#over')).toBeVisible();

  // At the end, A again starts a new match, as "New match" does.
  await page.evaluate(() => testPads.button(0, 0, false));
  await page.clock.runFor(20);
  await expect(page.locator('#over')).toBeVisible();
  const reloaded = page.waitForEvent('load');
  await page.evaluate(() => testPads.button(0, 0, true));
  await page.clock.runFor(20);
  await reloaded;
  await expect(page.locator('#over')).toBeHidden();
});
