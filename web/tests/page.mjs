// What the browser tests share: the site served from 127.0.0.1, the
// browser engine that opens it (Chromium, Firefox or WebKitGTK), the
// page's pixels and the sound it played, and the scenarios the native
// window tests play (tests/scenarios).
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { launch_webkit } from './webkit.mjs';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
// The window's caption, which titles the page, as the program's settings
// give it.
const settings = fs.readFileSync(path.join(root, 'settings.h'), 'utf8')
  .match(/^const char caption\[\] = "(.*)";$/m);
if (!settings) throw new Error('no caption in settings.h, where it is looked for');
export const caption = settings[1];
// The five files the program reads, by the names its user is told.
export const files = {
  normal: 'flumo_normal.bmp', push: 'flumo_push.bmp', digits: 'flumo_num.bmp',
  icon: 'flumo_icon.bmp', clip: 'flumo.wav',
};
const build = process.env.FLUMO_WEB_BUILD || path.join(root, 'build-web');
export const site = path.join(build, 'site');
export const assets = build; // the five files the site packs, loose
const native_build = process.env.FLUMO_NATIVE_BUILD || path.join(root, 'build');

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.png': 'image/png', '.data': 'application/octet-stream',
  '.webmanifest': 'application/manifest+json',
};

// Serves the first of the folders that has the file asked for, in the
// server's folder `under`. The folders may be changed while it serves, as
// a new build replaces a site, and it can be taken offline. Each page it
// serves runs, ahead of its own scripts, the tests' watch on its errors
// and sound, then `before`. Closing it ends its connections too.
export async function serve(folders, under = '/', before = () => {}) {
  const served = { folders, offline: false };
  // after the page's charset, which a browser looks for in its first bytes
  const ahead = `<script>(${watch_page})();(${before})();</script>`;
  const server = http.createServer((request, response) => {
    if (served.offline) {
      request.socket.destroy();
      return;
    }
    let name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    name = path.normalize('/' + name.slice(under.length));
    if (name === '/') name = '/index.html';
    const file = served.folders.map((f) => path.join(f, name)).find((f) => fs.existsSync(f));
    if (!request.url.startsWith(under) || !file || name.includes('..')) {
      response.writeHead(404).end();
      return;
    }
    let bytes = fs.readFileSync(file);
    if (file.endsWith('.html')) bytes = bytes.toString().replace(/<head>(\s*<meta charset=[^>]*>)?/, (head) => head + ahead);
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'text/plain' });
    response.end(bytes);
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  served.url = `http://127.0.0.1:${server.address().port}${under}`;
  served.close = () => {
    server.closeAllConnections();
    server.close();
  };
  return served;
}

// The engine the tests drive: chromium, firefox or webkit.
export const engine = process.env.FLUMO_ENGINE || 'chromium';
const default_engine = engine;

async function wait_until(ready, what) {
  for (const until = Date.now() + 10000; !ready();) {
    if (Date.now() > until) throw new Error(`${what} did not start`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Starts a program that serves the browser (a sound server, a display),
// and waits until ready(out) holds, out being what it wrote to its third
// descriptor; gives that, and the stop() that ends it.
async function helper(command, args, options, ready) {
  const child = spawn(command, args, { stdio: ['ignore', 'ignore', 'ignore', 'pipe'], ...options });
  const stop = () => child.kill('SIGKILL');
  let out = '';
  child.stdio[3].on('data', (d) => { out += d; });
  try {
    await wait_until(() => {
      if (child.exitCode !== null) throw new Error(`${command} ended at once`);
      return ready(out);
    }, command);
  } catch (e) {
    stop();
    throw e;
  }
  return { stop, out };
}

// Firefox and WebKitGTK play through a sound server, here one with no
// sound card behind it, of their own; WebKitGTK has no headless mode and
// draws on a virtual display. Chromium needs neither.
async function surroundings(engine) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'flumo-browser-'));
  const stops = [() => fs.rmSync(dir, { recursive: true, force: true })];
  const env = { ...process.env, PULSE_SERVER: `unix:${dir}/sound` };
  const stop = () => stops.reverse().forEach((s) => s());
  try {
    const sound = `${dir}/sound`;
    stops.push((await helper('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1',
      '--use-pid-file=no', '--load=module-null-sink',
      `--load=module-native-protocol-unix socket=${sound} auth-anonymous=1`],
    { env: { ...process.env, HOME: dir, XDG_RUNTIME_DIR: dir } }, () => fs.existsSync(sound))).stop);
    if (engine === 'webkit') {
      const x = await helper('Xvfb', ['-displayfd', '3', '-nolisten', 'tcp', '-screen', '0', '1280x1024x24'],
        {}, (out) => out.endsWith('\n'));
      stops.push(x.stop);
      env.DISPLAY = `:${x.out.trim()}`;
    }
  } catch (e) {
    stop();
    throw e;
  }
  return { env, stop };
}

