// Serves web/ on localhost and drives Debian's chromium, headless, through
// playwright-core; it never downloads a browser of its own.
import http from 'node:http';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
export const repoDir = path.resolve(webDir, '..');
export const resultsDir = path.join(webDir, 'test-results');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };

function serve() {
  const server = http.createServer((request, response) => {
    const file = path.join(webDir, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const target = file.endsWith('/') ? path.join(file, 'index.html') : file;
    if (!target.startsWith(webDir) || !fs.existsSync(target) || fs.statSync(target).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': types[path.extname(target)] ?? 'application/octet-stream' });
    fs.createReadStream(target).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// A page of the app, loaded and ready; `errors` collects console errors and
// uncaught exceptions.
export async function openApp() {
  const server = await serve();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zibber-chromium-'));
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1200, height: 820 },
  });
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 30000 });
  const close = async () => {
    await browser.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { page, errors, close };
}

export async function screenshot(page, name) {
  fs.mkdirSync(resultsDir, { recursive: true });
  await page.locator('main').screenshot({ path: path.join(resultsDir, `${name}.png`) });
}
