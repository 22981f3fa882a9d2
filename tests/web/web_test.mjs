// The web build in a real browser: Debian's chromium, drawing WebGL2 through
// SwiftShader, driven by playwright-core. The page is served from a folder
// on 127.0.0.1 by this script; time is real time (the audio clock runs in it).
//
//   node web_test.mjs CASE WEB_DIR SOURCE_DIR [CAPTURE_BIN]
//
// CASE: timing (the row follows the audio clock, scenes change at the
// desktop's rows, space pauses, escape ends), stills (held frames match the
// desktop capture's), problems (a missing tune plays silently; a broken
// shader, a missing track file, an abort, a file that never arrives and no
// WebGL2 each show their message),
// folder (a page laid out from a demo folder that orvanta-new made draws
// that demo, as the desktop capture of the folder does).
// Ends with "N passed, N failed".
import { browse, serve } from './browser.mjs';
import { harness } from './harness.mjs';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

const [caseName, ...folders] = process.argv.slice(2);
const [webDir, sourceDir, captureBin] = folders.map((name) => name && path.resolve(name));
const rowRate = 488 / 60;
// Folders this script made are removed at the end, unless a check failed
// and left pictures to look at.
const { check, temporary, finish, failed } = harness('orvanta-web-');

// Opens the page of `folder` at `query`, clicks through the start screen
// and waits for `state` (or the first of several).
async function open(browser, folder, query, size = { width: 320, height: 180 }, states = ['playing', 'paused']) {
  const server = await serve(folder);
  const page = await browser.newPage({ viewport: size, deviceScaleFactor: 1 });
  // What the page said, to show when it never gets ready.
  const messages = [];
  page.on('console', (m) => messages.push(m.text()));
  page.on('pageerror', (e) => messages.push('uncaught: ' + e));
  const url = `http://127.0.0.1:${server.address().port}/index.html${query}`;
  await page.goto(url);
  await page.waitForFunction(() => window.orvanta && (window.orvanta.state === 'error' ||
    document.getElementById('message').textContent.includes('click')), null, { timeout: 60000 }).catch(async (e) => {
      const shown = await page.evaluate(() => [window.orvanta, document.getElementById('message').textContent]);
      console.log('The page never showed its start screen: ' + JSON.stringify(shown) + '\n' + messages.join('\n'));
      throw e;
    });
  if ((await page.evaluate(() => window.orvanta.state)) !== 'error') await page.mouse.click(size.width / 2, size.height / 2);
  await page.waitForFunction((wanted) => wanted.includes(window.orvanta.state) || window.orvanta.state === 'error',
    states, { timeout: 60000 });
  return { page, server, close: async () => { await page.close(); server.close(); } };
}

// The scene the desktop shows at each row, from the tracks text.
function desktopScenes() {
  const text = fs.readFileSync(path.join(sourceDir, 'data/tracks/demo.tracks'), 'utf8');
  const block = text.split(/^track /m).find((part) => part.startsWith('scene'));
  return block.split('\n').slice(1).map((line) => line.match(/^\s+(\d+):(\d+):(\d+)\s+(\d+)/)).filter(Boolean)
    .map((m) => ({ row: (+m[1]) * 16 + (+m[2]) * 4 + (+m[3]), scene: +m[4] }));
}

function copyOf(folder) {
  const copy = temporary();
  fs.cpSync(folder, copy, { recursive: true });
  return copy;
}

