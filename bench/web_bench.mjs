// The web build against the desktop build, in one run on this machine:
// the page's load to its first frame, and frames a second at 640x360 (scene
// scale 0.68, the default of both) over the demo's first 10 s: the page in
// Debian's chromium (WebGL2 through SwiftShader), the desktop's `orvanta` in
// a 640x360 virtual X server (llvmpipe). Then the sizes the page loads.
//
//   node bench/web_bench.mjs WEB_DIR ORVANTA_BIN
//
// Needs the browser tests' driver (make test installs it into tests/web).
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';
import zlib from 'node:zlib';

const root = path.resolve(path.dirname(url.fileURLToPath(import.meta.url)), '..');
const { browse, serve } = await import(path.join(root, 'tests/web/browser.mjs'));
const [webDir, orvanta] = process.argv.slice(2).map((name) => name && path.resolve(name));
if (!webDir || !orvanta) {
  console.error('usage: node bench/web_bench.mjs WEB_DIR ORVANTA_BIN');
  process.exit(2);
}
const seconds = 10;

async function page() {
  const server = await serve(webDir);
  const browser = await browse();
  const tab = await browser.newPage({ viewport: { width: 640, height: 360 }, deviceScaleFactor: 1 });
  const start = Date.now();
  await tab.goto(`http://127.0.0.1:${server.address().port}/index.html?autostart`);
  await tab.waitForFunction(() => window.orvanta.frames >= 1, null, { polling: 'raf', timeout: 120000 });
  const firstFrame = (Date.now() - start) / 1000;
  const from = await tab.evaluate(() => [performance.now(), window.orvanta.frames]);
  await tab.waitForTimeout(seconds * 1000);
  const to = await tab.evaluate(() => [performance.now(), window.orvanta.frames]);
  await browser.close();
  server.close();
  return { firstFrame, fps: (to[1] - from[1]) / ((to[0] - from[0]) / 1000) };
}

// The desktop build's frames over the same seconds, counted from its console.
function desktop() {
  return new Promise((resolve, reject) => {
    const child = spawn('xvfb-run', ['-a', '-s', '-screen 0 640x360x24 -noreset', 'stdbuf', '-oL', orvanta],
      { cwd: path.join(path.dirname(orvanta), '../run'), env: { ...process.env, SDL_AUDIODRIVER: 'none' },
        detached: true });
    let frames = 0, first = null, text = '';
    child.stdout.on('data', (chunk) => {
      text += chunk;
      const lines = text.split('\n');
      text = lines.pop();
      for (const line of lines) {
        if (!line.startsWith('0x')) continue;
        if (first === null) {
          first = Date.now();
          setTimeout(() => {
            const fps = frames / seconds;
            process.kill(-child.pid, 'SIGTERM');
            resolve({ fps });
          }, seconds * 1000);
        }
        frames += 1;
      }
    });
    child.on('error', reject);
  });
}

const web = await page();
const native = await desktop();
console.log(`Page load to its first frame (640x360, SwiftShader): ${web.firstFrame.toFixed(2)} s`);
console.log(`Frames a second at 640x360, scene scale 0.68, the first ${seconds} s:`);
console.log(`  page, chromium on SwiftShader  ${web.fps.toFixed(2)}`);
console.log(`  desktop, orvanta on llvmpipe   ${native.fps.toFixed(2)}`);
console.log(`  page / desktop                 ${(web.fps / native.fps).toFixed(2)}`);

const size = (names) => names.reduce((sum, name) => sum + fs.statSync(path.join(webDir, name)).size, 0);
const gzipped = (names) => names.reduce((sum, name) => sum + zlib.gzipSync(fs.readFileSync(path.join(webDir, name))).length, 0);
const all = fs.readdirSync(webDir).filter((name) => fs.statSync(path.join(webDir, name)).isFile());
const data = all.filter((name) => !/^(orvanta\.(js|wasm)|index\.html|page\.js)$/.test(name));
const kib = (bytes) => `${(bytes / 1024).toFixed(0)} KiB`;
console.log('What the page loads (as stored; gzip-compressed as a server may send it):');
for (const [what, names] of [['orvanta.wasm', ['orvanta.wasm']], ['orvanta.js', ['orvanta.js']],
                             ['index.html + page.js', ['index.html', 'page.js']], [`data (${data.length} files)`, data],
                             ['in all', all]]) {
  console.log(`  ${what.padEnd(22)} ${kib(size(names)).padStart(9)}  ${kib(gzipped(names)).padStart(9)}`);
}
