// Serves the built site on 127.0.0.1, on a free port, for the length of the test run: with the
// native build's voltaro-server, as the page is deployed (compressed copies, validators, its
// security policy), or without it by a plain node server. serve() serves another copy of the
// site by node for a test of its own.
const { spawn } = require('child_process');
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

// Resolves to { url, close }. `replays` maps an id to the record text served at /replay/<id>, as
// a match server serves it.
async function serve(site, replays = {}) {
  const server = http.createServer((request, response) => {
    const replay = /^\/replay\/([^/]*)$/.exec(new URL(request.url, 'http://x').pathname);
    if (replay) {
      const found = Object.prototype.hasOwnProperty.call(replays, replay[1]);
      response.writeHead(found ? 200 : 404, { 'Content-Type': 'text/plain; charset=utf-8' });
      response.end(found ? replays[replay[1]] : '');
      return;
    }
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

function matchServer() {
  const native = process.env.VOLTARO_NATIVE_BUILD || path.join(__dirname, '../../build');
  const program = path.join(native, 'voltaro-server');
  return fs.existsSync(program) ? program : null;
}

// Resolves to { url, close } once voltaro-server announces its port (within 20 s).
function serveByMatchServer(program, site) {
  const child = spawn(program, ['--listen', '127.0.0.1:0', '--site', site],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => { child.kill('SIGKILL'); reject(new Error(`voltaro-server did not start: ${out}`)); }, 20000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const port = (/listening on http:\/\/127\.0\.0\.1:(\d+)\//.exec(out) || [])[1];
      if (!port) return;
      clearTimeout(timer);
      resolve({
        url: `http://127.0.0.1:${port}/`,
        close: () => new Promise((done) => {
          child.once('exit', done);
          child.kill('SIGTERM');
        }),
      });
    });
    child.once('exit', (code) => reject(new Error(`voltaro-server exited (${code}): ${out}`)));
  });
}

module.exports = async () => {
  const program = matchServer();
  const { url, close } = program ? await serveByMatchServer(program, siteFolder())
    : await serve(siteFolder());
  process.env.VOLTARO_SERVED_BY = program ? 'voltaro-server' : 'node';
  process.env.VOLTARO_URL = url;
  return close;
};
module.exports.serve = serve;
module.exports.siteFolder = siteFolder;
module.exports.matchServer = matchServer;
module.exports.serveByMatchServer = serveByMatchServer;
