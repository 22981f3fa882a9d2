// The demo as a web page (Publish): the player page and its program, built
// with the studio (player/), and the open folder laid out by the program as
// `make web DEMO=DIR` lays one out (studio_publish), with the folder's tune,
// files.json naming what the player loads, and the marker that lets a later
// `make web` replace the folder. Zipped under NAME-web/; any static host
// serves what it holds.
//
// Orvanta's own demo (Open Orvanta) comes with the studio as a folder too.
import { fetchBytes } from './fetch_bytes.js';
import { writeZip } from './zip.js';

const playerFiles = ['index.html', 'page.js', 'orvanta.js', 'orvanta.wasm'];
const marker = '.orvanta-web';

function clear(FS, path) {
  if (!FS.analyzePath(path).exists) return;
  for (const name of FS.readdir(path)) {
    if (name === '.' || name === '..') continue;
    const full = `${path}/${name}`;
    if (FS.isDir(FS.stat(full).mode)) {
      clear(FS, full);
      FS.rmdir(full);
    } else {
      FS.unlink(full);
    }
  }
}

// What the player loads, in the order the page's build lists it.
export function filesList(names) {
  const top = names.filter((name) => !name.includes('/')).sort();
  const listed = [];
  for (const pattern of [/\.fsh$/, /\.vsh$/, /^logo\.png$/, /^tune\.ogg$/, /^sync_.*\.track$/]) {
    listed.push(...top.filter((name) => pattern.test(name)));
  }
  listed.push(...names.filter((name) => name.startsWith('demo/')).sort());
  return listed;
}

export async function publishPage(program, name, files) {
  const FS = program.FS;
  const out = '/publish';
  clear(FS, out);
  FS.mkdirTree(`${out}/demo`);
  const why = program.ccall('studio_publish', 'string', ['string'], [out]);
  const page = new Map();
  try {
    if (why) throw new Error(why);
    for (const folder of ['', 'demo/']) {
      for (const entry of FS.readdir(`${out}/${folder}`)) {
        const path = `${out}/${folder}${entry}`;
        if (entry === '.' || entry === '..' || FS.isDir(FS.stat(path).mode)) continue;
        page.set(folder + entry, FS.readFile(path));
      }
    }
  } finally {
    clear(FS, out);
  }
  const music = JSON.parse(program.UTF8ToString(program._studio_music())).music;
  const tune = /\.ogg$/i.test(music) ? files.get(music) : files.get('tune.ogg');
  if (tune) page.set('tune.ogg', tune);
  const encoder = new TextEncoder();
  page.set('files.json', encoder.encode(JSON.stringify(filesList([...page.keys()])) + '\n'));
  const player = await Promise.all(playerFiles.map(async (file) => [file, await fetchBytes(`player/${file}`)]));
  for (const [file, bytes] of player) page.set(file, bytes);
  const made = [...page.keys(), 'demo', marker].sort();
  page.set(marker, encoder.encode(made.map((each) => `${each}\0`).join('')));
  return writeZip(`${name}-web`, page);
}

export async function orvantaFolder() {
  const names = JSON.parse(new TextDecoder().decode(await fetchBytes('orvanta.json')));
  const files = new Map();
  await Promise.all(names.map(async (path) => {
    files.set(path, await fetchBytes(`orvanta/${path.split('/').map(encodeURIComponent).join('/')}`));
  }));
  return { name: 'orvanta', files };
}
