// The web build's figures, each beside its floor, as rows of the table
// tools/bench.sh prints: page load to first frame against a blank page's
// load, key to picture against one frame at 60 Hz, the processor the
// browser uses while nobody presses anything against the same with a blank
// page, and Lighthouse's scores on a desktop and a simulated phone against
// full marks; then the site's size, file by file and gzipped in all. With
// --quick, each is measured once, briefly, to show it runs, but for
// Lighthouse, which only tools/bench.sh installs.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import * as web from './tests/page.mjs';

const quick = process.argv.includes('--quick');
const runs = quick ? 1 : 7;
const idle_ms = quick ? 500 : 5000;

function row(figure, value, floor, unit) {
  const g = (v) => Number(v.toPrecision(4));
  const ratio = floor > 0 ? (value / floor).toFixed(2) : '0.00'; // as bench.sh's rows
  console.log(`| ${figure} | ${runtime} | ${g(value)} ${unit} | ${g(floor)} ${unit} | ${ratio} |`);
}
const median = (list) => list.sort((a, b) => a - b)[list.length >> 1];

// In the page: when the canvas first and last took a picture.
function watch_pictures() {
  window.pictures = [];
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    put.apply(this, args);
    window.pictures.push(performance.now());
  };
  window.keys = [];
  window.addEventListener('keydown', (e) => window.keys.push(e.timeStamp), true);
}

// Processor time of the browser and all its processes, in seconds.
function cpu_seconds(pid) {
  let ticks = 0;
  const all = fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p));
  const parent = {};
  for (const p of all) {
    try {
      const stat = fs.readFileSync(`/proc/${p}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parent[p] = fields[1];
      parent[p + ':ticks'] = +fields[11] + +fields[12];
    } catch {
      // ended meanwhile
    }
  }
  for (const p of all) {
    for (let q = p; q && q !== '0' && q !== '1'; q = parent[q]) {
      if (q === String(pid)) {
        ticks += parent[p + ':ticks'] || 0;
        break;
      }
    }
  }
  return ticks / 100; // USER_HZ
}

async function idle_share(browser, url, press) {
  const { page } = await web.open(browser, url);
  await page.waitForFunction(() => document.readyState === 'complete');
  if (press) {
    await web.wait_for_window(page);
    await page.keyboard.press('Space');
  }
  await new Promise((r) => setTimeout(r, 1000)); // settled
  const pid = browser.process().pid;
  const before = cpu_seconds(pid);
  await new Promise((r) => setTimeout(r, idle_ms));
  const share = (cpu_seconds(pid) - before) / (idle_ms / 1000) * 100;
  await page.browserContext().close();
  return share;
}

// What Lighthouse makes of the page on a desktop and on a phone (its
// default: a mid-range one on a slow network, simulated), in points of
// 100, and the time the page kept the main thread from answering; the
// median of `runs`, as its figures vary from run to run.
async function lighthouse_rows(browser, url) {
  const { default: lighthouse } = await import('lighthouse');
  const { default: desktop } = await import('lighthouse/core/config/desktop-config.js');
  const port = +new URL(browser.wsEndpoint()).port;
  for (const [where, config] of [['desktop', desktop], ['phone', undefined]]) {
    const scores = {}, blocking = [];
    for (let i = 0; i < runs; i++) {
      const { lhr } = await lighthouse(url, {
        port, output: 'json', logLevel: 'error',
        onlyCategories: ['performance', 'accessibility', 'best-practices', 'seo'],
      }, config);
      for (const c of Object.values(lhr.categories)) {
        (scores[c.title.toLowerCase()] ??= []).push(c.score * 100);
      }
      blocking.push(lhr.audits['total-blocking-time'].numericValue);
    }
    for (const [title, list] of Object.entries(scores)) {
      row(`Lighthouse: ${title}, ${where}`, median(list), 100, 'points');
    }
    row(`  total blocking time, ${where}, against Lighthouse's good`, median(blocking), 200, 'ms');
  }
}

const blank = fs.mkdtempSync(path.join(os.tmpdir(), 'flumo-blank-'));
fs.writeFileSync(path.join(blank, 'blank.html'), '<!DOCTYPE html><title>blank</title>');
const server = await web.serve([web.site, blank]);
const browser = await web.launch();
const runtime = `Chromium ${(await browser.version()).split('/')[1].split('.')[0]}`;
try {
  const first = [], loaded = [], key = [];
  for (let i = 0; i < runs; i++) {
    let { page } = await web.open(browser, server.url, watch_pictures);
    await page.waitForFunction(() => window.pictures.length > 0, { timeout: 10000 });
    first.push(await page.evaluate(() => window.pictures[0]));
    for (let n = 0; n < (quick ? 1 : 10); n++) {
      const count = await page.evaluate(() => window.pictures.length);
      await page.keyboard.down('Space');
      await page.waitForFunction((c) => window.pictures.length > c, {}, count);
      key.push(await page.evaluate(() => window.pictures.at(-1) - window.keys.at(-1)));
      await page.keyboard.up('Space');
      await new Promise((r) => setTimeout(r, 50));
    }
    await page.browserContext().close();
    ({ page } = await web.open(browser, server.url + 'blank.html'));
    await page.waitForFunction(() => document.readyState === 'complete');
    loaded.push(await page.evaluate(() => performance.getEntriesByType('navigation')[0].loadEventEnd));
    await page.browserContext().close();
  }
  row('page load to first frame, against a blank page\'s load', median(first), median(loaded), 'ms');
  row('key to picture, against one frame at 60 Hz', median(key), 1000 / 60, 'ms');
  const blank_share = await idle_share(browser, server.url + 'blank.html', false);
  row('processor while idle, against a blank page', await idle_share(browser, server.url, false), blank_share, '% of one core');
  row('  the same after a press, the sound running', await idle_share(browser, server.url, true), blank_share, '% of one core');
  if (!quick) await lighthouse_rows(browser, server.url);
} finally {
  await browser.close();
  server.close();
  fs.rmSync(blank, { recursive: true, force: true });
}

console.log('\n| file of the site | bytes | gzipped |\n|---|---|---|');
let all = 0, all_gz = 0;
for (const name of fs.readdirSync(web.site).sort()) {
  const bytes = fs.readFileSync(path.join(web.site, name));
  const gz = zlib.gzipSync(bytes, { level: 9 }).length;
  all += bytes.length;
  all_gz += gz;
  console.log(`| ${name} | ${bytes.length} | ${gz} |`);
}
console.log(`| all | ${all} | ${all_gz} |`);
