// What the page tests share: the scene's colours, a page started on Playwright's clock, and the
// canvas's pixels.
const { expect } = require('@playwright/test');

const kGreen = '00c000', kWhite = 'ffffff', kBlack = '000000';
const kRed = 'ff0000', kBlue = '0000ff', kDarkGrey = '404040';

async function start(page, url = process.env.VOLTARO_URL) {
  await page.clock.install({ time: 0 });
  await page.clock.pauseAt(1000); // time moves only when a test runs the clock
  await page.goto(url);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
}

// The canvas's own device pixels, as 'rrggbb'.
function pixel(page, x, y) {
  return page.evaluate(([x, y]) => {
    const d = document.getElementById('form').getContext('2d').getImageData(x, y, 1, 1).data;
    return [d[0], d[1], d[2]].map((v) => v.toString(16).padStart(2, '0')).join('');
  }, [x, y]);
}

async function expectPixels(page, points) {
  for (const [x, y, colour] of points) {
    expect(await pixel(page, x, y), `at ${x}, ${y}`).toBe(colour);
  }
}

// The box around the pixels of one colour on the field (above the legend), in device pixels.
function extent(page, rgb) {
  return page.evaluate((rgb) => {
    const canvas = document.getElementById('form');
    const rows = Math.floor(canvas.height * 500 / 646);
    const d = canvas.getContext('2d').getImageData(0, 0, canvas.width, rows).data;
    const want = parseInt(rgb, 16);
    let left = Infinity, top = Infinity, right = -1, bottom = -1;
    for (let i = 0; i < d.length; i += 4) {
      if (((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]) !== want) continue;
      const x = (i / 4) % canvas.width, y = Math.floor(i / 4 / canvas.width);
      left = Math.min(left, x); right = Math.max(right, x);
      top = Math.min(top, y); bottom = Math.max(bottom, y);
    }
    return { left, top, right, bottom };
  }, rgb);
}

// The pixels of a rectangle of the canvas, to compare two moments.
function region(page, [x, y, w, h]) {
  return page.evaluate(([x, y, w, h]) => Array.from(
    document.getElementById('form').getContext('2d').getImageData(x, y, w, h).data).join(','),
  [x, y, w, h]);
}
module.exports = {
  kGreen, kWhite, kBlack, kRed, kBlue, kDarkGrey, start, pixel, expectPixels, extent, region,
};
