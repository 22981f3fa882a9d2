// Orvanta Studio in one run on this machine, in Debian's chromium (WebGL2
// through SwiftShader): the load to the template's first frame (a new
// browser profile: the template laid out and stored first), frames a second
// over 10 s with the picture and the panel in a 960x540 canvas (the
// adaptive resolution as the desktop player's), the same with the panel
// hidden, a shader's save to its programs rebuilt, and the sizes the page
// loads.
//
//   node bench/studio_bench.mjs STUDIO_DIR
//
// Needs the browser tests' driver (make test installs it into tests/web).
import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';

const root = path.resolve(path.dirname(url.fileURLToPath(import.meta.url)), '..');
const { browse, serve } = await import(path.join(root, 'tests/web/browser.mjs'));
const studioDir = process.argv[2] && path.resolve(process.argv[2]);
if (!studioDir || !fs.existsSync(path.join(studioDir, 'orvanta-studio.wasm'))) {
  console.error('usage: node bench/studio_bench.mjs STUDIO_DIR');
  process.exit(2);
}
const seconds = 10;

async function framesOver(tab) {
  const from = await tab.evaluate(() => [performance.now(), studio.frames]);
  await tab.waitForTimeout(seconds * 1000);
  const to = await tab.evaluate(() => [performance.now(), studio.frames, studio.fps]);
  return { fps: (to[1] - from[1]) / ((to[0] - from[0]) / 1000), lastTwo: to[2] };
}

const server = await serve(studioDir);
const browser = await browse();
const tab = await browser.newPage({ viewport: { width: 1600, height: 800 }, deviceScaleFactor: 1 });
const start = Date.now();
await tab.goto(`http://127.0.0.1:${server.address().port}/index.html`);
await tab.waitForFunction(() => window.studio && window.studio.ready, null, { polling: 'raf', timeout: 120000 });
const load = (Date.now() - start) / 1000;
const phases = await tab.evaluate(() => Object.fromEntries(performance.getEntriesByType('mark')
  .filter((m) => m.name.startsWith('studio-')).map((m) => [m.name.slice(7), m.startTime / 1000])));
const parsed = await tab.evaluate(() => performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd / 1000);
// The canvas held at 960x540 whatever the window's size.
await tab.addStyleTag({ content: '#stage { flex: 0 0 960px !important; height: 540px !important; }' });
await tab.waitForTimeout(2500); // the resolution settles
const size = await tab.evaluate(() => [document.getElementById('canvas').width, document.getElementById('canvas').height]);
const panel = await framesOver(tab);
await tab.evaluate(() => studio.run('panel off'));
await tab.waitForTimeout(2500);
const hidden = await framesOver(tab);
await tab.evaluate(() => studio.run('panel on'));
const saves = [];
for (let i = 0; i < 5; ++i) {
  const source = await tab.evaluate(() => studio.read('scene.fsh'));
  const took = await tab.evaluate(async (text) => {
    const begun = performance.now();
    await studio.write('scene.fsh', text);
    return performance.now() - begun;
  }, source + `// save ${i}\n`);
  saves.push(took);
}
await browser.close();
server.close();
saves.sort((a, b) => a - b);

const sizeOf = (name) => fs.statSync(path.join(studioDir, name)).size;
const folderSize = (folder) => fs.readdirSync(folder, { withFileTypes: true })
  .reduce((sum, entry) => sum + (entry.isDirectory() ? folderSize(path.join(folder, entry.name))
                                                      : fs.statSync(path.join(folder, entry.name)).size), 0);
const kib = (bytes) => `${(bytes / 1024).toFixed(0)} KiB`;
console.log('Orvanta Studio in chromium (SwiftShader), one run:');
console.log(`  load to the template's first frame:          ${load.toFixed(2)} s (aim: under 3), a new profile`);
console.log(`    of which: page parsed ${parsed.toFixed(2)} s, program ${phases.program.toFixed(2)} s, ` +
            `build files ${phases.files.toFixed(2)} s, demo drawn ${phases.opened.toFixed(2)} s, ` +
            `first frame ${phases['first-frame'].toFixed(2)} s (from the navigation's start)`);
console.log(`  frames a second, ${size[0]}x${size[1]}, panel open:  ${panel.fps.toFixed(1)} (aim: 15)`);
console.log(`  frames a second, ${size[0]}x${size[1]}, panel hidden: ${hidden.fps.toFixed(1)}`);
console.log(`  a shader's save to its programs rebuilt:    ${saves[2].toFixed(0)} ms (median of 5)`);
console.log(`  sizes: orvanta-studio.wasm ${kib(sizeOf('orvanta-studio.wasm'))}, orvanta-studio.js ` +
            `${kib(sizeOf('orvanta-studio.js'))}, studio.js ${kib(sizeOf('studio.js'))}, ` +
            `template/ ${kib(folderSize(path.join(studioDir, 'template')))}, files/ ${kib(folderSize(path.join(studioDir, 'files')))}, ` +
            `all ${kib(folderSize(studioDir))}`);