async function timing() {
  const browser = await browse();
  const { page, close } = await open(browser, webDir, '');
  // The music's row, read from the program, against the page's clock at
  // every animation frame for 10 s (window.orvanta.row is a frame behind).
  const samples = await page.evaluate(() => new Promise((resolve) => {
    const out = [];
    const start = performance.now();
    const step = () => {
      out.push([performance.now(), Module._orvantaRow()]);
      if (performance.now() - start < 10000) requestAnimationFrame(step); else resolve(out);
    };
    requestAnimationFrame(step);
  }));
  const [t0, r0] = samples[0], [t1, r1] = samples[samples.length - 1];
  const drift = Math.abs((r1 - r0) / rowRate - (t1 - t0) / 1000);
  check(drift <= 0.05, `the row follows the clock within 50 ms over 10 s: ${drift.toFixed(3)} s off`);
  check(samples.every((s, i) => i === 0 || s[1] >= samples[i - 1][1]), 'the row never goes back while playing');
  check((await page.evaluate(() => window.orvanta.frames)) > 10, 'frames are drawn');

  await page.keyboard.press('Space');
  await page.waitForTimeout(500);
  const held = await page.evaluate(() => [window.orvanta.state, window.orvanta.row]);
  await page.waitForTimeout(1000);
  check(held[0] === 'paused' && Math.abs((await page.evaluate(() => window.orvanta.row)) - held[1]) < 1e-6,
    'space pauses and the row stands');
  await page.keyboard.press('Space');
  await page.waitForTimeout(500);
  check((await page.evaluate(() => window.orvanta.state)) === 'playing', 'space plays on');
  await page.keyboard.press('d');
  await page.waitForTimeout(300);
  check((await page.evaluate(() => window.orvanta.row)) > held[1] + 10, 'D seeks forwards');
  await page.setViewportSize({ width: 400, height: 224 });
  const framesBefore = await page.evaluate(() => window.orvanta.frames);
  await page.waitForTimeout(1000);
  const resized = await page.evaluate(() => [document.getElementById('canvas').width, document.getElementById('canvas').height, window.orvanta.frames, window.orvanta.state]);
  check(resized[0] === 400 && resized[1] === 224 && resized[2] > framesBefore && resized[3] === 'playing',
    `the canvas follows the window and frames go on: ${resized}`);
  await close();

  // Across each cut, the scene of every frame is the desktop's at its row.
  const cuts = desktopScenes();
  const sceneAt = (row) => cuts.filter((c) => c.row <= row).pop().scene;
  for (const cut of cuts.slice(1, 3)) {
    // Four seconds before it: a loaded machine may take a while to the first frames.
    const { page: cutPage, close: closeCut } = await open(browser, webDir, `?row=${cut.row - 32}`);
    const seen = await cutPage.evaluate((end) => new Promise((resolve) => {
      const out = [];
      let frames = window.orvanta.frames;
      const step = () => {
        if (window.orvanta.frames !== frames) out.push([window.orvanta.frameRow, window.orvanta.scene]);
        frames = window.orvanta.frames;
        if (out.length < 1000 && window.orvanta.frameRow < end) requestAnimationFrame(step); else resolve(out);
      };
      requestAnimationFrame(step);
    }), cut.row + 8);
    const wrong = seen.filter(([row, scene]) => scene !== sceneAt(row));
    check(seen.some(([row]) => row < cut.row) && seen.some(([row]) => row >= cut.row),
      `frames on both sides of the cut at row ${cut.row}`);
    check(wrong.length === 0, `the scene changes at row ${cut.row} as on the desktop: ${JSON.stringify(wrong.slice(0, 3))}`);
    await closeCut();
  }

  const { page: endPage, close: closeEnd } = await open(browser, webDir, '');
  await endPage.keyboard.press('Escape');

  await endPage.waitForFunction(() => window.orvanta.state === 'ended', null, { timeout: 5000 }).catch(() => {});
  check((await endPage.evaluate(() => window.orvanta.state)) === 'ended', 'escape ends it');
  check((await endPage.textContent('#message')).includes('play again'), 'the end screen offers to play again');
  await closeEnd();
  await browser.close();
}