// The browser, which ends what it needed when it closes. Sound starts
// only after a press, as a browser's autoplay rules ask.
export async function launch(engine = default_engine) {
  if (engine === 'chromium') {
    return puppeteer.launch({
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
      headless: true,
      // the page is watched through scripts of its own: the browser's log
      // of every request, which nothing here reads, would slow each load
      networkEnabled: false,
      args: ['--no-sandbox', '--autoplay-policy=document-user-activation-required'],
    });
  }
  const { env, stop } = await surroundings(engine);
  let browser;
  try {
    browser = engine === 'webkit' ? await launch_webkit(env) : await puppeteer.launch({
      browser: 'firefox', executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
      headless: true, env,
      // Firefox lets Web Audio start unasked, some time after the page
      // opens; here it waits for a press, as in the other engines
      extraPrefsFirefox: { 'media.autoplay.default': 1, 'media.autoplay.block-webaudio': true },
    });
  } catch (e) {
    stop();
    throw e;
  }
  const close = browser.close.bind(browser);
  browser.close = () => close().finally(stop);
  return browser;
}

// In the page, before its scripts: its errors are kept in `errors` (no
// engine's driver reads the console alike), and every audio context's
// destination becomes a recorder in front of the real one, keeping what
// reaches it.
function watch_page() {
  window.errors = [];
  const error = console.error;
  console.error = (...args) => {
    window.errors.push(args.join(' '));
    error.apply(console, args);
  };
  addEventListener('error', (e) => window.errors.push(String(e.message)));
  addEventListener('unhandledrejection', (e) => window.errors.push(String(e.reason)));
  window.recorded = [];
  const proto = window.BaseAudioContext && BaseAudioContext.prototype;
  if (!proto) return;
  const destination = Object.getOwnPropertyDescriptor(proto, 'destination').get;
  Object.defineProperty(proto, 'destination', {
    get() {
      if (!this.recorder) {
        this.recorder = this.createScriptProcessor(4096, 1, 1);
        this.recorder.onaudioprocess = (e) => {
          const input = e.inputBuffer.getChannelData(0);
          window.recorded.push(Array.from(input, (v) => Math.round(v * 32768)));
          e.outputBuffer.getChannelData(0).set(input);
        };
        this.recorder.connect(destination.call(this));
      }
      return this.recorder;
    },
  });
}

// Opens the page as a first visit, in a browser context of its own (or
// in the browser's own, where a page can be installed).
export async function open(browser, url, own = false) {
  const context = own ? browser.defaultBrowserContext() : await browser.createBrowserContext();
  const page = await context.newPage();
  await page.goto(url);
  return page;
}

// The errors the page met so far.
export const errors = (page) => page.evaluate(() => window.errors);

// What the page's message line says; '' while it is hidden.
export const message = (page) => page.evaluate(() => {
  const m = document.getElementById('message');
  return m.hidden ? '' : m.textContent;
});

// Waits for the message line to say something; gives what it says.
export async function wait_for_message(page) {
  await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: 10000 });
  return message(page);
}

// Stops the page's sound as a browser starts it, before any press: some
// let it run sooner. Gives the state it was in.
export const hold_sound = (page) => page.evaluate(async () => {
  const context = Module.SDL2.audioContext, was = context.state;
  if (was === 'running') await context.suspend(); // WebKit's never settles otherwise
  return was;
});

// In WebKitGTK the press that starts the sound loses its click, whole or
// in part, as the sound output starts; a gesture before it (a click on
// the page's heading) readies the sound, and presses after it play whole.
// Elsewhere the first press is heard whole, and nothing is done.
export async function ready_sound(page) {
  if (engine !== 'webkit') return;
  const heading = await centre(page, 'h1');
  await page.mouse.click(heading.x, heading.y);
  await page.waitForFunction(() => Module.SDL2.audioContext.state === 'running', { timeout: 10000 });
  await new Promise((r) => setTimeout(r, 500));
}

// The middle of an element of the page, where a click or a touch lands.
export const centre = (page, selector) => page.evaluate((s) => {
  const box = document.querySelector(s).getBoundingClientRect();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}, selector);

