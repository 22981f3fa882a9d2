// The page around the program: the data files laid out in its file system,
// the tune decoded by the browser, a start screen (browsers start sound only
// after a gesture), the canvas sized to the window, an end screen, and a
// message instead of a black canvas when something is missing or broken.
// window.orvanta tells tests and curious people where the demo is.
(function () {
  'use strict';
  const params = new URLSearchParams(location.search);
  const number = (name, fallback) => (params.has(name) && isFinite(parseFloat(params.get(name))) ? parseFloat(params.get(name)) : fallback);
  const canvas = document.getElementById('canvas');
  const screen = document.getElementById('screen');
  const message = document.getElementById('message');
  // row: the music's; frameRow and scene: the whole row and the scene of the
  // last frame drawn.
  const state = (window.orvanta = { state: 'start', row: 0, frames: 0, frameRow: -1, scene: -1, error: null, missing: [] });

  function fail(text) {
    state.state = 'error';
    state.error = text;
    screen.className = 'error';
    message.textContent = text;
  }

  // What the program's abort says is for its developers (an assertion's
  // expression, file and line): the console keeps it, and the page says
  // what failed and what to try.
  function stopped(what) {
    console.error('Orvanta stopped: ' + what);
    const text = String(what);
    if (/glCheckFramebufferStatus|FRAMEBUFFER/i.test(text)) {
      return fail('The demo stopped: this browser could not make the images it draws into at this window\'s size. ' +
                  'Reload the page, or try a smaller window or another browser.');
    }
    if (/memory|Cannot enlarge/i.test(text)) {
      return fail('The demo stopped: it ran out of memory in this browser. Close other tabs and reload the page.');
    }
    return fail('The demo stopped unexpectedly. Reload the page to try again; if it stops again, another browser ' +
                'may play it (the browser\'s console says what went wrong).');
  }

  // The desktop's GL 4.3 core becomes WebGL2; float targets need this extension.
  function checkWebGL() {
    const probe = document.createElement('canvas').getContext('webgl2');
    if (!probe) return 'This browser has no WebGL2: Orvanta cannot draw here.';
    if (!probe.getExtension('EXT_color_buffer_float')) {
      return 'This browser\'s WebGL2 cannot render into float images (EXT_color_buffer_float): Orvanta cannot draw here.';
    }
    return null;
  }

  function pixelSize() {
    const ratio = window.devicePixelRatio || 1;
    return [Math.max(1, Math.round(canvas.clientWidth * ratio)), Math.max(1, Math.round(canvas.clientHeight * ratio))];
  }

  let lastShader = '';
  function print(line) {
    if (line.startsWith('0x')) {
      const scene = line.indexOf('; scene:');
      state.frames += 1;
      state.frameRow = parseInt(line.slice(2, scene), 16);
      if (scene > 0) state.scene = parseInt(line.slice(scene + 8), 10);
      return;
    }
    const opening = line.match(/^Opening shader file: (.*)$/);
    if (opening) lastShader = opening[1];
    if (/^ERROR:|error:/i.test(line) && state.state !== 'error') {
      fail((lastShader ? lastShader + ': ' : '') + 'the shader does not compile in this browser\n' + line);
    }
    console.log(line);
  }

  const audio = { buffer: null, context: null };
  // Module.FS exists before the program's memory does: files are written
  // once the runtime says it is initialized.
  let runtimeInitialized;
  const runtime = new Promise((resolve) => (runtimeInitialized = resolve));
  window.Module = {
    canvas: canvas,
    print: print,
    printErr: (line) => console.warn(line),
    stdin: () => null,
    orvantaAudio: audio,
    orvantaOptions: { scale: number('scale', 0.68), row: number('row', 0), hold: params.has('hold') ? 1 : 0 },
    orvantaEnded: () => {
      state.state = 'ended';
      screen.className = '';
      message.innerHTML = 'The end. <br>Click or press a key to play again.';
      // Not the key that ended it, which is still on its way.
      setTimeout(() => {
        screen.onclick = () => location.reload();
        window.addEventListener('keydown', () => location.reload());
      }, 300);
    },
    onRuntimeInitialized: () => runtimeInitialized(),
    onAbort: stopped,
  };

  function ready() {
    if (state.state === 'error') return;
    message.textContent = 'click or press a key';
    const begin = () => {
      if (state.state !== 'start') return;
      screen.onclick = null;
      window.removeEventListener('keydown', begin, true);
      start();
    };
    screen.onclick = begin;
    window.addEventListener('keydown', begin, true);
    if (params.has('autostart')) begin();
  }

  // A file that has not arrived within this many seconds will not: the
  // page says which, rather than saying "loading" for good.
  const loadSeconds = number('loadseconds', 30);
  async function fetchWithin(url) {
    const stop = new AbortController();
    const timer = setTimeout(() => stop.abort(), loadSeconds * 1000);
    try {
      const response = await fetch(url, { signal: stop.signal });
      return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
    } catch (e) {
      if (stop.signal.aborted) throw new Error(`${decodeURIComponent(url)} did not arrive within ${loadSeconds} s`);
      return null;
    } finally {
      clearTimeout(timer);
    }
  }

  async function loadFiles() {
    const listed = await fetchWithin('files.json');
    if (!listed) throw new Error('files.json is missing');
    const list = JSON.parse(new TextDecoder().decode(listed));
    let arrived = 0;
    const loaded = await Promise.all(list.map(async (name) => {
      // A name may hold what a URL reads otherwise ('#', '?', '%', a space).
      const bytes = await fetchWithin(name.split('/').map(encodeURIComponent).join('/'));
      arrived += 1;
      message.textContent = `loading… ${arrived} of ${list.length} files`;
      return [name, bytes];
    }));
    return loaded;
  }

  async function prepare() {
    const problem = checkWebGL();
    if (problem) return fail(problem);
    let loaded;
    try {
      loaded = await loadFiles();
    } catch (e) {
      return fail('The demo\'s files cannot be loaded: ' + (e.message || e) + '. Reload the page to try again.');
    }
    state.missing = loaded.filter(([name, bytes]) => !bytes).map(([name]) => name);
    const needed = state.missing.filter((name) => name !== 'tune.ogg');
    if (needed.length) return fail('Missing file' + (needed.length > 1 ? 's' : '') + ': ' + needed.join(', '));
    try {
      audio.context = new (window.AudioContext || window.webkitAudioContext)();
    } catch (e) {
      audio.context = null; // no sound device: the silent clock
    }
    const tune = loaded.find(([name]) => name === 'tune.ogg');
    if (tune && tune[1] && audio.context) {
      try {
        audio.buffer = await audio.context.decodeAudioData(tune[1].buffer.slice(0));
      } catch (e) {
        audio.buffer = null; // a tune the browser cannot decode plays silently
      }
    }
    await runtime;
    for (const [name, bytes] of loaded) {
      if (!bytes || name === 'tune.ogg') continue;
      // A demo folder's manifest and sources sit in demo/.
      if (name.includes('/')) Module.FS.mkdirTree(name.slice(0, name.lastIndexOf('/')));
      Module.FS.writeFile(name, bytes);
    }
    // The program reads the tune's name only to know it is there.
    if (tune && tune[1]) Module.FS.writeFile('tune.ogg', tune[1]);
    ready();
  }

  function start() {
    state.state = 'playing';
    screen.className = 'hidden';
    canvas.focus();
    if (audio.context) audio.context.resume().catch(() => {});
    const [width, height] = pixelSize();
    Module.orvantaOptions.width = width;
    Module.orvantaOptions.height = height;
    try {
      Module.callMain([]);
    } catch (e) {
      if (e !== 'unwind') return stopped(e);
    }
    if (state.state === 'error') return;
    // The held row's first picture, as the desktop's stills show it; read
    // before the browser takes the canvas's buffer for display.
    if (params.has('hold')) state.still = canvas.toDataURL('image/png');
    const resize = () => {
      const [w, h] = pixelSize();
      if (w === canvas.width && h === canvas.height) return;
      canvas.width = w;
      canvas.height = h;
      Module._orvantaResize(w, h);
    };
    window.addEventListener('resize', resize);
    // A window moved to a screen of another pixel ratio fires no resize.
    const watchRatio = () => {
      matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', () => {
        resize();
        watchRatio();
      }, { once: true });
    };
    watchRatio();
    const follow = () => {
      if (state.state === 'playing' || state.state === 'paused') {
        state.row = Module._orvantaRow();
        state.state = Module._orvantaPaused() ? 'paused' : 'playing';
      }
      requestAnimationFrame(follow);
    };
    requestAnimationFrame(follow);
  }

  // A browser may take the GL context back (a driver reset, a GPU process
  // that ran out of memory): every frame after it would fail.
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    if (state.state !== 'error') {
      fail('The browser stopped the demo\'s drawing (its WebGL context was lost, as a busy or reset graphics ' +
           'driver can cause). Reload the page to play it again.');
    }
  });

  // The program itself, after Module is set up for it.
  const program = document.createElement('script');
  program.src = 'orvanta.js';
  program.onerror = () => fail('Missing file: orvanta.js');
  document.body.appendChild(program);
  prepare();
})();
