// The end of an online match that the server recorded: its replay's link, "Watch the replay"
// (the page plays it, in a tab of its own so that this one can still play again), "Copy the
// link" for a friend, and its QR code for a phone.
import { showQrCode } from './qr_code.js';

const element = (id) => document.getElementById(id);
const area = element('online-replay');
const field = element('replay-link');
const watch = element('replay-watch');
const copied = element('replay-copied');

element('replay-copy').addEventListener('click', async () => {
  try {
    await navigator.clipboard.writeText(field.value);
    copied.textContent = 'Copied.';
  } catch {
    // Where the page may not write the clipboard, the link is selected for the player's own copy.
    field.focus();
    field.select();
    copied.textContent = 'Press Ctrl+C to copy the selected link.';
  }
});

// `link` empty: no replay (yet) of the match on screen.
export function showReplayLink(link) {
  area.hidden = !link;
  if (field.value !== link) {
    field.value = link;
    watch.href = link || '#';
    copied.textContent = '';
  }
  showQrCode(element('replay-qr'), link);
}
