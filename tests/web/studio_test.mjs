// Orvanta Studio in a real browser: Debian's chromium (WebGL2 through
// SwiftShader), driven by playwright-core with real keys and clicks; the
// page served from build/studio on 127.0.0.1; each case in a new browser
// profile, so its demos start empty.
//
//   node studio_test.mjs CASE STUDIO_DIR [DESKTOP_BIN_DIR]
//
// CASE: template (a new demo from the template plays and is named), edit (a
// uniform typed into the shader becomes a lane whose key changes the
// picture; an error typed is marked on its line while the last good picture
// draws; a reload keeps the work), capture (the downloaded zip captured by
// orvanta-capture DIR --stills matches the page's still), folders (a desktop
// folder's zip opens; each bad input is refused with the demo playing on),
// workspace (the panel under the mouse, a scene added to the manifest, a
// full storage, the demos' list).
// Ends with "N passed, N failed".
import { inBrowser } from './browser.mjs';
import { harness } from './harness.mjs';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

const [caseName, studioArg, binArg] = process.argv.slice(2);
const studioDir = path.resolve(studioArg || '');
const binDir = binArg && path.resolve(binArg);
const { check, temporary, finish } = harness('orvanta-studio-');

// ---- pictures -------------------------------------------------------------------

function pngPixels(bytes) {
  // 8-bit RGB or RGBA, not interlaced, as chromium and the capture write them.
  let at = 8, width = 0, height = 0, channels = 4;
  const chunks = [];
  while (at < bytes.length) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    const data = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = data.readUInt32BE(0);
      height = data.readUInt32BE(4);
      channels = data[9] === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      chunks.push(data);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(chunks));
  const stride = width * channels;
  const out = Buffer.alloc(width * height * 3);
  let previous = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? line[x - channels] : 0, b = previous[x], c = x >= channels ? previous[x - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      line[x] = (line[x] + predictor) & 255;
    }
    for (let x = 0; x < width; ++x) line.copy(out, (y * width + x) * 3, x * channels, x * channels + 3);
    previous = line;
  }
  return { width, height, rgb: out };
}

function fromDataUrl(url) {
  return pngPixels(Buffer.from(url.slice(url.indexOf(',') + 1), 'base64'));
}

function psnr(a, b) {
  if (a.width !== b.width || a.height !== b.height) return 0;
  let sum = 0;
  for (let i = 0; i < a.rgb.length; ++i) sum += (a.rgb[i] - b.rgb[i]) ** 2;
  const mse = sum / a.rgb.length;
  return mse === 0 ? 99 : 10 * Math.log10((255 * 255) / mse);
}

function meanDifference(a, b) {
  let sum = 0;
  for (let i = 0; i < a.rgb.length; ++i) sum += Math.abs(a.rgb[i] - b.rgb[i]);
  return sum / a.rgb.length;
}

// ---- zips made here, for what the page must refuse --------------------------------

function crc32(bytes) {
  let crc = ~0;
  for (const byte of bytes) {
    crc ^= byte;
    for (let k = 0; k < 8; ++k) crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
  }
  return ~crc >>> 0;
}

// entries: [{ name, data (Buffer), link, size (the size the directory claims) }]
function makeZip(entries) {
  const locals = [], centrals = [];
  let offset = 0;
  for (const entry of entries) {
    const name = Buffer.from(entry.name, 'utf8');
    const packed = zlib.deflateRawSync(entry.data);
    const size = entry.size ?? entry.data.length;
    const crc = crc32(entry.data);
    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0);
    local.writeUInt16LE(20, 4);
    local.writeUInt16LE(8, 8);
    local.writeUInt32LE(crc, 14);
    local.writeUInt32LE(packed.length, 18);
    local.writeUInt32LE(size, 22);
    local.writeUInt16LE(name.length, 26);
    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0);
    central.writeUInt16LE((3 << 8) | 20, 4);
    central.writeUInt16LE(20, 6);
    central.writeUInt16LE(8, 10);
    central.writeUInt32LE(crc, 16);
    central.writeUInt32LE(packed.length, 20);
    central.writeUInt32LE(size, 24);
    central.writeUInt16LE(name.length, 28);
    central.writeUInt32LE(((entry.link ? 0o120777 : 0o100644) << 16) >>> 0, 38);
    central.writeUInt32LE(offset, 42);
    locals.push(local, name, packed);
    centrals.push(central, name);
    offset += 30 + name.length + packed.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(entries.length, 8);
  end.writeUInt16LE(entries.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  return Buffer.concat([...locals, directory, end]);
}

