// Online play's tests: a voltaro-server on loopback (serving the built page), desktop games in
// a private X server, a delaying relay, and the server's record replayed to check what the
// clients showed. Everything talks on loopback only; every wait is bounded and stops by itself.
const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { Worker } = require('worker_threads');

const native = process.env.VOLTARO_NATIVE_BUILD || path.join(__dirname, '../../build');
const site = path.resolve(process.env.VOLTARO_SITE || path.join(__dirname, '../../build-web/site'));
const programs = {
  server: path.join(native, 'voltaro-server'),
  game: path.join(native, 'voltaro'),
  replay: path.join(native, 'voltaro-replay'),
};

const started = [];
function track(child) {
  started.push(child);
  return child;
}
// Ends what a test started: its processes, by their own ids, and its relays' threads.
function stopAll() {
  for (const child of started.splice(0)) {
    if (child.terminate) child.terminate();
    else if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
  }
}

function workDir(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `voltaro-online-${name}-`));
}

// Checks every `everyMs` until the check holds, for at most `limitMs`.
async function until(what, check, limitMs = 10000, everyMs = 25) {
  const deadline = Date.now() + limitMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out after ${limitMs} ms: ${what}`);
    await new Promise((resolve) => setTimeout(resolve, everyMs));
  }
}

// A player presses a key at most this often, as fingers do (and within the server's 50
// messages a second a connection, a press being a key down and a key up).
const pressEveryMs = 100;

// Reads a child's standard output as it comes.
function collect(child) {
  const out = { text: '' };
  child.stdout.on('data', (chunk) => { out.text += chunk; });
  child.stderr.on('data', (chunk) => { out.text += chunk; });
  return out;
}

async function startServer(dir, args = []) {
  const records = path.join(dir, 'records');
  const child = track(spawn(programs.server, ['--listen', '127.0.0.1:0', '--site', site,
    '--records', records, ...args], { stdio: ['ignore', 'pipe', 'pipe'] }));
  const out = collect(child);
  const port = await until('voltaro-server announces its port',
    () => (/listening on http:\/\/127\.0\.0\.1:(\d+)\//.exec(out.text) || [])[1]);
  return { child, port: Number(port), records, url: `http://127.0.0.1:${port}/` };
}

function freePort() {
  return new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// The shipped nginx configuration in front of two servers (started with the code prefixes A
// and B), over TLS with a certificate of its own, serving the built site itself: the page at `url`.
async function startNginx(dir, [a, b]) {
  const tls = await freePort();
  const script = path.join(__dirname, '../network/nginx-on-loopback.sh');
  const out = collect(track(spawn(script, [path.join(dir, 'nginx'), String(tls),
    String(await freePort()), String(a.port), String(b.port), site], { stdio: ['ignore', 'pipe', 'pipe'] })));
  const listening = () => new Promise((resolve) => {
    const probe = net.connect(tls, '127.0.0.1', () => {
      probe.destroy();
      resolve(true);
    });
    probe.on('error', () => resolve(false));
  });
  await until('nginx listens', listening, 30000).catch((error) => {
    const log = path.join(dir, 'nginx', 'error.log');
    throw new Error(`${error.message}: ${out.text}${fs.existsSync(log) ? fs.readFileSync(log) : ''}`);
  });
  return { url: `https://127.0.0.1:${tls}/` };
}

// Whether this machine has IPv6 on loopback (a container may have it turned off).
function hasIpv6() {
  return new Promise((resolve) => {
    const probe = net.createServer().once('error', () => resolve(false))
      .listen(0, '::1', () => probe.close(() => resolve(true)));
  });
}

// A private X server for the desktop games.
async function startX(dir) {
  const child = track(spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1600x1200x24',
    '-noreset', '-nolisten', 'tcp'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] }));
  let text = '';
  child.stdio[3].on('data', (chunk) => { text += chunk; });
  const number = await until('Xvfb starts', () => (/^(\d+)\n/.exec(text) || [])[1]);
  const runtime = path.join(dir, 'run');
  fs.mkdirSync(runtime, { mode: 0o700 });
  return { DISPLAY: `:${number}`, QT_QPA_PLATFORM: 'xcb', XDG_RUNTIME_DIR: runtime };
}

