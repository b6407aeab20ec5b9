// Serving the site on 127.0.0.1 and driving Debian's Chromium headless, for
// the browser test and the measuring script.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const CONTENT_TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                        '.wasm': 'application/wasm', '.data': 'application/octet-stream' };

// Serves the files of `root` (and nothing outside it) on a free port.
export function serve(root) {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    const name = path.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': CONTENT_TYPES[path.extname(file)] || 'application/octet-stream',
                              'Content-Length': fs.statSync(file).size });
    if (request.method === 'HEAD') response.end();
    else fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Chromium with a fresh profile, headless, its first page counting the frames
// the program puts on the canvas (window.frameLog).
export async function openShowPage(site) {
  const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'quarvelin-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--autoplay-policy=no-user-gesture-required',
           '--no-first-run', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--window-size=800,600'],
  });
  const problems = [];
  const page = await browser.newPage();
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  await page.evaluateOnNewDocument(() => {
    window.frameLog = { count: 0, first: 0 };
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
      if (window.frameLog.count++ === 0) window.frameLog.first = performance.now();
      return put.apply(this, args);
    };
  });
  const server = await serve(site);
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => document.documentElement.dataset.state === 'ready', { timeout: 60000 });
  const close = async () => {
    await browser.close();
    server.close();
    fs.rmSync(userDataDir, { recursive: true, force: true });
  };
  return { page, problems, userDataDir, close };
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
