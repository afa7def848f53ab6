// The game in a real browser: Debian's chromium, headless, driven by
// playwright-core (which never downloads a browser of its own), on a server
// bound to 127.0.0.1 that this test starts and stops. Keys are held as a
// player holds them: across two of the game's sleeps, so a frame has seen
// them, or until their effect shows.
//
//   node tests/web/browser_test.mjs build-web/site
import { chromium } from 'playwright-core';
import { serveSite } from './serve.mjs';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const site = path.resolve(process.argv[2] || 'build-web/site');
const LIMIT_MS = 60000; // for any one thing to happen, on a loaded machine
const TOTAL_MS = 300000; // for the whole test

let failures = 0, passes = 0;
function check(ok, what) {
  if (ok) passes++;
  else failures++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
}

// The flags that keep chromium to this machine: no downloads of components,
// no background traffic the closed network would refuse.
export const chromiumArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
  '--no-first-run', '--disable-background-networking', '--disable-component-update',
  '--disable-sync'];

const server = await serveSite(site);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium', args: chromiumArgs, acceptDownloads: true,
  viewport: {width: 1280, height: 720}});
const watchdog = setTimeout(async () => {
  console.log(`FAIL the test took longer than ${TOTAL_MS / 1000} s`);
  process.exit(1);
}, TOTAL_MS);

const errors = [], elsewhere = [];
const page = context.pages()[0] || (await context.newPage());
page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
page.on('pageerror', (e) => errors.push(String(e)));
page.on('request', (r) => { if (!r.url().startsWith(server.url)) elsewhere.push(r.url()); });

async function until(what, fn, limit = LIMIT_MS) {
  const end = Date.now() + limit;
  for (;;) {
    const value = await fn();
    if (value) return value;
    if (Date.now() > end) throw new Error(`waited ${limit / 1000} s for ${what}`);
    await new Promise((r) => setTimeout(r, 25));
  }
}
const state = () => page.evaluate(() => window.quillmoor.state);
const sleeps = () => page.evaluate(() => Module.sleeps || 0);
// The canvas as RGBA bytes (carried as base64, which is quick).
const canvas = async () => Buffer.from(await page.evaluate(() => {
  const data = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 640, 480).data;
  let text = '';
  for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
  return btoa(text);
}), 'base64');
function differing(a, b) {
  let n = 0;
  for (let i = 0; i < a.length; i += 4) n += a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2];
  return n;
}
function count(pixels, r, g, b) {
  let n = 0;
  for (let i = 0; i < pixels.length; i += 4) n += pixels[i] === r && pixels[i + 1] === g && pixels[i + 2] === b;
  return n;
}
// A key held until at least two of the game's sleeps have passed (so a frame
// sampled it) and, when given, until done() holds.
async function hold(key, done = null) {
  await page.keyboard.down(key);
  const from = await sleeps();
  try {
    await until(`${key} to be seen`, async () => (await sleeps()) >= from + 2 && (!done || (await done())));
  } finally {
    await page.keyboard.up(key);
  }
}
// The caption box: its dark blue panel fills the middle of the screen.
const captionShown = async () => count(await canvas(), 0, 0, 64) > 2000;
// The world stands still while no key is held and no caption changes.
async function still() {
  let before = await canvas();
  return until('a still picture', async () => {
    await new Promise((r) => setTimeout(r, 150));
    const now = await canvas();
    const same = differing(before, now) === 0;
    before = now;
    return same && now;
  });
}
async function startGame() {
  await until('the cover to invite a start', async () => (await state()) === 'ready');
  await page.click('#cover');
  await until('the first frame of play', () => page.evaluate(() => window.quillmoor.firstFrame));
}

