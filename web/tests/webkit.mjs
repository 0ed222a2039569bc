// WebKitGTK (the engine of Safari, and of every browser on an iPhone)
// through WebKitWebDriver, which speaks classic WebDriver over HTTP: a
// browser whose pages do what the tests ask of puppeteer's pages in
// Chromium and Firefox. Each page is a session of its own, so a browser
// of its own with nothing kept from another. WebDriver cannot send a
// touch (a finger arrives as the mouse) nor repeat a held key, it reads
// no console (the tests keep the page's errors in the page), and it
// drives one page at a time: a new one replaces the last.
import { spawn } from 'node:child_process';
import net from 'node:net';

const key_values = { ' ': ' ', Escape: '\uE00C', a: 'a' };

async function free_port() {
  const server = net.createServer();
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  const { port } = server.address();
  await new Promise((done) => server.close(done));
  return port;
}

// Calls the driver; a WebDriver error becomes a thrown one.
function caller(base) {
  return async (method, path, body) => {
    const response = await fetch(base + path, {
      method, headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const { value } = await response.json();
    if (value && value.error) throw new Error(`WebKitWebDriver: ${value.error}: ${value.message}`);
    return value;
  };
}

async function new_page(call, pages) {
  const { sessionId, capabilities } = await call('POST', '/session', {
    capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { args: ['--automation'] } } },
  });
  const at = `/session/${sessionId}`;
  const act = (actions) => call('POST', `${at}/actions`, { actions });
  const key = (type, name) => act([{ type: 'key', id: 'keys', actions: [{ type, value: key_values[name] }] }]);
  const pointer = (id, kind, steps) => act([{ type: 'pointer', id, parameters: { pointerType: kind }, actions: steps }]);
  const move = (x, y) => ({ type: 'pointerMove', x: Math.round(x), y: Math.round(y), origin: 'viewport' });
  let fingers = 0;
  const page = {
    version: capabilities.browserVersion,
    goto: (url) => call('POST', `${at}/url`, { url }),
    reload: () => call('POST', `${at}/refresh`, {}),
    async close() {
      if (pages.delete(page)) await call('DELETE', at);
    },
    browserContext: () => ({ close: () => page.close() }),
    // fn runs in the page with args, as puppeteer's evaluate runs it
    async evaluate(fn, ...args) {
      const got = await call('POST', `${at}/execute/async`, {
        script: `const done = arguments[arguments.length - 1];
          Promise.resolve().then(() => (${fn}).apply(null, Array.from(arguments).slice(0, -1)))
            .then((value) => done({ value }), (e) => done({ error: String(e) }));`,
        args,
      });
      if ('error' in got) throw new Error(got.error);
      return got.value;
    },
    async waitForFunction(fn, { timeout = 30000 } = {}, ...args) {
      for (const until = Date.now() + timeout; !(await page.evaluate(fn, ...args));) {
        if (Date.now() > until) throw new Error(`waited ${timeout} ms for ${fn}`);
        await new Promise((r) => setTimeout(r, 20));
      }
    },
    // The window's size, so that the page's is about what is asked.
    async setViewport({ width, height }) {
      const inner = await page.evaluate(() => [outerWidth - innerWidth, outerHeight - innerHeight]);
      await call('POST', `${at}/window/rect`, { width: width + inner[0], height: height + inner[1] });
    },
    keyboard: {
      down: (name) => key('keyDown', name),
      up: (name) => key('keyUp', name),
      press: async (name) => {
        await key('keyDown', name);
        await key('keyUp', name);
      },
    },
    mouse: {
      click: (x, y, { delay = 0 } = {}) => pointer('mouse', 'mouse', [move(x, y),
        { type: 'pointerDown', button: 0 }, { type: 'pause', duration: delay }, { type: 'pointerUp', button: 0 }]),
    },
    touchscreen: {
      async touchStart(x, y) {
        const id = `finger ${fingers++}`;
        await pointer(id, 'touch', [move(x, y), { type: 'pointerDown', button: 0 }]);
        return {
          move: (to_x, to_y) => pointer(id, 'touch', [move(to_x, to_y)]),
          end: () => pointer(id, 'touch', [{ type: 'pointerUp', button: 0 }]),
        };
      },
      async tap(x, y) {
        await (await page.touchscreen.touchStart(x, y)).end();
      },
    },
  };
  pages.add(page);
  return page;
}

// Starts WebKitWebDriver with env (the display and the sound server
// WebKitGTK is to use); closing the browser ends its pages and it.
export async function launch_webkit(env) {
  const port = await free_port();
  // in a process group of its own, with the browsers it starts, so that
  // closing ends them all
  const driver = spawn('WebKitWebDriver', [`--port=${port}`, '--replace-on-new-session'],
    { env, stdio: 'ignore', detached: true });
  const call = caller(`http://127.0.0.1:${port}`);
  for (const until = Date.now() + 10000; ;) {
    try {
      if ((await call('GET', '/status')).ready) break;
    } catch (e) {
      if (Date.now() > until) throw e;
    }
    await new Promise((r) => setTimeout(r, 50));
  }
  const pages = new Set();
  const context = { newPage: () => new_page(call, pages), close: async () => {} };
  return {
    createBrowserContext: async () => context,
    defaultBrowserContext: () => context,
    async version() {
      const page = await context.newPage();
      await page.close();
      return `WebKitGTK/${page.version}`;
    },
    process: () => driver,
    async close() {
      for (const page of pages) await page.close().catch(() => {});
      for (const until = Date.now() + 5000; Date.now() < until;) {
        try {
          process.kill(-driver.pid, 'SIGKILL');
        } catch {
          return; // none left
        }
        await new Promise((r) => setTimeout(r, 50));
      }
    },
  };
}
