// What the browser tests and the web bench share: the web folder served on
// 127.0.0.1 (a free port), and Debian's chromium drawing WebGL2 through
// SwiftShader, with real-time audio that plays muted.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.json': 'application/json',
                '.css': 'text/css', '.png': 'image/png', '.ogg': 'audio/ogg' };

// Serves `folder` (an absolute path) and nothing outside it.
export function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
    const file = path.join(folder, name);
    if (!file.startsWith(folder) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

export function browse(extraArgs = []) {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    // Without the network flags, chromium keeps trying hosts that a closed
    // network refuses.
    args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--mute-audio',
           '--autoplay-policy=no-user-gesture-required', '--no-sandbox', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync', '--disable-quic',
           ...extraArgs],
  });
}

// Serves `folder`, starts the browser and runs `body(browser, server)`; a
// throw is a failed check, and both end however it went.
export async function inBrowser(folder, check, body) {
  const server = await serve(folder);
  const browser = await browse();
  try {
    await body(browser, server);
  } catch (error) {
    check(false, error.stack || String(error));
  } finally {
    await browser.close();
    server.close();
  }
}
