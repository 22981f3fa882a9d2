// The studio's music in one run on this machine, in Debian's chromium: a
// score's save to its bars heard (the template's, a note of the bar under
// way changed; the median of 5), and the whole tune's render in the page's
// Worker (tunegen's synthesizer and the Vorbis encoder built with
// Emscripten) against the desktop's tunegen on the same score, for the
// template's score and Orvanta's.
//
//   node bench/studio_music_bench.mjs STUDIO_DIR DESKTOP_BIN_DIR
//
// Needs the browser tests' driver (make test installs it into tests/web).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import url from 'node:url';

const root = path.resolve(path.dirname(url.fileURLToPath(import.meta.url)), '..');
const { browse, serve } = await import(path.join(root, 'tests/web/browser.mjs'));
const studioDir = process.argv[2] && path.resolve(process.argv[2]);
const binDir = process.argv[3] && path.resolve(process.argv[3]);
if (!studioDir || !binDir || !fs.existsSync(path.join(studioDir, 'orvanta-music.wasm'))) {
  console.error('usage: node bench/studio_music_bench.mjs STUDIO_DIR DESKTOP_BIN_DIR');
  process.exit(2);
}

const scores = { template: path.join(root, 'data/template/demo.score'), orvanta: path.join(root, 'data/music/orvanta.score') };

function desktopSeconds(score) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'orvanta-music-bench-'));
  try {
    const begun = process.hrtime.bigint();
    execFileSync(path.join(binDir, 'tunegen'), [score, '-o', path.join(folder, 'tune.ogg')]);
    return Number(process.hrtime.bigint() - begun) / 1e9;
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

const server = await serve(studioDir);
const browser = await browse();
const tab = await browser.newPage({ viewport: { width: 1280, height: 720 } });
await tab.goto(`http://127.0.0.1:${server.address().port}/index.html`);
await tab.waitForFunction(() => window.studio && window.studio.ready && Module.orvantaAudio.buffer, null,
                          { timeout: 120000 });

const heard = [];
const notes = ['D#2', 'E-2', 'D-2', 'F#2', 'G#2'];
for (const note of notes) {
  await tab.waitForFunction(() => !studio.music.busy, null, { timeout: 60000 });
  await tab.evaluate(async (n) => {
    const score = await studio.read('demo.score');
    const at = Math.floor(studio.row / 16) * 16 % 64;
    await studio.write('demo.score', score.replace(new RegExp(`^(  ${at}:\\s+)\\S+$`, 'm'), `$1${n}`));
  }, note);
  await tab.waitForFunction(() => studio.music.heard.some((h) => h.stage === 'bars'), null, { timeout: 30000 });
  heard.push((await tab.evaluate(() => studio.music.heard.find((h) => h.stage === 'bars'))).seconds);
}
heard.sort((a, b) => a - b);

// The whole tune alone, as a folder without a tune renders it.
const pageSeconds = (text) => tab.evaluate(async (score) => {
  const module = await WebAssembly.compile(await (await fetch('orvanta-music.wasm')).arrayBuffer());
  const worker = new Worker('music_worker.js');
  const begun = performance.now();
  const done = new Promise((resolve, reject) => {
    worker.onmessage = (event) => {
      if (event.data.type === 'tune') resolve((performance.now() - begun) / 1000);
      if (event.data.type === 'error') reject(new Error(event.data.message));
    };
  });
  worker.postMessage({ module });
  worker.postMessage({ score, name: 'bench.score', tune: null, row: 0, rowRate: 8, sections: [], quality: 0.5,
                       mostSeconds: 900, check: false });
  try {
    return await done;
  } finally {
    worker.terminate();
  }
}, text);

const renders = {};
for (const [name, score] of Object.entries(scores)) {
  renders[name] = { page: await pageSeconds(fs.readFileSync(score, 'utf8')), desktop: desktopSeconds(score) };
}
await browser.close();
server.close();

console.log('Orvanta Studio\'s music, one run:');
console.log(`  a score's save to the bars under way heard:  ${heard[2].toFixed(2)} s (median of 5; ` +
            `${heard[0].toFixed(2)} to ${heard[4].toFixed(2)}; aim: under 3)`);
for (const [name, r] of Object.entries(renders)) {
  console.log(`  the whole tune, ${name.padEnd(8)} page ${r.page.toFixed(1)} s, desktop tunegen ${r.desktop.toFixed(1)} s ` +
              `(page / desktop ${(r.page / r.desktop).toFixed(2)})`);
}
