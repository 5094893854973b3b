// The page on phones and big screens: the whole scene as large as the room allows, drawn sharp
// at that size, nothing that scrolls, and the touch pads only on touch screens, out of the
// scene's way and big enough for a thumb.
const { test, expect } = require('@playwright/test');
const { kGreen, kWhite, kBlack, kRed, kBlue, start, pixel } = require('./helpers');

// The desktop render test's points, in form pixels.
const kPoints = [
  [300, 100, kGreen], [4, 250, kWhite], [843, 250, kWhite], [4, 180, kGreen], [424, 100, kWhite],
  [156, 252, kRed], [684, 252, kBlue], [768, 590, kBlack],
];

const kScreens = [
  // name, width, height, touch, and the scene's least width: the whole width upright, the room
  // between the pads on its side, the whole height on the desktop
  ['a phone upright', 390, 844, true, 390],
  ['a phone on its side', 844, 390, true, 480],
  ['a desktop', 1920, 1080, false, 1080 * 847 / 646],
];

for (const [name, width, height, touch, least] of kScreens) {
  for (const deviceScaleFactor of [1, 2, 3]) {
    test.describe(`${name} at pixel ratio ${deviceScaleFactor}`, () => {
      test.use({ viewport: { width, height }, deviceScaleFactor, hasTouch: touch, isMobile: touch });

      test('the whole scene, as large as fits and sharp, and pads only for touch', async ({ page }) => {
        await start(page);
        const seen = await page.evaluate(() => {
          const box = (element) => {
            const { left, top, right, bottom, width, height } = element.getBoundingClientRect();
            return { left, top, right, bottom, width, height };
          };
          window.scrollTo(100, 100);
          const menu = new MouseEvent('contextmenu', { bubbles: true, cancelable: true });
          return {
            ratio: voltaroFit.ratio({ width: 847, height: 646 }),
            canvas: { pixels: form.width, ...box(form) },
            scroll: [scrollX, scrollY, document.scrollingElement.scrollWidth,
              document.scrollingElement.scrollHeight],
            pads: [...document.querySelectorAll('.pad')].filter((pad) => !pad.hidden).map(box),
            keys: [...document.querySelectorAll('.pad-key')].map(box),
            menuKept: !form.dispatchEvent(menu),
          };
        });
        const { ratio, canvas, pads } = seen;
        const devicePixel = 1 / deviceScaleFactor;
        // The browser lays boxes out in 64ths of a CSS pixel and paints them on device pixels.
        const layoutUnit = 1 / 64;
        const onDevicePixel = (at) => Math.abs(at * deviceScaleFactor - Math.round(at * deviceScaleFactor));

        // Inside the window, as large as fits one way, at the ratio the scene is drawn at.
        expect(canvas.left).toBeGreaterThanOrEqual(0);
        expect(canvas.top).toBeGreaterThanOrEqual(0);
        expect(canvas.right).toBeLessThanOrEqual(width + devicePixel);
        expect(canvas.bottom).toBeLessThanOrEqual(height + devicePixel);
        expect(canvas.width).toBeGreaterThanOrEqual(Math.floor(least));
        expect(canvas.pixels).toBe(Math.ceil(847 * ratio - 1e-6));
        // One canvas pixel on one device pixel, from a whole device pixel: no bitmap scaling.
        expect(Math.abs(canvas.pixels * devicePixel - canvas.width)).toBeLessThanOrEqual(layoutUnit);
        expect(onDevicePixel(canvas.left)).toBeLessThanOrEqual(deviceScaleFactor * layoutUnit);
        expect(onDevicePixel(canvas.top)).toBeLessThanOrEqual(deviceScaleFactor * layoutUnit);
        expect(seen.scroll).toEqual([0, 0, width, height]);

        for (const [x, y, colour] of kPoints) {
          const at = [Math.round(x * ratio), Math.round(y * ratio)];
          expect(await pixel(page, ...at), `(${x}, ${y}) at ${at}`).toBe(colour);
        }

        if (!touch) {
          expect(pads).toEqual([]);
          expect(seen.menuKept).toBe(false);
          return;
        }
        // Red's pad on the left, blue's on the right, both on the screen and off the scene.
        expect(pads).toHaveLength(2);
        expect(pads[0].right).toBeLessThan(pads[1].left);
        for (const pad of pads) {
          expect(pad.left).toBeGreaterThanOrEqual(0);
          expect(pad.right).toBeLessThanOrEqual(width);
          expect(pad.bottom).toBeLessThanOrEqual(height);
          const apart = pad.right <= canvas.left || pad.left >= canvas.right ||
            pad.top >= canvas.bottom;
          expect(apart, 'a pad over the scene').toBe(true);
        }
        for (const key of seen.keys) {
          expect(Math.min(key.width, key.height)).toBeGreaterThanOrEqual(44);
        }
        expect(seen.menuKept, 'a long press opens no menu').toBe(true);
      });
    });
  }
}
