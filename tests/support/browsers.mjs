// Serving the site on 127.0.0.1 and driving a browser on it, for the browser
// test (tests/system/web) and the measuring script (measure-web.mjs): Debian's
// Chromium (puppeteer-core over its DevTools protocol), Debian's Firefox ESR
// (puppeteer-core over WebDriver BiDi) and WebKitGTK's MiniBrowser
// (WebKitWebDriver, plain W3C WebDriver).
// Each browser gets the same few calls; what the test adds to the page goes
// in after the page has loaded, as WebDriver allows no more.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import path from 'node:path';
import { createRequire } from 'node:module';

// puppeteer-core as tests/system/web's lock file pins it (scripts/web.sh test installs it).
const puppeteer = createRequire(new URL('../system/web/package.json', import.meta.url))('puppeteer-core');

export const BROWSERS = ['chromium', 'firefox', 'webkit'];

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

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Counts the frames the program puts on the canvas (window.frameLog), keeps
// while `window.frameLog.pictures` is an array each frame's time (on the
// clock of `wallNow`), the mean blue of a sample of its pixels (the tint
// leaves blue alone, a scene's picture changes it) and the song clock of the
// page's sound (show.js's `sound`), and keeps the page's errors
// (window.pageProblems).
function watchPage() {
  window.frameLog = { count: 0, first: 0, pictures: null };
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    if (window.frameLog.count++ === 0) window.frameLog.first = performance.now();
    if (window.frameLog.pictures) {
      const data = args[0].data;
      let blue = 0, count = 0;
      for (let i = 2; i < data.length; i += 4 * 97, ++count) blue += data[i];
      const clock = typeof sound === 'object' && sound ? sound.heardSeconds() : NaN;
      window.frameLog.pictures.push([performance.timeOrigin + performance.now(), blue / count, clock]);
    }
    return put.apply(this, args);
  };
  window.pageProblems = [];
  const error = console.error;
  console.error = (...args) => {
    window.pageProblems.push(`console: ${args.join(' ')}`);
    error.apply(console, args);
  };
  window.addEventListener('error', (event) => window.pageProblems.push(`page error: ${event.message}`));
  window.addEventListener('unhandledrejection',
                          (event) => window.pageProblems.push(`page error: ${event.reason}`));
}

// Counts, at each paint, the frames composed since the one before
// (window.paintFrames; run in the page once frameLog counts).
export function countPaints() {
  window.paintFrames = [];
  let last = window.frameLog.count;
  const paint = () => {
    window.paintFrames.push(window.frameLog.count - last);
    last = window.frameLog.count;
    requestAnimationFrame(paint);
  };
  requestAnimationFrame(paint);
}

// A phone held upright: 390 x 844 CSS pixels at 3x, touch, a phone's user agent.
const PHONE = puppeteer.KnownDevices['iPhone 13'];

async function openPuppeteer(name, env, { phone = false, paintHz = 0 } = {}) {
  const options = name === 'firefox' ? {
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    // Firefox paints at this rate where asked (its own timer stands in for the screen's).
    extraPrefsFirefox: paintHz ? { 'layout.frame_rate': paintHz } : {},
  } : {
    executablePath: '/usr/bin/chromium',
    // Puppeteer mutes Chromium by default; the test listens.
    ignoreDefaultArgs: ['--mute-audio'],
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--window-size=800,600'],
  };
  const browser = await puppeteer.launch({ headless: true, protocolTimeout: 60000, env, dumpio: Boolean(process.env.QUARVELIN_BROWSER_LOG), ...options });
  const page = (await browser.pages())[0] || await browser.newPage();
  if (phone) await page.emulate(PHONE);
  return {
    pid: browser.process().pid,
    goto: (url) => page.goto(url),
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    click: (selector) => page.click(selector),
    pressEscape: () => page.keyboard.press('Escape'),
    // Chromium slows the page's processor by `factor` (1: full speed);
    // Firefox's driver has no such setting.
    throttle: name === 'firefox' ? null : (factor) => page.emulateCPUThrottling(factor),
    // A finger on the element (phone emulation only).
    tap: (selector) => page.tap(selector),
    // The phone turned sideways (or back upright).
    turn: (landscape) => page.setViewport({ ...PHONE.viewport, isLandscape: landscape,
      width: landscape ? PHONE.viewport.height : PHONE.viewport.width,
      height: landscape ? PHONE.viewport.width : PHONE.viewport.height }),
    // Another tab in front for `ms`, the page hidden meanwhile.
    hideFor: async (ms) => {
      const other = await browser.newPage();
      await other.bringToFront();
      await sleep(ms);
      await page.bringToFront();
      await other.close();
    },
    // The network as a phone's (puppeteer's named conditions, e.g. 'Fast 4G').
    network: (conditions) => page.emulateNetworkConditions(puppeteer.PredefinedNetworkConditions[conditions]),
    close: () => browser.close(),
  };
}

