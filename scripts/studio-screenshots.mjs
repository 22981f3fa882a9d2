#!/usr/bin/env node
// Takes docs/studio.md's pictures from the studio as built: the template
// open with a key on glow, and a shader error marked while the last good
// picture draws. Written whole (a temporary renamed over the picture).
//
//   node scripts/studio-screenshots.mjs STUDIO_DIR DOCS_DIR
//
// Needs the browser tests' driver (make test installs it into tests/web).
import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';

const root = path.resolve(path.dirname(url.fileURLToPath(import.meta.url)), '..');
const [studioDir, docsDir] = process.argv.slice(2).map((name) => name && path.resolve(name));
if (process.argv.includes('--help')) {
  console.log('usage: node scripts/studio-screenshots.mjs STUDIO_DIR DOCS_DIR');
  process.exit(0);
}
if (!studioDir || !docsDir || !fs.existsSync(path.join(studioDir, 'orvanta-studio.wasm'))) {
  console.error('usage: node scripts/studio-screenshots.mjs STUDIO_DIR DOCS_DIR');
  process.exit(2);
}
const { browse, serve } = await import(path.join(root, 'tests/web/browser.mjs'));
const server = await serve(studioDir);
const browser = await browse();
const page = await browser.newPage({ viewport: { width: 1280, height: 720 }, deviceScaleFactor: 1 });

async function shoot(name) {
  const file = path.join(docsDir, name);
  const temporary = `${file}.${process.pid}.tmp`;
  await page.screenshot({ path: temporary, type: 'jpeg', quality: 85 });
  fs.renameSync(temporary, file);
  console.log(file);
}

try {
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 60000 });
  await page.evaluate(async () => {
    await studio.run('goto 24');
    await studio.run('key glow 2.2 smooth');
    await studio.run('goto 40');
    await studio.run('pause');
  });
  await page.waitForTimeout(1500);
  await shoot('studio.jpg');
  const source = await page.evaluate(() => studio.read('scene.fsh'));
  await page.evaluate((text) => studio.write('scene.fsh', text), source.replace('float t = 0.0;', 'float t = 0.0\n'));
  await page.waitForTimeout(1000);
  // The pane scrolled to the marked line.
  await page.evaluate(() => { document.querySelector('#editor .cm-scroller').scrollTop = 420; });
  await page.waitForTimeout(300);
  await shoot('studio-error.jpg');
} finally {
  await browser.close();
  server.close();
}
