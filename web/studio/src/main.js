// Orvanta Studio's page: the demos kept in the browser (store.js), the open
// one laid out in the program's file system and drawn with its panel
// (orvanta-studio.wasm), its files listed and edited in the text pane
// (text_pane.js), its score rendered and heard (music.js), zips in and out
// (zip.js), the demo published as a web page (publish.js), and
// window.studio for tests and scripts, whose calls the page's own widgets
// make too.
import * as store from './store.js';
import { readZip, checkFolder, writeZip, ZipRefusal, entryLimit, wholeLimit } from './zip.js';
import { TextPane } from './text_pane.js';
import { Music } from './music.js';
import { publishPage, orvantaFolder } from './publish.js';
import { fetchBytes } from './fetch_bytes.js';

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
const encoder = new TextEncoder();
const decoder = new TextDecoder();
const textFile = /\.(toml|fsh|vsh|glsl|tracks|score|md|txt)$/i;

const page = {
  program: null,      // the Emscripten module, once it runs
  template: null,     // Map of the template's files
  id: '',             // the open demo's
  name: '',
  files: new Map(),   // the open demo's files, as the maker has them
  unkept: new Set(),  // paths the browser's storage has not taken yet
  shown: '',
  demos: [],
  started: false,
  loadedAt: 0,
};

function status(text, error) {
  $('status').textContent = text;
  $('status').title = text; // the whole line, where the bar cuts it
  $('status').className = error ? 'error' : '';
}

function screen(name, message, error) {
  $('screenName').textContent = name;
  $('screenMessage').textContent = message;
  $('screen').className = error ? 'error' : '';
}

// ---- the program --------------------------------------------------------------

// Without a tune the clock runs silently, for as long as a demo may last.
const audio = { buffer: null, context: null, silentSeconds: 3600 };

