// The installed page: after one visit it plays with the network cut, and a version published
// later runs at the next visit, though never in the middle of a match. Each test serves a copy
// of the site of its own, to publish new versions in.
const fs = require('fs');
const os = require('os');
const path = require('path');
const { test, expect } = require('@playwright/test');
const { kRed, extent } = require('./helpers');
const { serve, siteFolder } = require('./serve-site');

let site, server;

test.beforeEach(async () => {
  site = fs.mkdtempSync(path.join(os.tmpdir(), 'voltaro-site-'));
  fs.cpSync(siteFolder(), site, { recursive: true });
  server = await serve(site);
});

test.afterEach(async () => {
  await server.close();
  fs.rmSync(site, { recursive: true, force: true });
});

// A new build: a changed page, and so a new stamp in the worker.
function publish(name) {
  const edit = (file, change) => {
    const at = path.join(site, file);
    fs.writeFileSync(at, change(fs.readFileSync(at, 'utf8')));
  };
  edit('index.html', (html) => html.replace(/<body[^>]*>/, `<body data-version="${name}">`));
  edit('service_worker.js', (js) => js.replace(/const version = '[^']*'/, `const version = '${name}'`));
}

async function visit(page) {
  await page.goto(server.url);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
}

const version = (page) => page.evaluate(() => document.body.dataset.version || 'first');

test('installable; after one visit it plays offline; a new version runs at the next visit', async ({ page, context }) => {
  await visit(page);
  await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
  // Every file a page of the site loads is kept.
  const kept = await page.evaluate(async () => {
    const cache = await caches.open((await caches.keys())[0]);
    return (await cache.keys()).map((request) => new URL(request.url).pathname);
  });
  const files = fs.readdirSync(site, { recursive: true })
    .filter((file) => fs.statSync(path.join(site, file)).isFile() && file !== 'service_worker.js')
    .filter((file) => !/\.(gz|br)$/.test(file)) // the server's compressed copies of the same files
    // what no page loads: the installing browser's own icons, the fonts' licences; and online
    // play's module, which plays nothing offline
    .filter((file) => !/^icons\/voltaro-(192|512|maskable-512)\.png$|\.LICENSE\.txt$/.test(file))
    .filter((file) => !/^voltaro-online\.(js|wasm)$/.test(file));
  expect(kept.sort()).toEqual(['/', ...files.map((file) => '/' + file)].sort());
  // Installable: the manifest reads without errors, and only the test's private window stands
  // in the way.
  const cdp = await context.newCDPSession(page);
  expect((await cdp.send('Page.getAppManifest')).errors).toEqual([]);
  expect((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors
    .map((error) => error.errorId)).toEqual(['in-incognito']);

  await context.setOffline(true);
  await page.reload();
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  const red = await extent(page, kRed);
  await page.keyboard.press('ArrowRight');
  expect((await extent(page, kRed)).left).toBeGreaterThan(red.left);
  await context.setOffline(false);

  publish('second');
  await visit(page); // served the first version, which finds the second and runs it at once
  await page.waitForFunction(() => document.body.dataset.version === 'second');
  expect(await page.evaluate(() => caches.keys())).toEqual(['voltaro-second']);

  // A version found while a match is in play waits for the next visit.
  await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
  await page.keyboard.press('ArrowRight');
  publish('third');
  await page.evaluate(async () => {
    const takenOver = new Promise((resolve) => navigator.serviceWorker.addEventListener('controllerchange', resolve));
    window.stillHere = true;
    await (await navigator.serviceWorker.getRegistration()).update();
    await takenOver;
  });
  let navigations = 0;
  page.on('framenavigated', (frame) => { navigations += frame === page.mainFrame() ? 1 : 0; });
  expect(await page.evaluate(() => window.stillHere)).toBe(true);
  expect(await version(page)).toBe('second');
  await visit(page);
  expect(await version(page)).toBe('third');
  expect(navigations, 'the match in play was reloaded').toBe(1);
});
