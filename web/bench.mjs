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
// the first frame's loads, each beside a blank page's: more than `runs`,
// as a load's figure swings with what else the machine does
const loads = quick ? 1 : 21;
const idle_ms = quick ? 500 : 5000;

function row(figure, value, floor, unit) {
  const g = (v) => Number(v.toPrecision(4));
  const ratio = floor > 0 ? (value / floor).toFixed(2) : '0.00'; // as bench.sh's rows
  console.log(`| ${figure} | ${runtime} | ${g(value)} ${unit} | ${g(floor)} ${unit} | ${ratio} |`);
}
const median = (list) => list.sort((a, b) => a - b)[list.length >> 1];

// In the page: when the canvas took a picture, when a key went down, and
// when an audio callback first gave sound after it.
function watch_pictures() {
  window.pictures = [];
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    put.apply(this, args);
    window.pictures.push(performance.now());
  };
  window.keys = [];
  window.addEventListener('keydown', (e) => window.keys.push(e.timeStamp), true);
  window.sounds = [];
  const proto = window.BaseAudioContext && BaseAudioContext.prototype;
  const create = proto && proto.createScriptProcessor;
  if (!create) return;
  proto.createScriptProcessor = function (...args) {
    const node = create.apply(this, args);
    let handler = null;
    Object.defineProperty(node, 'onaudioprocess', { get: () => handler, set: (f) => { handler = f; } });
    node.addEventListener('audioprocess', (e) => {
      if (handler) handler(e);
      if (e.outputBuffer.getChannelData(0).some((v) => v !== 0)) window.sounds.push(performance.now());
    });
    return node;
  };
}

// From each key press to the first callback after it that gave sound,
// in ms: the first press, that also starts the sound, then `later` more,
// each after the last clip has ended.
async function press_to_sound(page, later) {
  const took = [];
  for (let n = 0; n <= later; n++) {
    await page.keyboard.press(' ');
    await page.waitForFunction(() => window.sounds.some((t) => t > window.keys.at(-1)), { timeout: 10000 });
    took.push(await page.evaluate(() => window.sounds.find((t) => t > window.keys.at(-1)) - window.keys.at(-1)));
    await new Promise((r) => setTimeout(r, 400)); // the click is 75 ms
  }
  return took;
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
  const page = await web.open(browser, url);
  await page.waitForFunction(() => document.readyState === 'complete');
  if (press) {
    await web.wait_for_window(page);
    await page.keyboard.press(' ');
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
const server = await web.serve([web.site, blank], '/', watch_pictures);
let runtime;
try {
  for (const engine of quick ? [web.engine] : ['chromium', 'firefox', 'webkit']) {
    const browser = await web.launch(engine);
    try {
      runtime = { chromium: 'Chromium', firefox: 'Firefox', webkit: 'WebKitGTK' }[engine] + ' ' +
        (await browser.version()).split('/')[1].split('.').slice(0, engine === 'webkit' ? 2 : 1).join('.');
      await engine_rows(browser, engine);
    } finally {
      await browser.close();
    }
  }
} finally {
  server.close();
  fs.rmSync(blank, { recursive: true, force: true });
}

async function engine_rows(browser, engine) {
  const first = [], loaded = [], key = [], sound_first = [], sound_later = [];
  let buffer = 0;
  for (let i = 0; i < loads; i++) {
    let page = await web.open(browser, server.url);
    await page.waitForFunction(() => window.pictures.length > 0, { timeout: 10000 });
    first.push(await page.evaluate(() => window.pictures[0]));
    await page.browserContext().close();
    page = await web.open(browser, server.url + 'blank.html');
    await page.waitForFunction(() => document.readyState === 'complete');
    loaded.push(await page.evaluate(() => performance.getEntriesByType('navigation')[0].loadEventEnd));
    await page.browserContext().close();
  }
  for (let i = 0; i < runs; i++) {
    let page = await web.open(browser, server.url);
    await web.wait_for_window(page);
    for (let n = 0; n < (quick ? 1 : 10); n++) {
      const count = await page.evaluate(() => window.pictures.length);
      await page.keyboard.down(' ');
      await page.waitForFunction((c) => window.pictures.length > c, {}, count);
      key.push(await page.evaluate(() => window.pictures.at(-1) - window.keys.at(-1)));
      await page.keyboard.up(' ');
      await new Promise((r) => setTimeout(r, 50));
    }
    await page.browserContext().close();
    page = await web.open(browser, server.url);
    await web.wait_for_window(page);
    const [once, ...more] = await press_to_sound(page, quick ? 1 : 3);
    sound_first.push(once);
    sound_later.push(...more);
    buffer = await page.evaluate(() => {
      const audio = Module.SDL2.audio;
      return audio.scriptProcessorNode.bufferSize / Module.SDL2.audioContext.sampleRate * 1000;
    });
    await page.browserContext().close();
  }
  row('page load to first frame, against a blank page\'s load', median(first), median(loaded), 'ms');
  row('key to picture, against one frame at 60 Hz', median(key), 1000 / 60, 'ms');
  row('first press to its sound, against one buffer of the sound', median(sound_first), buffer, 'ms');
  row('  later presses to their sound', median(sound_later), buffer, 'ms');
  if (engine !== 'chromium') return; // the processor and Lighthouse: Chromium's figures
  const blank_share = await idle_share(browser, server.url + 'blank.html', false);
  row('processor while idle, against a blank page', await idle_share(browser, server.url, false), blank_share, '% of one core');
  row('  the same after a press, the sound running', await idle_share(browser, server.url, true), blank_share, '% of one core');
  if (!quick) await lighthouse_rows(browser, server.url);
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