function loadProgram() {
  return new Promise((resolve, reject) => {
    window.Module = {
      canvas,
      print: (line) => console.log(line),
      printErr: (line) => console.warn(line),
      orvantaAudio: audio,
      noInitialRun: false,
      studioKeep: (name) => keptByProgram(name),
      studioPrompt: (text) => {
        const line = $('command');
        line.value = text;
        line.focus();
        line.setSelectionRange(text.length, text.length);
      },
      studioHelp: (text) => {
        const help = $('help');
        help.textContent = text.replace(/^# (.*)$/gm, '\n$1');
        help.hidden = !help.hidden;
      },
      onRuntimeInitialized: () => resolve(window.Module),
      onAbort: (what) => reject(new Error('the studio\'s program stopped: ' + what)),
    };
    const script = document.createElement('script');
    script.src = 'orvanta-studio.js';
    script.onerror = () => reject(new Error('orvanta-studio.js is missing'));
    document.body.appendChild(script);
  });
}

const call = {
  string: (name, ...args) => page.program.UTF8ToString(page.program['_' + name](...args)),
  withText: (name, text) => page.program.ccall(name, 'string', ['string'], [text]),
};

function fs() {
  return page.program.FS;
}

function clearFolder(path) {
  const FS = fs();
  if (!FS.analyzePath(path).exists) {
    FS.mkdirTree(path);
    return;
  }
  for (const name of FS.readdir(path)) {
    if (name === '.' || name === '..') continue;
    const full = path + '/' + name;
    if (FS.isDir(FS.stat(full).mode)) {
      clearFolder(full);
      FS.rmdir(full);
    } else {
      FS.unlink(full);
    }
  }
}

function layOut(path, files) {
  clearFolder(path);
  for (const [name, bytes] of files) {
    if (name.includes('/')) fs().mkdirTree(path + '/' + name.slice(0, name.lastIndexOf('/')));
    fs().writeFile(path + '/' + name, bytes);
  }
}

async function loadBuildFiles() {
  const names = JSON.parse(decoder.decode(await fetchBytes('template.json')));
  const template = new Map();
  await Promise.all(names.map(async (name) => template.set(name, await fetchBytes('template/' + encodeURIComponent(name)))));
  const studioFiles = ['font.ttf', 'logo.png', 'logos/MYDEMO.png', 'logos/ORVANTA.png', 'source/AA.fsh',
                       'source/test.vsh', 'es/AA.fsh', 'es/test.vsh'];
  const fetched = await Promise.all(studioFiles.map(async (name) => [name, await fetchBytes('files/' + name)]));
  return { template, studio: new Map(fetched) };
}

async function decodeTune(bytes) {
  if (!bytes || !audio.context) return null;
  try {
    return await audio.context.decodeAudioData(bytes.slice().buffer);
  } catch (e) {
    return null; // a tune this browser cannot decode: the silent clock
  }
}

function resize() {
  const ratio = Math.min(window.devicePixelRatio || 1, 2);
  const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  if (width === canvas.width && height === canvas.height && page.started) return;
  canvas.width = width;
  canvas.height = height;
  if (page.program) page.program._studio_resize(width, height);
}

// ---- the demo open ------------------------------------------------------------

function errors() {
  const program = page.program && page.started ? JSON.parse(call.string('studio_errors')) : [];
  return program.concat(music.errors);
}

// The tune's loudness under the panel's lanes, from the samples that play.
function showLoudness(buffer) {
  const program = page.program;
  if (!buffer) {
    program._studio_loudness(0, 0);
    return;
  }
  const frames = buffer.length;
  const pointer = program._malloc(frames * 4);
  if (!pointer) return;
  const left = buffer.getChannelData(0);
  const right = buffer.getChannelData(buffer.numberOfChannels > 1 ? 1 : 0);
  const heap = program.HEAP16;
  const to16 = (value) => Math.max(-32768, Math.min(32767, Math.round(value * 32768)));
  for (let i = 0, at = pointer >> 1; i < frames; ++i, at += 2) {
    heap[at] = to16(left[i]);
    heap[at + 1] = to16(right[i]);
  }
  program._studio_loudness(pointer, frames);
  program._free(pointer);
}

// A tune for the open folder (the music worker's): kept as its tune.ogg,
// and played from the row where the old one stood.
async function takeTune(bytes) {
  const id = page.id;
  page.files.set('tune.ogg', bytes);
  fs().writeFile('/demo/tune.ogg', bytes);
  if (![...$('files').children].some((item) => item.dataset.path === 'tune.ogg')) listFiles();
  keep('tune.ogg');
  const buffer = await decodeTune(bytes);
  if (page.id !== id || !buffer) return;
  audio.buffer = buffer;
  page.program._studio_tune();
  showLoudness(buffer);
}

function refreshMarks() {
  const list = errors();
  pane.mark(list);
  for (const item of $('files').children) {
    item.classList.toggle('bad', list.some((e) => e.file === item.dataset.path));
  }
  return list;
}

function listFiles() {
  const nav = $('files');
  nav.textContent = '';
  for (const path of [...page.files.keys()].sort()) {
    const item = document.createElement('div');
    item.textContent = path;
    item.dataset.path = path;
    item.title = path;
    item.className = path === page.shown ? 'open' : '';
    item.onclick = () => studio.show(path);
    nav.appendChild(item);
  }
  refreshMarks();
}

function listDemos() {
  const select = $('demos');
  select.textContent = '';
  for (const demo of page.demos) {
    const option = document.createElement('option');
    option.value = demo.id;
    option.textContent = demo.name;
    option.selected = demo.id === page.id;
    select.appendChild(option);
  }
}

function nameDemo(name) {
  page.name = name;
  document.title = `${name} · Orvanta Studio`;
  $('screenName').textContent = name;
}

async function keep(path) {
  page.unkept.add(path);
  const waiting = [...page.unkept];
  for (const each of waiting) {
    const bytes = page.files.get(each);
    if (!bytes) {
      page.unkept.delete(each);
      continue;
    }
    try {
      await store.saveFile(page.id, each, bytes);
      page.unkept.delete(each);
    } catch (e) {
      const why = store.isQuotaError(e) ? 'the browser\'s storage is full' : (e.message || String(e));
      status(`not kept: ${why}; the work stays in this page (Download keeps it), and is kept with the next save`, true);
      return false;
    }
  }
  return true;
}

// The program wrote a file of the folder (the editor's tracks text).
function keptByProgram(name) {
  const bytes = fs().readFile('/demo/' + name);
  page.files.set(name, bytes);
  if (name === page.shown && !pane.pending) pane.show(name, decoder.decode(bytes));
  if (![...$('files').children].some((item) => item.dataset.path === name)) listFiles();
  keep(name);
}

// Ready once the program has drawn its first frame.
function whenFirstFrame() {
  if (page.program._studio_frames() > 0) {
    performance.mark('studio-first-frame');
    page.loadedAt = performance.now() / 1000;
    $('screen').className = 'hidden';
    canvas.focus();
    studio.ready = true;
    return;
  }
  requestAnimationFrame(whenFirstFrame);
}

// Lays the folder out and draws it; "" or why it could not.
async function showDemo(id, name, files) {
  page.id = id;
  page.files = files;
  page.unkept.clear();
  nameDemo(name);
  layOut('/demo', files);
  clearFolder('/run');
  audio.buffer = null;
  // The program reads the tune's name only to know it is there: until the
  // folder's tune is decoded, and for a folder without one, the clock runs
  // silently.
  fs().writeFile('/run/tune.ogg', new Uint8Array(0));
  resize();
  const why = call.string('studio_open');
  performance.mark('studio-opened');
  if (why) return why;
  if (!studio.ready) whenFirstFrame();
  // The tune is decoded while the demo already draws on the silent clock,
  // and takes over where it stands.
  const tune = files.get('tune.ogg');
  showLoudness(null);
  decodeTune(tune).then((buffer) => {
    if (page.id !== id || !buffer) return;
    audio.buffer = buffer;
    page.program._studio_tune();
    showLoudness(buffer);
  });
  music.opened();
  page.started = true;
  page.shown = '';
  // The first scene's first pass, where the work mostly is.
  const manifest = files.has('demo.toml') ? decoder.decode(files.get('demo.toml')) : '';
  const pass = /^\s*passes\s*=\s*\[\s*"([^"]+)"/m.exec(manifest);
  studio.show(pass && files.has(pass[1]) ? pass[1] : files.has('demo.toml') ? 'demo.toml' : [...files.keys()][0]);
  listFiles();
  listDemos();
  store.setLast(id).catch(() => {});
  return '';
}