try {
  await page.goto(server.url);
  await startGame();
  const meadow = await still();
  check(count(meadow, 0, 0, 0) < 640 * 480 / 2, 'after the start gesture the canvas shows the meadow');
  const first = await page.evaluate(() => ({restored: Module.restored.length,
    made: Module.written.filter((p) => p.endsWith('_x4.png')).length, store: Module.store}));
  check(first.store === 'ready' && first.restored === 0 && first.made >= 45,
    `a first visit makes the scaled copies (${first.made} made, ${first.restored} restored, storage ${first.store})`);

  // Right for at least half a second: the figure walks and the world moves.
  const t0 = Date.now();
  await hold('ArrowRight', async () => Date.now() - t0 >= 500 && differing(meadow, await canvas()) > 2000);
  const walked = await still();
  check(differing(meadow, walked) > 2000, 'holding Right for half a second moves the world');
  check((await page.evaluate(() => window.scrollY)) === 0, 'the arrows do not scroll the page');

  // F1: the hint caption, in white on the caption box; Space dismisses it.
  await hold('F1');
  await until('the hint caption', captionShown);
  const hint = await canvas();
  check(count(hint, 255, 255, 255) > 100, 'F1 shows the hint caption');
  await until('the caption to go', async () => { await hold('Space'); return !(await captionShown()); });

  // F5: the version card (its red and green lines), and the page stays.
  await page.evaluate(() => { window.notReloaded = true; });
  await hold('F5');
  await until('the version card', captionShown);
  const card = await canvas();
  check(count(card, 255, 0, 0) > 50 && count(card, 0, 255, 0) > 50, 'F5 shows the version card');
  check(await page.evaluate(() => window.notReloaded === true && window.quillmoor.state === 'playing'),
    'F5 does not reload the page');
  await until('the card to go', async () => { await hold('Space'); return !(await captionShown()); });

  // Left Ctrl+F: the browser's full screen, and back; the game's keys work after.
  // Ctrl is held until the switch shows: the game acts when F is let go under it.
  for (const want of [true, false]) {
    await page.keyboard.down('ControlLeft');
    try {
      await hold('KeyF');
      await until(`full screen ${want ? 'on' : 'off'}`,
        async () => (await page.evaluate(() => !!document.fullscreenElement)) === want);
    } finally {
      await page.keyboard.up('ControlLeft');
    }
  }
  check(true, 'left Ctrl+F switches to the full screen and back');

  // Tab: a download of the screenshot, a 640x480 24-bit BMP of what the canvas shows.
  const shown = await still();
  const [download] = await Promise.all([page.waitForEvent('download', {timeout: LIMIT_MS}), hold('Tab')]);
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
        const p = (y * 640 + x) * 4, q = row + 3 * x;
        if (shown[p] !== bmp[q + 2] || shown[p + 1] !== bmp[q + 1] || shown[p + 2] !== bmp[q]) {
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

  // A reload starts from the stored copies and makes none anew.
  await until('the copies to be stored', () => page.evaluate(() => Module.storing === 0));
  await page.reload();
  await startGame();
  await still();
  const second = await page.evaluate(() => ({restored: Module.restored.length,
    made: Module.written.filter((p) => p.endsWith('_x4.png')).length}));
  check(second.restored >= 45 && second.made === 0,
    `a reload uses the stored copies and makes none anew (${second.restored} restored, ${second.made} made)`);

  // A damaged stored copy is made again, and only that one.
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
  await startGame();
  await still();
  const third = await page.evaluate(() => Module.written.filter((p) => p.endsWith('_x4.png')));
  check(third.length === 1 && third[0] === '/see/sir0_x4.png',
    `a damaged stored copy is made again, and only that one (${third.join(' ')})`);

  // Escape ends the game; the page says so and offers another.
  await hold('Escape', async () => (await state()) === 'ended');
  const text = await page.textContent('#cover');
  check(/ended/.test(text) && /Play again/.test(text), `Escape ends the game and the page says so ("${text}")`);

  // Without WebAssembly, or without storage, the page says so plainly; without
  // storage the game still plays.
  const bare = await context.newPage();
  await bare.addInitScript(() => { delete window.WebAssembly; });
  await bare.goto(server.url);
  const noWasm = await bare.textContent('#note');
  check(/cannot run the game's WebAssembly/.test(noWasm) &&
    (await bare.evaluate(() => window.quillmoor.state)) === 'failed', `no WebAssembly: "${noWasm}"`);
  await bare.close();
  const forgetful = await context.newPage();
  forgetful.on('pageerror', (e) => errors.push(String(e)));
  await forgetful.addInitScript(() => {
    Object.defineProperty(window, 'indexedDB', {get() { throw new Error('storage disabled'); }});
  });
  await forgetful.goto(server.url);
  await until('the cover without storage', () => forgetful.evaluate(() => window.quillmoor.state === 'ready'));
  await forgetful.click('#cover');
  await until('a frame without storage', () => forgetful.evaluate(() => window.quillmoor.firstFrame));
  const noStore = await forgetful.textContent('#note');
  check(/keeps no storage/.test(noStore), `no storage: "${noStore}"`);
  await forgetful.close();

  check(errors.length === 0, `no console errors${errors.length ? ': ' + errors.join(' | ') : ''}`);
  check(elsewhere.length === 0, `nothing fetched from elsewhere${elsewhere.length ? ': ' + elsewhere.join(' ') : ''}`);
} catch (e) {
  check(false, e.message);
  if (errors.length) console.log('console errors: ' + errors.join(' | '));
} finally {
  clearTimeout(watchdog);
  await context.close();
  await server.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
console.log(`${passes} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