function folderEntries(folder, prefix) {
  return fs.readdirSync(folder).sort().map((name) => ({ name: prefix + name, data: fs.readFileSync(path.join(folder, name)) }));
}

function unzipInto(zip, folder) {
  execFileSync('python3', ['-c', 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])', zip, folder]);
}

// ---- the page ---------------------------------------------------------------------

async function openStudio(browser) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 720 } });
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 60000 });
  return { context, page, problems };
}

const framesGoOn = async (page) => {
  const before = await page.evaluate(() => studio.frames);
  await page.waitForTimeout(600);
  return (await page.evaluate(() => studio.frames)) > before;
};

// Real keys into the text pane: the text after `line` (1-based, at its end).
async function typeAfterLine(page, line, text) {
  await page.click('#editor .cm-content');
  await page.keyboard.press('Control+Home');
  for (let i = 1; i < line; ++i) await page.keyboard.press('ArrowDown');
  await page.keyboard.press('End');
  await page.keyboard.press('Enter');
  await page.keyboard.type(text, { delay: 5 });
}

async function template(browser) {
  const { page, problems } = await openStudio(browser);
  const facts = await page.evaluate(() => ({
    title: document.title, demos: studio.demos(), tracks: studio.tracks(), files: studio.files(),
    shown: document.getElementById('path').textContent, loaded: studio.loadSeconds,
  }));
  check(facts.demos.length === 1 && facts.demos[0].name === 'mydemo', `one new demo, mydemo: ${JSON.stringify(facts.demos)}`);
  check(facts.title.startsWith('mydemo'), `the title names the demo: ${facts.title}`);
  for (const track of ['glow', 'tint.r', 'tint.g', 'tint.b']) check(facts.tracks.includes(track), `a lane for ${track}`);
  for (const file of ['demo.toml', 'scene.fsh', 'demo.tracks', 'tune.ogg']) check(facts.files.includes(file), `the folder holds ${file}`);
  check(facts.shown === 'scene.fsh', `the text pane opens on the first pass: ${facts.shown}`);
  check(facts.loaded > 0 && facts.loaded < 10, `the first frame within 10 s: ${facts.loaded}`);
  check(await framesGoOn(page), 'frames go on');
  // The folder's tune, decoded while the demo drew on the silent clock,
  // takes the music over where it stood.
  await page.waitForFunction(() => Module.orvantaAudio.buffer !== null, null, { timeout: 10000 }).catch(() => {});
  const tune = await page.evaluate(() => [Module.orvantaAudio.buffer && Module.orvantaAudio.buffer.duration, studio.row]);
  check(tune[0] > 10 && tune[1] >= 0, `the tune plays the music (${tune})`);
  const rows = [await page.evaluate(() => studio.row)];
  await page.waitForTimeout(1000);
  rows.push(await page.evaluate(() => studio.row));
  check(rows[1] > rows[0], `the row moves: ${rows}`);
  // A still is a picture of the demo: not black, not one colour.
  const still = fromDataUrl(await page.evaluate(() => studio.still(16, 160, 90)));
  const values = new Set(still.rgb);
  check(still.width === 160 && values.size > 20, `the still shows the demo (${values.size} values)`);
  // A command line runs as orvanta-live reads them, and says what it did.
  const said = await page.evaluate(() => studio.run('key glow 2'));
  check(/glow/.test(said) || said === '', `key glow 2 said: ${said}`);
  const bad = await page.evaluate(() => studio.run('key nosuchtrack 1'));
  check(/^error:/m.test(bad), `an unknown track is refused: ${bad}`);
  check(problems.length === 0, `no page errors: ${problems}`);
}

