// The show's web site in headless Chromium, as a visitor uses it: served on
// 127.0.0.1, loaded, started with a click, watched and heard, ended with
// Escape. Prints what a visitor downloads, the time from the click to the
// first frame, the frame rate and Chromium's processor share.
//
//   node show_test.mjs SITE_DIR SHOW_DIR CUES_TOOL
// SHOW_DIR holds the native build's data files (the scene pictures are
// compared with the canvas); CUES_TOOL prints the song's cue timeline.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const [siteDir, showDir, cuesTool] = process.argv.slice(2);
const WIDTH = 640, HEIGHT = 480, STRIDE = 7;
const SCENE_FILES = ['2.raw', '3.raw', '4.raw', '5.raw', '6.raw', '8.raw', '7.raw'];
const CONTENT_TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                        '.wasm': 'application/wasm', '.data': 'application/octet-stream' };

function serve(root) {
  const server = http.createServer((request, response) => {
    const name = path.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
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

// The first note of instrument 3 (the next-scene cue), in seconds of song.
function firstSceneCue() {
  const timeline = execFileSync(cuesTool, [path.join(showDir, 'RETRO.XM'), '60'], { encoding: 'utf8' });
  const line = timeline.split('\n').find((l) => l.startsWith('instrument 3 '));
  assert.ok(line, 'the song has no instrument-3 cue');
  return Number(line.split(':')[1].trim().split(' ')[0]);
}

// Which scene the canvas shows: the one whose drawn pixels best match the
// blue channel, which carries the gray level through the tint, give or take
// the frame's noise (as the native end-to-end tests judge the screen).
function classify(blue, scenes) {
  let best = { scene: -1, score: 0 };
  scenes.forEach((picture, scene) => {
    let drawn = 0, matching = 0;
    for (let i = 0, p = 0; p < WIDTH * HEIGHT; p += STRIDE, ++i) {
      if (picture[p] === 0) continue;
      ++drawn;
      const difference = Math.abs(blue[i] - picture[p]);
      if (Math.min(difference, 256 - difference) <= 16) ++matching;
    }
    const score = drawn ? matching / drawn : 0;
    if (score > best.score) best = { scene, score };
  });
  return best;
}

// Processor time (user + system, in clock ticks) of every process of this browser.
function browserTicks(userDataDir) {
  let ticks = 0;
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      if (!fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes(userDataDir)) continue;
      const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
      ticks += Number(fields[11]) + Number(fields[12]);
    } catch { /* the process ended meanwhile */ }
  }
  return ticks;
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function reportSizes() {
  let raw = 0, compressed = 0;
  for (const name of fs.readdirSync(siteDir).sort()) {
    const bytes = fs.readFileSync(path.join(siteDir, name));
    const gz = zlib.gzipSync(bytes, { level: 9 }).length;
    raw += bytes.length;
    compressed += gz;
    console.log(`size ${name}: ${bytes.length} bytes, ${gz} gzip -9`);
  }
  console.log(`size total: ${raw} bytes, ${compressed} gzip -9`);
  return compressed;
}

async function main() {
  const scenes = SCENE_FILES.map((name) => fs.readFileSync(path.join(showDir, name)));
  const cueSeconds = firstSceneCue();
  const compressed = reportSizes();
  const server = await serve(path.resolve(siteDir));
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
  try {
    const page = await browser.newPage();
    page.on('console', (message) => {
      if (message.type() === 'error') problems.push(`console: ${message.text()}`);
    });
    page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
    // Counts the frames the program puts on the canvas.
    await page.evaluateOnNewDocument(() => {
      window.frameLog = { count: 0, first: 0 };
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        if (window.frameLog.count++ === 0) window.frameLog.first = performance.now();
        return put.apply(this, args);
      };
    });
    const { port } = server.address();
    await page.goto(`http://127.0.0.1:${port}/`);
    await page.waitForFunction(() => document.documentElement.dataset.state === 'ready',
                               { timeout: 60000 });

    const clicked = await page.evaluate(() => performance.now());
    await page.click('#start-button');
    await page.waitForFunction(() => window.frameLog.count > 0 && window.quarvelinShow,
                               { timeout: 20000 });
    const firstFrame = await page.evaluate(() => window.frameLog.first);
    console.log(`click to first frame: ${(firstFrame - clicked).toFixed(0)} ms`);

    // The scenes: the first one, then the next after the first instrument-3 cue.
    const seen = [];
    const deadline = Date.now() + (cueSeconds + 10) * 1000;
    while (Date.now() < deadline && !(seen.includes(0) && seen.includes(1))) {
      const blue = await page.evaluate((stride) => {
        const canvas = document.getElementById('canvas');
        const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        const out = [];
        for (let p = 0; p < data.length / 4; p += stride) out.push(data[4 * p + 2]);
        return out;
      }, STRIDE);
      const match = classify(blue, scenes);
      if (match.score > 0.9 && seen[seen.length - 1] !== match.scene) seen.push(match.scene);
      await sleep(100);
    }
    assert.equal(seen[0], 0, `the first scene shown is ${SCENE_FILES[seen[0]]} (seen: ${seen})`);
    assert.ok(seen.includes(1), `${SCENE_FILES[1]} never followed the cue at ${cueSeconds} s`);

    // The sound: the audio context runs, and the program keeps handing it
    // sound that is not silent.
    const audio = await page.evaluate(async () => {
      const sdl = window.quarvelinShow.SDL2;
      const context = sdl.audioContext;
      const analyser = context.createAnalyser();
      sdl.audio.scriptProcessorNode.connect(analyser);
      const processor = sdl.audio.scriptProcessorNode;
      const fill = processor.onaudioprocess;
      let frames = 0;
      processor.onaudioprocess = (event) => {
        fill(event);
        frames += event.outputBuffer.length;
      };
      const startTime = context.currentTime;
      let loudest = 0;
      const samples = new Float32Array(analyser.fftSize);
      for (let i = 0; i < 20; ++i) {
        await new Promise((resolve) => setTimeout(resolve, 100));
        analyser.getFloatTimeDomainData(samples);
        let sum = 0;
        for (const s of samples) sum += s * s;
        loudest = Math.max(loudest, Math.sqrt(sum / samples.length));
      }
      return { state: context.state, advanced: context.currentTime - startTime, frames,
               rate: context.sampleRate, loudest };
    });
    console.log(`audio: ${JSON.stringify(audio)}`);
    assert.equal(audio.state, 'running');
    assert.ok(audio.advanced > 0, 'the audio clock stands still');
    assert.ok(audio.frames > 0, 'the program handed no sound');
    assert.ok(audio.loudest > 0.001, 'the sound is silent');

    // Frame rate and processor share over five seconds of the show.
    const hz = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' })); // ticks per second
    const framesBefore = await page.evaluate(() => window.frameLog.count);
    const ticksBefore = browserTicks(userDataDir);
    const started = Date.now();
    await sleep(5000);
    const seconds = (Date.now() - started) / 1000;
    const framesAfter = await page.evaluate(() => window.frameLog.count);
    const ticks = browserTicks(userDataDir) - ticksBefore;
    console.log(`frames per second: ${((framesAfter - framesBefore) / seconds).toFixed(1)}`);
    console.log(`chromium processor share: ${((100 * ticks) / hz / seconds).toFixed(0)} % of one core`);

    // Escape ends the show: the page is back at its start, the sound stopped.
    const context = await page.evaluateHandle(() => window.quarvelinShow.SDL2.audioContext);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.documentElement.dataset.state === 'ready',
                               { timeout: 10000 });
    const after = await page.evaluate((audioContext) => ({
      stage: getComputedStyle(document.getElementById('stage')).display,
      button: !document.getElementById('start-button').disabled,
      show: window.quarvelinShow,
      audio: audioContext.state,
    }), context);
    assert.deepEqual(after, { stage: 'none', button: true, show: null, audio: 'closed' });
    assert.deepEqual(problems, []);
    assert.ok(compressed < 6e6, `the site is ${compressed} bytes compressed`);
    console.log('web show test passed');
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(userDataDir, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
