// The game in a real browser: Debian's chromium, headless, driven by
// playwright-core (which never downloads a browser of its own), on a server
// bound to 127.0.0.1 that this test starts and stops. Keys and touches are
// held as a player holds them: across two of the game's sleeps, so a frame
// has seen them, or until their effect shows.
//
//   node tests/web/browser_test.mjs build-web/site [PART...]
// PARTs (all when none is named): desktop touch offline faults
import { chromium } from 'playwright-core';
import { serveSite } from './serve.mjs';
import { chromiumArgs } from './chromium_args.mjs';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const site = path.resolve(process.argv[2] || 'build-web/site');
const parts = process.argv.slice(3);
const LIMIT_MS = 60000; // for any one thing to happen, on a loaded machine
const TOTAL_MS = 480000; // for the whole test

let failures = 0, passes = 0;
function check(ok, what) {
  if (ok) passes++;
  else failures++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
}


const server = await serveSite(site);
const temporary = [];
const watchdog = setTimeout(() => {
  console.log(`FAIL the test took longer than ${TOTAL_MS / 1000} s`);
  process.exit(1);
}, TOTAL_MS);

async function until(what, fn, limit = LIMIT_MS) {
  const end = Date.now() + limit;
  for (;;) {
    const value = await fn();
    if (value) return value;
    if (Date.now() > end) throw new Error(`waited ${limit / 1000} s for ${what}`);
    await new Promise((r) => setTimeout(r, 25));
  }
}

// A browser of its own, on an empty profile, and its first page, whose page
// errors and console errors are gathered, and which fetches nothing from
// elsewhere.
async function launch(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-chromium-'));
  temporary.push(profile);
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', args: chromiumArgs, acceptDownloads: true, ...options});
  const page = context.pages()[0] || (await context.newPage());
  const seen = {errors: [], pageErrors: [], elsewhere: []};
  page.on('console', (m) => { if (m.type() === 'error') seen.errors.push(m.text()); });
  page.on('pageerror', (e) => seen.pageErrors.push(String(e)));
  page.on('request', (r) => { if (!r.url().startsWith(server.url)) seen.elsewhere.push(r.url()); });
  return {context, page, seen};
}
function clean(seen, what) {
  const errors = [...seen.pageErrors, ...seen.errors];
  check(errors.length === 0, `${what}: no page or console errors${errors.length ? ': ' + errors.join(' | ') : ''}`);
  check(seen.elsewhere.length === 0, `${what}: nothing fetched from elsewhere ${seen.elsewhere.join(' ')}`);
}

// What a page shows and does, as the tests ask it.
function player(page) {
  const p = {page};
  p.state = () => page.evaluate(() => window.quillmoor.state);
  p.sleeps = () => page.evaluate(() => (window.Module && Module.sleeps) || 0);
  // The canvas as RGBA bytes at its own size (carried as base64, which is quick).
  p.canvas = async () => {
    const [w, h, text] = await page.evaluate(() => {
      const c = document.getElementById('canvas');
      const data = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let text = '';
      for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
      return [c.width, c.height, btoa(text)];
    });
    return {w, h, data: Buffer.from(text, 'base64')};
  };
  // Waits for frames: n more of the game's sleeps.
  p.frames = async (n) => {
    const from = await p.sleeps();
    await until(`${n} frames`, async () => (await p.sleeps()) >= from + n);
  };
  // A key held until two of the game's sleeps passed and, if given, done() holds.
  p.hold = async (key, done = null) => {
    await page.keyboard.down(key);
    const from = await p.sleeps();
    try {
      await until(`${key} to be seen`, async () => (await p.sleeps()) >= from + 2 && (!done || (await done())));
    } finally {
      await page.keyboard.up(key);
    }
  };
  // The world stands still while nothing is held and no caption changes.
  p.still = async () => {
    let before = await p.canvas();
    return until('a still picture', async () => {
      await new Promise((r) => setTimeout(r, 150));
      const now = await p.canvas();
      const same = differing(before, now) === 0;
      before = now;
      return same && now;
    });
  };
  p.start = async (how = () => page.click('#play')) => {
    await until('the Play button', async () => (await p.state()) === 'ready');
    await how();
    await until('the first frame of play', () => page.evaluate(() => window.quillmoor.firstFrame));
  };
  p.captionShown = async () => share(await p.canvas(), 0, 0, 64) > 2000 / (640 * 480);
  return p;
}
function differing(a, b) {
  if (a.w !== b.w || a.h !== b.h) return a.w * a.h;
  let n = 0;
  for (let i = 0; i < a.data.length; i += 4)
    n += a.data[i] !== b.data[i] || a.data[i + 1] !== b.data[i + 1] || a.data[i + 2] !== b.data[i + 2];
  return n;
}
function count(shot, r, g, b, fromRow = 0) {
  let n = 0;
  for (let i = fromRow * shot.w * 4; i < shot.data.length; i += 4)
    n += shot.data[i] === r && shot.data[i + 1] === g && shot.data[i + 2] === b;
  return n;
}
// The share of the picture in that colour, whatever the canvas's size.
const share = (shot, r, g, b, fromRow = 0) => count(shot, r, g, b, fromRow) / (shot.w * shot.h);
// The top of the figure (its skin's colour) as a share of the picture's height.
function figureTop(shot) {
  for (let y = 0; y < shot.h; y++)
    for (let x = 0; x < shot.w; x++) {
      const i = 4 * (y * shot.w + x);
      if (shot.data[i] === 242 && shot.data[i + 1] === 194 && shot.data[i + 2] === 152) return y / shot.h;
    }
  return 1;
}
const rect = (page, selector) => page.evaluate((s) => {
  const r = document.querySelector(s).getBoundingClientRect();
  return {x: r.x, y: r.y, w: r.width, h: r.height};
}, selector);
const overlaps = (a, b) => a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
// The entries of the page's store: key and size.
const storeEntries = (page) => page.evaluate(() => new Promise((done) => {
  const open = indexedDB.open('quillmoor');
  open.onsuccess = () => {
    const all = [];
    const tx = open.result.transaction('copies', 'readonly');
    tx.objectStore('copies').openCursor().onsuccess = (e) => {
      const at = e.target.result;
      if (!at) return;
      all.push([at.key, at.value && at.value.bytes ? at.value.bytes.length : -1]);
      at.continue();
    };
    tx.oncomplete = () => { open.result.close(); done(all); };
  };
}));

