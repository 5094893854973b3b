// The README's phone picture: the page on a phone on its side, both players holding a direction
// on their pads. node phone-screenshot.js OUT.png (after make web).
const { chromium } = require('@playwright/test');
const { serve, siteFolder } = require('./serve-site');

(async () => {
  const server = await serve(siteFolder());
  const browser = await chromium.launch({ executablePath: process.env.VOLTARO_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu'] });
  try {
    const context = await browser.newContext({ viewport: { width: 844, height: 390 },
      deviceScaleFactor: 2, hasTouch: true, isMobile: true });
    const page = await context.newPage();
    await page.clock.install({ time: 0 });
    await page.clock.pauseAt(1000);
    await page.goto(server.url);
    await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
    const centre = async (selector) => {
      const box = await page.locator(selector).boundingBox();
      return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
    };
    const points = [await centre('.pad-red [data-direction=right]'), await centre('.pad-blue [data-direction=up]')];
    const cdp = await context.newCDPSession(page);
    await cdp.send('Input.dispatchTouchEvent',
      { type: 'touchStart', touchPoints: points.map((point, id) => ({ ...point, id })) });
    await page.clock.runFor(700);
    await page.screenshot({ path: process.argv[2] || 'phone.png' });
  } finally {
    await browser.close();
    await server.close();
  }
})();
