// The page against the computer: the choice, the level it remembers, and a match that the
// computer, playing blue, wins against a red nobody plays. The page's clock is Playwright's.
const { test, expect } = require('@playwright/test');

test('"Play against the computer" plays to a goal, at the level remembered for the next visit', async ({ page }) => {
  await page.clock.install({ time: 0 });
  await page.clock.pauseAt(1000);
  await page.goto(process.env.VOLTARO_URL);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(page.locator('#who')).toHaveText('Red: arrow keys; Blue: W, A, S, D');

  await page.locator('#level').selectOption('hard');
  await page.locator('#play-computer').click();
  await page.waitForURL(/computer=blue&level=hard$/);
  // The same match on every run: the choice leaves the computer's seed to chance (some matches
  // take longer than this test waits), so the test names one.
  await page.goto(page.url() + '&seed=1');
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(page).toHaveTitle('Soccer Game: VOLTARO! - Red: you; Blue: the computer, hard');
  await expect(page.locator('#who')).toHaveText('Red: you; Blue: the computer, hard');
  await expect(page.locator('#level')).toHaveValue('hard');

  const box = page.locator('#box');
  for (let t = 0; t < 120 && !(await box.isVisible()); ++t) await page.clock.runFor(500);
  await expect(page.locator('#box-text')).toHaveText('Goal!');
  await page.keyboard.press('Enter');
  await expect(page.locator('#box-text')).toHaveText('GAME OVER! Blue is the Winner');
  await page.keyboard.press('Enter');
  await expect(page.locator('#over')).toBeVisible();

  // The next visit, with no choice in its address: two players, the level still the one chosen.
  await page.goto(process.env.VOLTARO_URL);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(page.locator('#level')).toHaveValue('hard');
  await expect(page).toHaveTitle('Soccer Game: VOLTARO!');
  await page.keyboard.press('ArrowUp'); // the match has begun: the choice makes room for it
  await expect(page.locator('#choice')).toBeHidden();
});