async function newDemo() {
  const id = await store.newDemoId();
  const files = new Map(page.template);
  const manifest = decoder.decode(files.get('demo.toml'));
  const named = /^name\s*=\s*"([^"]*)"/m.exec(manifest);
  const taken = new Set(page.demos.map((demo) => demo.name));
  let name = named ? named[1] : 'mydemo';
  for (let n = 2; taken.has(name); ++n) name = `${named ? named[1] : 'mydemo'}${n}`;
  // Stored while it already draws: a new demo is the template's files.
  const stored = (async () => {
    await store.saveMeta(id, { name, created: Date.now() });
    for (const [path, bytes] of files) await store.saveFile(id, path, bytes);
  })();
  page.demos = [...page.demos, { id, name, created: Date.now() }];
  const why = await showDemo(id, name, files);
  if (why) throw new Error(why);
  try {
    await stored;
    status(`${name}: a new demo from the template`);
  } catch (e) {
    for (const path of files.keys()) page.unkept.add(path);
    status(`${name}: not kept yet (${store.isQuotaError(e) ? 'the browser\'s storage is full' : e.message || e}); ` +
           'the work stays in this page, and is kept with the next save', true);
  }
  page.demos = await store.listDemos();
  listDemos();
}

async function openStored(id) {
  const demo = page.demos.find((each) => each.id === id);
  const files = await store.loadFiles(id);
  const was = { id: page.id, name: page.name, files: page.files };
  const why = await showDemo(id, demo ? demo.name : id, files);
  if (why) {
    // A stored demo that does not read any more: the one before plays on.
    if (was.id) await showDemo(was.id, was.name, was.files);
    status(`${demo ? demo.name : id} does not open: ${why}`, true);
    return false;
  }
  status(`${page.name} opened`);
  return true;
}

