// The web platform's files, on the page's side (linked with --pre-js). The
// game's folder lives in the browser's memory (emscripten's file system); what
// the game puts in place there is reported, and the scaled copies of the art
// (and the decoded rows the game keeps beside them) are kept in IndexedDB and
// put back before the next visit starts, so that it starts warm.
//
// The page sets, before this runs:
//   Module.artStamp      names the art the copies are made from: copies stored
//                        from other art are dropped, not put back
//   Module.onFileWritten (path, bytes) after the game put a file in place
// and reads:
//   Module.store         'ready', or 'unavailable' (no IndexedDB: copies are
//                        made at every visit)
//   Module.restored      the paths of the copies put back
//   Module.written       the paths of the files the game put in place
//   Module.storing       writes to IndexedDB still under way
(function () {
  var DB_NAME = 'quillmoor', STORE = 'copies';
  var kept = /^\/see\/([^/]+_x4\.png|pictures\.cache)$/;
  var db = null;
  Module['store'] = 'opening';
  Module['restored'] = [];
  Module['written'] = [];
  Module['storing'] = 0;

  function openStore() {
    return new Promise(function (resolve) {
      var request;
      try {
        request = indexedDB.open(DB_NAME, 1); // may throw where storage is disabled
      } catch (e) {
        return resolve(null); // no IndexedDB at all, or refused for this page
      }
      request.onupgradeneeded = function () { request.result.createObjectStore(STORE); };
      request.onsuccess = function () { resolve(request.result); };
      request.onerror = function (e) { e.preventDefault(); resolve(null); };
      request.onblocked = function () { resolve(null); };
    });
  }

  // Puts back every copy made from this art; drops the others.
  function restore(store) {
    return new Promise(function (resolve) {
      var tx = store.transaction(STORE, 'readwrite'), copies = tx.objectStore(STORE);
      var cursor = copies.openCursor();
      cursor.onsuccess = function () {
        var at = cursor.result;
        if (!at) return;
        var entry = at.value;
        if (entry && entry.stamp === Module['artStamp'] && entry.bytes instanceof Uint8Array &&
            kept.test(at.key)) {
          FS.mkdirTree(PATH.dirname(at.key));
          FS.writeFile(at.key, entry.bytes);
          Module['restored'].push(at.key);
        } else {
          at.delete();
        }
        at.continue();
      };
      tx.oncomplete = tx.onerror = tx.onabort = function () { resolve(); };
    });
  }

  function keep(path, bytes) {
    if (!db) return;
    Module['storing']++;
    var done = function () { Module['storing']--; };
    try {
      var tx = db.transaction(STORE, 'readwrite');
      tx.objectStore(STORE).put({stamp: Module['artStamp'], bytes: bytes}, path);
      tx.oncomplete = done;
      tx.onerror = tx.onabort = function (e) { if (e) e.preventDefault(); done(); };
    } catch (e) {
      done(); // a full or closed store: the copy is made again next time
    }
  }

  // Every file the game writes reaches its name by a rename from a temporary
  // file beside it (never half written), so a rename is a file put in place.
  function fileWritten(path) {
    path = PATH_FS.resolve(FS.cwd(), path); // the game names its files from its folder
    var bytes;
    try {
      bytes = FS.readFile(path);
    } catch (e) {
      return;
    }
    Module['written'].push(path);
    if (kept.test(path)) keep(path, bytes);
    if (Module['onFileWritten']) Module['onFileWritten'](path, bytes);
  }

  Module['preRun'] = Module['preRun'] || [];
  Module['preRun'].push(function () {
    // Frames are drawn into the canvas's 2D context by SDL's software
    // renderer: the same pixels on every machine, with or without a GPU.
    ENV['SDL_RENDER_DRIVER'] = 'software';
    // The game's own sleep, once a frame, is the only one: SDL would also
    // sleep after showing each frame.
    ENV['SDL_EMSCRIPTEN_ASYNCIFY'] = '0';
    var rename = FS.rename;
    FS.rename = function (from, to) {
      rename(from, to);
      fileWritten(to);
    };
    addRunDependency('quill-store');
    openStore()
      .then(function (store) {
        db = store;
        Module['store'] = store ? 'ready' : 'unavailable';
        return store ? restore(store) : null;
      })
      .catch(function () { Module['store'] = 'unavailable'; })
      .then(function () { removeRunDependency('quill-store'); });
  });
})();
