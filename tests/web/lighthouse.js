// Lighthouse on the page in Debian's chromium: the page audited with the mobile defaults (a
// mid-range phone on a slow 4G link, simulated) or the desktop preset, and each category's
// score out of 100 with the audits that fell short.
const chromeLauncher = require('chrome-launcher');

const flags = ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run'];

// Resolves to { scores: { category: 0..100 }, failing: { category: [audit ids] }, report }.
async function audit(url, { desktop = false, categories } = {}) {
  const { default: lighthouse } = await import('lighthouse');
  const config = desktop ? (await import('lighthouse/core/config/desktop-config.js')).default
    : undefined;
  const chrome = await chromeLauncher.launch({
    chromePath: process.env.VOLTARO_CHROMIUM || '/usr/bin/chromium', chromeFlags: flags,
  });
  try {
    const result = await lighthouse(url, {
      port: chrome.port, output: 'json', logLevel: 'error', onlyCategories: categories,
    }, config);
    const lhr = result.lhr;
    const scores = {}, failing = {};
    for (const [id, category] of Object.entries(lhr.categories)) {
      scores[id] = Math.round(category.score * 100);
      failing[id] = category.auditRefs.filter((ref) => ref.weight > 0)
        .map((ref) => lhr.audits[ref.id])
        .filter((a) => a.score !== null && a.score < 1).map((a) => a.id);
    }
    return { scores, failing, report: result.report };
  } finally {
    await chrome.kill();
  }
}

module.exports = { audit };