// A folder from outside (a zip's, a picker's, a drop's): checked whole
// before it is stored as a new demo; nothing stored is replaced.
async function takeFolder(name, files) {
  checkFolder(files);
  layOut('/incoming', files);
  const why = call.withText('studio_check', '/incoming');
  clearFolder('/incoming');
  if (why) throw new ZipRefusal(`its manifest does not read: ${why}`);
  const id = await store.newDemoId();
  try {
    await store.saveMeta(id, { name, created: Date.now() });
    for (const [path, bytes] of files) await store.saveFile(id, path, bytes);
  } catch (e) {
    await store.removeDemo(id).catch(() => {});
    throw new Error(store.isQuotaError(e) ? 'the browser\'s storage is full' : (e.message || String(e)));
  }
  page.demos = await store.listDemos();
  const opened = await showDemo(id, name, files);
  if (opened) throw new Error(opened);
  return `${name}: opened, ${files.size} files`;
}

async function openBytes(bytes, fallbackName) {
  try {
    const folder = readZip(bytes, fallbackName || 'opened');
    const message = await takeFolder(folder.name, folder.files);
    status(message);
    return message;
  } catch (e) {
    const message = `refused: ${e.message || e} (${page.name} plays on)`;
    status(message, true);
    return message;
  }
}

// ---- the text pane and the files --------------------------------------------------

// The pane's own saves: what it shows is already the text, and the maker
// may have typed on since.
const pane = new TextPane($('editor'), (path, text) => save(path, text, true));

const music = new Music({
  program: () => page.program,
  files: () => page.files,
  status,
  marked: () => refreshMarks(),
  tune: takeTune,
});

function flipToPng(pointer, width, height) {
  const heap = page.program.HEAPU8;
  const image = new ImageData(width, height);
  const row = width * 4;
  for (let y = 0; y < height; ++y) {
    image.data.set(heap.subarray(pointer + (height - 1 - y) * row, pointer + (height - y) * row), y * row);
  }
  const out = document.createElement('canvas');
  out.width = width;
  out.height = height;
  out.getContext('2d').putImageData(image, 0, 0);
  return out.toDataURL('image/png');
}

async function save(path, text, fromPane) {
  if (!/^[^/\\][^\\]*$/.test(path) || path.split('/').includes('..')) throw new Error(`${path}: not a path in the folder`);
  const bytes = encoder.encode(text);
  page.files.set(path, bytes);
  if (path.includes('/')) fs().mkdirTree('/demo/' + path.slice(0, path.lastIndexOf('/')));
  fs().writeFile('/demo/' + path, bytes);
  if (!fromPane && path === page.shown && pane.text() !== text) pane.show(path, text);
  const said = call.withText('studio_saved', path);
  music.saved(path, bytes);
  const list = refreshMarks();
  const mine = list.filter((e) => e.file === path);
  if (mine.length) status(`${path}:${mine[0].line}: ${mine[0].message}`, true);
  else if (said && !music.busy) status(said.split('\n').pop());
  if (![...$('files').children].some((item) => item.dataset.path === path)) listFiles();
  await keep(path);
  return said;
}

