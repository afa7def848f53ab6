// Measures the browser build (tools/web_bench.sh runs it):
//   node bench.mjs visits SITE N
//     the site's size on the wire with gzip, and the time from navigation to
//     the first drawn frame of play in headless chromium, on N cold visits (an
//     empty profile: nothing cached, no stored copies) each followed by a warm
//     one (the same profile: the browser's cache and the stored copies)
//   node bench.mjs shot SITE PNG
//     the README's picture of the page: the game started, F1's hint shown
//   node bench.mjs frame N NATIVE WASM_JS
//     bench_frame's whole frame compiled natively and to WebAssembly (run by
//     node, the engine of chromium), N repetitions each, taken in turn
// Prints each repetition, then the medians and spreads.
import { chromium } from 'playwright-core';
import { serveSite } from './serve.mjs';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const args = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

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

// One visit: navigation, the gesture as soon as the cover invites it, the first frame.
async function visit(page, url) {
  await page.goto(url);
  await until(() => page.evaluate(() => window.quillmoor.state === 'ready'));
  await page.click('#cover');
  const t = await until(() => page.evaluate(() => window.quillmoor.firstFrame));
  // The copies reach IndexedDB after the first frame; a warm visit needs them there.
  await until(() => page.evaluate(() => Module.storing === 0));
  return t / 1000;
}

async function visits(site, n) {
  const server = await serveSite(path.resolve(site));
  const cold = [], warm = [];
  let wire = null;
  for (let i = 0; i < n; i++) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-bench-'));
    const context = await chromium.launchPersistentContext(profile, {executablePath: '/usr/bin/chromium', args});
    try {
      for (const k in server.sent) delete server.sent[k];
      let page = context.pages()[0] || (await context.newPage());
      cold.push(await visit(page, server.url));
      if (!wire) wire = {...server.sent};
      await page.close();
      page = await context.newPage();
      warm.push(await visit(page, server.url));
      console.log(`visit ${i + 1}: cold ${cold[i].toFixed(3)} s, warm ${warm[i].toFixed(3)} s`);
    } finally {
      await context.close();
      fs.rmSync(profile, {recursive: true, force: true});
    }
  }
  await server.close();
  let total = 0, raw = 0;
  for (const [name, bytes] of Object.entries(wire)) {
    const size = fs.statSync(path.join(site, name === '/' ? 'index.html' : name)).size;
    console.log(`  ${name.padEnd(18)} ${(size / 1024).toFixed(0).padStart(6)} kB, ${(bytes / 1024).toFixed(0).padStart(6)} kB with gzip`);
    total += bytes;
    raw += size;
  }
  console.log(`transfer: ${(raw / 1048576).toFixed(2)} MB, ${(total / 1048576).toFixed(2)} MB with gzip (goal at most 3 MB)`);
  console.log(`navigation to first frame, ${n} visits: cold median ${median(cold).toFixed(3)} s (${spread(cold)}), ` +
    `warm median ${median(warm).toFixed(3)} s (${spread(warm)}) (goal: warm at most 1.5 s)`);
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

async function shot(site, file) {
  const server = await serveSite(path.resolve(site));
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-shot-'));
  const context = await chromium.launchPersistentContext(profile, {executablePath: '/usr/bin/chromium', args,
    viewport: {width: 960, height: 600}});
  try {
    const page = context.pages()[0] || (await context.newPage());
    await visit(page, server.url);
    await page.keyboard.down('F1');
    const from = await page.evaluate(() => Module.sleeps);
    await until(() => page.evaluate((f) => Module.sleeps >= f + 2, from));
    await page.keyboard.up('F1');
    // The caption's dark blue panel in the middle of the picture.
    await until(() => page.evaluate(() => {
      const d = document.getElementById('canvas').getContext('2d').getImageData(320, 235, 1, 1).data;
      return d[0] === 0 && d[1] === 0 && d[2] === 64;
    }));
    await page.screenshot({path: file, fullPage: true});
  } finally {
    await context.close();
    fs.rmSync(profile, {recursive: true, force: true});
    await server.close();
  }
}

const [what, ...rest] = process.argv.slice(2);
if (what === 'visits') await visits(rest[0], Number(rest[1] || 5));
else if (what === 'shot') await shot(rest[0], rest[1]);
else if (what === 'frame') frames(Number(rest[0] || 10), rest[1], rest[2]);
else {
  console.error('usage: node bench.mjs visits SITE N | shot SITE PNG | frame N NATIVE WASM_JS');
  process.exit(2);
}
