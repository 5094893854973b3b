// The page's side of an online match: frames to send, the connection to open or drop, the
// tests' log lines, and what to show besides the canvas; the module finds them as
// Module.page.online (online.js).
mergeInto(LibraryManager.library, {
  voltaro_online_send: function (frame) {
    Module.page.online.send(UTF8ToString(frame));
  },
  voltaro_online_open: function (url) {
    Module.page.online.open(UTF8ToString(url));
  },
  voltaro_online_drop: function () {
    Module.page.online.drop();
  },
  voltaro_online_log: function (line) {
    Module.page.online.note(UTF8ToString(line));
  },
  voltaro_online_show: function (phase, status, box, boxText, boxAnswered, code, token,
                                 seat, matchLine, joinLink, replayLink, watchLine,
                                 watchLink) {
    Module.page.online.show({
      phase: UTF8ToString(phase),
      status: UTF8ToString(status),
      box: box,
      boxText: UTF8ToString(boxText),
      boxAnswered: boxAnswered !== 0,
      code: UTF8ToString(code),
      token: UTF8ToString(token),
      seat: UTF8ToString(seat) || null,
      matchLine: UTF8ToString(matchLine),
      joinLink: UTF8ToString(joinLink),
      replayLink: UTF8ToString(replayLink),
      watchLine: UTF8ToString(watchLine),
      watchLink: UTF8ToString(watchLink),
    });
  },
});
