// flumo's page in headless Chromium: the pictures the native program
// draws, the scenarios its window tests play, and what reached the audio
// output.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import * as web from './page.mjs';

let browser, server, frames, clip;
const made = [];

before(async () => {
  frames = web.native_frames();
  clip = web.samples_of_wav(fs.readFileSync(path.join(web.assets, 'flumo.wav')));
  server = await web.serve([web.site]);
  browser = await web.launch();
});

after(async () => {
  await browser?.close();
  server?.close();
  for (const dir of made) fs.rmSync(dir, { recursive: true, force: true });
});

// The page served with other files in place of the site's own.
async function serve_with(files) {
  const dir = web.pack(files);
  made.push(dir);
  const other = await web.serve([dir, web.site]);
  return other;
}

async function shows(page, name) {
  assert.equal(await web.wait_for_picture(page, frames[name]), 0,
    `pixels that differ from ${name}`);
}

test('the first frame is the native one, in a crisply scaled window with the keys', async () => {
  const { page, errors } = await web.open(browser, server.url);
  await page.setViewport({ width: 1000, height: 1000 });
  await web.wait_for_window(page);
  await shows(page, 'normal-0');
  const at = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    return {
      title: document.title, focused: document.activeElement === c,
      w: c.width, h: c.height, css_w: c.getBoundingClientRect().width,
      css_h: c.getBoundingClientRect().height, rendering: getComputedStyle(c).imageRendering,
    };
  });
  assert.equal(at.title, 'flumo for SDL');
  assert.ok(at.focused, 'the keys go elsewhere');
  assert.deepEqual([at.w, at.h], [frames['normal-0'].w, frames['normal-0'].h]);
  const scale = at.css_w / at.w;
  assert.ok(scale >= 2 && Number.isInteger(scale) && at.css_h === at.h * scale, `scaled by ${scale}`);
  assert.equal(at.rendering, 'pixelated');

  for (const name of ['LICENSE.txt', 'SDL2-LICENSE.txt']) { // what it runs on, and under
    assert.match(await (await fetch(server.url + name)).text(), /Permission is granted to anyone/);
  }
  await page.setViewport({ width: 200, height: 200 }); // no room: as it is
  await page.waitForFunction(() => document.getElementById('canvas').style.width === '240px');
  assert.deepEqual(errors, []);
  await page.close();
});

test('keys count, hold, release and reset as in the native window', async () => {
  const { page, errors } = await web.open(browser, server.url);
  await web.wait_for_window(page);
  await web.play_scenario(page, 'counting.txt', {
    shows: (line, picture, n) => shows(page, `${picture}-${n}`),
  });
  assert.deepEqual(errors, []);
  await page.close();
});

test('every counted press plays one whole clip, from the first press on', async (t) => {
  const { page, errors } = await web.open(browser, server.url);
  await web.wait_for_window(page);
  // A page may make sound only after a press; headless Chromium at times
  // allows it sooner, so the sound is held back here as a browser would.
  const state = await page.evaluate(async () => {
    const context = Module.SDL2.audioContext, was = context.state;
    await context.suspend();
    return was;
  });
  t.diagnostic(`before the first press the sound was ${state}; suspended`);
  await web.play_scenario(page, 'clicks.txt', {
    shows: (line, picture, n) => shows(page, `${picture}-${n}`),
    plays: async (line, n) => assert.ok(await web.wait_for_copies(page, clip, +n), line),
  });
  await new Promise((r) => setTimeout(r, 500)); // some buffers more
  const out = await web.recorded(page);
  assert.equal(web.find_all(out, clip).length, 21);
  assert.equal(web.noise(out, clip), 0, 'samples that are neither silence nor the clip');
  assert.deepEqual(errors, []);
  await page.close();
});

test('a press while the clip plays starts it again', async () => {
  // ten seconds that are nowhere silent and never repeat themselves
  const long = web.make_wav(441000, (i) => 1000 + ((Math.imul(i, 2654435761) >>> 12) % 20000));
  const other = await serve_with({ 'flumo.wav': long });
  const { page, errors } = await web.open(browser, other.url);
  await web.wait_for_window(page);
  const start = web.samples_of_wav(long).slice(0, 2048);
  await page.keyboard.press('Space');
  assert.ok(await web.wait_for_copies(page, start, 1));
  await page.keyboard.press('Space');
  assert.ok(await web.wait_for_copies(page, start, 2));
  const starts = web.find_all(await web.recorded(page), start);
  assert.ok(starts[1] - starts[0] < 441000, 'the first had ended');
  assert.deepEqual(errors, []);
  await page.close();
  other.close();
});

test('the keys on the page press Space and Escape for a touch screen', async () => {
  const { page, errors } = await web.open(browser, server.url);
  await page.setViewport({ width: 600, height: 800, hasTouch: true });
  await web.wait_for_window(page);
  const centre = async (code) => {
    const box = await (await page.$(`button[data-code=${code}]`)).boundingBox();
    return [box.x + box.width / 2, box.y + box.height / 2];
  };
  await page.touchscreen.touchStart(...await centre('Space'));
  await shows(page, 'push-1');
  await page.touchscreen.touchEnd();
  await shows(page, 'normal-1');
  await page.touchscreen.tap(...await centre('Escape'));
  await shows(page, 'normal-0');
  assert.ok(await page.evaluate(() => document.activeElement.id === 'canvas'));
  assert.ok(await web.wait_for_copies(page, clip, 1), 'the touch played no clip');
  assert.deepEqual(errors, []);
  await page.close();
});

test('the page says what the browser lacks, and why the program could not start', async () => {
  const message = (page) => page.$eval('#message', (m) => (m.hidden ? '' : m.textContent));

  let { page } = await web.open(browser, server.url, () => delete window.WebAssembly);
  await page.waitForSelector('#message:not([hidden])');
  assert.match(await message(page), /cannot run WebAssembly/);
  await page.close();

  ({ page } = await web.open(browser, server.url, () => {
    delete window.AudioContext;
    delete window.webkitAudioContext;
  }));
  await web.wait_for_window(page);
  assert.match(await message(page), /cannot play sound/);
  await page.keyboard.press('Space');
  await shows(page, 'normal-1');
  await page.close();

  const other = await serve_with({ 'flumo_num.bmp': null });
  ({ page } = await web.open(browser, other.url));
  await page.waitForSelector('#message:not([hidden])');
  assert.match(await message(page), /^Couldn't load flumo_num\.bmp: /);
  await page.close();
  other.close();
});
