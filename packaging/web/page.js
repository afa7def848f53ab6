// The page around the game: the picture scaled by whole numbers, the cover
// that waits for the gesture browsers want before sound, the game's keys kept
// from the page, the screenshot offered as a download, and what is said when
// the game ends or cannot run. window.quillmoor tells a test or a benchmark
// how far the page is: state is 'loading', 'ready' (waiting for the gesture),
// 'playing', 'ended' or 'failed'; firstFrame is performance.now() at the first
// drawn frame of play.
(function () {
  'use strict';
  var canvas = document.getElementById('canvas');
  var cover = document.getElementById('cover'), coverText = document.getElementById('cover-text');
  var note = document.getElementById('note'), noteText = document.getElementById('note-text');
  var page = (window.quillmoor = {state: 'loading', firstFrame: null, downloads: []});

  function say(text) {
    noteText.textContent = text;
    note.classList.remove('off');
  }
  function fail(text) {
    page.state = 'failed';
    cover.classList.add('off');
    say(text);
  }

  // The largest whole multiple of 640x480 that fits the window, or the screen
  // in full screen; a plain fit when even one does not.
  function fit() {
    var room = Math.min(window.innerWidth / 640, window.innerHeight / 480);
    var scale = room >= 1 ? Math.floor(room) : room;
    canvas.style.width = Math.floor(640 * scale) + 'px';
    canvas.style.height = Math.floor(480 * scale) + 'px';
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();

  // The game is built with WebAssembly's SIMD: a module of one SIMD
  // instruction tells whether this browser has it.
  var simd = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10,
                             1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.validate !== 'function' ||
      !WebAssembly.validate(simd)) {
    fail('This browser cannot run the game\'s WebAssembly. A current Chromium, Firefox or Safari can.');
    return;
  }

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

  // The first frame of play: the first picture that is not all black.
  var probe = document.createElement('canvas').getContext('2d', {willReadFrequently: true});
  probe.canvas.width = 64;
  probe.canvas.height = 48;
  function watchFirstFrame() {
    if (page.state !== 'playing') return;
    probe.drawImage(canvas, 0, 0, 64, 48);
    var px = probe.getImageData(0, 0, 64, 48).data;
    for (var i = 0; i < px.length; i += 4)
      if (px[i] | px[i + 1] | px[i + 2]) {
        page.firstFrame = performance.now();
        return;
      }
    requestAnimationFrame(watchFirstFrame);
  }

  function start(e) {
    if (page.state !== 'ready') return;
    if (e) e.preventDefault();
    page.state = 'playing';
    cover.classList.add('off');
    canvas.focus();
    requestAnimationFrame(watchFirstFrame);
    try {
      Module.callMain([]);
    } catch (x) {
      if (!(x && x.name === 'ExitStatus')) throw x;
    }
  }
  cover.addEventListener('click', start);
  window.addEventListener('keydown', function (e) {
    if (page.state === 'ready' && !e.repeat) start(e);
  });

  function ended(code) {
    page.state = 'ended';
    coverText.textContent = code ? 'The game ended with an error. ' : 'The game has ended. ';
    var again = document.createElement('button');
    again.textContent = 'Play again';
    again.addEventListener('click', function () { location.reload(); });
    coverText.appendChild(again);
    cover.classList.remove('off');
    again.focus();
  }

  var Module = (window.Module = {
    canvas: canvas,
    noInitialRun: true,
    artStamp: document.body.dataset.art,
    print: function (text) { console.log(text); },
    // The game's own reports (a missing picture) are no page errors.
    printErr: function (text) { console.warn(text); },
    onRuntimeInitialized: function () {
      if (Module.store === 'unavailable')
        say('This browser keeps no storage for this page: the game makes its scaled pictures again at every visit.');
      page.state = 'ready';
      coverText.textContent = 'Click or press a key to start';
    },
    onExit: ended,
    onAbort: function () { fail('The game stopped with an error. Reload the page to play again.'); },
    showMessage: function (title, text) { say(title + ': ' + text); },
    // Left Ctrl+F: the game shows its screen full, or in its window again.
    fullScreen: function (on) {
      var stage = document.getElementById('stage');
      if (on && !document.fullscreenElement && stage.requestFullscreen)
        stage.requestFullscreen().catch(function () {}); // refused: the game plays on in the page
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
  });

  var script = document.createElement('script');
  script.src = 'quillmoor.js';
  script.onerror = function () { fail('The game could not be loaded. Reload the page to try again.'); };
  document.body.appendChild(script);
})();
