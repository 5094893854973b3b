// Serves the built site on 127.0.0.1, on a free port, for the length of the test run; serve()
// serves another copy of it for a test of its own.
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.ttf': 'font/ttf', '.otf': 'font/otf', '.txt': 'text/plain', '.css': 'text/css',
  '.png': 'image/png', '.svg': 'image/svg+xml', '.webmanifest': 'application/manifest+json',
};

function siteFolder() {
  const site = path.resolve(process.env.VOLTARO_SITE || path.join(__dirname, '../../build-web/site'));
  if (!fs.existsSync(path.join(site, 'index.html'))) throw new Error(`no site at ${site}: make web`);
  return site;
}

// Resolves to { url, close }.
async function serve(site) {
  const server = http.createServer((request, response) => {
    const file = path.join(site, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const target = file.endsWith(path.sep) ? path.join(file, 'index.html') : file;
    if (!target.startsWith(site) || !fs.existsSync(target) || fs.statSync(target).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(target)] || 'application/octet-stream' });
    fs.createReadStream(target).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((resolve) => {
      server.close(resolve);
      server.closeAllConnections(); // a browser's idle connections would hold it open
    }),
  };
}

module.exports = async () => {
  const { url, close } = await serve(siteFolder());
  process.env.VOLTARO_URL = url;
  return close;
};
module.exports.serve = serve;
module.exports.siteFolder = siteFolder;
