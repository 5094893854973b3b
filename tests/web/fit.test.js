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
        // The browser lays boxes out in 64ths of a CSS pixel and paints them on device pixels.
        const slack = 1 / 64, devicePixel = 1 / deviceScaleFactor;
        const onDevicePixel = (at) => Math.abs(at * deviceScaleFactor - Math.round(at * deviceScaleFactor)) <= deviceScaleFactor * slack;
        const within = (box, edge) => box.left >= 0 && box.top >= 0 && box.right <= width + edge &&
          box.bottom <= height + edge;

        // In the window, as large as fits, one canvas pixel on one device pixel: no bitmap scaling.
        expect(within(canvas, devicePixel), 'the scene in the window').toBe(true);
        expect(canvas.width).toBeGreaterThanOrEqual(Math.floor(least));
        expect(Math.abs(canvas.pixels * devicePixel - canvas.width)).toBeLessThanOrEqual(slack);
        expect([onDevicePixel(canvas.left), onDevicePixel(canvas.top)]).toEqual([true, true]);
        expect(seen.scroll).toEqual([0, 0, width, height]);
        for (const [x, y, colour] of kPoints) {
          const at = [Math.round(x * ratio), Math.round(y * ratio)];
          expect(await pixel(page, ...at), `(${x}, ${y}) at ${at}`).toBe(colour);
        }

        // Touch: red's pad on the left, blue's on the right, on the screen, off the scene; no
        // long-press menu.
        expect(pads).toHaveLength(touch ? 2 : 0);
        expect(seen.menuKept).toBe(touch);
        if (!touch) return;
        expect(pads[0].right).toBeLessThan(pads[1].left);
        for (const pad of pads) {
          expect(within(pad, 0), 'a pad in the window').toBe(true);
          const apart = pad.right <= canvas.left || pad.left >= canvas.right || pad.top >= canvas.bottom;
          expect(apart, 'a pad over the scene').toBe(true);
        }
        expect(Math.min(...seen.keys.flatMap((key) => [key.width, key.height]))).toBeGreaterThanOrEqual(44);
      });
    });
  }
}
