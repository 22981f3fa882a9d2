// Orvanta Studio's music in a real browser (Debian's chromium, driven by
// playwright-core): the score rendered by tunegen's synthesizer in the
// page's Worker, heard, refused, written to the folder's tune.ogg and
// published with the demo as a web page. Each case in a new browser profile.
//
//   node studio_music_test.mjs CASE STUDIO_DIR DESKTOP_BIN_DIR
//
// CASE: score (a note changed in the bar under way is heard within 3 s, then
// the section and the whole tune; a broken score is marked and the music
// plays on; a score too large, too long or too slow to render is refused or
// ended), tune (the downloaded folder's tune.ogg against the desktop
// tunegen's render of its score), publish (the published page plays by
// itself; Orvanta's own demo opens to remix).
// Ends with "N passed, N failed".
import { inBrowser, serve } from './browser.mjs';
import { harness } from './harness.mjs';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';

const root = path.resolve(path.dirname(url.fileURLToPath(import.meta.url)), '../..');

const [caseName, studioArg, binArg] = process.argv.slice(2);
const studioDir = path.resolve(studioArg || '');
const binDir = binArg && path.resolve(binArg);
const { check, temporary, finish } = harness('orvanta-studio-music-');

async function openStudio(browser) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 720 } });
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 60000 });
  // The folder's tune decoded and playing.
  await page.waitForFunction(() => Module.orvantaAudio.buffer !== null, null, { timeout: 20000 });
  return { context, page, problems };
}

const status = (page) => page.locator('#status').textContent();

// Sum of squared differences over sum of squares, in dB, of two runs of
// samples over their common length.
function snr(reference, other) {
  let signal = 0, noise = 0;
  const n = Math.min(reference.length, other.length);
  for (let i = 0; i < n; ++i) {
    signal += reference[i] * reference[i];
    noise += (reference[i] - other[i]) ** 2;
  }
  return noise === 0 ? Infinity : 10 * Math.log10(signal / noise);
}

function differs(a, b) {
  if (a.length !== b.length) return true;
  for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return true;
  return false;
}

const samples = (page, from, to) => page.evaluate(async ([a, b]) => Array.from(await studio.samples(a, b)), [from, to]);

// The template's score with the bass note of the bar under way changed, and
// that bar; written in one step, so that the bar is the one that plays.
function changeBarUnderWay(page) {
  return page.evaluate(async () => {
    const score = await studio.read('demo.score');
    const bar = Math.floor(studio.row / 16) * 16;
    const at = bar % 64;
    const changed = score.replace(new RegExp(`^(  ${at}:\\s+)[A-G][-#]\\d$`, 'm'), '$1D#2');
    await studio.write('demo.score', changed);
    return { bar, changed: changed !== score };
  });
}

