// Lighthouse's four scores, performance among them (simulated throttling, so the figures depend
// on this machine), for the page as voltaro-server sends it: the mobile defaults and the desktop
// preset, each report saved as JSON in the folder given.
//   node lighthouse-bench.js OUT_DIR
const fs = require('fs');
const path = require('path');
const { audit } = require('./lighthouse');
const { matchServer, serveByMatchServer, siteFolder } = require('./serve-site');

async function main(out) {
  const program = matchServer();
  if (!program) throw new Error('voltaro-server is not built: make build');
  fs.mkdirSync(out, { recursive: true });
  const { url, close } = await serveByMatchServer(program, siteFolder());
  try {
    for (const desktop of [false, true]) {
      const name = desktop ? 'desktop' : 'mobile';
      const { scores, report } = await audit(url, { desktop });
      const file = path.join(out, `lighthouse-${name}.json`);
      fs.writeFileSync(file, report);
      const lhr = JSON.parse(report);
      const ms = (id) => Math.round(lhr.audits[id].numericValue);
      console.log(`Lighthouse ${name}: ${JSON.stringify(scores)}; first contentful paint ` +
        `${ms('first-contentful-paint')} ms, largest ${ms('largest-contentful-paint')} ms, ` +
        `total ${Math.round(lhr.audits['total-byte-weight'].numericValue / 1024)} KB (${file})`);
    }
  } finally {
    await close();
  }
}

main(process.argv[2] || 'lighthouse').catch((error) => {
  console.error(error);
  process.exit(1);
});
