// The web platform's files, on the page's side (linked with --pre-js). The
// game's folder lives in the browser's memory (emscripten's file system); what
// the game puts in place there is reported, and what belongs to this browser
// is kept in IndexedDB and put back before the next visit starts: the scaled
// copies of the art and the decoded rows the game keeps beside them (so that
// it starts warm), the first hint's mark (so that the hint shows once), and
// whether the player left the sound muted.
//
// The page sets, before this runs:
//   Module.artStamp      names the art the copies are made from: copies stored
//                        from other art are dropped, not put back
//   Module.onFileWritten (path, bytes) after the game put a file in place
// and reads:
//   Module.store         'ready', or 'unavailable' (no IndexedDB: copies are
//                        made at every visit)
//   Module.restored      the paths of the files put back
//   Module.written       the paths of the files the game put in place
//   Module.storing       writes to IndexedDB still under way
//   Module.settings      {muted: 0 or 1} as the player last left it
//   Module.keepSetting(name, value)  keeps a setting for the next visit
(function () {
  var DB_NAME = 'quillmoor', STORE = 'copies';
  var copy = /^\/see\/([^/]+)_x4\.png$/, ROWS = '/see/pictures.cache';
  var MARK = 'played', MARK_BYTES = 4096; // the first hint's mark, wherever the game keeps it
  var db = null;
  Module['store'] = 'opening';
  Module['restored'] = [];
  Module['written'] = [];
  Module['storing'] = 0;
  Module['settings'] = {muted: 0};

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

  // For each picture the art has (see/NAME.png), the most bytes a PNG of it
  // scaled by four can take, its pixels stored without compression; and for
  // the decoded rows, those of every picture and its copy, four bytes a
  // pixel, with room for their names and sizes.
  var bounds = null, rowsBound = 0;
  function copyBounds() {
    bounds = Object.create(null);
    rowsBound = 4096;
    var names = [];
    try {
      names = FS.readdir('/see');
    } catch (e) {
      return; // no art: no copy belongs
    }
    names.forEach(function (file) {
      var m = /^(.+)\.png$/.exec(file);
      if (!m || copy.test('/see/' + file)) return;
      var header = FS.readFile('/see/' + file).subarray(16, 24); // IHDR's width and height
      if (header.length < 8) return;
      var view = new DataView(header.buffer, header.byteOffset, 8);
      var width = view.getUint32(0), height = view.getUint32(4);
      var raw = (16 * width + 1) * 4 * height;
      bounds[m[1]] = raw + raw / 64 + 4096;
      rowsBound += 68 * width * height + 1024;
    });
  }

  // What may be put back under this key: bytes to write, a setting, or null.
  function belongs(key, entry) {
    if (!entry || typeof key !== 'string') return null;
    if (key === 'setting:muted') return entry.value === 0 || entry.value === 1 ? entry : null;
    if (!(entry.bytes instanceof Uint8Array)) return null;
    var m = copy.exec(key);
    if (m || key === ROWS)
      return entry.stamp === Module['artStamp'] && bounds &&
        entry.bytes.length <= (m ? bounds[m[1]] || 0 : rowsBound) ? entry : null;
    if (PATH.basename(key) === MARK && PATH.normalize(key) === key && key[0] === '/' &&
        entry.bytes.length <= MARK_BYTES)
      return entry;
    return null;
  }

  // Puts back every entry that belongs to this game and art; drops the others.
  function restore(store) {
    copyBounds();
    return new Promise(function (resolve) {
      var tx = store.transaction(STORE, 'readwrite'), entries = tx.objectStore(STORE);
      var cursor = entries.openCursor();
      cursor.onsuccess = function () {
        var at = cursor.result;
        if (!at) return;
        var entry = belongs(at.key, at.value);
        if (!entry) {
          at.delete();
        } else if (entry.bytes) {
          FS.mkdirTree(PATH.dirname(at.key));
          FS.writeFile(at.key, entry.bytes);
          Module['restored'].push(at.key);
        } else {
          Module['settings'][at.key.slice(8)] = entry.value;
        }
        at.continue();
      };
      tx.oncomplete = tx.onerror = tx.onabort = function () { resolve(); };
    });
  }

  function keep(key, value) {
    if (!db) return;
    Module['storing']++;
    var done = function () { Module['storing']--; };
    try {
      var tx = db.transaction(STORE, 'readwrite');
      tx.objectStore(STORE).put(value, key);
      tx.oncomplete = done;
      tx.onerror = tx.onabort = function (e) { if (e) e.preventDefault(); done(); };
    } catch (e) {
      done(); // a full or closed store: made again next time
    }
  }

  Module['keepSetting'] = function (name, value) {
    Module['settings'][name] = value;
    keep('setting:' + name, {value: value});
  };

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
    var value = {stamp: Module['artStamp'], bytes: bytes};
    if (belongs(path, value)) keep(path, value);
    if (Module['onFileWritten']) Module['onFileWritten'](path, bytes);
  }

  Module['preRun'] = Module['preRun'] || [];
  Module['preRun'].push(function () {
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