async function scoreCase(browser) {
  const { context, page, problems } = await openStudio(browser);
  // The tune is checked against the score as the demo opens.
  await page.waitForFunction(() => !studio.music.busy, null, { timeout: 30000 }).catch(() => {});
  const opened = await page.evaluate(() => studio.music);
  check(!opened.busy && opened.errors.length === 0 && opened.heard.length === 0,
        `the template's tune is its score's render: nothing to render (${JSON.stringify(opened)})`);
  // The waveform under the lanes comes from the tune that plays.
  await page.waitForFunction(() => studio.row > 20, null, { timeout: 20000 });

  // A note changed in the bar under way: heard within 3 s, at the samples of
  // that bar, while the demo plays on.
  const before = await page.evaluate(() => studio.row);
  const probe = Math.floor(before / 16) * 16;
  const old = await samples(page, probe, probe + 16);
  const wave0 = await page.evaluate(() => studio.waveform());
  check(wave0.length >= 8 && wave0.every((level) => level > 0.01), `the tune's loudness lies under the lanes: ${wave0}`);
  const save = await changeBarUnderWay(page);
  check(save.changed, 'the bar\'s bass note was changed');
  await page.waitForFunction(() => studio.music.heard.some((h) => h.stage === 'bars'), null, { timeout: 10000 })
    .catch(() => {});
  const bars = (await page.evaluate(() => studio.music.heard)).find((h) => h.stage === 'bars');
  check(bars && bars.from === save.bar && bars.seconds < 3,
        `the bars under way are heard within 3 s of the save: ${JSON.stringify(bars)}`);
  const spliced = await samples(page, save.bar, save.bar + 16);
  const spliceWave = await page.evaluate(() => studio.waveform());
  check(differs(old, spliced) && spliced.some((v) => v !== 0), 'the bar under way sounds the new note');
  check((await page.evaluate(() => studio.row)) > before, 'the demo plays on through the splice');
  await page.waitForFunction(() => studio.music.heard.some((h) => h.stage === 'tune'), null, { timeout: 60000 })
    .catch(() => {});
  const heard = await page.evaluate(() => studio.music.heard);
  console.log(`heard after the save: ${heard.map((h) => `${h.stage} ${h.seconds.toFixed(2)} s`).join(', ')}`);
  check(heard.map((h) => h.stage).join(',').match(/^bars,(section,)?tune$/),
        `then the section and the whole tune: ${JSON.stringify(heard)}`);
  const said = await page.evaluate(() => studio.music.said);
  check(said.some((line) => /^rendering the tune: the bars under way, rows \d+ to \d+  \d+%$/.test(line)) &&
        said.some((line) => /^rendering the tune: the whole tune  \d+%$/.test(line)) &&
        said.some((line) => /^demo\.score: the bars under way, rows \d+ to \d+ heard \d\.\d\d s after the save$/.test(line)),
        `the status says what renders, how far, and when it was heard: ${JSON.stringify(said)}`);
  const whole = await samples(page, save.bar, save.bar + 16);
  check(snr(spliced, whole) > 30, `the whole tune sounds as the splice did there (${snr(spliced, whole).toFixed(1)} dB)`);
  const kept = await page.evaluate(async () => (await studio.read('demo.score')).includes('D#2'));
  check(kept && (await page.evaluate(() => studio.files().includes('tune.ogg'))), 'the score and its tune are the folder\'s');
  const wave = await page.evaluate(() => studio.waveform());
  check(wave.length >= 8 && wave.every((level) => level > 0.01), `the waveform under the lanes is the tune's: ${wave}`);
  check(spliceWave && spliceWave[save.bar / 16] !== wave0[save.bar / 16],
        `the waveform followed the splice at bar ${save.bar / 16}: ${wave0} then ${spliceWave}`);

  // A save, and at once a broken one: the newer ends the older render, and
  // is marked on its line; the music as it was plays on.
  // (Back to the start first: the template's 16 s end, and the demo pauses
  // there.)
  await page.evaluate(async () => {
    await studio.run('goto 0');
    await studio.run('play');
  });
  const playing = await samples(page, 32, 48);
  const current = await page.evaluate(() => studio.read('demo.score'));
  const broken = current.replace('  4:  C-4\n', '  4:  Q-9\n');
  const line = broken.split('\n').findIndex((l) => l.includes('Q-9')) + 1;
  await page.evaluate(([first, second]) => Promise.all([studio.write('demo.score', first),
                                                        studio.write('demo.score', second)]),
                      [current.replace('D#2', 'E-2'), broken]);
  check((await page.evaluate(() => studio.music.said)).includes('demo.score: the render of the older save ended'),
        'the newer save ended the older render');
  await page.waitForFunction(() => studio.errors().some((e) => e.file === 'demo.score'), null, { timeout: 10000 })
    .catch(() => {});
  const marked = (await page.evaluate(() => studio.errors())).filter((e) => e.file === 'demo.score');
  check(marked.length === 1 && marked[0].line === line, `the error is marked on line ${line}: ${JSON.stringify(marked)}`);
  check(/the tune stays as it was/.test(await status(page)), `the status says the tune stays: ${await status(page)}`);
  await page.evaluate(() => studio.show('demo.score'));
  check(await page.locator('#files .bad').count() === 1, 'the score is marked in the files list');
  const rowAt = await page.evaluate(() => studio.row);
  await page.waitForTimeout(800);
  check((await page.evaluate(() => studio.row)) > rowAt, 'the music plays on');
  check(!differs(playing, await samples(page, 32, 48)), 'the music is the one that played');

  // Refused: a score over its size limit, a song over the hour, one longer
  // than the page renders; ended: a render past the maker's limit.
  const good = broken.replace('  4:  Q-9\n', '  4:  C-4\n');
  const refusals = [
    ['a score over 8 MiB', good + '#'.repeat(8 * 1024 * 1024), /over 8 MiB/],
    ['a song over 60 minutes', good.replace(/rows 128/, 'rows 40000'), /at most 60/],
    ['a song longer than the page renders', good.replace(/rows 128/, 'rows 9000'), /longer than the page renders/],
  ];
  for (const [what, text, said] of refusals) {
    await page.evaluate((t) => studio.write('demo.score', t), text);
    await page.waitForFunction(() => !studio.music.busy, null, { timeout: 20000 }).catch(() => {});
    const line = await status(page);
    check(said.test(line) && (await page.evaluate(() => studio.music.errors.length)) === 1, `${what} is refused: ${line}`);
  }
  // Played from row 96 on: what the ended render's first bars may splice in
  // lies past the rows compared.
  await page.evaluate(() => studio.run('goto 96'));
  await page.fill('#renderLimit', '1');
  await page.click('#canvas'); // the field's change, as a maker's
  check((await page.evaluate(() => studio.renderLimit)) === 1, 'the render limit is set from its field');
  await page.evaluate((t) => studio.write('demo.score', t), good.replace(/rows 128/, 'rows 2048'));
  await page.waitForFunction(() => studio.music.ended !== '', null, { timeout: 20000 }).catch(() => {});
  check(/took longer than 1 s and was ended/.test(await status(page)), `a render past the limit is ended: ${await status(page)}`);
  check(!differs(playing, await samples(page, 32, 48)), 'the music plays as it was');
  const after = await page.evaluate(() => studio.music);
  check(!after.busy && !after.heard.some((h) => h.stage === 'tune'), 'the ended render left the folder\'s tune as it was');
  await page.evaluate(() => { studio.renderLimit = 120; });
  check(problems.length === 0, `no page errors: ${problems}`);
  await context.close();
}

