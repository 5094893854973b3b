// The pads' presses, as the module decides them: kept in Module.padPresses for the page to carry
// out once the module's call has returned (a press may run the game, which may open a box).
mergeInto(LibraryManager.library, {
  voltaro_page_pad_key_down: function (key, code) {
    (Module.padPresses = Module.padPresses || []).push({ key, code });
  },
  voltaro_page_pad_key_up: function (key) {
    (Module.padPresses = Module.padPresses || []).push({ key, up: true });
  },
  voltaro_page_pad_confirm: function () {
    (Module.padPresses = Module.padPresses || []).push({ confirm: true });
  },
});
