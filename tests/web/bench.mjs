// Measures the browser build (tools/web_bench.sh runs it):
//   node bench.mjs visits SITE N [PEER_SITE...]
//     the site's size on the wire with gzip (the service worker's own fetches
//     included), and in headless chromium the time from navigation to the
//     page's first paint and to the first drawn frame of play, on N cold
//     visits (an empty profile: nothing cached, no stored copies) each
//     followed by a warm one (the same profile: the service worker's cache and
//     the stored copies); the peer sites (another build's) visited in turn
//     with it, the same way
//   node bench.mjs touch SITE N
//     touch-to-pixel latency on a phone-sized page: N touches on Right, each
//     timed from the touch to the first frame that shows it, in frames and ms
//   node bench.mjs shot SITE DIR
//     the README's pictures of the page: web.png (a desktop, F1's hint shown)
//     and web_phone.png (a phone held sideways, its touch controls beside)
//   node bench.mjs frame N NATIVE WASM_JS
//     bench_frame's whole frame compiled natively and to WebAssembly (run by
//     node, the engine of chromium), N repetitions each, taken in turn
// Prints each repetition, then the medians and spreads.
import { chromium } from 'playwright-core';
import { serveSite } from './serve.mjs';
import { chromiumArgs } from './chromium_args.mjs';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const args = chromiumArgs;

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const spread = (xs) => `${Math.min(...xs).toFixed(2)}-${Math.max(...xs).toFixed(2)}`;

async function until(fn, limit = 120000) {
  const end = Date.now() + limit;
  for (;;) {
    const v = await fn();
    if (v) return v;
    if (Date.now() > end) throw new Error('timed out');
    await new Promise((r) => setTimeout(r, 5));
  }
}

// One visit: navigation, the gesture as soon as the page invites it, the
// first frame; the first paint and the first frame, in seconds. (A site of
// earlier builds starts from its cover and keeps no service worker.)
async function visit(page, url) {
  await page.goto(url);
  await until(() => page.evaluate(() => window.quillmoor.state === 'ready'));
  const play = (await page.$('#play')) ? '#play' : '#cover';
  await page.click(play);
  const t = await until(() => page.evaluate(() => window.quillmoor.firstFrame));
  const paint = await page.evaluate(() => performance.getEntriesByName('first-paint')[0].startTime);
  // The copies reach IndexedDB after the first frame, and the service worker
  // keeps the site after the start; a warm visit needs both.
  await until(() => page.evaluate((worker) => Module.storing === 0 &&
    (!worker || !!navigator.serviceWorker.controller), play === '#play'));
  return {frame: t / 1000, paint: paint / 1000};
}

// N cold and warm visits of each site, the sites taken in turn; the first
// site's transfer on the wire.
async function visits(sites, n) {
  const servers = [];
  for (const site of sites) servers.push(await serveSite(path.resolve(site)));
  const cold = sites.map(() => []), warm = sites.map(() => []);
  let wire = null;
  for (let i = 0; i < n; i++)
    for (let k = 0; k < sites.length; k++) {
      const s = (i + k) % sites.length, server = servers[s];
      const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-bench-'));
      const context = await chromium.launchPersistentContext(profile, {executablePath: '/usr/bin/chromium', args});
      try {
        for (const key in server.sent) delete server.sent[key];
        let page = context.pages()[0] || (await context.newPage());
        cold[s].push(await visit(page, server.url));
        if (s === 0 && !wire) wire = {...server.sent};
        await page.close();
        page = await context.newPage();
        warm[s].push(await visit(page, server.url));
        const c = cold[s][cold[s].length - 1], w = warm[s][warm[s].length - 1];
        console.log(`${sites[s]} visit ${i + 1}: cold ${c.frame.toFixed(3)} s (first paint ${c.paint.toFixed(3)} s), ` +
          `warm ${w.frame.toFixed(3)} s (first paint ${w.paint.toFixed(3)} s)`);
      } finally {
        await context.close();
        fs.rmSync(profile, {recursive: true, force: true});
      }
    }
  for (const server of servers) await server.close();
  let total = 0, raw = 0;
  for (const [name, bytes] of Object.entries(wire)) {
    const size = fs.statSync(path.join(sites[0], name === '/' ? 'index.html' : name)).size;
    console.log(`  ${name.padEnd(22)} ${(size / 1024).toFixed(0).padStart(6)} kB, ${(bytes / 1024).toFixed(0).padStart(6)} kB with gzip`);
    total += bytes;
    raw += size;
  }
  console.log(`transfer: ${(raw / 1048576).toFixed(2)} MB, ${(total / 1048576).toFixed(2)} MB with gzip (goal at most 1.3 MB)`);
  const of = (list, key) => list.map((v) => v[key]);
  sites.forEach((site, s) => {
    for (const [name, list] of [['cold', cold[s]], ['warm', warm[s]]])
      console.log(`${site}, ${name}, ${n} visits: first paint median ${median(of(list, 'paint')).toFixed(3)} s ` +
        `(${spread(of(list, 'paint'))}), first frame median ${median(of(list, 'frame')).toFixed(3)} s (${spread(of(list, 'frame'))})`);
  });
  console.log('goals: first paint at most 0.5 s, warm first frame at most 1.0 s');
}