async function edit(browser) {
  const { page, context, problems } = await openStudio(browser);
  const before = fromDataUrl(await page.evaluate(() => studio.still(16, 160, 90)));
  // A uniform with its annotation, typed into the shader, used by its last line.
  const source = await page.evaluate(() => studio.read('scene.fsh'));
  const lines = source.split('\n');
  const last = lines.lastIndexOf('}') + 1; // the closing brace of main, 1-based
  await typeAfterLine(page, last - 1, 'fragColor.rgb += vec3(wobble);');
  await typeAfterLine(page, 1, 'uniform float wobble; // slider[0, 0, 1]');
  await page.waitForFunction(() => studio.tracks().includes('wobble'), null, { timeout: 5000 }).catch(() => {});
  const tracks = await page.evaluate(() => studio.tracks());
  check(tracks.includes('wobble'), `the typed uniform is a lane: ${tracks}`);
  check((await page.evaluate(() => studio.errors())).length === 0,
        `the typed shader compiles: ${JSON.stringify(await page.evaluate(() => studio.errors()))}`);
  const atDefault = fromDataUrl(await page.evaluate(() => studio.still(16, 160, 90)));
  check(psnr(atDefault, before) > 30, `at its default (0) the picture is as before: ${psnr(atDefault, before).toFixed(1)} dB`);
  await page.evaluate(() => studio.run('goto 0'));
  const said = await page.evaluate(() => studio.run('key wobble 1'));
  const keyed = fromDataUrl(await page.evaluate(() => studio.still(16, 160, 90)));
  check(meanDifference(keyed, before) > 40, `its key changes the picture (${meanDifference(keyed, before).toFixed(1)}; ${said})`);

  // An error typed: marked on its line, the last good picture drawing.
  await typeAfterLine(page, 3, 'this is not glsl');
  await page.waitForTimeout(800);
  const errors = await page.evaluate(() => studio.errors());
  const marked = errors.find((e) => e.file === 'scene.fsh');
  check(marked && marked.line === 4, `the error is on line 4: ${JSON.stringify(errors)}`);
  const gutter = await page.locator('#editor .cm-lint-marker-error').count();
  check(gutter >= 1, `the text pane marks it (${gutter} markers)`);
  check(await framesGoOn(page), 'frames go on while it does not compile');
  const broken = fromDataUrl(await page.evaluate(() => studio.still(16, 160, 90)));
  check(psnr(broken, keyed) > 30, `the last good picture draws: ${psnr(broken, keyed).toFixed(1)} dB`);
  // Mended with Ctrl+Z (the pane's undo) and Ctrl+S: the mark goes.
  await page.click('#editor .cm-content');
  for (let i = 0; i < 20 && /not glsl/.test(await page.evaluate(() => document.querySelector('#editor .cm-content').innerText)); ++i) {
    await page.keyboard.press('Control+z');
  }
  await page.keyboard.press('Control+s');
  await page.waitForTimeout(500);
  check((await page.evaluate(() => studio.errors())).length === 0, 'undone and saved, the error is gone');

  // A reload keeps the work: the shader as typed, the key set.
  await page.reload();
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 60000 });
  const kept = await page.evaluate(async () => ({ source: await studio.read('scene.fsh'), tracks: studio.tracks(),
                                                  text: await studio.read('demo.tracks'), demos: studio.demos() }));
  check(kept.source.includes('uniform float wobble') && kept.source.includes('+= vec3(wobble)'), 'the shader is kept');
  check(kept.tracks.includes('wobble') && /wobble/.test(kept.text), 'the lane and its key are kept');
  check(kept.demos.length === 1, `still one demo: ${JSON.stringify(kept.demos)}`);
  check(problems.length === 0, `no page errors: ${problems}`);
  await context.close();
}

async function capture(browser) {
  const { page, problems } = await openStudio(browser);
  await page.evaluate(() => studio.run('goto 0'));
  await page.evaluate(() => studio.run('key glow 2.5'));
  const rows = [24, 72];
  const stills = [];
  for (const row of rows) stills.push(fromDataUrl(await page.evaluate((r) => studio.still(r, 320, 180), row)));
  const bytes = Buffer.from(await page.evaluate(async () => Array.from(await studio.download())));
  const work = temporary();
  fs.writeFileSync(path.join(work, 'mydemo.zip'), bytes);
  unzipInto(path.join(work, 'mydemo.zip'), work);
  const folder = path.join(work, 'mydemo');
  check(fs.existsSync(path.join(folder, 'demo.toml')) && fs.existsSync(path.join(folder, 'tune.ogg')),
        'the zip holds the folder under its name');
  check(/glow/.test(fs.readFileSync(path.join(folder, 'demo.tracks'), 'utf8')), 'the key set is in its tracks text');
  execFileSync(path.join(binDir, 'orvanta-capture'),
               [folder, '--stills', rows.join(','), '--size', '320x180', '--out', path.join(work, 'stills') + '/'],
               { stdio: ['ignore', 'ignore', 'pipe'] });
  for (let i = 0; i < rows.length; ++i) {
    const desktop = pngPixels(fs.readFileSync(path.join(work, 'stills', `row_${rows[i]}.png`)));
    const db = psnr(stills[i], desktop);
    console.log(`row ${rows[i]}: the page's still against orvanta-capture's: ${db.toFixed(1)} dB`);
    check(db > 30, `row ${rows[i]}: the page draws what the desktop captures (${db.toFixed(1)} dB)`);
  }
  check(problems.length === 0, `no page errors: ${problems}`);
}

