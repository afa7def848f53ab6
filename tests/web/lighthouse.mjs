// Lighthouse (from npm, pinned in package-lock.json) on the site, in Debian's
// chromium, headless, on a server of its own on 127.0.0.1: the page's
// performance, accessibility and best practices, as a phone on a mobile
// network would see them (Lighthouse's own default). Prints each score and the
// audits that fall short. Accessibility and best practices are rules of the
// page and fail the run below 90; performance is a figure of the machine's
// speed and is only reported (the README keeps it).
//
//   node tests/web/lighthouse.mjs build-web/site
import lighthouse from 'lighthouse';
import * as chromeLauncher from 'chrome-launcher';
import { serveSite } from './serve.mjs';
import { chromiumArgs } from './chromium_args.mjs';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const site = path.resolve(process.argv[2] || 'build-web/site');
const server = await serveSite(site);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-lighthouse-'));
const watchdog = setTimeout(() => {
  console.log('FAIL Lighthouse took longer than 300 s');
  process.exit(1);
}, 300000);
let chrome = null, failed = false;
try {
  chrome = await chromeLauncher.launch({chromePath: '/usr/bin/chromium', userDataDir: profile,
    chromeFlags: chromiumArgs, logLevel: 'error'});
  const result = await lighthouse(server.url, {port: chrome.port, logLevel: 'error', output: 'json',
    onlyCategories: ['performance', 'accessibility', 'best-practices']});
  const {categories, audits} = result.lhr;
  for (const id of ['performance', 'accessibility', 'best-practices']) {
    const score = Math.round(categories[id].score * 100);
    const gated = id !== 'performance';
    const ok = !gated || score >= 90;
    failed ||= !ok;
    console.log(`${ok ? 'ok  ' : 'FAIL'} Lighthouse ${id}: ${score}${gated ? ' (at least 90)' : ''}`);
    for (const ref of categories[id].auditRefs) {
      const audit = audits[ref.id];
      if (ref.weight > 0 && audit.score !== null && audit.score < 0.9)
        console.log(`       ${audit.id}: ${audit.score} ${audit.displayValue || ''}`);
    }
  }
  for (const id of ['first-contentful-paint', 'largest-contentful-paint', 'total-blocking-time',
    'cumulative-layout-shift', 'speed-index'])
    console.log(`     ${id}: ${audits[id].displayValue}`);
} catch (e) {
  console.log(`FAIL Lighthouse: ${e.message}`);
  failed = true;
} finally {
  clearTimeout(watchdog);
  if (chrome) await chrome.kill();
  await server.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
process.exit(failed ? 1 : 0);