// A phone held sideways; the game started and standing still.
async function phone(server, profile, options = {}) {
  const context = await chromium.launchPersistentContext(profile, {executablePath: '/usr/bin/chromium', args,
    viewport: {width: 844, height: 390}, hasTouch: true, isMobile: true, deviceScaleFactor: 3, ...options});
  const page = context.pages()[0] || (await context.newPage());
  await page.goto(server.url);
  await until(() => page.evaluate(() => window.quillmoor.state === 'ready'));
  const r = await page.evaluate(() => {
    const b = document.getElementById('play').getBoundingClientRect();
    return {x: b.x + b.width / 2, y: b.y + b.height / 2};
  });
  await page.touchscreen.tap(r.x, r.y);
  await until(() => page.evaluate(() => window.quillmoor.firstFrame));
  return {context, page};
}

// Each touch on Right, from the page's pointerdown to the first frame that
// differs from the one before it (the world stands still between touches).
async function touchLatency(site, n) {
  const server = await serveSite(path.resolve(site));
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-bench-'));
  const {context, page} = await phone(server, profile);
  try {
    await page.evaluate(() => {
      const canvas = document.getElementById('canvas');
      // Every seventh pixel: enough to see the world move, and quick.
      const picture = () => {
        const all = new Uint32Array(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data.buffer);
        const some = new Uint32Array(Math.ceil(all.length / 7));
        for (let i = 0, j = 0; i < all.length; i += 7, j++) some[j] = all[i];
        return some;
      };
      const same = (a, b) => a.length === b.length && a.every((v, i) => v === b[i]);
      const L = (window.latency = {armed: false, last: null, result: null, stillFrames: 0});
      const onFrame = Module.onFrame;
      Module.onFrame = () => {
        onFrame();
        const now = picture();
        if (L.armed) {
          L.frames++;
          if (!same(now, L.base)) {
            L.armed = false;
            L.result = {frames: L.frames, ms: performance.now() - L.t0};
          }
        }
        L.stillFrames = L.last && same(now, L.last) ? L.stillFrames + 1 : 0;
        L.last = now;
      };
      document.querySelector('[aria-label="Walk right"]').addEventListener('pointerdown', () => {
        Object.assign(L, {base: L.last, frames: 0, t0: performance.now(), armed: true, result: null});
      }, true);
    });
    const cdp = await context.newCDPSession(page);
    const at = await page.evaluate(() => {
      const b = document.querySelector('[aria-label="Walk right"]').getBoundingClientRect();
      return {x: b.x + b.width / 2, y: b.y + b.height / 2, id: 1};
    });
    const frames = [], ms = [];
    for (let i = 0; i < n; i++) {
      await until(() => page.evaluate(() => window.latency.stillFrames >= 3));
      await cdp.send('Input.dispatchTouchEvent', {type: 'touchStart', touchPoints: [at]});
      const r = await until(() => page.evaluate(() => window.latency.result));
      await cdp.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: [at]});
      frames.push(r.frames);
      ms.push(r.ms);
      console.log(`touch ${i + 1}: ${r.frames} frames, ${r.ms.toFixed(1)} ms`);
    }
    console.log(`touch on Right to a changed canvas, ${n} touches: median ${median(frames)} frames (${spread(frames)}), ` +
      `${median(ms).toFixed(1)} ms (${spread(ms)}) (goal: at most 2 frames)`);
  } finally {
    await context.close();
    fs.rmSync(profile, {recursive: true, force: true});
    await server.close();
  }
}

