// The page's side of the host: each function forwards to the page (page.js), which the module
// finds as Module.page.
mergeInto(LibraryManager.library, {
  voltaro_page_open: function (caption, width, height) {
    return Module.page.open(UTF8ToString(caption), width, height);
  },
  voltaro_page_draw: function (commands, count, texts) {
    Module.page.draw(HEAP32.subarray(commands >> 2, (commands >> 2) + count),
                     (offset, length) => UTF8ToString(texts + offset, length));
  },
  voltaro_page_arm: function (atMs) {
    Module.page.arm(atMs);
  },
  voltaro_page_message_box: function (prompt, isError) {
    const text = UTF8ToString(prompt);
    return Asyncify.handleSleep(function (wakeUp) {
      Module.page.messageBox(text, isError !== 0, wakeUp);
    });
  },
  voltaro_page_ended: function (exitStatus) {
    Module.page.ended(exitStatus);
  },
});
