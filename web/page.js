// The page around flumo: loads it, gives it the keyboard, scales its
// window up crisply, offers a touch screen the two keys it lacks, and says
// what the browser cannot do.
'use strict';
(function () {
  const canvas = document.getElementById('canvas');
  const message = document.getElementById('message');
  const keys = {
    Space: { key: ' ', keyCode: 32 },
    Escape: { key: 'Escape', keyCode: 27 },
  };

  // The window at the largest whole number of screen pixels a pixel that
  // leaves room for the rest of the page; never smoothed.
  function fit() {
    if (!canvas.width || !canvas.height) return;
    const ratio = window.devicePixelRatio || 1;
    let rest = 24;
    for (const e of document.body.children) {
      if (e !== canvas && e.offsetHeight) rest += e.offsetHeight + 12;
    }
    const room = Math.min(window.innerWidth * ratio / canvas.width,
      (window.innerHeight - rest) * ratio / canvas.height);
    const scale = Math.max(1, Math.floor(room));
    canvas.style.width = canvas.width * scale / ratio + 'px';
    canvas.style.height = canvas.height * scale / ratio + 'px';
  }

  function say(text) {
    message.textContent = text;
    message.hidden = false;
    fit();
  }

  // The browser lets sound start only after a press: the first press's
  // clip waits in SDL's paused stream until the sound starts.
  function resume_audio() {
    const sdl = window.Module && window.Module.SDL2;
    if (sdl && sdl.audioContext && sdl.audioContext.state === 'suspended') {
      sdl.audioContext.resume();
    }
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

  for (const button of document.querySelectorAll('#keys button')) {
    const code = button.dataset.code;
    let down = false;
    button.addEventListener('pointerdown', (e) => {
      button.setPointerCapture(e.pointerId);
      if (!down) send('keydown', code);
      down = true;
    });
    const release = () => {
      if (down) send('keyup', code);
      down = false;
    };
    button.addEventListener('pointerup', release);
    button.addEventListener('pointercancel', release);
    button.addEventListener('lostpointercapture', release);
    button.addEventListener('contextmenu', (e) => e.preventDefault());
  }

  // Whatever is touched, the keys stay with the window.
  document.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    canvas.focus();
    resume_audio();
  });
  document.addEventListener('keydown', resume_audio);
  window.addEventListener('resize', fit);
  new MutationObserver(() => {
    fit();
    canvas.focus();
  }).observe(canvas, { attributes: true, attributeFilter: ['width', 'height'] });
  canvas.focus();

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
  };
  if (!window.AudioContext && !window.webkitAudioContext) {
    say('This browser cannot play sound (it has no Web Audio): ' +
      'flumo runs without its click.');
    // as on a computer without a sound card: SDL2 would not start at all
    // without a sound device, so its silent one stands in
    window.Module.preRun = [() => { ENV.SDL_AUDIODRIVER = 'dummy'; }];
  }
  for (const name of ['flumo.data.js', 'flumo.js']) {
    const script = document.createElement('script');
    script.src = name;
    script.async = false; // in this order: the files, then the program
    script.onerror = () => say('flumo could not be loaded (' + name + ').');
    document.body.appendChild(script);
  }
})();
