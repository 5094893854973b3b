// The page's side of the replay viewer: what to show besides the canvas; the module finds it as
// Module.page.replay (replay.js).
mergeInto(LibraryManager.library, {
  voltaro_replay_show: function (tick, lastTick, playing, speedIndex, position, speed, box,
                                 boxText, scene) {
    Module.page.replay.show({
      tick: tick >>> 0,
      lastTick: lastTick >>> 0,
      playing: playing !== 0,
      speedIndex: speedIndex,
      position: UTF8ToString(position),
      speed: UTF8ToString(speed),
      box: box,
      boxText: UTF8ToString(boxText),
      scene: UTF8ToString(scene),
    });
  },
});
