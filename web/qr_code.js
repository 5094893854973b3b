// A QR code beside a link, so that a phone across the room opens it by its camera. The code is
// drawn by qrcode-generator (the npm registry's, delivered with the site), fetched only when a
// code is first shown: a visitor who plays here never loads it.
let encoder = null;

// The modules of `link` at the medium level of error correction, as the desktop game's; null
// when no QR code can hold it.
async function modulesOf(link) {
  encoder = encoder || import('./qrcode-generator.js').then((loaded) => loaded.default);
  const qrcode = await encoder;
  const code = qrcode(0, 'M');
  try {
    code.addData(link);
    code.make();
  } catch {
    return null;
  }
  return code;
}

// A reader finds the code by the light margin around it: four modules, as the standard asks.
const quietModules = 4;
const modulePixels = 4;

// Shows the code of `link` in `element` (empty: hides it). The canvas is an image to a screen
// reader, named by the link it holds, which the page also writes beside it.
export async function showQrCode(element, link) {
  if (element.dataset.link === link) return;
  element.dataset.link = link;
  if (!link) {
    element.hidden = true;
    element.replaceChildren();
    return;
  }
  const code = await modulesOf(link);
  if (element.dataset.link !== link) return; // another link came meanwhile
  if (!code) {
    element.hidden = true;
    return;
  }
  const count = code.getModuleCount();
  const side = (count + 2 * quietModules) * modulePixels;
  const canvas = document.createElement('canvas');
  canvas.width = canvas.height = side;
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', 'QR code of the link ' + link);
  const context = canvas.getContext('2d');
  context.fillStyle = '#fff';
  context.fillRect(0, 0, side, side);
  context.fillStyle = '#000';
  for (let row = 0; row < count; row += 1) {
    for (let column = 0; column < count; column += 1) {
      if (code.isDark(row, column)) {
        context.fillRect((column + quietModules) * modulePixels, (row + quietModules) * modulePixels,
                         modulePixels, modulePixels);
      }
    }
  }
  element.replaceChildren(canvas);
  element.hidden = false;
}