// Runs a script file in the page.
export const run_script = (page, file) =>
  page.evaluate((source) => { (0, eval)(source); }, fs.readFileSync(file, 'utf8'));

// Waits for the program's first frame: the page holds the window's room
// from the start, but nothing is drawn in it before.
export async function wait_for_window(page) {
  await page.waitForFunction(() => {
    const c = document.getElementById('canvas');
    return c.getContext('2d').getImageData(0, 0, 1, 1).data[3] > 0;
  }, { timeout: 10000 });
}

// The pictures the native program draws from the same files, by name
// ("normal-0", "push-20"), as RGB bytes with their size.
export function native_frames() {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'flumo-frames-'));
  try {
    execFileSync(path.join(native_build, 'tests/native_frames'), [assets, out]);
    const frames = {};
    for (const file of fs.readdirSync(out)) {
      const data = fs.readFileSync(path.join(out, file));
      const [, w, h] = data.toString('latin1', 0, 20).match(/^P6\n(\d+) (\d+)\n255\n/);
      frames[path.basename(file, '.ppm')] = { w: +w, h: +h, rgb: data.subarray(data.length - w * h * 3) };
    }
    return frames;
  } finally {
    fs.rmSync(out, { recursive: true, force: true });
  }
}

// A folder holding the site's packed files made from other files: the
// site's own five, but for those in `others` (name: bytes, or null to
// leave it out). Served ahead of the site, the same program reads them.
export function pack(others) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'flumo-pack-'));
  const preload = [];
  for (const name of Object.values(files)) {
    const bytes = name in others ? others[name] : fs.readFileSync(path.join(assets, name));
    if (!bytes) continue;
    fs.writeFileSync(path.join(dir, name), bytes);
    preload.push(`${name}@/${name}`);
  }
  const emscripten = execFileSync('em-config', ['EMSCRIPTEN_ROOT'], { encoding: 'utf8' }).trim();
  execFileSync('python3', [path.join(emscripten, 'tools/file_packager.py'), 'flumo.data',
    '--preload', ...preload, '--js-output=flumo.data.js'], { cwd: dir, stdio: 'ignore' });
  return dir;
}

// The version the site's service worker keeps its files under.
export function site_version(dir) {
  return fs.readFileSync(path.join(dir, 'sw.js'), 'utf8').match(/ ' ([0-9a-f]+)';/)[1];
}

// The site as its build makes it with other files (as for pack): a copy,
// its service worker versioned anew by the build's own script.
export function rebuilt_site(others) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'flumo-site-'));
  fs.cpSync(site, dir, { recursive: true });
  const packed = pack(others);
  for (const name of ['flumo.data', 'flumo.data.js']) {
    fs.copyFileSync(path.join(packed, name), path.join(dir, name));
  }
  fs.rmSync(packed, { recursive: true, force: true });
  const kept = fs.readFileSync(path.join(dir, 'sw.js'), 'utf8')
    .match(/const files = \['\.\/', (.*)\];/)[1].replace(/'/g, '').split(', ');
  execFileSync('cmake', [`-Dsite=${dir}`, `-Dkept=${kept.join(',')}`,
    `-Dtemplate=${path.join(root, 'web/sw.js.in')}`, '-P', path.join(root, 'web/service-worker.cmake')]);
  return { dir, version: site_version(dir) };
}

// axe-core, to be put in a page
export const axe = path.join(root, 'web/node_modules/axe-core/axe.min.js');

// A checksum of a picture's RGB bytes (FNV-1a), the same here and in the
// page, where it is taken without handing the pixels over: that would keep
// the page's main thread, and the sound that plays on it, busy.
function checksum(rgb, step = 3, from = 0) {
  let h = 0x811c9dc5;
  for (let i = from; i < rgb.length; i += step) {
    for (let j = 0; j < 3; j++) h = Math.imul(h ^ rgb[i + j], 16777619);
  }
  return h >>> 0;
}

function canvas_checksum(source) {
  const c = document.getElementById('canvas');
  const rgba = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  return { w: c.width, h: c.height, sum: new Function(`return ${source}`)()(rgba, 4) };
}

// How many pixels of the canvas differ from frame; -1 for another size.
async function differing(page, frame) {
  const { w, h, rgba } = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    const data = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    return { w: c.width, h: c.height, rgba: Array.from(data) };
  });
  if (w !== frame.w || h !== frame.h) return -1;
  let n = 0;
  for (let i = 0; i < w * h; i++) {
    const p = frame.rgb, j = 3 * i;
    n += rgba[4 * i] !== p[j] || rgba[4 * i + 1] !== p[j + 1] || rgba[4 * i + 2] !== p[j + 2];
  }
  return n;
}

