// What the page costs over the network: the module's size as built, the compressed copies the
// server sends in place of each file, and a return visit that downloads nothing again.
const { test, expect } = require('@playwright/test');
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');
const { siteFolder } = require('./serve-site');

const KB = 1024;
const site = siteFolder();

function filesOf(folder) {
  return fs.readdirSync(folder, { withFileTypes: true }).flatMap((entry) => {
    const file = path.join(folder, entry.name);
    return entry.isDirectory() ? filesOf(file) : [file];
  });
}

// The bytes a GET of `target` puts on the wire, body only, and its header fields.
function fetchRaw(target, headers = {}) {
  return new Promise((resolve, reject) => {
    const request = http.get(new URL(target, process.env.VOLTARO_URL), { headers }, (response) => {
      let bytes = 0;
      response.on('data', (chunk) => { bytes += chunk.length; });
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, bytes }));
    });
    request.setTimeout(10000, () => request.destroy(new Error(`no answer for ${target}`)));
    request.on('error', reject);
  });
}

// The local game's module, online play's, which only an online match loads, with the QR codes'
// encoder that only online play fetches, and the replay viewer's, which only a replay loads.
test('each module and its script are at most 120 KB gzipped, and every compressed copy is its file', () => {
  const besides = { voltaro: [], 'voltaro-online': ['qrcode-generator.js'], 'voltaro-viewer': [] };
  for (const module of ['voltaro', 'voltaro-online', 'voltaro-viewer']) {
    const files = [`${module}.wasm`, `${module}.js`, ...besides[module]];
    const gzipped = files.map((name) => fs.statSync(path.join(site, `${name}.gz`)).size);
    const total = gzipped.reduce((sum, bytes) => sum + bytes, 0);
    console.log(`${files.join(' + ')} gzipped: ${gzipped.map((b) => (b / KB).toFixed(1)).join(' + ')} = ${(total / KB).toFixed(1)} KB`);
    expect(total, module).toBeLessThanOrEqual(120 * KB);
  }

  const copies = filesOf(site).filter((file) => /\.(gz|br)$/.test(file));
  expect(copies.length).toBeGreaterThan(10);
  for (const copy of copies) {
    const original = copy.replace(/\.(gz|br)$/, '');
    const unpacked = copy.endsWith('.gz') ? zlib.gunzipSync(fs.readFileSync(copy))
      : zlib.brotliDecompressSync(fs.readFileSync(copy));
    expect(unpacked.equals(fs.readFileSync(original)), copy).toBe(true);
  }
});

// The modules main.js imports, and theirs, as the site holds them.
function moduleGraph(entry) {
  const found = new Set();
  const visit = (file) => {
    if (found.has(file)) return;
    found.add(file);
    const source = fs.readFileSync(path.join(site, file), 'utf8');
    for (const [, imported] of source.matchAll(/^\s*(?:import|export)\b[^'"]*?['"]\.\/([^'"]+)['"]/gm)) {
      visit(imported);
    }
  };
  visit(entry);
  return found;
}

test('the page asks at once for every module it imports, and the site holds each', () => {
  const html = fs.readFileSync(path.join(site, 'index.html'), 'utf8');
  const entries = [...html.matchAll(/<script type="module" src="([^"]+)">/g)].map((m) => m[1]);
  expect(entries).toEqual(['main.js']);
  const preloaded = [...html.matchAll(/<link rel="modulepreload" href="([^"]+)">/g)].map((m) => m[1]);
  const graph = [...moduleGraph('main.js')].filter((file) => file !== 'main.js');
  // Each one fetched only when the module that imports it has arrived would cost a round trip
  // for every level of imports on the first visit.
  expect(preloaded.sort()).toEqual(graph.sort());
  expect(graph).toEqual(expect.arrayContaining(['voltaro.js', 'page.js', 'canvas_commands.js']));
  // No page script is a classic one that could lean on another's globals.
  expect(html).not.toMatch(/<script(?![^>]*type="module")/);
});

test.describe('served by voltaro-server', () => {
  test.skip(process.env.VOLTARO_SERVED_BY !== 'voltaro-server', 'the native build has no voltaro-server');

  test('each text file and the module go compressed to a browser that accepts it, as they are to one that does not', async () => {
    const served = ['', 'voltaro.wasm', 'voltaro.js', 'page.js', 'play.css'];
    let plain = 0;
    let brotli = 0;
    for (const file of served) {
      const identity = await fetchRaw(file);
      const gzip = await fetchRaw(file, { 'Accept-Encoding': 'gzip' });
      const br = await fetchRaw(file, { 'Accept-Encoding': 'gzip, deflate, br' });
      expect(identity.headers['content-encoding'], file).toBeUndefined();
      expect(gzip.headers['content-encoding'], file).toBe('gzip');
      expect(br.headers['content-encoding'], file).toBe('br');
      for (const reply of [identity, gzip, br]) {
        expect(reply.headers.vary, file).toBe('Accept-Encoding');
        expect(reply.headers['content-security-policy'], file).toContain("frame-ancestors 'none'");
      }
      expect(br.bytes).toBeLessThan(gzip.bytes);
      expect(gzip.bytes).toBeLessThan(identity.bytes / 2);
      plain += identity.bytes;
      brotli += br.bytes;
    }
    console.log(`page, module and scripts: ${(plain / KB).toFixed(1)} KB as they are, ${(brotli / KB).toFixed(1)} KB with brotli`);
  });

  test('a first visit runs under the server\'s policy, and a second downloads nothing again', async ({ page }) => {
    const violations = [];
    page.on('console', (message) => {
      if (/Content Security Policy/i.test(message.text())) violations.push(message.text());
    });
    const client = await page.context().newCDPSession(page);
    await client.send('Network.enable');
    let transferred = 0;
    client.on('Network.loadingFinished', (event) => { transferred += event.encodedDataLength; });
    const downloads = [];
    page.on('response', (response) => {
      if (response.status() === 200 && !response.fromServiceWorker()) downloads.push(response.url());
    });

    await page.goto(process.env.VOLTARO_URL);
    await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
    await page.evaluate(() => navigator.serviceWorker.ready);
    console.log(`first visit: ${(transferred / KB).toFixed(1)} KB over the wire`);
    expect(transferred).toBeLessThanOrEqual(150 * KB);
    expect(violations).toEqual([]);
    expect(downloads.length).toBeGreaterThan(3);

    downloads.length = 0;
    await page.reload();
    await page.waitForFunction(() => document.documentElement.dataset.state === 'running');
    expect(downloads).toEqual([]);
  });
});