// ---- A desktop browser with a keyboard ----

async function desktop() {
  const {context, page, seen} = await launch({viewport: {width: 1700, height: 1000}});
  const p = player(page);
  try {
    await page.goto(server.url);
    await until('the Play button', async () => (await p.state()) === 'ready');
    const cover = await page.evaluate(() => ({
      title: document.querySelector('#cover h1').textContent, tagline: document.querySelector('.tagline').textContent,
      still: document.getElementById('still').complete && getComputedStyle(document.getElementById('still')).display,
      pad: getComputedStyle(document.getElementById('pad')).display}));
    check(cover.title === 'Quillmoor' && cover.tagline.length > 20 && cover.still === 'block' && cover.pad === 'none',
      `the first view: the still behind Play, the name and a line; no touch controls (${JSON.stringify(cover)})`);
    await p.start();
    const first = await p.canvas();
    check(first.w === 640 && first.h === 480 && share(first, 0, 0, 64, 400) > 0.02,
      'a first visit shows the first hint at the bottom of the picture (640x480 canvas, scaled twice)');
    await p.hold('ArrowLeft', async () => share(await p.canvas(), 0, 0, 64, 400) === 0); // a key ends the hint
    const meadow = await p.still();
    check(count(meadow, 0, 0, 0) < 640 * 480 / 2, 'after the start the canvas shows the meadow');
    const made = await page.evaluate(() => ({restored: Module.restored.length,
      made: Module.written.filter((f) => f.endsWith('_x4.png')).length, store: Module.store}));
    check(made.store === 'ready' && made.restored === 0 && made.made >= 45,
      `a first visit makes the scaled copies (${made.made} made, ${made.restored} restored, storage ${made.store})`);

    // Right for at least half a second: the figure walks and the world moves.
    const t0 = Date.now();
    await p.hold('ArrowRight', async () => Date.now() - t0 >= 500 && differing(meadow, await p.canvas()) > 2000);
    check(differing(meadow, await p.still()) > 2000, 'holding Right for half a second moves the world');
    check((await page.evaluate(() => window.scrollY)) === 0, 'the arrows do not scroll the page');

    // F1: the hint caption, in white on the caption box; Space dismisses it.
    await p.hold('F1');
    await until('the hint caption', p.captionShown);
    check(count(await p.canvas(), 255, 255, 255) > 100, 'F1 shows the hint caption');
    await until('the caption to go', async () => { await p.hold('Space'); return !(await p.captionShown()); });

    // F5: the version card (its red and green lines), and the page stays.
    await page.evaluate(() => { window.notReloaded = true; });
    await p.hold('F5');
    await until('the version card', p.captionShown);
    const card = await p.canvas();
    check(count(card, 255, 0, 0) > 50 && count(card, 0, 255, 0) > 50, 'F5 shows the version card');
    check(await page.evaluate(() => window.notReloaded === true && window.quillmoor.state === 'playing'),
      'F5 does not reload the page');
    await until('the card to go', async () => { await p.hold('Space'); return !(await p.captionShown()); });

    // Tab: a download of the screenshot, a 640x480 24-bit BMP of what the canvas shows.
    const shown = await p.still();
    const [download] = await Promise.all([page.waitForEvent('download', {timeout: LIMIT_MS}), p.hold('Tab')]);
    const name = download.suggestedFilename();
    const bmp = fs.readFileSync(await download.path());
    let same = false;
    if (bmp.length >= 54 && bmp.toString('latin1', 0, 2) === 'BM' && bmp.readInt32LE(18) === 640 &&
        Math.abs(bmp.readInt32LE(22)) === 480 && bmp.readUInt16LE(28) === 24) {
      const at = bmp.readUInt32LE(10), bottomUp = bmp.readInt32LE(22) > 0;
      same = true;
      for (let y = 0; y < 480 && same; y++) {
        const row = at + (bottomUp ? 479 - y : y) * 1920;
        for (let x = 0; x < 640; x++) {
          const i = (y * 640 + x) * 4, q = row + 3 * x;
          if (shown.data[i] !== bmp[q + 2] || shown.data[i + 1] !== bmp[q + 1] || shown.data[i + 2] !== bmp[q]) {
            same = false;
            break;
          }
        }
      }
    }
    check(/^screen\d+\.bmp$/.test(name) && same,
      `Tab gives a download of a 640x480 BMP equal to the canvas (${name}, ${bmp.length} bytes)`);
    check((await page.evaluate(() => document.activeElement && document.activeElement.id)) === 'canvas',
      'Tab does not move the focus');

    // M mutes, and the browser keeps it.
    await p.hold('KeyM');
    await until('the sound muted', () => page.evaluate(() => Module.settings.muted === 1));
    check(await page.evaluate(() => document.getElementById('mute').getAttribute('aria-pressed') === 'true'),
      'M mutes the sound and the page shows it');

    // A hidden page stops its frames, its sound and its clock; shown again it
    // goes on, with no burst of frames.
    await page.evaluate(() => {
      window.pageHidden = false;
      Object.defineProperty(document, 'hidden', {configurable: true, get: () => window.pageHidden});
      Object.defineProperty(document, 'visibilityState', {configurable: true,
        get: () => (window.pageHidden ? 'hidden' : 'visible')});
      window.setHidden = (h) => { window.pageHidden = h; document.dispatchEvent(new Event('visibilitychange')); };
    });
    await until('the sound to be running', () => page.evaluate(() => Module.SDL2.audioContext.state === 'running'));
    const before = await page.evaluate(() => {
      setHidden(true);
      return {clock: Module.pageClock(), now: performance.now(), frames: window.quillmoor.frames};
    });
    await new Promise((r) => setTimeout(r, 300)); // a frame under way when the page hid ends
    const hiddenFrames = await page.evaluate(() => window.quillmoor.frames);
    await new Promise((r) => setTimeout(r, 1200));
    const hidden = await page.evaluate(() => ({frames: window.quillmoor.frames, audio: Module.SDL2.audioContext.state,
      clock: Module.pageClock(), now: performance.now()}));
    check(hidden.frames === hiddenFrames && hidden.frames - before.frames <= 2 && hidden.audio === 'suspended' &&
      hidden.clock - before.clock < 20 && hidden.now - before.now > 1000,
      `a hidden page draws no frame, suspends its sound and stops its clock (${JSON.stringify({before, hidden})})`);
    const shownAt = await page.evaluate(() => { setHidden(false); return window.quillmoor.frames; });
    await new Promise((r) => setTimeout(r, 200));
    const after = await page.evaluate(() => ({frames: window.quillmoor.frames, audio: Module.SDL2.audioContext.state}));
    check(after.frames > shownAt && after.frames - shownAt <= 20 && after.audio === 'running',
      `shown again, the game goes on at its pace with its sound (${after.frames - shownAt} frames in 0.2 s, ${after.audio})`);

    // At 1366x768: every control named without scrolling; left Ctrl and F
    // pressed and let go together switch to the full screen and back, the
    // picture there at the sharp fit, 1024x768.
    await page.setViewportSize({width: 1366, height: 768});
    const side = await page.evaluate(() => {
      const rows = [...document.querySelectorAll('#side tr')].map((r) => r.getBoundingClientRect().bottom);
      return {last: Math.max(...rows), rows: rows.length, text: document.getElementById('side').innerText,
        scrolls: document.scrollingElement.scrollHeight > innerHeight};
    });
    check(side.last <= 768 && !side.scrolls && /\bW\b/.test(side.text) && /\bM\b/.test(side.text) &&
      /touch controls/.test(side.text), `at 1366x768 all the controls show without scrolling (${JSON.stringify({...side, text: undefined})})`);
    for (const [want, keys] of [[true, ['ControlLeft', 'KeyF']], [false, ['KeyF', 'ControlLeft']]]) {
      await Promise.all(keys.map((k) => page.keyboard.down(k)));
      await p.frames(2);
      await Promise.all(keys.map((k) => page.keyboard.up(k)));
      await until(`full screen ${want ? 'on' : 'off'}`,
        async () => (await page.evaluate(() => !!document.fullscreenElement)) === want);
      if (want) {
        await p.frames(2);
        const fit = await page.evaluate(() => {
          const r = document.getElementById('picture').getBoundingClientRect(), c = document.getElementById('canvas');
          return [r.width, r.height, c.width, c.height].join('x');
        });
        check(fit === '1024x768x1024x768', `left Ctrl+F pressed together: the full screen at 1366x768 shows 1024x768 (${fit})`);
      }
    }
    check(true, 'left Ctrl+F pressed together, F first, goes back to the page');

    // A reload starts from the stored copies, makes none anew, shows no first
    // hint and starts muted (M then unmutes).
    await until('the copies to be stored', () => page.evaluate(() => Module.storing === 0));
    await page.setViewportSize({width: 1700, height: 1000});
    await page.reload();
    await p.start();
    const hintAgain = share(await p.canvas(), 0, 0, 64, 400);
    await p.still();
    const second = await page.evaluate(() => ({restored: Module.restored,
      made: Module.written.filter((f) => f.endsWith('_x4.png')).length,
      muted: document.getElementById('mute').getAttribute('aria-pressed')}));
    check(second.restored.length >= 46 && second.restored.includes('/played') && second.made === 0 && hintAgain === 0,
      `a second visit uses the stored copies, makes none anew, and shows no first hint (${second.restored.length} restored, ${second.made} made)`);
    await p.hold('KeyM');
    await until('the sound back', () => page.evaluate(() => Module.settings.muted === 0));
    check(second.muted === 'true', 'the second visit starts muted, and M unmutes it');

    // A damaged stored copy is made again, and only that one.
    await until('the setting to be stored', () => page.evaluate(() => Module.storing === 0));
    await page.evaluate(() => new Promise((done) => {
      const open = indexedDB.open('quillmoor');
      open.onsuccess = () => {
        const tx = open.result.transaction('copies', 'readwrite'), copies = tx.objectStore('copies');
        const get = copies.get('/see/sir0_x4.png');
        get.onsuccess = () => copies.put({...get.result, bytes: get.result.bytes.slice(0, 100)}, '/see/sir0_x4.png');
        tx.oncomplete = () => { open.result.close(); done(); };
      };
    }));
    await page.reload();
    await p.start(() => page.keyboard.press('KeyX')); // any key starts, as a click does
    await p.still();
    const third = await page.evaluate(() => Module.written.filter((f) => f.endsWith('_x4.png')));
    check(third.length === 1 && third[0] === '/see/sir0_x4.png',
      `a damaged stored copy is made again, and only that one (${third.join(' ')})`);

    // Escape ends the game; the page says so and offers another.
    await p.hold('Escape', async () => (await p.state()) === 'ended');
    const text = await page.textContent('#failure');
    check(/ended/.test(text) && /Play again/.test(text), `Escape ends the game and the page says so ("${text}")`);
    clean(seen, 'desktop');
  } finally {
    await context.close();
  }
}

