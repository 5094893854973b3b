// A browser that refuses storage (a private window, blocked cookies) throws at every use of
// localStorage: the page plays on, it only forgets the level and the online seat.
const { test, expect } = require('@playwright/test');
const h = require('./online_harness');
const { serve, siteFolder } = require('./serve-site');

test.afterEach(() => h.stopAll());

async function refusingPage(browser, url) {
  const context = await browser.newContext();
  await context.addInitScript(() => {
    Object.defineProperty(window, 'localStorage', {
      get() {
        throw new DOMException('The user denied storage', 'SecurityError');
      },
    });
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(url);
  return { page, errors };
}

const lines = (page) => page.evaluate(() => window.voltaroOnlineLog || []);
const statusOf = async (page) =>
  ((await lines(page)).filter(({ line }) => line.startsWith('status ')).pop() || { line: '' })
    .line.slice(7);
const playing = async (page) => (await lines(page)).some(({ line }) => /^tick \d+ /.test(line));

test('with storage refused the computer plays at the chosen level and an online match is played', async ({ browser }) => {
  test.setTimeout(120000);
  // The local game from a plain server: the match server allows one person only so many new
  // connections, and three pages' worth would be more than two players need.
  const plain = await serve(siteFolder());
  const local = await refusingPage(browser, plain.url);
  await local.page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(local.page.locator('#level')).toHaveValue('normal');
  await local.page.locator('#level').selectOption('hard');
  await local.page.click('#play-computer');
  await local.page.waitForURL(/computer=blue&level=hard$/);
  await local.page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await expect(local.page).toHaveTitle(/Blue: the computer, hard$/);

  await plain.close();

  // The seat's token is kept as the room opens and read again as a link is opened.
  const server = await h.startServer(h.workDir('storage'));
  const red = await refusingPage(browser, server.url + '?online=create');
  const code = await h.until('red shows the room\'s code', async () =>
    (/send them the code (\w+)\./.exec(await statusOf(red.page)) || [])[1]);
  const blue = await refusingPage(browser, server.url + '?match=' + code);
  await h.until('both pages play', async () => (await playing(red.page)) && (await playing(blue.page)));
  for (const { errors } of [local, red, blue]) expect(errors).toEqual([]);
});