// Waits up to five seconds for the canvas to show frame; returns how many
// pixels still differ.
export async function wait_for_picture(page, frame) {
  frame.sum ??= checksum(frame.rgb);
  const until = Date.now() + 5000;
  for (;;) {
    const got = await page.evaluate(canvas_checksum, checksum.toString());
    if (got.w === frame.w && got.h === frame.h && got.sum === frame.sum) return 0;
    if (Date.now() > until) return differing(page, frame);
    await new Promise((r) => setTimeout(r, 20));
  }
}

// The samples of a 16-bit WAV file with the plain 44-byte header that
// the generator and make_wav write.
export function samples_of_wav(bytes) {
  const data = bytes.subarray(44);
  return Array.from({ length: data.length >> 1 }, (_, i) => data.readInt16LE(2 * i));
}

// Such a file, mono at 44100 Hz, of frames samples from sample(i). The
// header: RIFF, its size, WAVE; a format of 16 bytes: PCM, one channel,
// 44100 frames and 88200 bytes a second, 2 bytes a frame of 16 bits;
// data and its size.
export function make_wav(frames, sample) {
  const out = Buffer.alloc(44 + 2 * frames);
  out.write('RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data', 'latin1');
  out.writeUInt32LE(36 + 2 * frames, 4);
  out.writeUInt32LE(2 * frames, 40);
  for (let i = 0; i < frames; i++) out.writeInt16LE(sample(i), 44 + 2 * i);
  return out;
}

// What reached the audio output so far, a number a sample; fetched from
// the page a piece at a time, as a long recording would keep its main
// thread, and so its sound, busy.
const recordings = new WeakMap();
export async function recorded(page) {
  const all = recordings.get(page) || [];
  for (const piece of await page.evaluate(() => window.recorded.splice(0))) {
    for (const sample of piece) all.push(sample);
  }
  recordings.set(page, all);
  return all;
}

// Where each whole copy of part starts in out, copies not overlapping.
export function find_all(out, part) {
  const at = [];
  for (let i = 0; i + part.length <= out.length; i++) {
    let j = 0;
    while (j < part.length && out[i + j] === part[j]) j++;
    if (j === part.length) {
      at.push(i);
      i += part.length - 1;
    }
  }
  return at;
}

// Samples of out that lie in no whole copy of clip and are not silent.
export function noise(out, clip) {
  const at = new Set(find_all(out, clip));
  let n = 0;
  for (let i = 0; i < out.length; i++) {
    if (at.has(i)) i += clip.length - 1;
    else n += out[i] !== 0;
  }
  return n;
}

// Waits until out holds n copies of part; false if they do not come.
export async function wait_for_copies(page, part, n) {
  const until = Date.now() + 10000;
  while (find_all(await recorded(page), part).length < n) {
    if (Date.now() > until) return false;
    await new Promise((r) => setTimeout(r, 50));
  }
  return true;
}

// The scenarios' keys, by what they type: Firefox's driver knows no key
// named Space. (A held key is repeated below, as a browser's keyboard
// does; WebKit's driver drops the repeats.)
const key_names = { space: ' ', Escape: 'Escape', a: 'a' };

// Plays a scenario of tests/scenarios, as the native window tests do;
// `checks` says what to do for "shows" and "plays".
export async function play_scenario(page, name, checks) {
  const text = fs.readFileSync(path.join(root, 'tests/scenarios', name), 'utf8');
  const held = new Set();
  for (const line of text.split('\n')) {
    if (!line || line.startsWith('#')) continue;
    for (const step of line.split(';')) {
      const [verb, what, times = '1'] = step.trim().split(/\s+/);
      const key = key_names[what];
      if (verb === 'down') {
        await page.keyboard.down(key);
        held.add(key);
      } else if (verb === 'up') {
        await page.keyboard.up(key);
        held.delete(key);
      } else if (verb === 'tap') {
        for (let i = 0; i < +times; i++) {
          await page.keyboard.down(key);
          await page.keyboard.up(key);
        }
      } else if (verb === 'hold') {
        for (const until = Date.now() + +what; Date.now() < until;) {
          await new Promise((r) => setTimeout(r, 33));
          for (const k of held) await page.keyboard.down(k); // a repeat
        }
      } else if (verb === 'shows' || verb === 'plays') {
        await checks[verb](line, what, +times);
      } else {
        throw new Error(`no such step: ${step}`);
      }
    }
  }
}
