// The page in Debian's chromium, driven by Playwright (no browser download).
const { defineConfig } = require('@playwright/test');

module.exports = defineConfig({
  testDir: '.',
  testMatch: '*.test.js',
  globalSetup: require.resolve('./serve-site.js'),
  timeout: 60_000,
  workers: 1,
  reporter: [['line'], ['./failures_last.js']],
  use: {
    viewport: { width: 847, height: 646 }, // the form's own size: the scene at one CSS pixel a pixel
    launchOptions: {
      executablePath: process.env.VOLTARO_CHROMIUM || '/usr/bin/chromium',
      // --no-sandbox: chromium's sandbox cannot start as root (CI runs as root).
      args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--no-first-run'],
    },
  },
});