// ---- A phone, by touch alone ----

// Fingers through the browser's own touch events (CDP), as a touch screen
// sends them; each finger at the centre of a button or at a point.
async function fingers(page) {
  const cdp = await page.context().newCDPSession(page);
  const at = async (where) => {
    if (typeof where !== 'string') return where;
    const r = await rect(page, where);
    return {x: r.x + r.w / 2, y: r.y + r.h / 2};
  };
  const down = {};
  const send = (type) => cdp.send('Input.dispatchTouchEvent', {type,
    touchPoints: Object.entries(down).map(([id, p]) => ({x: p.x, y: p.y, id: Number(id)}))});
  return {
    async press(id, where) { down[id] = await at(where); await send('touchStart'); },
    async move(id, where) { down[id] = await at(where); await send('touchMove'); },
    // An end names the fingers let go.
    async release(id) {
      const p = down[id];
      delete down[id];
      await cdp.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: [{x: p.x, y: p.y, id}]});
    },
    cdp,
  };
}
const button = (name) => `[aria-label="${name}"]`;

async function touch(width, height, route) {
  const what = `touch ${width}x${height}`;
  const {context, page, seen} = await launch({viewport: {width, height}, hasTouch: true, isMobile: true,
    deviceScaleFactor: 3});
  const p = player(page);
  try {
    await page.goto(server.url);
    await p.start(async () => {
      const r = await rect(page, '#play');
      await page.touchscreen.tap(r.x + r.w / 2, r.y + r.h / 2);
    });
    const picture = await rect(page, '#picture');
    const names = ['Walk left', 'Walk right', 'Jump', 'Crouch', 'Act', 'Hint', 'Full screen', 'Screenshot', 'Mute', 'Quit'];
    const boxes = [];
    for (const n of names) boxes.push([n, await page.evaluate((s) => {
      const b = [...document.querySelectorAll('button')].find((e) => (e.getAttribute('aria-label') || e.textContent) === s);
      const r = b && b.getBoundingClientRect();
      return r && {x: r.x, y: r.y, w: r.width, h: r.height};
    }, n)]);
    const placed = boxes.every(([, b]) => b && b.w >= 32 && b.h >= 32 && b.x >= 0 && b.y >= 0 &&
      b.x + b.w <= width && b.y + b.h <= height && !overlaps(b, picture));
    check(placed, `${what}: the touch controls show, named, on the screen and clear of the picture ` +
      `(${JSON.stringify(picture)}; ${boxes.filter(([, b]) => !b || overlaps(b, picture)).map(([n]) => n).join(', ')})`);
    const fit = await page.evaluate(() => window.quillmoor.fit);
    const even = fit.w % 640 === 0 ? fit.w / 640 : 0;
    check(fit.ratio === 3 && (even >= 2 ? fit.frameW === 640 : fit.frameW === fit.w) &&
      Math.abs(picture.w * 3 - fit.w) < 1, `${what}: the picture is fitted in the device's pixels (${JSON.stringify(fit)})`);

    const f = await fingers(page);
    // Holding Right walks; a finger that slides from Crouch onto Right walks too.
    for (const start of [button('Walk right'), button('Crouch')]) {
      const still = await p.still();
      await f.press(1, start);
      if (start !== button('Walk right')) {
        await p.frames(3);
        await f.move(1, button('Walk right'));
      }
      await p.frames(2);
      await until('the world to move', async () => differing(still, await p.canvas()) > still.w * still.h / 50);
      await f.release(1);
      check(true, `${what}: ${start === button('Walk right') ? 'holding Right' : 'sliding from Crouch onto Right'} walks`);
    }
    // Two fingers: walk and jump at once.
    const ground = await p.still();
    await f.press(1, button('Walk right'));
    await f.press(2, button('Jump'));
    let rose = false;
    await until('a jump while walking', async () => {
      const now = await p.canvas();
      rose = figureTop(now) < figureTop(ground) - 0.1;
      return rose && differing(ground, now) > ground.w * ground.h / 50;
    });
    await f.release(2);
    await f.release(1);
    check(rose, `${what}: two fingers walk and jump at once`);

    // Neither pinching, swiping nor a double tap moves or zooms the page,
    // beside the picture (whose canvas takes its touches for itself).
    const mid = {x: picture.x + picture.w / 2, y: picture.y / 2};
    await f.press(1, {x: mid.x - 20, y: mid.y});
    await f.press(2, {x: mid.x + 20, y: mid.y});
    for (let i = 1; i <= 5; i++) {
      await f.move(1, {x: mid.x - 20 - 15 * i, y: mid.y - 10 * i});
      await f.move(2, {x: mid.x + 20 + 15 * i, y: mid.y + 10 * i});
    }
    await f.release(2);
    await f.release(1);
    await page.touchscreen.tap(mid.x, mid.y);
    await page.touchscreen.tap(mid.x, mid.y);
    await p.frames(3);
    const view = await page.evaluate(() => ({scroll: window.scrollY + window.scrollX, scale: visualViewport.scale,
      menu: document.getElementById('room').dispatchEvent(new MouseEvent('contextmenu', {bubbles: true, cancelable: true}))}));
    check(view.scroll === 0 && view.scale === 1 && !view.menu,
      `${what}: the page neither scrolls, zooms nor opens a long-press menu (${JSON.stringify(view)})`);

    // A key hides the controls; the next touch brings them back.
    await page.keyboard.press('Shift');
    const hiddenByKey = await page.evaluate(() => getComputedStyle(document.getElementById('pad')).display);
    await page.touchscreen.tap(mid.x, mid.y);
    const back = await page.evaluate(() => getComputedStyle(document.getElementById('pad')).display);
    check(hiddenByKey === 'none' && back !== 'none', `${what}: a key hides the touch controls, a touch brings them back`);

    if (route) await touchRoute(page, p, f, what);
    clean(seen, what);
  } finally {
    await context.close();
  }
}

