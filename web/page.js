// The page around flumo: loads it, gives it the keyboard, scales its
// window up crisply, lets a finger or the mouse press the button in it,
// offers a touch screen the two keys it lacks, keeps the site for playing
// offline, and says what the browser cannot do.
'use strict';
(function () {
  const canvas = document.getElementById('canvas');
  const message = document.getElementById('message');
  const keys = {
    Space: { key: ' ', keyCode: 32 },
    Escape: { key: 'Escape', keyCode: 27 },
  };

  // The window at the largest whole number of screen pixels a pixel that
  // leaves room for the rest of the page; never smoothed. The room is held
  // from the start, at the size the page is built with; the window is
  // fitted before the page is first shown, and again when the program
  // opens it (perhaps at another size) or the page changes.
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    let rest = 24;
    for (const e of document.querySelectorAll('body > :not(main), main > :not(canvas)')) {
      if (e.offsetHeight) rest += e.offsetHeight + 12;
    }
    const room = Math.min(window.innerWidth * ratio / canvas.width,
      (window.innerHeight - rest) * ratio / canvas.height);
    const scale = Math.max(1, Math.floor(room));
    canvas.style.setProperty('--width', canvas.width * scale / ratio + 'px');
    canvas.style.setProperty('--height', canvas.height * scale / ratio + 'px');
  }

  // The site's files, kept on the first visit for playing offline (sw.js):
  // once the program has started, and the page is idle, so that keeping
  // them takes nothing from the start.
  function keep_for_offline() {
    if (!('serviceWorker' in navigator) || keep_for_offline.done) return;
    keep_for_offline.done = true;
    const idle = window.requestIdleCallback || ((f) => setTimeout(f, 1000));
    idle(() => navigator.serviceWorker.register('sw.js').catch(() => {}), { timeout: 5000 });
  }

  function say(text) {
    message.textContent = text;
    message.hidden = false;
    fit();
  }

  // The program: asked for before the page sets itself up, and readied
  // while its files come.
  start_program();
  function start_program() {
    if (typeof WebAssembly !== 'object') {
      say('This browser cannot run WebAssembly, which flumo needs. ' +
        'A current Chrome, Firefox, Safari or Edge can.');
      return;
    }
    window.Module = {
      canvas: canvas,
      // the program's own lines on standard error: why it could not start
      printErr: (text) => {
        console.error(text);
        say(text);
      },
      onAbort: (what) => say('flumo stopped: ' + what),
      // the program reads its files itself: the browser need not decode the
      // pictures and the click as well before it starts
      noImageDecoding: true,
      noAudioDecoding: true,
    };
    // flumo.js would ask for the program's code only once it has run: it
    // is asked for first, on the connection the page came by, and compiled
    // as it comes. A server that does not call it wasm gets it compiled
    // once it has all come.
    const code = fetch('flumo.wasm', { credentials: 'same-origin' }).then((response) => {
      if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
      return response.headers.get('Content-Type') === 'application/wasm'
        ? WebAssembly.compileStreaming(response)
        : response.arrayBuffer().then((bytes) => WebAssembly.compile(bytes));
    });
    code.catch(() => {}); // said once flumo.js asks for it
    Module.instantiateWasm = (imports, ready) => {
      code.then((module) => WebAssembly.instantiate(module, imports)
        .then((instance) => ready(instance, module)))
        .catch((e) => say('flumo could not be loaded (flumo.wasm: ' + e.message + ').'));
      return {}; // the program's exports come later, to ready()
    };
    for (const name of ['flumo.data.js', 'flumo.js']) {
      const script = document.createElement('script');
      script.src = name;
      script.async = false; // in this order: the files, then the program
      script.onerror = () => say('flumo could not be loaded (' + name + ').');
      document.body.appendChild(script);
    }
    const Audio = window.AudioContext || window.webkitAudioContext;
    if (!Audio) {
      say('This browser cannot play sound (it has no Web Audio): ' +
        'flumo runs without its click.');
      // as on a computer without a sound card: SDL2 would not start at all
      // without a sound device, so its silent one stands in
      Module.preRun = [() => { ENV.SDL_AUDIODRIVER = 'dummy'; }];
      return;
    }
    // SDL2 takes the sound's context where one is made already: made here,
    // while the files come, as the first in a browser may take a while.
    try {
      Module.SDL2 = { audioContext: new Audio() };
    } catch {
      // refused: SDL2 asks for one itself, and goes silent without
    }
  }

  // The browser lets sound start only after a press (a touch's, once the
  // finger lifts): the first press's clip waits in SDL's paused stream
  // until the sound starts.
  function resume_audio() {
    const sdl = window.Module && window.Module.SDL2;
    if (sdl && sdl.audioContext && sdl.audioContext.state === 'suspended') {
      watch_audio(sdl.audioContext, sdl.audioContext.resume());
    }
  }

  // A browser may leave the sound stopped after a press and say nothing
  // (Firefox where there is no audio output: its resume() never settles),
  // so the page says it, and the toy counts on in silence.
  function watch_audio(context, resuming) {
    if (watch_audio.armed) return;
    watch_audio.armed = true;
    let why = 'the browser did not start its audio output (is there one?)';
    resuming.catch((e) => { why = 'the browser refused to start it (' + e.message + ')'; });
    setTimeout(() => {
      if (context.state !== 'running') {
        say('No sound can play: ' + why + '. flumo counts on without its click.');
      }
    }, 2000);
  }

  // The key events a keyboard sends; SDL2 reads the legacy keyCode, which
  // a made event cannot be given otherwise.
  function send(type, code) {
    const event = new KeyboardEvent(type, {
      key: keys[code].key, code: code, bubbles: true, cancelable: true,
    });
    Object.defineProperty(event, 'keyCode', { value: keys[code].keyCode });
    canvas.dispatchEvent(event);
  }

  // A key is held by whatever presses it: a key on the page, or a finger
  // or the mouse on the window, which is Space. It goes down with the
  // first and comes up with the last, so a second finger adds nothing.
  const holders = { Space: new Set(), Escape: new Set() };
  function hold(code, who) {
    if (!holders[code].size) send('keydown', code);
    holders[code].add(who);
  }
  function let_go(code, who) {
    if (holders[code].delete(who) && !holders[code].size) send('keyup', code);
  }

  // Pressing on `element` (the window, or a key) holds the key `code`
  // until the pointer lifts, leaves or is cancelled.
  function presses(element, code, ends) {
    const who = (e) => (element === canvas ? 'window ' : 'key ') + e.pointerId;
    element.addEventListener('pointerdown', (e) => {
      if (e.button === 0) hold(code, who(e));
    });
    for (const type of ['pointerup', 'pointercancel', ...ends]) {
      element.addEventListener(type, (e) => let_go(code, who(e)));
    }
    element.addEventListener('contextmenu', (e) => e.preventDefault());
  }
  presses(canvas, 'Space', ['pointerleave']);
  for (const button of document.querySelectorAll('#keys button')) {
    button.addEventListener('pointerdown', (e) => button.setPointerCapture(e.pointerId));
    presses(button, button.dataset.code, ['lostpointercapture']);
  }

  // Whatever is touched, the keys stay with the window.
  document.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    canvas.focus();
    resume_audio();
  });
  document.addEventListener('pointerup', resume_audio);
  document.addEventListener('keydown', resume_audio);
  window.addEventListener('resize', fit);
  // The program opens its window once it has started.
  new MutationObserver(() => {
    fit();
    canvas.focus();
    keep_for_offline();
  }).observe(canvas, { attributes: true, attributeFilter: ['width', 'height'] });
  fit();
  canvas.focus();
})();