// PSNR in dB of two same-sized pictures, computed in the page.
async function psnr(page, a, b) {
  return page.evaluate(async ([first, second]) => {
    const pixels = async (data) => {
      const image = new Image();
      image.src = 'data:image/png;base64,' + data;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, image.width, image.height);
    };
    const [x, y] = [await pixels(first), await pixels(second)];
    if (x.width !== y.width || x.height !== y.height) return -1;
    let sum = 0, count = 0;
    for (let i = 0; i < x.data.length; i += 4) {
      for (let c = 0; c < 3; ++c) {
        const d = x.data[i + c] - y.data[i + c];
        sum += d * d;
        count += 1;
      }
    }
    return sum === 0 ? 99 : 10 * Math.log10(255 * 255 / (sum / count));
  }, [a.toString('base64'), b.toString('base64')]);
}

// Two halves, a test each, so that neither takes long on a busy machine.
const stillRows = { early: [64, 256], late: [512, 896] };
const stillTolerance = 35; // dB; see docs/web.md

async function stills(rows) {
  const out = temporary();
  execFileSync(captureBin, ['--stills', rows.join(','), '--out', out + '/', '--size', '320x180',
    '--scene-scale', '1'], { cwd: path.join(path.dirname(captureBin), '../run'), stdio: 'ignore' });
  const browser = await browse();
  const scores = [];
  for (const row of rows) {
    const { page, close } = await open(browser, webDir, `?row=${row}&hold&scale=1`);
    // The row's first picture, drawn after the second before it, as the
    // desktop capture's stills are.
    await page.waitForFunction(() => !!window.orvanta.still, null, { timeout: 60000 });
    const web = Buffer.from((await page.evaluate(() => window.orvanta.still)).split(',')[1], 'base64');
    fs.writeFileSync(path.join(out, `web_${row}.png`), web);
    const desktop = fs.readFileSync(path.join(out, `row_${row}.png`));
    const score = await psnr(page, web, desktop);
    scores.push(`${row}: ${score.toFixed(1)} dB`);
    check(score >= stillTolerance, `row ${row}: the page's still within ${stillTolerance} dB PSNR of the desktop's: ${score.toFixed(1)} dB`);
    await close();
  }
  console.log('PSNR against the desktop capture: ' + scores.join(', '));
  if (failed()) console.log('The stills are in ' + out);
  await browser.close();
}