// The route the keys take, by touch alone: Right to the rock pile, Act until
// it breaks, Right again to the shaft of sunlight and its caption; then the
// small buttons.
async function touchRoute(page, p, f, what) {
  const sunlight = async () => {
    const shot = await p.canvas();
    return share(shot, 0, 0, 64) > 0.005 && share(shot, 255, 255, 0) > 0.0005;
  };
  await f.press(1, button('Walk right'));
  let acts = 0;
  await until('the SUNLIGHT caption', async () => {
    await f.press(2, button('Act'));
    await p.frames(2);
    await f.release(2);
    acts++;
    return sunlight();
  }, 2 * LIMIT_MS);
  await f.release(1);
  check(true, `${what}: Act breaks the rock pile and Right reaches the SUNLIGHT caption by touch alone (${acts} acts)`);
  await until('the caption to go', async () => {
    await f.press(1, button('Act'));
    await p.frames(2);
    await f.release(1);
    return !(await p.captionShown());
  });

  const tapButton = async (name) => {
    const r = await page.evaluate((s) => {
      const b = [...document.querySelectorAll('button')].find((e) => e.textContent === s);
      const x = b.getBoundingClientRect();
      return {x: x.x + x.width / 2, y: x.y + x.height / 2};
    }, name);
    await page.touchscreen.tap(r.x, r.y);
  };
  await tapButton('Mute');
  await until('the sound to be muted', () => page.evaluate(() => Module.settings.muted === 1));
  check(true, `${what}: the Mute button mutes`);
  const [shot] = await Promise.all([page.waitForEvent('download', {timeout: LIMIT_MS}), tapButton('Screenshot')]);
  check(/^screen\d+\.bmp$/.test(shot.suggestedFilename()), `${what}: the Screenshot button offers the screenshot`);
  await tapButton('Full screen');
  await until('the full screen', () => page.evaluate(() => !!document.fullscreenElement));
  await p.frames(2);
  const full = await page.evaluate(() => {
    const r = document.getElementById('picture').getBoundingClientRect();
    return {w: r.width, h: r.height, pad: getComputedStyle(document.getElementById('pad')).display};
  });
  check(full.pad !== 'none', `${what}: the Full screen button shows the game full, with its controls (${JSON.stringify(full)})`);
  await tapButton('Full screen');
  await until('the page again', () => page.evaluate(() => !document.fullscreenElement));
  await tapButton('Quit');
  await p.frames(5);
  const asked = await p.state();
  await tapButton('End it');
  await until('the end', async () => (await p.state()) === 'ended');
  check(asked === 'playing', `${what}: Quit asks once, then ends the game`);
}

