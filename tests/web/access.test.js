// The page for every person: axe finds nothing on any screen of the page, and a keyboard alone
// reaches the menu, starts a match against the computer, plays it and comes back to the menu.
const { test, expect } = require('@playwright/test');
const { default: AxeBuilder } = require('@axe-core/playwright');
const { start } = require('./helpers');

async function expectNoViolation(page, screen) {
  const { violations } = await new AxeBuilder({ page }).analyze();
  const found = violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  expect(found, `axe on ${screen}`).toEqual([]);
}

// Runs the page's clock until the box opens, within two minutes of the match.
async function untilBox(page) {
  const box = page.locator('#box');
  for (let t = 0; t < 240 && !(await box.isVisible()); ++t) await page.clock.runFor(500);
  await expect(box).toBeVisible();
}

// Presses Tab (or Shift+Tab) until `id` has the focus, a bounded number of times.
async function tabTo(page, id, key = 'Tab') {
  for (let i = 0; i < 12; ++i) {
    if (await page.evaluate(() => document.activeElement.id) === id) break;
    await page.keyboard.press(key);
  }
  const focused = await page.evaluate(() => ({
    id: document.activeElement.id,
    visible: document.activeElement.matches(':focus-visible') &&
      getComputedStyle(document.activeElement).outlineStyle !== 'none',
  }));
  expect(focused).toEqual({ id, visible: true });
}

// axe waits on the page's timers: the page's clock runs on its own while it looks.
test('axe finds no violation on the menu and the computer\'s level choice', async ({ page }) => {
  await page.goto(process.env.VOLTARO_URL);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expectNoViolation(page, 'the menu');

  await page.goto(process.env.VOLTARO_URL + '?computer=blue&level=hard');
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(page.locator('#form')).toHaveAttribute('aria-label', /the computer, hard/);
  await expectNoViolation(page, 'the computer\'s level choice');
});

test('axe finds no violation with a box open and at the end of a match', async ({ page }) => {
  await start(page, process.env.VOLTARO_URL + '?computer=blue&level=hard&seed=1');
  await page.keyboard.press('ArrowUp');
  await untilBox(page);
  await expect(page.locator('#said')).toHaveText('Goal!');
  await page.clock.resume(); // the match waits for the box's answer
  await expectNoViolation(page, 'a box');
  await page.keyboard.press('Enter');
  await page.keyboard.press('Enter');
  await expect(page.locator('#over')).toBeVisible();
  await expectNoViolation(page, 'the end of a match');
});

test('axe finds no violation on the online waiting screen, in an online match, watching one, waiting for someone to play and on a refused code', async ({ browser }) => {
  const host = await (await browser.newContext()).newPage();
  await host.goto(process.env.VOLTARO_URL + '?online=create');
  await expect(host.locator('#online-status')).toHaveText(/^Waiting for your friend/);
  await expect(host.locator('#online-status')).toHaveAttribute('aria-live', 'polite');
  await expectNoViolation(host, 'the waiting screen');
  const code = /\?match=(\w+)/.exec(await host.locator('#online-link').inputValue())[1];

  const friend = await (await browser.newContext()).newPage();
  await friend.goto(`${process.env.VOLTARO_URL}?match=${code}`);
  await expect(friend.locator('#form')).toHaveAttribute('aria-label', /An online match/);
  await expect.poll(() => friend.evaluate(() => document.documentElement.dataset.online))
    .toBe('Playing');
  await expectNoViolation(friend, 'an online match');
  const watcher = await (await browser.newContext()).newPage();
  await watcher.goto(`${process.env.VOLTARO_URL}?watch=${code}`);
  await expect(watcher.locator('#online-watchers')).toHaveText(/^You are watching Red against Blue/);
  await expectNoViolation(watcher, 'a watched match');
  // Their connections closed first: the server counts each address's open connections.
  await Promise.all([host, friend, watcher].map((page) => page.context().close()));

  const alone = await (await browser.newContext()).newPage();
  await alone.goto(process.env.VOLTARO_URL + '?online=quick');
  await expect(alone.locator('#online-status')).toHaveText(/^Waiting for someone to play: /);
  await expect(alone.locator('#online-computer')).toBeVisible();
  await expectNoViolation(alone, 'the wait for someone to play');
  await alone.context().close();

  // A code nobody created: the server refuses it, and the page says so.
  const stranger = await (await browser.newContext()).newPage();
  await stranger.goto(`${process.env.VOLTARO_URL}?match=ZZZZZZ`);
  await expect(stranger.locator('#online-status')).toHaveText('No room has that code.');
  await expectNoViolation(stranger, 'a refused code');
  await stranger.context().close();
});

test('by keyboard alone: Tab to "Play against the computer", Enter, play, and the menu after the match', async ({ page }) => {
  await start(page);
  await expect(page.locator('#keys-hint')).toContainText('Tab');
  await tabTo(page, 'level');
  await page.keyboard.press('End');
  await expect(page.locator('#level')).toHaveValue('hard');
  await tabTo(page, 'play-computer', 'Shift+Tab');
  await page.keyboard.press('Enter');
  await page.waitForURL(/\?computer=blue&level=hard$/);
  // The same match every run (a match left to chance may outlast the test).
  await page.goto(page.url() + '&seed=1');
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');

  // In play every key is the game's, Tab too: the focus stays on the field.
  await page.keyboard.press('ArrowUp');
  await expect(page.locator('#choice')).toBeHidden();
  await page.keyboard.press('Tab');
  expect(await page.evaluate(() => document.activeElement.id)).toBe('form');

  await untilBox(page);
  await page.keyboard.press('Enter');
  await expect(page.locator('#box-text')).toHaveText('GAME OVER! Blue is the Winner');
  await page.keyboard.press('Enter');
  await expect(page.locator('#over')).toBeVisible();
  expect(await page.evaluate(() => document.activeElement.id)).toBe('new-match');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(page.locator('#choice')).toBeVisible();
  await tabTo(page, 'play-here');
});