async function folders(browser) {
  const { page, problems } = await openStudio(browser);
  const work = temporary();
  // A folder orvanta-new made on the desktop, zipped as a desktop zips it.
  const made = path.join(work, 'spheres');
  execFileSync(path.join(binDir, 'orvanta-new'), [made], { stdio: 'ignore' });
  fs.appendFileSync(path.join(made, 'scene.fsh'), '// from the desktop\n');
  const zip = makeZip(folderEntries(made, 'spheres/'));
  const opened = await page.evaluate((b) => studio.open(new Uint8Array(b)), Array.from(zip));
  check(/spheres: opened/.test(opened), `a desktop folder's zip opens: ${opened}`);
  const facts = await page.evaluate(async () => ({ title: document.title, demos: studio.demos(), tracks: studio.tracks(),
                                                   source: await studio.read('scene.fsh') }));
  check(facts.title.startsWith('spheres') && facts.demos.length === 2, `it is a second demo: ${JSON.stringify(facts.demos)}`);
  check(facts.source.endsWith('// from the desktop\n') && facts.tracks.includes('glow'), 'its files as they were');

  // The same folder through the folder picker, as a third demo.
  const picked = path.join(work, 'picked');
  fs.cpSync(made, picked, { recursive: true });
  await page.setInputFiles('#folderInput', picked);
  await page.waitForFunction(() => studio.demos().length === 3, null, { timeout: 10000 }).catch(() => {});
  const third = await page.evaluate(() => ({ demos: studio.demos(), title: document.title }));
  check(third.demos.length === 3 && third.title.startsWith('picked'), `a folder picked opens: ${JSON.stringify(third.demos)}`);
  await page.evaluate((id) => studio.switchTo(id), third.demos.find((demo) => demo.name === 'spheres').id);

  // Each bad input: refused with one message saying which and why; the demo
  // that played plays on, nothing stored changes.
  const good = folderEntries(made, 'bad/');
  const big = Buffer.alloc(17 << 20);
  const cases = [
    ['a path outside its folder', [...good, { name: '../evil.fsh', data: Buffer.from('x') }], /evil\.fsh: its path leads outside/],
    ['an absolute path', [...good, { name: '/etc/evil', data: Buffer.from('x') }], /outside the folder/],
    ['a link', [...good, { name: 'bad/link.fsh', data: Buffer.from('/etc/passwd'), link: true }], /link\.fsh: it is a link/],
    ['an entry over 16 MiB', [...good, { name: 'bad/huge.png', data: big }], /huge\.png: it is over 16 MiB/],
    ['a whole over 64 MiB', [...good, ...[1, 2, 3, 4, 5].map((n) => ({ name: `bad/part${n}.png`, data: Buffer.alloc(15 << 20) }))],
     /over 64 MiB/],
    ['text that is not UTF-8', [...good.filter((e) => !e.name.endsWith('scene.fsh')),
                                { name: 'bad/scene.fsh', data: Buffer.from([0x23, 0xff, 0xfe, 0x0a]) }], /scene\.fsh: it is not UTF-8/],
    ['a manifest that does not read', [...good.filter((e) => !e.name.endsWith('demo.toml')),
                                       { name: 'bad/demo.toml', data: Buffer.from('name = "bad"\nbpm = "fast"\n') }],
     /manifest does not read: .*demo\.toml/],
    ['a shader under a folder of its own', [...good.filter((e) => !e.name.endsWith('demo.toml')),
                                            { name: 'bad/demo.toml', data: Buffer.from(fs.readFileSync(path.join(made, 'demo.toml'), 'utf8')
                                              .replace('"scene.fsh"', '"passes/scene.fsh"')) },
                                            { name: 'bad/passes/scene.fsh', data: fs.readFileSync(path.join(made, 'scene.fsh')) }],
     /passes\/scene\.fsh: shaders are taken from beside demo\.toml/],
    ['not a zip', null, /not a zip/],
  ];
  for (const [what, entries, expected] of cases) {
    const bytes = entries ? makeZip(entries) : Buffer.from('this is no zip at all');
    const message = await page.evaluate((b) => studio.open(new Uint8Array(b)), Array.from(bytes));
    check(expected.test(message) && /^refused: /.test(message) && /spheres plays on/.test(message),
          `${what}: refused, saying why: ${message}`);
    const after = await page.evaluate(() => ({ demos: studio.demos().length, title: document.title, files: studio.files() }));
    check(after.demos === 3 && after.title.startsWith('spheres') && !after.files.includes('evil.fsh'),
          `${what}: nothing stored changed, the demo plays on`);
  }
  check(await framesGoOn(page), 'frames go on after the refusals');
  const status = await page.locator('#status').textContent();
  check(/refused/.test(status), `the page says it: ${status}`);
  check(problems.length === 0, `no page errors: ${problems}`);
}