function decode(file) {
  const out = spawnSync('ffmpeg', ['-v', 'error', '-i', file, '-f', 's16le', '-'], { maxBuffer: 1 << 30 });
  if (out.status !== 0) throw new Error(`ffmpeg cannot decode ${file}: ${out.stderr}`);
  return new Int16Array(out.stdout.buffer, out.stdout.byteOffset, out.stdout.length / 2);
}

async function tuneCase(browser) {
  const { context, page, problems } = await openStudio(browser);
  // A score of the page's own: the template's, its first chord changed. The
  // bars under way, as spliced in, are read before the whole tune follows.
  await page.evaluate(async () => {
    const score = await studio.read('demo.score');
    await studio.write('demo.score', score.replace('0:  A-3:m7', '0:  D-3:m7'));
  });
  await page.waitForFunction(() => studio.music.heard.some((h) => h.stage === 'bars'), null,
                             { timeout: 20000, polling: 20 });
  const bars = await page.evaluate(async () => {
    const heard = studio.music.heard.find((h) => h.stage === 'bars');
    return { ...heard, tuneYet: studio.music.heard.some((h) => h.stage === 'tune'),
             samples: Array.from(await studio.samples(heard.from, heard.to)) };
  });
  await page.waitForFunction(() => studio.music.heard.some((h) => h.stage === 'tune'), null, { timeout: 60000 })
    .catch(() => {});
  const zip = await page.evaluate(async () => Array.from(await studio.download()));
  const folder = temporary();
  fs.writeFileSync(path.join(folder, 'demo.zip'), Buffer.from(zip));
  execFileSync('python3', ['-c', 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])',
                           path.join(folder, 'demo.zip'), folder]);
  const demo = path.join(folder, 'mydemo');
  const pageTune = path.join(demo, 'tune.ogg');
  check(fs.existsSync(pageTune), 'the downloaded folder holds tune.ogg');
  const desktopTune = path.join(folder, 'desktop.ogg');
  execFileSync(path.join(binDir, 'tunegen'), [path.join(demo, 'demo.score'), '-o', desktopTune]);
  // Before the encoder, the synthesizer's samples are the desktop's, bit for
  // bit: tunegen's section at the levels of the tune that played.
  check(!bars.tuneYet, 'the bars were read before the whole tune replaced them');
  if (!bars.tuneYet) {
    const section = path.join(folder, 'section.pcm');
    execFileSync(path.join(binDir, 'tunegen'), [path.join(demo, 'demo.score'), '-o', section, '--section',
                                                `${bars.from}:${bars.to}`, '--levels',
                                                path.join(studioDir, 'template', 'tune.ogg')]);
    const desktop = new Int16Array(fs.readFileSync(section).buffer.slice(0));
    const spliced = Int16Array.from(bars.samples, (v) => Math.round(v * 32768));
    check(desktop.length === spliced.length && !differs(desktop, spliced),
          `the bars spliced in are tunegen --section's samples exactly (rows ${bars.from} to ${bars.to}, ` +
          `${spliced.length} against ${desktop.length} samples)`);
  }
  const [a, b] = [decode(desktopTune), decode(pageTune)];
  let same = 0;
  for (let i = 0; i < Math.min(a.length, b.length); ++i) if (a[i] === b[i]) same += 1;
  const ratio = snr(a, b);
  console.log(`tune.ogg against tunegen's: ${a.length === b.length ? 'same length' : `${b.length} against ${a.length} samples`}, ` +
              `${(100 * same / a.length).toFixed(2)}% samples identical, SNR ${ratio === Infinity ? 'infinite (identical)' : ratio.toFixed(1) + ' dB'}`);
  check(a.length === b.length && a.length > 44100 * 2 * 17, `as long as the desktop's (${b.length} / ${a.length})`);
  check(ratio > 60, `the page's tune is the desktop's within rounding: SNR ${ratio.toFixed(1)} dB`);
  // Its comments say it is this score's render, by this synthesizer: the
  // desktop's tools take it as it is.
  const staged = spawnSync(path.join(binDir, 'orvanta-stage'), [demo, path.join(folder, 'run')], { encoding: 'utf8' });
  check(staged.status === 0 && !/render/i.test(staged.stdout + staged.stderr),
        `orvanta-stage takes the page's tune without rendering again: ${staged.stdout}${staged.stderr}`);
  check(problems.length === 0, `no page errors: ${problems}`);
  await context.close();
}