function frames(n, native, wasm) {
  const filter = '--benchmark_filter=^BM_Frame_SoftwareDevice/';
  const run = (cmd, a) => execFileSync(cmd, a, {encoding: 'utf8'}).trim().split('\n')
    .map((l) => JSON.parse(l)).filter((r) => r.us);
  const times = {};
  for (let i = 0; i < n; i++)
    for (const [side, cmd, a] of [['native', native, [filter]],
      ['wasm', process.execPath, ['--no-experimental-fetch', wasm, filter]]])
      for (const r of run(cmd, a)) {
        const key = `${r.name}`;
        ((times[key] ??= {native: [], wasm: []})[side]).push(r.us);
      }
  for (const [name, t] of Object.entries(times)) {
    const ratios = t.wasm.map((w, i) => w / t.native[i]);
    console.log(`${name}: native ${median(t.native).toFixed(1)} us (${spread(t.native)}), ` +
      `WebAssembly ${median(t.wasm).toFixed(1)} us (${spread(t.wasm)}), ratio ${median(ratios).toFixed(2)} ` +
      `(${spread(ratios)}) (goal at most 2)`);
  }
}

// The README's pictures: the page on a desktop with F1's hint, and on a phone.
async function shot(site, dir) {
  const server = await serveSite(path.resolve(site));
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-shot-'));
  const caption = (page) => until(() => page.evaluate(() => {
    const c = document.getElementById('canvas'), x = c.getContext('2d');
    const d = x.getImageData(Math.floor(c.width / 2), Math.floor(c.height * 235 / 480), 1, 1).data;
    return d[0] === 0 && d[1] === 0 && d[2] === 64;
  }));
  try {
    let context = await chromium.launchPersistentContext(profile, {executablePath: '/usr/bin/chromium', args,
      viewport: {width: 1366, height: 768}});
    let page = context.pages()[0] || (await context.newPage());
    await visit(page, server.url);
    await page.keyboard.down('F1');
    const from = await page.evaluate(() => Module.sleeps);
    await until(() => page.evaluate((f) => Module.sleeps >= f + 2, from));
    await page.keyboard.up('F1');
    await caption(page);
    await page.screenshot({path: path.join(dir, 'web.png')});
    await context.close();
    fs.rmSync(profile, {recursive: true, force: true});
    ({context, page} = await phone(server, profile));
    await page.screenshot({path: path.join(dir, 'web_phone.png'), scale: 'css'});
    await context.close();
  } finally {
    fs.rmSync(profile, {recursive: true, force: true});
    await server.close();
  }
}

const [what, ...rest] = process.argv.slice(2);
if (what === 'visits') await visits([rest[0], ...rest.slice(2)], Number(rest[1] || 5));
else if (what === 'touch') await touchLatency(rest[0], Number(rest[1] || 10));
else if (what === 'shot') await shot(rest[0], rest[1]);
else if (what === 'frame') frames(Number(rest[0] || 10), rest[1], rest[2]);
else {
  console.error('usage: node bench.mjs visits SITE N [PEER_SITE...] | touch SITE N | shot SITE DIR | frame N NATIVE WASM_JS');
  process.exit(2);
}
