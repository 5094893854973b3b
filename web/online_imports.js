// The page's side of an online match: frames to send, and what to show besides the canvas; the
// module finds them as Module.page.online (online.js).
mergeInto(LibraryManager.library, {
  voltaro_online_send: function (frame) {
    Module.page.online.send(UTF8ToString(frame));
  },
  voltaro_online_show: function (phase, status, box, boxText, boxAnswered, code, token,
                                 seat, matchLine, tickLine, sceneLine) {
    Module.page.online.show({
      phase: phase,
      status: UTF8ToString(status),
      box: box,
      boxText: UTF8ToString(boxText),
      boxAnswered: boxAnswered !== 0,
      code: UTF8ToString(code),
      token: UTF8ToString(token),
      seat: ['red', 'blue', 'spectator'][seat] || null,
      matchLine: UTF8ToString(matchLine),
      tickLine: UTF8ToString(tickLine),
      sceneLine: UTF8ToString(sceneLine),
    });
  },
});