// ---- Offline, and a new build ----

// The site again as another version: the same files, its name and the
// service worker's cache name changed (and the page's hash with them).
function anotherBuild() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-site-'));
  temporary.push(dir);
  for (const name of fs.readdirSync(site)) fs.copyFileSync(path.join(site, name), path.join(dir, name));
  const index = fs.readFileSync(path.join(dir, 'index.html'), 'utf8').replace(/data-version="[^"]*"/, 'data-version="9.9.9"');
  fs.writeFileSync(path.join(dir, 'index.html'), index);
  const digest = crypto.createHash('sha256').update(index).digest('hex');
  const sw = fs.readFileSync(path.join(dir, 'sw.js'), 'utf8').replace(/quillmoor-[^-']+-/, 'quillmoor-9.9.9-')
    .replace(/'index.html': '[0-9a-f]+'/, `'index.html': '${digest}'`);
  fs.writeFileSync(path.join(dir, 'sw.js'), sw);
  return dir;
}

async function offline() {
  const {context, page, seen} = await launch({viewport: {width: 1280, height: 800}});
  const p = player(page);
  try {
    await page.goto(server.url);
    await until('the Play button', async () => (await p.state()) === 'ready');
    await until('the service worker', () => page.evaluate(() => !!navigator.serviceWorker.controller));
    const cache = await page.evaluate(async () => {
      const names = await caches.keys();
      return {names, files: names.length === 1 ? (await (await caches.open(names[0])).keys()).length : 0};
    });
    check(cache.names.length === 1 && cache.files === 11, `one visit keeps the site in one cache (${JSON.stringify(cache)})`);
    const manifest = await page.evaluate(async () => {
      const m = await (await fetch(document.querySelector('link[rel=manifest]').href)).json();
      const sizes = await Promise.all(m.icons.map((icon) => new Promise((done) => {
        const image = new Image();
        image.onload = () => done(`${icon.sizes}:${image.naturalWidth}x${image.naturalHeight}`);
        image.onerror = () => done(`${icon.sizes}:none`);
        image.src = icon.src;
      })));
      return {name: m.name, display: m.display, orientation: m.orientation, theme: m.theme_color, sizes};
    });
    check(manifest.name === 'Quillmoor' && manifest.display === 'fullscreen' && manifest.orientation &&
      manifest.theme && manifest.sizes.join() === '192x192:192x192,512x512:512x512',
      `the manifest names the game, its 192 and 512 pixel icons, the full screen (${JSON.stringify(manifest)})`);
    await context.setOffline(true);
    await page.reload();
    await p.start();
    check((await p.canvas()).data.some((v, i) => i % 4 !== 3 && v !== 0), 'offline after one visit, the game starts and draws');
    await context.setOffline(false);

    server.root = anotherBuild();
    await page.reload();
    // The page loads itself again once the new build is in place.
    await until('the new build', () => page.evaluate(async () => document.body.dataset.version === '9.9.9' &&
      window.quillmoor.state === 'ready').catch(() => false));
    const names = await page.evaluate(() => caches.keys());
    check(names.length === 1 && /^quillmoor-9\.9\.9-/.test(names[0]),
      `a build with another version replaces the cache whole (${names.join(' ')})`);
    clean({...seen, errors: seen.errors.filter((e) => !/ERR_INTERNET_DISCONNECTED|Failed to load resource/.test(e))},
      'offline');
  } finally {
    server.root = site;
    await context.close();
  }
}

// ---- Loading faults ----

async function faults() {
  const {context, page, seen} = await launch({viewport: {width: 1280, height: 800}, serviceWorkers: 'block'});
  const p = player(page);
  try {
    for (const part of ['quillmoor.data', 'quillmoor.wasm', 'quillmoor.js']) {
      await page.route(`**/${part}`, (route) => route.abort());
      await page.goto(server.url);
      await until('the failure', async () => (await p.state()) === 'failed');
      const said = await page.evaluate(() => ({text: document.getElementById('failure-text').textContent,
        retry: !document.getElementById('retry').hidden}));
      await page.unroute(`**/${part}`);
      await page.click('#retry');
      await p.start();
      check(/could not be downloaded/.test(said.text) && said.retry,
        `${part} refused: "${said.text}", and the retry loads the game`);
    }

    // A download that stalls (the server never answers) is given up after
    // 20 s without a byte, on the page's clock run ahead, and said.
    let stalled = null;
    await page.route('**/quillmoor.data', (route) => { stalled = route; });
    await page.clock.install();
    await page.goto(server.url);
    await until('the request for the data', () => stalled);
    await page.clock.fastForward(19000);
    const waiting = await p.state();
    await page.clock.fastForward(2000);
    await until('the stall to be said', async () => (await p.state()) === 'failed');
    const stall = await page.textContent('#failure-text');
    await page.unroute('**/quillmoor.data');
    await stalled.abort().catch(() => {});
    await page.click('#retry');
    await p.start();
    check(waiting === 'loading' && /download stopped/.test(stall),
      `a stalled download is given up after 20 s without a byte ("${stall}"), and the retry loads the game`);

    // A slow network: the bar advances.
    const cdp = await context.newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.setCacheDisabled', {cacheDisabled: true});
    await cdp.send('Network.emulateNetworkConditions',
      {offline: false, latency: 400, downloadThroughput: 40 * 1024, uploadThroughput: 40 * 1024});
    await page.goto(server.url, {waitUntil: 'commit'});
    const values = [];
    await until('the progress bar to advance', async () => {
      values.push(await page.evaluate(() => document.getElementById('progress') && document.getElementById('progress').value));
      const seenValues = [...new Set(values.filter((v) => v > 0))];
      return seenValues.length >= 3 && seenValues[2] > seenValues[0];
    });
    const text = await page.textContent('#progress-text');
    await cdp.send('Network.emulateNetworkConditions', {offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1});
    await cdp.send('Network.setCacheDisabled', {cacheDisabled: false});
    check(/Loading \d+\.\d of \d+\.\d MB/.test(text), `on a slow network the bar advances ("${text}")`);
    await until('the Play button', async () => (await p.state()) === 'ready');

    // A store with junk and an oversized copy in it keeps only the game's own
    // after a visit.
    await page.evaluate(() => new Promise((done) => {
      const open = indexedDB.open('quillmoor', 1);
      open.onupgradeneeded = () => open.result.createObjectStore('copies');
      open.onsuccess = () => {
        const tx = open.result.transaction('copies', 'readwrite'), copies = tx.objectStore('copies');
        const junk = new Uint8Array(64);
        for (let i = 0; i < 2000; i++) copies.put({stamp: document.body.dataset.art, bytes: junk}, `/see/junk${i}_x4.png`);
        copies.put({stamp: document.body.dataset.art, bytes: new Uint8Array(8 << 20)}, '/see/sir0_x4.png');
        copies.put({stamp: document.body.dataset.art, bytes: new Uint8Array(40 << 20)}, '/see/pictures.cache');
        copies.put({stamp: document.body.dataset.art, bytes: junk}, '/see/sir0_x4_x4.png');
        copies.put({stamp: 'other', bytes: junk}, '/see/sir1_x4.png');
        copies.put({value: 7}, 'setting:muted');
        copies.put({bytes: new Uint8Array(5000)}, '/played');
        tx.oncomplete = () => { open.result.close(); done(); };
      };
    }));
    await page.reload();
    await p.start();
    await until('the copies to be stored', () => page.evaluate(() => Module.storing === 0 &&
      Module.written.filter((f) => f.endsWith('_x4.png')).length >= 2));
    await p.frames(5);
    await until('the copies to be stored', () => page.evaluate(() => Module.storing === 0));
    const entries = await storeEntries(page);
    const odd = entries.filter(([key, size]) => !(/^\/see\/[a-z]+[0-9]?_x4\.png$/.test(key) && size > 0 && size < 200000) &&
      !(key === '/played' && size < 4096) && !(key === '/see/pictures.cache' && size > 0));
    check(entries.length >= 45 && entries.length <= 48 && odd.length === 0,
      `a store seeded with junk holds only the game's copies after a visit (${entries.length} entries; odd: ${JSON.stringify(odd.slice(0, 5))})`);
    clean({...seen, errors: seen.errors.filter((e) => !/Failed to load resource/.test(e))}, 'loading faults');
  } finally {
    await context.close();
  }
}

// Without WebAssembly, or without storage, the page says so plainly; without
// storage the game still plays.
async function bare() {
  const {context, page, seen} = await launch({viewport: {width: 1280, height: 800}, serviceWorkers: 'block'});
  try {
    await page.addInitScript(() => { delete window.WebAssembly; });
    await page.goto(server.url);
    const noWasm = await page.textContent('#failure-text');
    check(/cannot run the game's WebAssembly/.test(noWasm) &&
      (await page.evaluate(() => window.quillmoor.state)) === 'failed', `no WebAssembly: "${noWasm}"`);
    const forgetful = await context.newPage();
    forgetful.on('pageerror', (e) => seen.pageErrors.push(String(e)));
    await forgetful.addInitScript(() => {
      Object.defineProperty(window, 'indexedDB', {get() { throw new Error('storage disabled'); }});
    });
    await forgetful.goto(server.url);
    await player(forgetful).start();
    const noStore = await forgetful.textContent('#note');
    check(/keeps no storage/.test(noStore), `no storage: "${noStore}"`);
    clean(seen, 'no WebAssembly, no storage');
  } finally {
    await context.close();
  }
}

const all = {desktop, touch: async () => { await touch(390, 844, false); await touch(844, 390, true); },
  offline, faults, bare};
try {
  for (const [name, run] of Object.entries(all)) {
    if (parts.length && !parts.includes(name)) continue;
    const t = Date.now();
    try {
      await run();
    } catch (e) {
      check(false, `${name}: ${e.message}`);
    }
    console.log(`     (${name}: ${((Date.now() - t) / 1000).toFixed(1)} s)`);
  }
} finally {
  clearTimeout(watchdog);
  await server.close();
  for (const dir of temporary) fs.rmSync(dir, {recursive: true, force: true});
}
console.log(`${passes} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
