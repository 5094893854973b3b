// The page's start: its parts (each a module that wires its own piece of the page), then the
// faces and the game's module side by side (the local game's, or online play's), and the local
// game or an online match once both are there.
import createVoltaro from './voltaro.js';
import { fit } from './fit.js';
import { seatComputer } from './computer_choice.js';
import { online } from './online.js';
import { page } from './page.js';
import { replay } from './replay.js';
import { keysFrom } from './touch_pads.js';
import { readPads } from './gamepads.js';
import './offline.js';

// What the page's tests read from outside: the layout (its ratio for a client area) and the
// lines an online match showed.
window.voltaroFit = fit;
window.voltaroOnlineLog = online.log;

// Online play has a module of its own, fetched only for it: a visitor who plays here never
// loads it, and an online match never loads the local game's. So has the replay viewer.
const createOnline = () => import('./voltaro-online.js')
  .then((loaded) => loaded.default({ page: page.host }));
const createViewer = () => import('./voltaro-viewer.js')
  .then((loaded) => loaded.default({ page: page.host }));
function createModule() {
  if (online.wanted()) return createOnline();
  if (replay.wanted()) return createViewer();
  return createVoltaro({ page: page.host });
}

// A record file dropped or picked plays in place of what the page was doing; on the local
// game's page, the viewer's module is fetched for it then.
let replayModule = null;
function replayFiles(module) {
  if (online.wanted()) return; // an online match keeps its screen
  replayModule = replay.wanted() ? Promise.resolve(module) : null;
  replay.takeFiles(async (file) => {
    if (!replayModule) {
      replayModule = createViewer();
      page.stop();
    }
    replay.begin(await replayModule, file);
  });
}

// The first frame needs both the faces and the module.
async function start() {
  const fonts = Promise.all(page.faces.map(async (face) => {
    const font = new FontFace(face.family, `url(${face.url})`, { weight: face.weight });
    document.fonts.add(await font.load());
  }));
  const loaded = createModule();
  await fonts;
  const module = await loaded;
  if (!replay.wanted()) { // the viewer's module has no pads: nobody plays a replay
    keysFrom(module); // the touch pads' and the gamepads' keys are the module's to say
    readPads(module);
  }
  // In the same task as the first frame: no paint falls between the green and the scene.
  document.getElementById('splash').hidden = true;
  replayFiles(module);
  if (online.wanted()) {
    online.begin(module);
    return; // the local game does not start
  }
  if (replay.wanted()) {
    replay.begin(module);
    return;
  }
  page.run(module);
  seatComputer(module);
  document.documentElement.dataset.state = 'running';
}

start().catch((error) => {
  document.getElementById('splash').hidden = true;
  page.failed(error);
});
