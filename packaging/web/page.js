// The page around the game: the download of the game with its progress, the
// still behind the Play button, the picture fitted as the desktop fits it, the
// touch controls, the game's keys kept from the page, the screenshot offered
// as a download, and what is said when the game ends or cannot run.
// window.quillmoor tells a test or a benchmark how far the page is: state is
// 'loading', 'ready' (waiting for the gesture), 'playing', 'ended' or
// 'failed'; firstFrame is performance.now() at the first drawn frame of play;
// frames counts the frames drawn.
(function () {
  'use strict';
  var $ = function (id) { return document.getElementById(id); };
  var root = document.documentElement, stage = $('stage'), room = $('room'), picture = $('picture');
  var canvas = $('canvas'), play = $('play');
  var page = (window.quillmoor = {state: 'loading', firstFrame: null, frames: 0, downloads: [], fit: null});

  function say(text) {
    $('note-text').textContent = text;
    $('note').hidden = false;
  }
  // A failure the player can do nothing about but try another browser, or,
  // given retry, one worth another try.
  function fail(text, retry) {
    page.state = 'failed';
    $('loading').hidden = true;
    $('failure-text').textContent = text;
    $('retry').hidden = !retry;
    $('failure').hidden = false;
    if (retry) $('retry').focus();
  }

  // ---- The picture's fit ----

  // The same fit as the desktop's (plat_fit_frame with PLAT_FIT_AUTO), in the
  // device's pixels: the largest whole multiple of 640x480 where 2 or more
  // fit, drawn by the browser from the 640x480 canvas with hard pixel edges;
  // else the sharp fit, drawn by the game at the canvas's own size.
  function fitFrame(roomW, roomH, ratio) {
    var w = Math.floor(roomW * ratio), h = Math.floor(roomH * ratio);
    var k = Math.min(Math.floor(w / 640), Math.floor(h / 480));
    if (k >= 2) return {frameW: 640, frameH: 480, w: 640 * k, h: 480 * k, ratio: ratio};
    if (w * 480 <= h * 640) h = Math.floor((480 * w) / 640);
    else w = Math.floor((640 * h) / 480);
    return {frameW: Math.max(w, 1), frameH: Math.max(h, 1), w: Math.max(w, 1), h: Math.max(h, 1), ratio: ratio};
  }
  function layout() {
    var ratio = window.devicePixelRatio || 1;
    var fit = (page.fit = fitFrame(room.clientWidth, room.clientHeight, ratio));
    picture.style.width = fit.w / ratio + 'px';
    picture.style.height = fit.h / ratio + 'px';
    if (window.Module) {
      Module.frameWidth = fit.frameW;
      Module.frameHeight = fit.frameH;
    }
  }
  window.addEventListener('resize', layout);
  document.addEventListener('fullscreenchange', layout);
  new ResizeObserver(layout).observe(room);

  // ---- Touch controls ----

  // Controls as the platform numbers them (runtime/platform/plat_pad.h).
  var TOUCH_FULL_SCREEN = 512, TOUCH_QUIT = 4096;
  var fingers = {}; // pointer id -> the control button under it
  function controlAt(x, y) {
    var at = document.elementFromPoint(x, y);
    return at && at.closest ? at.closest('[data-control]') : null;
  }
  function holdFingers() {
    var held = 0;
    document.querySelectorAll('[data-control]').forEach(function (b) { b.classList.remove('down'); });
    Object.keys(fingers).forEach(function (id) {
      var b = fingers[id];
      if (!b) return;
      b.classList.add('down');
      held |= Number(b.dataset.control);
    });
    if (window.Module && Module.touchHold) Module.touchHold(held);
  }
  function tap(controls) {
    if (window.Module && Module.touchTap && page.state === 'playing') Module.touchTap(controls);
  }
  function touchInUse(on) {
    var was = root.classList.contains('touch') && !root.classList.contains('keys');
    if (on) root.classList.add('touch');
    root.classList.toggle('keys', !on);
    if (was !== on) layout();
  }
  window.addEventListener('pointerdown', function (e) { if (e.pointerType === 'touch') touchInUse(true); }, true);

  // A finger on a control holds it, slides from one to the next, and lets go;
  // several fingers at once hold all theirs. A tap is seen however short.
  var pad = [$('pad'), $('acts')];
  pad.forEach(function (cluster) {
    cluster.addEventListener('pointerdown', function (e) {
      var b = e.target.closest('[data-control]');
      if (!b) return;
      e.preventDefault();
      fingers[e.pointerId] = b;
      tap(Number(b.dataset.control));
      holdFingers();
    });
  });
  window.addEventListener('pointermove', function (e) {
    if (!(e.pointerId in fingers)) return;
    var b = controlAt(e.clientX, e.clientY);
    if (b !== fingers[e.pointerId]) {
      fingers[e.pointerId] = b;
      if (b) tap(Number(b.dataset.control));
      holdFingers();
    }
  });
  function letGo(e) {
    if (!(e.pointerId in fingers)) return;
    delete fingers[e.pointerId];
    holdFingers();
  }
  window.addEventListener('pointerup', letGo);
  window.addEventListener('pointercancel', letGo);
  // A screen reader's or keyboard's click: one tap.
  pad.forEach(function (cluster) {
    cluster.addEventListener('click', function (e) {
      var b = e.target.closest('[data-control]');
      if (b && e.detail === 0) tap(Number(b.dataset.control));
    });
  });
  // During play a touch moves nothing but the game: no scroll, no zoom by
  // pinching or tapping twice, no long-press menu. (Said so to each touch
  // rather than with touch-action, which costs Chromium a tenth of a second
  // on every touch.) The browser then makes no clicks of touches, so the
  // small buttons act when the finger is let go over them, as they do for a
  // mouse; a keyboard's or screen reader's click still counts.
  function onlyTheGame(e) {
    if (page.state === 'playing' && e.cancelable) e.preventDefault();
  }
  ['touchstart', 'touchmove'].forEach(function (t) {
    document.addEventListener(t, onlyTheGame, {passive: false});
  });
  document.addEventListener('contextmenu', onlyTheGame);
  function onPress(b, act) {
    b.addEventListener('pointerup', function (e) {
      if (e.button <= 0 && b.contains(document.elementFromPoint(e.clientX, e.clientY))) act();
    });
    b.addEventListener('click', function (e) { if (e.detail === 0) act(); });
  }
  // The small buttons act once they are let go; quit asks first.
  document.querySelectorAll('[data-tool]').forEach(function (b) {
    onPress(b, function () {
      tap(Number(b.dataset.tool));
      if (Number(b.dataset.tool) === TOUCH_QUIT) $('asking').hidden = true;
    });
  });
  onPress($('quit'), function () { $('asking').hidden = false; });
  onPress($('keep-playing'), function () { $('asking').hidden = true; });

  // A keyboard or a pad in use hides the touch controls until the next touch.
  window.addEventListener('keydown', function () { if (root.classList.contains('touch')) touchInUse(false); }, true);
  setInterval(function () {
    if (!root.classList.contains('touch') || root.classList.contains('keys') || !navigator.getGamepads) return;
    var pads = navigator.getGamepads();
    for (var i = 0; i < pads.length; i++) {
      var p = pads[i];
      if (!p) continue;
      var used = p.buttons.some(function (b) { return b.pressed; }) ||
        p.axes.some(function (a) { return Math.abs(a) > 0.5; });
      if (used) return touchInUse(false);
    }
  }, 500);

  // ---- The game's keys, and the start ----

  // While the game runs, its keys belong to it: arrows and Space do not
  // scroll, F1 opens no help, F5 does not reload, Tab does not move the focus,
  // Ctrl+F does not search.
  var gameKeys = {ArrowLeft: 1, ArrowRight: 1, ArrowUp: 1, ArrowDown: 1, Space: 1, F1: 1, F5: 1,
                  Tab: 1, Escape: 1, Backspace: 1};
  function keepKey(e) {
    if (page.state !== 'playing') return;
    if (gameKeys[e.code] || (e.ctrlKey && e.code === 'KeyF')) e.preventDefault();
  }
  window.addEventListener('keydown', keepKey, true);
  window.addEventListener('keyup', keepKey, true);

  // The first frame of play is the first that is not all black (the game
  // clears its screen before its art is loaded); the still shows until then.
  var probe = null;
  function frameDrawn() {
    page.frames++;
    if (page.firstFrame !== null) return;
    if (!probe) {
      probe = document.createElement('canvas').getContext('2d', {willReadFrequently: true});
      probe.canvas.width = 64;
      probe.canvas.height = 48;
    }
    probe.drawImage(canvas, 0, 0, 64, 48);
    var px = probe.getImageData(0, 0, 64, 48).data;
    for (var i = 0; i < px.length; i += 4)
      if (px[i] | px[i + 1] | px[i + 2]) {
        page.firstFrame = performance.now();
        root.classList.add('shown');
        keepOfflineIn(2000);
        return;
      }
  }

  function start(e) {
    if (page.state !== 'ready') return;
    if (e) e.preventDefault();
    page.state = 'playing';
    root.classList.add('playing');
    window.scrollTo(0, 0);
    canvas.focus();
    try {
      Module.callMain(Module.settings && Module.settings.muted ? ['--mute'] : []);
    } catch (x) {
      if (!(x && x.name === 'ExitStatus')) throw x;
    }
  }
  play.addEventListener('click', start);
  // Any key starts too, but Tab, which moves the focus as it should.
  window.addEventListener('keydown', function (e) {
    if (page.state === 'ready' && !e.repeat && !e.ctrlKey && !e.altKey && !e.metaKey && e.code !== 'Tab')
      start(e);
  });

  function ended(code) {
    page.state = 'ended';
    root.classList.remove('playing', 'shown');
    $('loading').hidden = true;
    $('failure-text').textContent = code ? 'The game ended with an error.' : 'The game has ended.';
    $('retry').hidden = true;
    var again = document.createElement('button');
    again.id = 'again';
    again.textContent = 'Play again';
    again.addEventListener('click', function () { location.reload(); });
    $('failure').appendChild(again);
    $('failure').hidden = false;
    again.focus();
  }

  // ---- Checks before anything is fetched ----

  // The game is built with WebAssembly's SIMD: a module of one SIMD
  // instruction tells whether this browser has it.
  var simd = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10,
                             1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
  layout();
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.validate !== 'function' ||
      !WebAssembly.validate(simd)) {
    fail('This browser cannot run the game\'s WebAssembly. A current Chromium, Firefox or Safari can.');
    return;
  }

  // ---- The download ----

  // The program and its data, fetched here so that their bytes can be shown
  // and a failed or stalled download said and tried again; the program is
  // compiled while it arrives.
  var sizes = document.body.dataset.sizes.split(' ').map(Number);
  var parts = [{url: 'quillmoor.wasm', size: sizes[0], got: 0, done: null},
               {url: 'quillmoor.data', size: sizes[1], got: 0, done: null}];
  var STALL_MS = 20000; // no byte for this long: the download is given up
  var MB = 1048576;
  function showProgress() {
    var got = 0, size = 0;
    parts.forEach(function (p) { got += Math.min(p.got, p.size); size += p.size; });
    $('progress').value = size ? got / size : 0;
    $('progress-text').textContent = 'Loading ' + (got / MB).toFixed(1) + ' of ' + (size / MB).toFixed(1) + ' MB';
  }
  function download(part) {
    var control = new AbortController(), timer = null;
    function watch() {
      clearTimeout(timer);
      timer = setTimeout(function () { control.abort(); }, STALL_MS);
    }
    watch();
    part.got = 0;
    return fetch(part.url, {signal: control.signal}).then(function (response) {
      if (!response.ok) throw new Error('the server answered ' + response.status);
      var compiled = null;
      if (/\.wasm$/.test(part.url) && WebAssembly.compileStreaming)
        compiled = WebAssembly.compileStreaming(response.clone());
      var reader = response.body.getReader(), chunks = [];
      function more() {
        return reader.read().then(function (r) {
          if (r.done) return;
          chunks.push(r.value);
          part.got += r.value.length;
          showProgress();
          watch();
          return more();
        });
      }
      return more().then(function () {
        var bytes = new Uint8Array(part.got), at = 0;
        chunks.forEach(function (c) { bytes.set(c, at); at += c.length; });
        if (!/\.wasm$/.test(part.url)) return bytes.buffer;
        // A server that does not name the program's type refuses streaming.
        return (compiled || Promise.reject()).catch(function () { return WebAssembly.compile(bytes); });
      });
    }).finally(function () { clearTimeout(timer); });
  }
  // The script that runs the program starts once the data is here (it takes
  // the data as it starts); the program may still be arriving, and is waited
  // for when the script asks for it. A retry fetches only what is missing.
  var program = {};
  program.ready = new Promise(function (resolve) { program.resolve = resolve; });
  var data = null, scriptStarted = false;
  function load() {
    page.state = 'loading';
    $('failure').hidden = true;
    $('loading').hidden = false;
    showProgress();
    var waits = parts.map(function (p, i) {
      if (!p.done)
        p.done = download(p).then(function (result) {
          if (i === 0) return program.resolve(result);
          data = result;
          startRuntime();
        }, function (e) {
          p.done = null;
          throw e;
        });
      return p.done;
    });
    if (data) startRuntime(); // again, after the script itself failed
    Promise.all(waits).catch(function (e) {
      var stalled = e && e.name === 'AbortError';
      fail((stalled ? 'The download stopped.' : 'The game could not be downloaded.') +
        ' Check the connection and try again.', true);
    });
  }
  $('retry').addEventListener('click', load);

  function startRuntime() {
    if (scriptStarted) return;
    scriptStarted = true;
    window.Module = {
      canvas: canvas,
      noInitialRun: true,
      artStamp: document.body.dataset.art,
      print: function (text) { console.log(text); },
      // The game's own reports (a missing picture) are no page errors.
      printErr: function (text) { console.warn(text); },
      getPreloadedPackage: function () { return data; },
      instantiateWasm: function (imports, receive) {
        program.ready.then(function (module) {
          return WebAssembly.instantiate(module, imports).then(function (instance) { receive(instance, module); });
        }).catch(function () { fail('The game could not be started. Reload the page to try again.'); });
        return {};
      },
      onRuntimeInitialized: function () {
        if (Module.store === 'unavailable')
          say('This browser keeps no storage for this page: the game makes its scaled pictures again at every visit.');
        showMuted(Module.settings.muted);
        page.state = 'ready';
        $('loading').hidden = true;
        play.disabled = false;
        play.focus();
        keepOfflineIn(5000);
      },
      onExit: ended,
      onAbort: function () { fail('The game stopped with an error. Reload the page to play again.'); },
      showMessage: function (title, text) { say(title + ': ' + text); },
      onFrame: frameDrawn,
      onMuted: function (muted) {
        Module.keepSetting('muted', muted);
        showMuted(muted);
      },
      // Left Ctrl+F: the game shows its screen full, or in its window again.
      fullScreen: function (on) {
        gameFull = on;
        if (on && !document.fullscreenElement && stage.requestFullscreen)
          stage.requestFullscreen().catch(leftFullScreen); // refused: the game goes back to its window
        else if (!on && document.fullscreenElement) document.exitFullscreen().catch(function () {});
      },
      // Tab's screenshot, offered as a download under the name the game gave it.
      onFileWritten: function (path, bytes) {
        var m = /\/(screen\d+\.bmp)$/.exec(path);
        if (!m) return;
        var link = document.createElement('a');
        link.href = URL.createObjectURL(new Blob([bytes], {type: 'image/bmp'}));
        link.download = m[1];
        document.body.appendChild(link);
        link.click();
        link.remove();
        page.downloads.push(m[1]);
        setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
      },
    };
    layout();
    var script = document.createElement('script');
    script.src = 'quillmoor.js';
    script.onerror = function () {
      scriptStarted = false;
      fail('The game could not be downloaded. Check the connection and try again.', true);
    };
    document.body.appendChild(script);
  }

  // The browser left its full screen on its own (Escape, or a refusal): the
  // game goes back to its window too, as if Ctrl+F had been pressed.
  var gameFull = false;
  function leftFullScreen() {
    if (gameFull && !document.fullscreenElement) tap(TOUCH_FULL_SCREEN);
  }
  document.addEventListener('fullscreenchange', leftFullScreen);

  function showMuted(muted) {
    $('mute').setAttribute('aria-pressed', muted ? 'true' : 'false');
  }

  // ---- Offline ----

  // After a visit the site's files stay in the service worker's cache. A new
  // build replaces them whole; a page that has not started its game yet is
  // loaded again from the new build.
  // The worker fetches the site once more (the browser's cache mostly answers
  // "not modified"): after the page's own downloads, and after the start of
  // the game (or a few seconds of waiting for it), so as not to slow either.
  var hadWorker = !!(navigator.serviceWorker && navigator.serviceWorker.controller), offlineTimer = null;
  function keepOfflineIn(ms) {
    if (!navigator.serviceWorker) return;
    clearTimeout(offlineTimer);
    offlineTimer = setTimeout(function () {
      navigator.serviceWorker.register('sw.js').catch(function () {});
    }, ms);
  }
  if (navigator.serviceWorker)
    navigator.serviceWorker.addEventListener('controllerchange', function () {
      if (!hadWorker) return;
      if (page.state === 'loading' || page.state === 'ready' || page.state === 'failed') location.reload();
    });

  // The downloads start once the page is first drawn, so as not to hold that up.
  requestAnimationFrame(function () { setTimeout(load, 0); });
})();
