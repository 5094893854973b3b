// Draws the module's list of commands on a canvas: whole-pixel rectangles, the diagonal cross,
// unsmoothed texts and clips, in device pixels. The list is a flat run of 32-bit words, each
// command its code and then its operands (canvas_commands.h writes them).

const Op = { Rect: 1, Hatch: 2, Text: 3, Clip: 4, Unclip: 5 };

function colour(rgb) {
  return '#' + (rgb & 0xffffff).toString(16).padStart(6, '0');
}

export class CanvasCommands {
  constructor(context) {
    this.context = context;
    this.hatches = new Map();
    this.scratch = document.createElement('canvas');
    this.scratchContext = this.scratch.getContext('2d', { willReadFrequently: true });
  }

  // The diagonal cross: an X in every 8 x 8 cell, each of its pixels scale x scale device pixels.
  hatchPattern(rgb, scale) {
    const key = rgb + ':' + scale;
    if (!this.hatches.has(key)) {
      const cell = document.createElement('canvas');
      cell.width = cell.height = 8 * scale;
      const c = cell.getContext('2d');
      c.fillStyle = colour(rgb);
      for (let i = 0; i < 8; ++i) {
        c.fillRect(i * scale, i * scale, scale, scale);
        c.fillRect((7 - i) * scale, i * scale, scale, scale);
      }
      this.hatches.set(key, this.context.createPattern(cell, 'repeat'));
    }
    return this.hatches.get(key);
  }

  // Text without smoothing, like the desktop's: drawn on a scratch canvas, every pixel then made
  // either the text's colour or left as it was.
  drawText(x, y, w, h, rgb, pixelSize, weight, centred, text, families) {
    if (w <= 0 || h <= 0) return;
    const scratch = this.scratch;
    const scratchContext = this.scratchContext;
    scratch.width = w;
    scratch.height = h;
    scratchContext.font = `${weight} ${pixelSize}px ${families}`;
    scratchContext.fillStyle = '#000';
    const metrics = scratchContext.measureText(text);
    const left = centred ? Math.round((w - metrics.width) / 2) : 0;
    scratchContext.fillText(text, left, Math.round(metrics.fontBoundingBoxAscent));
    const image = scratchContext.getImageData(0, 0, w, h);
    const px = image.data;
    const r = (rgb >> 16) & 0xff;
    const g = (rgb >> 8) & 0xff;
    const b = rgb & 0xff;
    for (let i = 0; i < px.length; i += 4) {
      const on = px[i + 3] >= 128;
      px[i] = r;
      px[i + 1] = g;
      px[i + 2] = b;
      px[i + 3] = on ? 255 : 0;
    }
    scratchContext.putImageData(image, 0, 0);
    this.context.drawImage(scratch, x, y);
  }

  // `words`: the commands; `text(offset, length)`: a text of the list's string table.
  draw(words, text) {
    const context = this.context;
    const w = words;
    for (let i = 0; i < w.length; ) {
      switch (w[i]) {
        case Op.Rect:
          context.fillStyle = colour(w[i + 5]);
          context.fillRect(w[i + 1], w[i + 2], w[i + 3], w[i + 4]);
          i += 6;
          break;
        case Op.Hatch:
          context.fillStyle = this.hatchPattern(w[i + 5], w[i + 6]);
          context.fillRect(w[i + 1], w[i + 2], w[i + 3], w[i + 4]);
          i += 7;
          break;
        case Op.Text:
          this.drawText(w[i + 1], w[i + 2], w[i + 3], w[i + 4], w[i + 5], w[i + 6], w[i + 7],
                        w[i + 8] !== 0, text(w[i + 9], w[i + 10]), text(w[i + 11], w[i + 12]));
          i += 13;
          break;
        case Op.Clip:
          context.save();
          context.beginPath();
          context.rect(w[i + 1], w[i + 2], w[i + 3], w[i + 4]);
          context.clip();
          i += 5;
          break;
        case Op.Unclip:
          context.restore();
          i += 1;
          break;
        default:
          throw new Error('unknown drawing command ' + w[i]);
      }
    }
  }
}