async function publishCase(browser) {
  const { context, page, problems } = await openStudio(browser);
  // Orvanta's own demo opens as a new demo, its own tune current.
  await page.click('#orvanta');
  await page.waitForFunction(() => /orvanta: opened/.test(document.getElementById('status').textContent), null,
                             { timeout: 30000 }).catch(() => {});
  const opened = await status(page);
  check(/orvanta: opened/.test(opened), `Open Orvanta: ${opened}`);
  await page.waitForFunction(() => studio.tracks().includes('cam.rot.x') && Module.orvantaAudio.buffer &&
                             Module.orvantaAudio.buffer.duration > 140, null, { timeout: 30000 }).catch(() => {});
  await page.waitForFunction(() => !studio.music.busy, null, { timeout: 30000 }).catch(() => {});
  const facts = await page.evaluate(() => ({ demos: studio.demos(), tracks: studio.tracks().length, music: studio.music }));
  check(facts.demos.length === 2 && facts.tracks === 31, `Orvanta's 31 tracks in a second demo: ${JSON.stringify(facts)}`);
  check(!facts.music.busy && facts.music.errors.length === 0 && facts.music.heard.length === 0,
        `Orvanta's tune is its score's: nothing renders (${JSON.stringify(facts.music)})`);
  await page.evaluate(() => studio.switchTo(studio.demos().find((d) => d.name === 'mydemo').id));
  await page.waitForFunction(() => document.title.startsWith('mydemo'), null, { timeout: 10000 });

  // A key set in the editor, then Publish: the page plays by itself, laid
  // out as `make web DEMO=DIR` lays out the folder Download gives.
  await page.evaluate(() => studio.run('key glow 0.77'));
  const folder = temporary();
  const unzip = (bytes, name) => {
    fs.writeFileSync(path.join(folder, name), Buffer.from(bytes));
    execFileSync('python3', ['-c', 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])',
                             path.join(folder, name), folder]);
  };
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 30000 }), page.click('#publish')]);
  check(download.suggestedFilename() === 'mydemo-web.zip', `Publish offers ${download.suggestedFilename()}`);
  await download.saveAs(path.join(folder, 'published.zip'));
  unzip(fs.readFileSync(path.join(folder, 'published.zip')), 'page.zip');
  const again = await page.evaluate(async () => (await studio.publish()).length);
  check(again > 100000, `publish() gives the same page's zip: ${again} bytes`);
  unzip(await page.evaluate(async () => Array.from(await studio.download())), 'demo.zip');
  const site = path.join(folder, 'mydemo-web');
  const made = path.join(folder, 'made-web');
  execFileSync(path.join(root, 'scripts/build-web.sh'), [path.dirname(binDir), made, path.join(folder, 'mydemo')],
               { stdio: ['ignore', 'ignore', 'inherit'] });
  const names = (top) => execFileSync('find', ['.', '-type', 'f'], { cwd: top, encoding: 'utf8' }).split('\n')
    .filter(Boolean).sort();
  const [published, laidOut] = [names(site), names(made)];
  check(JSON.stringify(published) === JSON.stringify(laidOut),
        `the page holds what make web lays out: ${published.length} files against ${laidOut.length}: ` +
        `${published.filter((n) => !laidOut.includes(n))} / ${laidOut.filter((n) => !published.includes(n))}`);
  const listed = (top) => JSON.parse(fs.readFileSync(path.join(top, 'files.json'), 'utf8'));
  check(JSON.stringify(listed(site)) === JSON.stringify(listed(made)), `files.json names the same files in order`);
  const marker = (top) => fs.readFileSync(path.join(top, '.orvanta-web'), 'latin1').split('\0').filter(Boolean).sort();
  check(JSON.stringify(marker(site)) === JSON.stringify(marker(made)), 'the marker lets make web replace the folder');
  // Shaders are translated each its own way; the rest is the same bytes.
  const same = published.filter((n) => !/\.(fsh|vsh)$/.test(n) || n.startsWith('./demo/'))
    .filter((n) => !['./files.json', './.orvanta-web'].includes(n))
    .filter((n) => fs.existsSync(path.join(made, n)) &&
                   !fs.readFileSync(path.join(site, n)).equals(fs.readFileSync(path.join(made, n))));
  check(same.length === 0, `the tracks, the tune, the logo, the sources and the player are make web's: ${same}`);
  const tracks = fs.readFileSync(path.join(folder, 'mydemo', 'demo.tracks'), 'utf8');
  check(/\b0\.77\b/.test(tracks) && !/\b0\.77\b/.test(fs.readFileSync(path.join(studioDir, 'template', 'demo.tracks'), 'utf8')),
        'the key set is in the folder, and so in the published track');
  const served = await serve(site);
  const player = await context.newPage();
  const playerProblems = [];
  player.on('pageerror', (error) => playerProblems.push(error.message));
  await player.goto(`http://127.0.0.1:${served.address().port}/index.html`);
  await player.waitForFunction(() => /click or press a key/.test(document.getElementById('message').textContent) ||
                               (window.orvanta && window.orvanta.state === 'error'), null, { timeout: 30000 })
    .catch(() => {});
  await player.click('#screen');
  await player.waitForFunction(() => window.orvanta.frames > 10, null, { timeout: 30000 }).catch(() => {});
  const played = await player.evaluate(() => ({ state: window.orvanta.state, frames: window.orvanta.frames, row: window.orvanta.row }));
  check(played.state === 'playing' && played.frames > 10 && played.row > 0,
        `the published page plays by itself: ${JSON.stringify(played)}`);
  check(playerProblems.length === 0, `no player page errors: ${playerProblems}`);
  served.close();
  check(problems.length === 0, `no page errors: ${problems}`);
  await context.close();
}

const cases = { score: scoreCase, tune: tuneCase, publish: publishCase };
if (!cases[caseName] || !binDir || !fs.existsSync(path.join(studioDir, 'orvanta-music.wasm'))) {
  console.log('usage: node studio_music_test.mjs score|tune|publish STUDIO_DIR DESKTOP_BIN_DIR');
  process.exit(2);
}
let server;
await inBrowser(studioDir, check, async (browser, served) => {
  server = served;
  await cases[caseName](browser);
});
finish();
