// The web platform's page side (linked with --pre-js): the clock that stands
// still while the page is hidden, the wait until it is shown again, the sound
// suspended meanwhile, and the touch controls' state.
//
// The page sets, while the game runs:
//   Module.touchHold(controls)  the controls its touch buttons now hold
//   Module.touchTap(controls)   controls pressed and let go: each is seen down
//                               by the next keyboard read however short the tap
// (controls as plat_pad.h numbers them). The game reads:
//   Module.pageClock()  performance.now() less the time the page was hidden
//   Module.pageShown()  a promise kept once the page is not hidden
//   Module.touchRead()  the controls held or tapped since the last read
(function () {
  var hiddenSince = document.hidden ? performance.now() : null;
  var hiddenFor = 0, waiting = [], held = 0, tapped = 0;

  Module['pageClock'] = function () {
    var now = performance.now();
    return now - hiddenFor - (hiddenSince === null ? 0 : now - hiddenSince);
  };
  Module['pageShown'] = function () {
    return new Promise(function (resolve) {
      if (document.hidden) waiting.push(resolve);
      else resolve();
    });
  };
  // SDL's audio context, once the game opened its sound.
  function audio() { return Module['SDL2'] && Module['SDL2'].audioContext; }
  document.addEventListener('visibilitychange', function () {
    var now = performance.now(), context = audio();
    if (document.hidden) {
      if (hiddenSince === null) hiddenSince = now;
      if (context && context.state === 'running') context.suspend();
      return;
    }
    if (hiddenSince !== null) hiddenFor += now - hiddenSince;
    hiddenSince = null;
    if (context && context.state === 'suspended') context.resume();
    waiting.splice(0).forEach(function (resolve) { resolve(); });
  });

  Module['touchHold'] = function (controls) { held = controls; };
  Module['touchTap'] = function (controls) { tapped |= controls; };
  Module['touchRead'] = function () {
    var controls = held | tapped;
    tapped = 0;
    return controls;
  };
})();