const studio = {
  ready: false,
  get frames() {
    return page.started ? page.program._studio_frames() : 0;
  },
  get fps() {
    return page.started ? page.program._studio_fps() : 0;
  },
  get row() {
    return page.started ? page.program._studio_row() : 0;
  },
  get loadSeconds() {
    return page.loadedAt;
  },
  tracks() {
    return page.started ? JSON.parse(call.string('studio_tracks')) : [];
  },
  run(line) {
    const said = call.withText('studio_run', String(line));
    if (said) status(said.split('\n').pop(), /^error:/.test(said.split('\n').pop()));
    return Promise.resolve(said);
  },
  files() {
    return [...page.files.keys()].sort();
  },
  read(path) {
    const bytes = page.files.get(path);
    return Promise.resolve(bytes === undefined ? null : decoder.decode(bytes));
  },
  // A save, as from the text pane: the folder's file replaced, the program
  // told, the browser's storage given it. Resolves to what the program said.
  write(path, text) {
    return save(path, text, false);
  },
  show(path) {
    const bytes = page.files.get(path);
    if (bytes === undefined) return Promise.resolve(false);
    page.shown = path;
    $('path').textContent = path;
    if (textFile.test(path)) pane.show(path, decoder.decode(bytes));
    else pane.show(path, `(${path}: ${bytes.length} bytes, not text)`);
    for (const item of $('files').children) item.className = item.dataset.path === path ? 'open' : '';
    refreshMarks();
    return Promise.resolve(true);
  },
  errors() {
    return errors();
  },
  // Where the panel's parts are on the canvas (its pixels), for scripts
  // that aim the mouse.
  layout() {
    return page.started ? JSON.parse(call.string('studio_layout')) : {};
  },
  still(row, width, height) {
    const pointer = page.program._studio_still(Number(row), width | 0, height | 0);
    if (!pointer) return Promise.reject(new Error('no still at that size (16 to 4096 a side)'));
    return Promise.resolve(flipToPng(pointer, width | 0, height | 0));
  },
  download() {
    return Promise.resolve(writeZip(page.name, page.files));
  },
  // What plays for rows [fromRow, toRow) now: interleaved stereo at 44.1 kHz,
  // cut where the music ends (silence where no tune plays), an hour at most.
  samples(fromRow, toRow) {
    const [from, to] = [Number(fromRow), Number(toRow)];
    if (!page.started || !Number.isFinite(from) || !Number.isFinite(to)) {
      return Promise.reject(new Error('samples(fromRow, toRow) takes two rows of the open demo'));
    }
    const rate = 44100;
    const rowRate = music.info().rowRate;
    const buffer = audio.buffer;
    const end = buffer ? buffer.length : Math.round(audio.silentSeconds * rate);
    const first = Math.min(end, Math.max(0, Math.round(from * rate / rowRate)));
    const last = Math.min(end, first + 3600 * rate, Math.max(first, Math.round(to * rate / rowRate)));
    const out = new Float32Array((last - first) * 2);
    if (buffer) {
      const left = buffer.getChannelData(0);
      const right = buffer.getChannelData(buffer.numberOfChannels > 1 ? 1 : 0);
      for (let frame = first; frame < last; ++frame) {
        out[2 * (frame - first)] = left[frame];
        out[2 * (frame - first) + 1] = right[frame];
      }
    }
    return Promise.resolve(out);
  },
  // The loudness the panel draws under its lanes: the loudest quarter row
  // of each bar, 0 to 1.
  waveform() {
    return page.started ? music.info().wave : [];
  },
  // The render of the score: its stage, progress, what was heard when.
  get music() {
    return music.state;
  },
  get renderLimit() {
    return music.limit;
  },
  set renderLimit(seconds) {
    music.setLimit(seconds);
    $('renderLimit').value = String(music.limit);
  },
  // The demo as a web page: the player and the folder laid out as
  // `make web DEMO=DIR` lays them out, zipped.
  publish() {
    return publishPage(page.program, page.name, page.files);
  },
  // Orvanta's own demo, as a new demo of this browser's.
  async openOrvanta() {
    const folder = await orvantaFolder();
    return takeFolder(folder.name, folder.files);
  },
  open(bytes) {
    return openBytes(bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes));
  },
  demos() {
    return page.demos.map((demo) => ({ id: demo.id, name: demo.name, open: demo.id === page.id }));
  },
  newDemo() {
    return newDemo().then(() => page.name);
  },
  async switchTo(id) {
    return openStored(id);
  },
  async rename(name) {
    name = String(name).trim();
    if (!name || /[/\\]/.test(name)) throw new Error('a name without slashes');
    await store.saveMeta(page.id, { name, created: (page.demos.find((d) => d.id === page.id) || {}).created || Date.now() });
    page.demos = await store.listDemos();
    nameDemo(name);
    listDemos();
    return name;
  },
  async remove(id) {
    await store.removeDemo(id);
    page.demos = await store.listDemos();
    if (id === page.id) {
      if (page.demos.length) await openStored(page.demos[page.demos.length - 1].id);
      else await newDemo();
    }
    listDemos();
  },
};
window.studio = studio;

// ---- the page's own widgets ---------------------------------------------------------