// The desktop game, its log of what it showed (VOLTARO_ONLINE_LOG) read as lines.
function startGame(display, dir, name, args) {
  const log = path.join(dir, `${name}.log`);
  const home = path.join(dir, `${name}-home`);
  fs.mkdirSync(home, { recursive: true });
  const env = { ...process.env, ...display, VOLTARO_ONLINE_LOG: log, HOME: home,
    XDG_CONFIG_HOME: path.join(home, '.config') };
  delete env.WAYLAND_DISPLAY;
  const child = track(spawn(programs.game, args, { env, stdio: ['ignore', 'pipe', 'pipe'] }));
  const out = collect(child);
  const lines = () => (fs.existsSync(log) ? fs.readFileSync(log, 'utf8') : '').split('\n')
    .filter(Boolean).map((l) => {
      const space = l.indexOf(' ');
      return { t: Number(l.slice(0, space)), line: l.slice(space + 1) };
    });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  return { child, out, lines, exited, name, display };
}

function xdotool(display, ...args) {
  return execFileSync('xdotool', args, { env: { ...process.env, ...display } }).toString().trim();
}

// A window of one game by its title (a regular expression), once it is visible.
function findWindow(game, title, limitMs = 15000) {
  return until(`${game.name}: a window titled ${title}`, () => {
    try {
      return xdotool(game.display, 'search', '--all', '--onlyvisible', '--pid', String(game.child.pid),
        '--name', title).split('\n')[0];
    } catch {
      return undefined;
    }
  }, limitMs);
}

// Keys into one window; false when it could not take the focus (a box that just closed).
function keyIn(game, window, ...keys) {
  try {
    xdotool(game.display, 'windowfocus', '--sync', window);
  } catch {
    return false;
  }
  xdotool(game.display, ...keys);
  return true;
}

// What the window manager's close button sends.
function closeWindow(game, window) {
  execFileSync('/usr/bin/python3', ['-c', `
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
protocols = d.intern_atom('WM_PROTOCOLS')
delete = d.intern_atom('WM_DELETE_WINDOW')
w.send_event(protocol.event.ClientMessage(window=w, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])))
d.flush()
`, window], { env: { ...process.env, ...game.display } });
}

async function exitsWithin(game, limitMs) {
  const timer = new Promise((resolve) => setTimeout(() => resolve(null), limitMs));
  return Promise.race([game.exited, timer]);
}

// A relay on loopback that holds every chunk `delayMs` in each direction before passing it on.
// It runs on a thread of its own: on the test's, every synchronous call (xdotool pressing a key
// into a game) would hold the chunks that fall due meanwhile, and add its own length to the delay.
function delayingRelay(targetPort, delayMs) {
  const worker = new Worker(`
    const net = require('net');
    const { parentPort, workerData: { targetPort, delayMs } } = require('worker_threads');
    const server = net.createServer((client) => {
      const upstream = net.connect(targetPort, '127.0.0.1');
      // A pure delay: no coalescing of small writes on top of it.
      client.setNoDelay(true);
      upstream.setNoDelay(true);
      const pass = (from, to) => {
        from.on('data', (chunk) => setTimeout(() => to.write(chunk), delayMs));
        from.on('end', () => setTimeout(() => to.end(), delayMs));
        from.on('error', () => to.destroy());
      };
      pass(client, upstream);
      pass(upstream, client);
    });
    server.listen(0, '127.0.0.1', () => parentPort.postMessage(server.address().port));
  `, { eval: true, workerData: { targetPort, delayMs } });
  worker.unref();
  track(worker);
  return new Promise((resolve, reject) => {
    worker.once('error', reject);
    worker.once('message', (port) => resolve({ port, close: () => worker.terminate() }));
  });
}