async function problems() {
  const browser = await browse();
  const silent = copyOf(webDir);
  fs.rmSync(path.join(silent, 'tune.ogg'));
  {
    const { page, close } = await open(browser, silent, '');
    const before = await page.evaluate(() => window.orvanta.row);
    await page.waitForTimeout(1500);
    const after = await page.evaluate(() => [window.orvanta.state, window.orvanta.row]);
    check(after[0] === 'playing' && after[1] - before > 5, `a missing tune plays silently on the clock: ${after}`);
    await close();
  }
  const broken = copyOf(webDir);
  fs.writeFileSync(path.join(broken, 'hall.fsh'), '#version 300 es\nprecision highp float;\nout vec4 c;\nvoid main() { c = vec4(undeclared); }\n');
  const noTrack = copyOf(webDir);
  fs.rmSync(path.join(noTrack, 'sync_scene.track'));
  for (const [folder, wanted] of [[broken, 'hall.fsh'], [noTrack, 'sync_scene.track']]) {
    const { page, close } = await open(browser, folder, '', undefined, ['error']);
    const shown = await page.evaluate(() => [window.orvanta.state, window.orvanta.error,
      getComputedStyle(document.getElementById('screen')).display]);
    check(shown[0] === 'error' && (shown[1] || '').includes(wanted) && shown[2] !== 'none',
      `${wanted}: a message on the page, not a black canvas: ${JSON.stringify(shown)}`);
    await close();
  }
  // The program's abort in an assertion's words, and a file that never
  // arrives: each a message saying what failed and what to try, never the
  // assertion's file and line, nor "loading" for good.
  const aborting = copyOf(webDir);
  fs.writeFileSync(path.join(aborting, 'orvanta.js'), `
    Module.FS = { mkdirTree() {}, writeFile() {} };
    Module.callMain = () => Module.onAbort('Assertion failed: glCheckFramebufferStatus(GL_FRAMEBUFFER) == ' +
      'GL_FRAMEBUFFER_COMPLETE, at: src/render/render_targets.cpp,86');
    Module.onRuntimeInitialized();`);
  {
    const { page, close } = await open(browser, aborting, '', undefined, ['error']);
    const error = await page.evaluate(() => window.orvanta.error || '');
    check(/Reload the page/.test(error) && !/render_targets|Assertion|\.cpp/.test(error),
      `an abort says what failed and what to try, not where in the code: ${error}`);
    await close();
  }
  {
    const server = await serve(webDir);
    const page = await browser.newPage({ viewport: { width: 320, height: 180 } });
    await page.route('**/sync_scene.track', () => {}); // never answered
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html?loadseconds=1`);
    await page.waitForFunction(() => window.orvanta.state === 'error', null, { timeout: 30000 }).catch(() => {});
    const error = await page.evaluate(() => window.orvanta.error || document.getElementById('message').textContent);
    check(error.includes('sync_scene.track did not arrive') && error.includes('Reload'),
      `a file that never arrives is named: ${error}`);
    await page.close();
    server.close();
  }
  await browser.close();
  const bare = await browse(['--disable-3d-apis']);
  {
    const { page, close } = await open(bare, webDir, '', undefined, ['error']);
    const error = await page.evaluate(() => window.orvanta.error || '');
    check(error.includes('WebGL2'), `no WebGL2: a message saying so: ${error}`);
    await close();
  }
  await bare.close();
}

async function folder() {
  const bin = path.dirname(captureBin);
  const work = temporary();
  const demo = path.join(work, 'glowy');
  execFileSync(path.join(bin, 'orvanta-new'), [demo], { stdio: 'ignore' });
  const web = path.join(work, 'web');
  execFileSync(path.join(sourceDir, 'scripts/build-web.sh'), [path.join(bin, '..'), web, demo], { stdio: 'ignore' });
  check(fs.existsSync(path.join(web, 'demo/demo.toml')) && fs.existsSync(path.join(web, 'sync_glow.track')),
    'the page carries the folder\'s manifest and its tracks');
  const row = 48;
  execFileSync(captureBin, [demo, '--stills', String(row), '--out', work + '/', '--size', '320x180', '--scene-scale', '1'],
    { stdio: 'ignore' });
  const browser = await browse();
  const { page, close } = await open(browser, web, `?row=${row}&hold&scale=1`);
  await page.waitForFunction(() => !!window.orvanta.still, null, { timeout: 60000 });
  const still = Buffer.from((await page.evaluate(() => window.orvanta.still)).split(',')[1], 'base64');
  fs.writeFileSync(path.join(work, `web_${row}.png`), still);
  const score = await psnr(page, still, fs.readFileSync(path.join(work, `row_${row}.png`)));
  check(score >= stillTolerance, `the folder's page at row ${row} within ${stillTolerance} dB PSNR of its desktop capture: ${score.toFixed(1)} dB`);
  console.log(`the folder's page against its desktop capture: ${score.toFixed(1)} dB`);
  if (failed()) console.log('The stills are in ' + work);
  await close();
  await browser.close();
}

const cases = { timing, 'stills-early': () => stills(stillRows.early), 'stills-late': () => stills(stillRows.late),
  problems, folder };
if (!cases[caseName] || !webDir || !sourceDir) {
  console.log('usage: node web_test.mjs timing|stills-early|stills-late|problems|folder WEB_DIR SOURCE_DIR [CAPTURE_BIN]');
  process.exit(2);
}
if (!fs.existsSync(path.join(webDir, 'index.html'))) {
  console.log(`FAILED: ${webDir} holds no page (make web lays it out)`);
  process.exit(1);
}
try {
  await cases[caseName]();
} catch (e) {
  check(false, `${caseName}: ${e.stack || e}`);
}
finish();