// A folder dropped on the page, read whole: its files by their paths in it,
// at most as many and as large as a zip may hold (zip.js checks the rest).
async function droppedFolder(top) {
  const files = new Map();
  let whole = 0;
  const entries = (folder) => new Promise((resolve, reject) => {
    const reader = folder.createReader();
    const all = [];
    const more = () => reader.readEntries((batch) => (batch.length ? (all.push(...batch), more()) : resolve(all)), reject);
    more();
  });
  const walk = async (folder, prefix) => {
    for (const entry of await entries(folder)) {
      if (entry.isDirectory) {
        await walk(entry, prefix + entry.name + '/');
        continue;
      }
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      whole += file.size;
      if (file.size > entryLimit || whole > wholeLimit) throw new ZipRefusal(`${prefix + entry.name}: the folder is over the limits`);
      files.set(prefix + entry.name, new Uint8Array(await file.arrayBuffer()));
    }
  };
  await walk(top, '');
  return files;
}

// A key on the canvas as GLUT numbers it (the editor's key table): a
// character its code, a special key 0x1000 + GLUT's number, ctrl with a
// special key 0x10000 more, ctrl with a letter its control code.
const specialKeys = { ArrowLeft: 100, ArrowUp: 101, ArrowRight: 102, ArrowDown: 103, PageUp: 104, PageDown: 105, Home: 106 };
function keyCode(event) {
  if (event.altKey || event.metaKey) return null;
  if (event.key in specialKeys) return 0x1000 + specialKeys[event.key] + (event.ctrlKey ? 0x10000 : 0);
  if (event.ctrlKey) return /^[a-z]$/i.test(event.key) ? event.key.toLowerCase().charCodeAt(0) - 96 : null;
  const named = { Tab: 9, Enter: 13, Escape: 27, Delete: 127 };
  if (event.key in named) return named[event.key];
  return event.key.length === 1 ? event.key.charCodeAt(0) : null;
}