// Canvas pixels to page coordinates, for real clicks.
async function aim(page, x, y) {
  return page.evaluate(([x, y]) => {
    const canvas = document.getElementById('canvas');
    const rect = canvas.getBoundingClientRect();
    return [rect.left + x * rect.width / canvas.width, rect.top + y * rect.height / canvas.height];
  }, [x, y]);
}

async function workspace(browser) {
  // The browser's storage refuses writes while the page's flag says so, as
  // a full quota does.
  const context = await browser.newContext({ viewport: { width: 1280, height: 720 } });
  await context.addInitScript(() => {
    const write = FileSystemWritableFileStream.prototype.write;
    FileSystemWritableFileStream.prototype.write = function (...args) {
      if (window.storageFull) return Promise.reject(new DOMException('the quota is used up', 'QuotaExceededError'));
      return write.apply(this, args);
    };
  });
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 60000 });

  const keysOf = async (track) => {
    const text = await page.evaluate(() => studio.read('demo.tracks'));
    const block = text.split(/^track /m).find((part) => part.startsWith(track + '\n')) || '';
    return block.split('\n').slice(1).filter((line) => /^\s+\S/.test(line) && !/^\s*#/.test(line)).length;
  };
  // The editor writes its text within a second of an edit.
  const settle = async (test) => {
    for (let waited = 0; waited < 3000 && !(await test()); waited += 100) await page.waitForTimeout(100);
  };
  // The panel under real clicks: a track's name picks it, space on the
  // canvas pauses, the ruler moves the row, the wheel zooms the lanes.
  let layout = await page.evaluate(() => studio.layout());
  const glow = layout.lines.find((line) => line.name === 'glow');
  await page.mouse.click(...await aim(page, layout.names[0] + 20, glow.top + layout.lane / 2));
  layout = await page.evaluate(() => studio.layout());
  check(layout.selected === 'glow', `a click on glow's name picks it: ${layout.selected}`);
  // From the top and playing (a short demo pauses at its end by itself).
  await page.evaluate(() => { studio.run('goto 0'); studio.run('play'); });
  await page.keyboard.press(' ');
  await page.waitForTimeout(200); // the frame after the key
  const held = await page.evaluate(() => studio.row);
  await page.waitForTimeout(500);
  check(Math.abs((await page.evaluate(() => studio.row)) - held) < 0.01, 'space on the canvas pauses');
  // Where the lanes stand now: the panel follows the row, and it moved.
  layout = await page.evaluate(() => studio.layout());
  const target = layout.firstRow + (layout.lastRow - layout.firstRow) * 0.75;
  const x = layout.lanes[0] + (layout.lanes[2] - layout.lanes[0]) * 0.75;
  const framesBefore = await page.evaluate(() => studio.frames);
  await page.mouse.click(...await aim(page, x, (layout.ruler[1] + layout.ruler[3]) / 2));
  // The row a frame shows: the next frames' after the click.
  await page.waitForFunction((n) => studio.frames > n + 1, framesBefore, { timeout: 10000 }).catch(() => {});
  const row = await page.evaluate(() => studio.row);
  check(Math.abs(row - target) < 3, `a click on the ruler moves the row there: ${row} for ${target.toFixed(1)}`);
  const span = layout.lastRow - layout.firstRow;
  await page.mouse.move(...await aim(page, x, layout.lanes[1] + 5));
  await page.mouse.wheel(0, -120);
  await page.waitForTimeout(200);
  layout = await page.evaluate(() => studio.layout());
  check(layout.lastRow - layout.firstRow < span, `the wheel zooms in: ${span} to ${layout.lastRow - layout.firstRow}`);

  // A key dragged along its lane, as on the desktop: glow's at row 64 to
  // row 72, one step of undo; a box drawn across the lanes selects keys.
  await page.evaluate(() => { studio.run('goto 64'); studio.run('zoom 64'); });
  // The panel lays out at the row a frame drew.
  await page.waitForFunction(() => Math.abs(studio.row - 64) < 0.5, null, { timeout: 10000 }).catch(() => {});
  layout = await page.evaluate(() => studio.layout());
  const xOf = (row) => layout.lanes[0] + layout.margin +
    (row - layout.firstRow) / (layout.lastRow - layout.firstRow) * (layout.lanes[2] - layout.lanes[0] - 2 * layout.margin);
  const glowY = layout.lines.find((line) => line.name === 'glow').top + layout.lane / 2;
  const glowBlock = async () => ((await page.evaluate(() => studio.read('demo.tracks'))).split(/^track /m)
    .find((part) => part.startsWith('glow\n')) || '');
  await page.mouse.move(...await aim(page, xOf(64), glowY));
  await page.mouse.down();
  await page.mouse.move(...await aim(page, xOf(72), glowY), { steps: 6 });
  await page.mouse.up();
  await settle(async () => /4:2:0/.test(await glowBlock()));
  check(/4:2:0/.test(await glowBlock()) && !/4:0:0/.test(await glowBlock()), `the key dragged to row 72: ${await glowBlock()}`);
  await page.evaluate(() => studio.run('undo'));
  await settle(async () => /4:0:0/.test(await glowBlock()));
  check(/4:0:0/.test(await glowBlock()), 'one undo puts it back');
  const tintY = layout.lines.find((line) => line.name === 'tint.b').top + layout.lane * 0.6;
  await page.mouse.move(...await aim(page, xOf(56), glowY - layout.lane * 0.4));
  await page.mouse.down();
  await page.mouse.move(...await aim(page, xOf(70), tintY), { steps: 4 });
  await page.mouse.up();
  const boxed = await page.evaluate(() => studio.run('move 1'));
  check(/^moved 3 keys by a row/m.test(boxed), `a box selects the keys it reaches (glow's, tint.g's, tint.b's at 64), ` +
        `and they move as one: ${boxed}`);
  await page.evaluate(() => { studio.run('undo'); studio.run('deselect'); studio.run('goto 40'); });

  // The editor's keys on the canvas, from the table orvanta-live's are.
  await page.keyboard.press('Tab');
  check((await page.evaluate(() => studio.layout())).selected === 'tint.r', 'tab picks the next track');
  await page.keyboard.press('Shift+Tab');
  check((await page.evaluate(() => studio.layout())).selected === 'glow', 'shift+tab the one before');
  const keysBefore = await keysOf('glow');
  await page.keyboard.press('ArrowUp');
  await settle(async () => (await keysOf('glow')) === keysBefore + 1);
  check(await keysOf('glow') === keysBefore + 1, 'up nudges the value: a key at the row');
  await page.keyboard.press('Control+z');
  await settle(async () => (await keysOf('glow')) === keysBefore);
  check(await keysOf('glow') === keysBefore, 'ctrl+z undoes it');
  await page.keyboard.press('g');
  check(await page.evaluate(() => document.activeElement.id === 'command' && document.activeElement.value === 'goto '),
        'g opens the command line with goto');
  await page.keyboard.type('32');
  await page.keyboard.press('Enter');
  await page.waitForTimeout(200);
  check(Math.abs((await page.evaluate(() => studio.row)) - 32) < 0.01, 'goto 32 typed there moves the row');
  await page.keyboard.press('h');
  const help = await page.evaluate(() => !document.getElementById('help').hidden && document.getElementById('help').textContent);
  check(help && /tab, shift\+tab/.test(help) && /select TRACK/.test(help), 'h shows the keys and the commands');
  await page.keyboard.press('h');
  check(await page.evaluate(() => document.getElementById('help').hidden), 'h again hides them');

  // The view's commands, the desktop player's own code.
  const muted = await page.evaluate(() => studio.run('mute glow'));
  check(/glow: muted \(1 track\)/.test(muted), `mute: ${muted}`);
  check(/nothing muted/.test(await page.evaluate(() => studio.run('unmute'))), 'unmute');
  await page.evaluate(() => studio.run('fold tint'));
  let names = (await page.evaluate(() => studio.layout())).lines.map((line) => line.name);
  check(names.includes('tint') && !names.includes('tint.r'), `fold tint leaves its header: ${names}`);
  await page.evaluate(() => studio.run('unfold all'));
  names = (await page.evaluate(() => studio.layout())).lines.map((line) => line.name);
  check(names.includes('tint.r'), 'unfold all shows its tracks again');
  check(/^loop 16 to 48/.test(await page.evaluate(() => studio.run('loop 16 48'))), 'a loop over a span');
  check((await page.evaluate(() => studio.row)) >= 16, 'the row goes into the loop');
  check(/loop off/.test(await page.evaluate(() => studio.run('loop off'))), 'and off again');
  check(/^error: log is the desktop player's/.test(await page.evaluate(() => studio.run('log'))),
        'a command the studio has not got yet says so');

  // The inspector: its slider dragged while paused sets the key at the
  // row; held while the music plays, it records a pass, one step of undo.
  await page.evaluate(() => studio.run('inspector on'));
  await page.waitForTimeout(300);
  layout = await page.evaluate(() => studio.layout());
  const before = await keysOf('glow');
  const [ix0, iy0, ix1, iy1] = layout.inspector;
  const sliderY = iy0 + (iy1 - iy0) * 0.49;
  await page.mouse.move(...await aim(page, ix0 + (ix1 - ix0) * 0.3, sliderY));
  await page.mouse.down();
  await page.mouse.move(...await aim(page, ix0 + (ix1 - ix0) * 0.8, sliderY), { steps: 5 });
  await page.mouse.up();
  await settle(async () => (await keysOf('glow')) === before + 1);
  check(await keysOf('glow') === before + 1, `the slider set one key at the row: ${before} to ${await keysOf('glow')}`);
  await page.keyboard.press(' '); // plays
  await page.mouse.move(...await aim(page, ix0 + (ix1 - ix0) * 0.5, sliderY));
  await page.mouse.down();
  for (let i = 0; i < 10; ++i) {
    await page.mouse.move(...await aim(page, ix0 + (ix1 - ix0) * (0.3 + 0.05 * i), sliderY));
    await page.waitForTimeout(120);
  }
  await page.mouse.up();
  await page.keyboard.press(' '); // pauses
  await settle(async () => (await keysOf('glow')) > before + 4);
  const recorded = await keysOf('glow');
  check(recorded > before + 4, `a pass held as the music played wrote a key a row: ${recorded - before - 1} keys`);
  await page.evaluate(() => studio.run('undo'));
  await settle(async () => (await keysOf('glow')) === before + 1);
  check(await keysOf('glow') === before + 1, `one undo takes the whole pass back: ${await keysOf('glow')}`);
  await page.evaluate(() => studio.run('inspector off'));

  // A scene added to the manifest plays from the next frame.
  const red = '#version 430 core\nuniform vec2 iResolution;\nout vec4 fragColor;\n' +
              'void main() { fragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n';
  await page.evaluate((text) => studio.write('red.fsh', text), red);
  const manifest = await page.evaluate(() => studio.read('demo.toml'));
  const said = await page.evaluate((text) => studio.write('demo.toml', text),
    manifest + '\n[[scene]]\nname = "red"\npasses = ["red.fsh", "trail.fsh", "focus.fsh", "grade.fsh"]\n');
  check(/2 scenes/.test(said), `the manifest's second scene is taken: ${said}`);
  await page.evaluate(() => studio.run('goto 0'));
  await page.evaluate(() => studio.run('key scene 1'));
  const picture = fromDataUrl(await page.evaluate(() => studio.still(16, 160, 90)));
  let redness = 0;
  for (let i = 0; i < picture.rgb.length; i += 3) redness += picture.rgb[i] - (picture.rgb[i + 1] + picture.rgb[i + 2]) / 2;
  check(redness / (picture.rgb.length / 3) > 100, `scene 1 draws the new pass: ${(redness / (picture.rgb.length / 3)).toFixed(0)}`);
  const broken = await page.evaluate((text) => studio.write('demo.toml', text), manifest + '\n[[scene\n');
  const errors = await page.evaluate(() => studio.errors());
  check(errors.some((e) => e.file === 'demo.toml' && e.line > 0), `a manifest that does not read is marked on its line: ${JSON.stringify(errors)}`);
  check(/stays as it was/.test(broken) && await framesGoOn(page), `the demo plays on: ${broken}`);
  await page.evaluate((text) => studio.write('demo.toml', text), manifest);
  // A manifest that names another tracks text: the editor edits that one.
  await page.evaluate((text) => studio.write('other.tracks', text), 'track glow\n  0 1.5 step\n');
  await page.evaluate((text) => studio.write('demo.toml', text), manifest.replace('tracks = "demo.tracks"', 'tracks = "other.tracks"'));
  await page.evaluate(() => { studio.run('goto 8'); studio.run('key glow 2.5'); });
  await settle(async () => /2\.5/.test(await page.evaluate(() => studio.read('other.tracks'))));
  check(/2\.5/.test(await page.evaluate(() => studio.read('other.tracks'))), 'a key goes to the tracks text the manifest names');
  await page.evaluate((text) => studio.write('demo.toml', text), manifest);

  // Storage full: said, the work stays in the page, and is kept once it can be.
  await page.evaluate(() => { window.storageFull = true; });
  const source = await page.evaluate(() => studio.read('scene.fsh'));
  await page.evaluate((text) => studio.write('scene.fsh', text), source + '// kept later\n');
  const full = await page.locator('#status').textContent();
  check(/storage is full/.test(full) && /stays in this page/.test(full), `a full storage is said: ${full}`);
  check((await page.evaluate(() => studio.read('scene.fsh'))).endsWith('// kept later\n'), 'the work stays in the page');
  await page.evaluate(() => { window.storageFull = false; });
  await page.evaluate(async () => studio.write('README.md', (await studio.read('README.md')) + '\n'));
  await page.reload();
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 60000 });
  check((await page.evaluate(() => studio.read('scene.fsh'))).endsWith('// kept later\n'),
        'the next save kept what the full storage refused');

  // The demos' list under real clicks: a new one, renamed, then removed
  // after a confirmation; the first stays.
  await page.click('#new');
  await page.waitForFunction(() => studio.demos().length === 2, null, { timeout: 10000 }).catch(() => {});
  check((await page.evaluate(() => studio.demos())).length === 2, 'New makes a second demo');
  page.once('dialog', (dialog) => dialog.accept('tunnel'));
  await page.click('#rename');
  await page.waitForFunction(() => document.title.startsWith('tunnel'), null, { timeout: 5000 }).catch(() => {});
  check((await page.title()).startsWith('tunnel'), `renamed, the title says so: ${await page.title()}`);
  await page.click('#remove');
  await page.click('#confirm button[value=cancel]');
  await page.waitForTimeout(300);
  check((await page.evaluate(() => studio.demos())).length === 2, 'Keep it keeps it');
  await page.click('#remove');
  await page.click('#confirmYes');
  await page.waitForFunction(() => studio.demos().length === 1 && studio.demos()[0].open, null, { timeout: 10000 })
    .catch(() => {});
  const left = await page.evaluate(() => studio.demos());
  check(left.length === 1 && left[0].name === 'mydemo' && left[0].open, `removed, the other opens: ${JSON.stringify(left)}`);
  check(problems.length === 0, `no page errors: ${problems}`);
  await context.close();
}

const cases = { template, edit, capture, folders, workspace };
if (!cases[caseName] || !fs.existsSync(path.join(studioDir, 'orvanta-studio.wasm'))) {
  console.log('usage: node studio_test.mjs template|edit|capture|folders|workspace STUDIO_DIR [DESKTOP_BIN_DIR]');
  process.exit(2);
}
let server;
await inBrowser(studioDir, check, async (browser, served) => {
  server = served;
  await cases[caseName](browser);
});
finish();