// The record of the one match that the server finished, replayed: for each "# tick N" the
// states after each of its events, as the clients' logs write a scene.
async function recordedStates(records) {
  const file = await until('a finished match record', () => {
    const names = fs.existsSync(records) ? fs.readdirSync(records).filter((n) => n.endsWith('.replay')) : [];
    return names.length === 1 ? path.join(records, names[0]) : undefined;
  });
  const script = fs.readFileSync(file, 'utf8');
  const out = execFileSync(programs.replay, [], { input: script, maxBuffer: 1 << 28 }).toString().trim().split('\n');
  const states = out.map((line) => {
    const s = JSON.parse(line);
    const place = (p) => `[${p[0]},${p[1]}]`;
    return `ball ${place(s.ball)} red ${place(s.red)} blue ${place(s.blue)} score ${s.redScore} ${s.blueScore}`;
  });
  const byTick = new Map();
  let tick = 0;
  let index = 0; // the replay's first line is the load
  byTick.set(0, [states[0]]);
  for (const raw of script.split('\n')) {
    const line = raw.trim();
    const marker = /^# tick (\d+)$/.exec(line);
    if (marker) {
      tick = Number(marker[1]);
      if (!byTick.has(tick)) byTick.set(tick, [states[index]]);
      continue;
    }
    if (!line || line.startsWith('#')) continue;
    index += 1;
    byTick.get(tick).push(states[index]);
  }
  return { byTick, final: states[states.length - 1], script, file };
}

// The server tells its final ticks in batches of this many ticks.
const kFinalEveryTicks = 32;

// Every final tick a client logged has the scene the server's match had once all of that
// tick's events were played (the last recorded tick at or before it, for ticks with none), and
// no batch is missing between the first and the last of them. Returns how many it checked.
function checkAgainstRecord(lines, recorded) {
  const ticks = [...recorded.byTick.keys()].sort((a, b) => a - b);
  let checked = 0;
  let earliest = null; // a spectator comes in mid-match
  let latest = 0;
  for (const { line } of lines) {
    const m = /^tick (\d+) (.*)$/.exec(line);
    if (!m) continue;
    const n = Number(m[1]);
    if (earliest === null) earliest = n;
    latest = Math.max(latest, n);
    const last = ticks.filter((t) => t <= n).slice(-1)[0];
    const states = recorded.byTick.get(last) || [];
    const expected = states[states.length - 1];
    if (m[2] !== expected) {
      throw new Error(`final tick ${n}: the client has "${m[2]}", the record "${expected}" ` +
        `(tick ${last}: ${JSON.stringify(states)})`);
    }
    checked += 1;
  }
  if (checked < Math.floor((latest - (earliest ?? 0)) / kFinalEveryTicks)) {
    throw new Error(`${checked} final ticks from tick ${earliest} to ${latest}: a batch went missing`);
  }
  return checked;
}

// The boxes a client showed and its final scene, in order, as lines without the scene's tick.
function boxesAndEnd(lines) {
  return lines.map(({ line }) => line).filter((l) => /^(box|over) /.test(l))
    .map((l) => l.replace(/ \| tick \d+ /, ' | ').replace(/^over tick \d+ /, 'over '));
}

// What zbarimg (zbar-tools) reads in a PNG: each code's text, one a line; empty for none.
function decodeQr(png) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'voltaro-qr-'));
  const file = path.join(dir, 'code.png');
  fs.writeFileSync(file, png);
  try {
    return execFileSync('zbarimg', ['--raw', '-q', file], { timeout: 20000 }).toString().trim();
  } catch {
    return '';
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// A screen kept for a person to look at, when VOLTARO_KEEP_SCREENS names a folder.
function keepScreen(name, png) {
  if (process.env.VOLTARO_KEEP_SCREENS) {
    fs.writeFileSync(path.join(process.env.VOLTARO_KEEP_SCREENS, name), png);
  }
}

module.exports = {
  programs, site, stopAll, workDir, until, pressEveryMs, startServer, startNginx, hasIpv6, startX, startGame, findWindow, keyIn,
  closeWindow, exitsWithin, delayingRelay, recordedStates, checkAgainstRecord, boxesAndEnd,
  xdotool, decodeQr, keepScreen,
};