function wire() {
  $('new').onclick = () => studio.newDemo().catch((e) => status(String(e.message || e), true));
  $('demos').onchange = (event) => studio.switchTo(event.target.value);
  $('open').onclick = () => $('zipInput').click();
  $('openFolder').onclick = () => $('folderInput').click();
  $('zipInput').onchange = async (event) => {
    const file = event.target.files[0];
    event.target.value = '';
    if (file) await openBytes(new Uint8Array(await file.arrayBuffer()), file.name.replace(/\.zip$/i, ''));
  };
  $('folderInput').onchange = async (event) => {
    const chosen = [...event.target.files];
    event.target.value = '';
    if (!chosen.length) return;
    const top = chosen[0].webkitRelativePath.split('/')[0];
    const files = new Map();
    try {
      let whole = 0;
      for (const file of chosen) {
        whole += file.size;
        if (file.size > entryLimit || whole > wholeLimit) throw new ZipRefusal(`${file.webkitRelativePath}: the folder is over the limits`);
        files.set(file.webkitRelativePath.slice(top.length + 1), new Uint8Array(await file.arrayBuffer()));
      }
      status(await takeFolder(top, files));
    } catch (e) {
      status(`refused: ${e.message || e} (${page.name} plays on)`, true);
    }
  };
  const offer = (bytes, name) => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/zip' }));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  };
  $('download').onclick = async () => offer(await studio.download(), `${page.name}.zip`);
  $('publish').onclick = async () => {
    try {
      offer(await studio.publish(), `${page.name}-web.zip`);
      status(`${page.name}-web.zip: the demo as a web page; any static host serves the folder in it`);
    } catch (e) {
      status(`not published: ${e.message || e}`, true);
    }
  };
  $('orvanta').onclick = async () => {
    try {
      status(await studio.openOrvanta());
    } catch (e) {
      status(`Orvanta does not open: ${e.message || e}`, true);
    }
  };
  $('renderLimit').value = String(music.limit);
  $('renderLimit').onchange = (event) => {
    try {
      studio.renderLimit = event.target.value;
    } catch (e) {
      event.target.value = String(music.limit);
      status(String(e.message || e), true);
    }
  };
  $('rename').onclick = () => {
    const name = prompt('The demo\'s name', page.name);
    if (name) studio.rename(name).catch((e) => status(String(e.message || e), true));
  };
  $('remove').onclick = () => {
    $('confirmText').textContent = `Remove ${page.name} from this browser? Download it first to keep a copy.`;
    $('confirm').onclose = () => {
      if ($('confirm').returnValue === 'yes') studio.remove(page.id);
    };
    $('confirm').showModal();
  };
  // A zip or a folder dropped on the page.
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    const item = event.dataTransfer.items && event.dataTransfer.items[0];
    const entry = item && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
    if (entry && entry.isDirectory) {
      try {
        status(await takeFolder(entry.name, await droppedFolder(entry)));
      } catch (e) {
        status(`refused: ${e.message || e} (${page.name} plays on)`, true);
      }
      return;
    }
    const file = event.dataTransfer.files[0];
    if (file && /\.zip$/i.test(file.name)) await openBytes(new Uint8Array(await file.arrayBuffer()), file.name.replace(/\.zip$/i, ''));
  });
  // The canvas's mouse and keys go to the program; the text pane keeps its own.
  const at = (event) => {
    const rect = canvas.getBoundingClientRect();
    return [Math.round((event.clientX - rect.left) * canvas.width / rect.width),
            Math.round((event.clientY - rect.top) * canvas.height / rect.height)];
  };
  canvas.addEventListener('mousedown', (event) => {
    canvas.focus();
    page.program._studio_mouse(event.button, 1, event.shiftKey ? 1 : 0, ...at(event));
    event.preventDefault();
  });
  window.addEventListener('mouseup', (event) => page.started && page.program._studio_mouse(event.button, 0, event.shiftKey ? 1 : 0, ...at(event)));
  // A drag begun on the picture goes on over the rest of the page.
  window.addEventListener('mousemove', (event) => page.started && event.buttons && event.target !== canvas && page.program._studio_motion(...at(event)));
  canvas.addEventListener('mousemove', (event) => page.program._studio_motion(...at(event)));
  canvas.addEventListener('wheel', (event) => {
    page.program._studio_wheel(event.deltaY < 0 ? 1 : -1, ...at(event));
    event.preventDefault();
  }, { passive: false });
  canvas.addEventListener('keydown', (event) => {
    const code = keyCode(event);
    if (code !== null && page.started && page.program._studio_key(code, event.shiftKey ? 1 : 0)) event.preventDefault();
  });
  $('command').addEventListener('keydown', async (event) => {
    if (event.key === 'Escape') {
      event.target.value = '';
      canvas.focus();
    } else if (event.key === 'Enter' && event.target.value.trim()) {
      const line = event.target.value;
      event.target.value = '';
      await studio.run(line);
      canvas.focus();
    }
  });
  new ResizeObserver(() => page.started && resize()).observe($('stage'));
  // The browser plays sound only after a gesture.
  const wake = () => audio.context && audio.context.resume().catch(() => {});
  window.addEventListener('pointerdown', wake);
  window.addEventListener('keydown', wake);
}

async function boot() {
  const mark = (name) => performance.mark('studio-' + name);
  if (!document.createElement('canvas').getContext('webgl2')) {
    screen('Orvanta Studio', 'This browser has no WebGL2: the studio cannot draw here.', true);
    return;
  }
  try {
    // At the tunes' own rate, so that decoded tunes and the music worker's
    // renders share their sample frames.
    audio.context = new (window.AudioContext || window.webkitAudioContext)({ sampleRate: 44100 });
  } catch (e) {
    audio.context = null; // no sound device: the silent clock
  }
  wire();
  try {
    const loading = Promise.all([loadProgram().then((p) => (mark('program'), p)),
                                 loadBuildFiles().then((b) => (mark('files'), b))]);
    // The start screen names the demo that opens while the rest loads.
    page.demos = await store.listDemos();
    const last = await store.getLast();
    const opening = page.demos.find((demo) => demo.id === last) || page.demos[page.demos.length - 1];
    screen(opening ? opening.name : 'a new demo', 'loading…');
    const [program, built] = await loading;
    page.program = program;
    page.template = built.template;
    layOut('/studio', built.studio);
    if (page.demos.some((demo) => demo.id === last)) {
      if (!(await openStored(last))) await newDemo();
    } else if (page.demos.length) {
      await openStored(page.demos[page.demos.length - 1].id);
    } else {
      await newDemo();
    }
  } catch (e) {
    screen(page.name || 'Orvanta Studio', String(e.message || e), true);
    return;
  }
}

boot();