// A free TCP port on 127.0.0.1.
function freePort() {
  return new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

const MINIBROWSER = ['/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
                     '/usr/lib/x86_64-linux-gnu/webkitgtk-6.0/MiniBrowser',
                     '/usr/lib/aarch64-linux-gnu/webkit2gtk-4.1/MiniBrowser'].find((p) => fs.existsSync(p));

// MiniBrowser on the X server in DISPLAY, through WebKitWebDriver.
async function openWebKit() {
  const port = await freePort();
  // Without a GPU, WebKitGTK's accelerated compositing is GL emulated on the
  // processor (two llvmpipe threads taking most of a core), which starves its
  // sound's GStreamer threads (normal priority) on a 2-core machine: its sink
  // then drops stretches of sound to keep to its clock. A viewer's machine
  // composites on its GPU; here WebKit draws without compositing instead.
  const driver = spawn('WebKitWebDriver', [`--port=${port}`],
                       { stdio: 'ignore', env: { ...process.env, WEBKIT_DISABLE_COMPOSITING_MODE: '1' } });
  const base = `http://127.0.0.1:${port}`;
  const call = async (method, route, body) => {
    const response = await fetch(base + route, {
      method, headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body) });
    const answer = await response.json();
    if (!response.ok) throw new Error(`WebDriver ${route}: ${JSON.stringify(answer.value)}`);
    return answer.value;
  };
  for (let i = 0; ; ++i) {
    try {
      await call('GET', '/status');
      break;
    } catch (error) {
      if (i === 200) throw error;
      await sleep(100);
    }
  }
  const session = await call('POST', '/session', { capabilities: { alwaysMatch: {
    'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] } } } });
  const at = `/session/${session.sessionId}`;
  // The function's result, awaited in the page; errors come back as errors.
  const evaluate = async (fn, ...args) => {
    const script = `const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${fn}).apply(null, Array.from(arguments).slice(0, -1)))
        .then((value) => done({ value }), (error) => done({ error: String(error) }));`;
    const result = await call('POST', `${at}/execute/async`, { script, args });
    if (result.error) throw new Error(result.error);
    return result.value;
  };
  return {
    pid: driver.pid,
    goto: (url) => call('POST', `${at}/url`, { url }),
    evaluate,
    click: async (selector) => {
      const element = await call('POST', `${at}/element`, { using: 'css selector', value: selector });
      await call('POST', `${at}/element/${Object.values(element)[0]}/click`, {});
    },
    pressEscape: () => call('POST', `${at}/actions`, { actions: [{ type: 'key', id: 'keyboard', actions: [
      { type: 'keyDown', value: '\uE00C' }, { type: 'keyUp', value: '\uE00C' }] }] }),
    close: async () => {
      await call('DELETE', at).catch(() => {});
      driver.kill();
    },
  };
}

// Opens the site in `name` (one of BROWSERS), loaded and ready to start;
// Chromium and Firefox run with the environment `env`. `options.phone`:
// Chromium emulating a phone; `options.paintHz`: Firefox painting at that
// rate; `options.beforeLoad(browser)` runs before the page loads.
// `pid`: the browser's first process; all of its processes descend from it.
export async function openShowPage(name, site, env = process.env, options = {}) {
  const browser = name === 'webkit' ? await openWebKit() : await openPuppeteer(name, env, options);
  const server = await serve(site);
  if (options.beforeLoad) await options.beforeLoad(browser);
  await browser.goto(`http://127.0.0.1:${server.address().port}/`);
  await browser.evaluate(watchPage);
  await waitFor(browser, () => document.documentElement.dataset.state === 'ready', 60000);
  return {
    ...browser,
    problems: () => browser.evaluate(() => window.pageProblems),
    close: async () => {
      await browser.close();
      server.close();
    },
  };
}

// Waits until `fn(...args)` is true in the page (a value JSON can carry).
export async function waitFor(browser, fn, timeoutMs, ...args) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await browser.evaluate(fn, ...args);
    if (value) return;
    if (Date.now() > deadline) throw new Error(`timed out after ${timeoutMs} ms waiting for ${fn}`);
    await sleep(100);
  }
}

// Now in milliseconds, on a clock the page shares (performance.timeOrigin +
// performance.now() there).
export const wallNow = () => performance.timeOrigin + performance.now();

const RECORD_RATE = 48000;

// Records the sink's monitor of the sound server browser-env.sh started into
// `file` (WAV) while `during` runs, noting when each 10 ms piece arrives;
// then judges the recording with `judge` (sound_compare) against `song`: its
// exit status, its line, its figures; `heardAt(seconds)`: when that song time
// was heard by the judge's placing, `songAt(time)`: the song time heard then,
// `skipSeconds(at)`: how much of the recording came before the time `at`
// (times on wallNow's clock), and `judgeWith(args)`: the same recording
// judged with other arguments.
export async function recordSound(file, during, judge, song, judgeArgs = []) {
  const recorder = spawn('parec', ['--device=quarvelin_sink.monitor', '--latency-msec=10', '--format=s16le',
                                   `--rate=${RECORD_RATE}`, '--channels=2', '--raw'],
                         { stdio: ['ignore', 'pipe', 'inherit'] });
  const chunks = [], arrivals = [];
  let bytes = 0;
  const first = new Promise((resolve) => {
    recorder.stdout.on('data', (chunk) => {
      chunks.push(chunk);
      bytes += chunk.length;
      arrivals.push([Math.floor(bytes / 4), wallNow()]);
      resolve();
    });
    recorder.on('exit', resolve);
  });
  const ended = new Promise((resolve) => recorder.on('close', resolve));
  await Promise.race([first, sleep(5000)]);
  try {
    await during();
  } finally {
    recorder.kill('SIGINT');
    await ended;
  }
  const data = Buffer.concat(chunks);
  const header = Buffer.alloc(44);
  header.write('RIFF', 0);
  header.writeUInt32LE(36 + data.length, 4);
  header.write('WAVEfmt ', 8);
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(2, 22);
  header.writeUInt32LE(RECORD_RATE, 24);
  header.writeUInt32LE(4 * RECORD_RATE, 28);
  header.writeUInt16LE(4, 32);
  header.writeUInt16LE(16, 34);
  header.write('data', 36);
  header.writeUInt32LE(data.length, 40);
  fs.writeFileSync(file, Buffer.concat([header, data]));

  // The sink's clock against ours (a virtual machine's may run slow by a few
  // parts in a thousand): the slope of arrival time over frames received, by
  // least squares, moved down to the earliest arrival, as a piece arrives
  // after its last frame was played, never before. The first second settles.
  const points = arrivals.filter(([frames]) => frames > RECORD_RATE);
  let msPerFrame = 1000 / RECORD_RATE, firstMs = arrivals.length ? arrivals[0][1] : 0;
  if (points.length > 10) {
    const meanF = points.reduce((sum, [f]) => sum + f, 0) / points.length;
    const meanT = points.reduce((sum, [, t]) => sum + t, 0) / points.length;
    msPerFrame = points.reduce((sum, [f, t]) => sum + (f - meanF) * (t - meanT), 0) /
                 points.reduce((sum, [f]) => sum + (f - meanF) ** 2, 0);
    firstMs = Math.min(...points.map(([f, t]) => t - f * msPerFrame));
  }
  const judgeWith = (args) => {
    const judged = spawnSync(judge, [file, song, ...args], { encoding: 'utf8' });
    const words = judged.stdout.trim().split(/\s+/);
    const figure = (name) => Number(words[words.indexOf(name) + 1]);
    return { status: judged.status, line: `${judged.stdout.trim()} ${judged.stderr.trim()}`.trim(),
             offset: figure('offset'), correlation: figure('correlation'), gapMs: figure('longest-gap'),
             songGapMs: figure('song-longest-gap'), skips: figure('skips'),
             heardAt: (seconds) => firstMs + (seconds - figure('offset')) * RECORD_RATE * msPerFrame,
             songAt: (time) => figure('offset') + (time - firstMs) / (RECORD_RATE * msPerFrame),
             skipSeconds: (at) => Math.max(0, (at - firstMs) / (RECORD_RATE * msPerFrame)),
             judgeWith };
  };
  return judgeWith(judgeArgs);
}

// Keeps the thread it runs on busy 150 ms of every 200 ms for 3 s, as slow
// frames or a pause would.
export function slowThread() {
  const end = performance.now() + 3000;
  const timer = setInterval(() => {
    const until = performance.now() + 150;
    while (performance.now() < until);
    if (performance.now() > end) clearInterval(timer);
  }, 200);
}

// The page's thread kept busy so.
export const slowPage = (page) => page.evaluate(slowThread);
