// Measures the web site (build-web/site) as a visitor gets it: the bytes
// downloaded (gzip -9, as a server would send them), and in each browser
// (Chromium, Firefox, WebKit) the time from the click to the first frame,
// the frame rate and the browser's processor share over `seconds` of the
// show, and the longest gap in the sound heard, as it plays and while the
// page's thread is kept busy 150 ms of every 200 ms (in Chromium also with
// its processor slowed fourfold), and each scene cue's picture against its
// note as the audio context's output timestamp has it heard.
// BROWSER "chromium-phone": Chromium emulating a phone (tapped; the frame rate
// and processor share also at a quarter of the processor; the site first
// loaded over an emulated fast mobile network, the time to Ready).
// BROWSER "firefox@HZ": Firefox painting HZ times a second; adds how many
// paints each composed frame stayed on the canvas.
//   tests/support/browser-env.sh node measure/measure-web.mjs [SITE_DIR] [SECONDS] [BROWSER...]
// Needs tests/system/web's npm packages and the web build's native tools
// (scripts/web.sh test builds both).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { BROWSERS, countPaints, openShowPage, recordSound, sleep, slowPage, waitFor } from '../tests/support/browsers.mjs';

const siteDir = process.argv[2] || 'build-web/site';
const seconds = Number(process.argv[3] || 10);
const browsers = process.argv.length > 4 ? process.argv.slice(4) : BROWSERS;
const native = path.join(siteDir, '../native');
const judge = path.join(native, 'tests/support/sound_compare');
const song = path.join(native, 'show/RETRO.XM');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quarvelin-measure-web-'));

let raw = 0, compressed = 0;
for (const name of fs.readdirSync(siteDir).sort()) {
  const bytes = fs.readFileSync(path.join(siteDir, name));
  const gz = zlib.gzipSync(bytes, { level: 9 }).length;
  raw += bytes.length;
  compressed += gz;
  console.log(`${name}: ${bytes.length} bytes, ${gz} compressed`);
}
console.log(`site: ${raw} bytes, ${compressed} compressed`);

// Processor time (user + system, in clock ticks) of `pid` and every process
// descending from it.
function treeTicks(pid) {
  const parent = new Map(), ticks = new Map();
  for (const entry of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const fields = fs.readFileSync(`/proc/${entry}/stat`, 'utf8').split(') ')[1].split(' ');
      parent.set(Number(entry), Number(fields[1]));
      ticks.set(Number(entry), Number(fields[11]) + Number(fields[12]));
    } catch { /* the process ended meanwhile */ }
  }
  let total = 0;
  for (const [process, count] of ticks) {
    for (let p = process; p > 1; p = parent.get(p) || 0) {
      if (p === pid) {
        total += count;
        break;
      }
    }
  }
  return total;
}

// How many paints each frame stayed on: "paints x frames", and the paints
// that got two frames or more (a frame never shown).
function holdsOf(paintFrames) {
  const holds = new Map();
  let held = 0, doubled = 0;
  for (const frames of paintFrames) {
    if (frames > 0 && held > 0) holds.set(held, (holds.get(held) || 0) + 1);
    if (frames > 0) held = 0;
    if (frames > 1) ++doubled;
    ++held;
  }
  const list = [...holds].sort((a, b) => a[0] - b[0]).map(([paints, count]) => `${paints}x${count}`);
  return `${paintFrames.length} paints, frames held ${list.join(' ')}, ${doubled} paints with 2+ frames`;
}

// The site loaded over an emulated fast mobile network: milliseconds from
// the start of the navigation to Ready (to within the 100 ms it is polled at).
async function phoneDownload() {
  const page = await openShowPage('chromium', siteDir, process.env,
                                  { phone: true, beforeLoad: (browser) => browser.network('Fast 4G') });
  try {
    return await page.evaluate(() => performance.now());
  } finally {
    await page.close();
  }
}

// Before Start: keeps each report of the page's AudioWorklet player (the
// program's frames played, at which context time) and the program's rate.
function watchPlayer() {
  window.playerReports = [];
  const Node = window.AudioWorkletNode;
  if (!Node) return;
  window.AudioWorkletNode = class extends Node {
    constructor(context, name, options) {
      super(context, name, options);
      window.playerRate = options.processorOptions.rate;
      this.port.addEventListener('message', (event) => window.playerReports.push([event.data.played, event.data.time]));
      this.port.start();
    }
  };
}

// While the show plays: every 20 ms the audio context's output timestamp
// (which context time leaves the output at which moment), and each frame's
// hand-over to the canvas with its song clock (frameLog.pictures). In Firefox
// the first read now and then hangs the page for good, as the page's own
// would (resources/web/sound.js): such a run is simply run again.
function watchOutput() {
  window.outputStamps = [];
  window.frameLog.pictures = [];
  const context = window.quarvelinShow.soundOutput.context;
  window.outputTimer = setInterval(() => {
    const stamp = context.getOutputTimestamp();
    if (stamp.performanceTime > 0) window.outputStamps.push([performance.timeOrigin + stamp.performanceTime, stamp.contextTime]);
  }, 20);
}

// Each scene cue's picture against its note as the output timestamp has it
// heard, in ms (positive: the picture after the note). The note leaves the
// output when the context time of the player's frame for it does; the
// picture is the first frame composed at or after the note's song time (the
// program draws a cue's picture in that frame), timed at its hand-over to
// the canvas.
async function cueOffsets(page, cues) {
  const { reports, stamps, pictures, rate } = await page.evaluate(() => {
    clearInterval(window.outputTimer);
    const log = { reports: window.playerReports, stamps: window.outputStamps, pictures: window.frameLog.pictures,
                  rate: window.playerRate };
    window.frameLog.pictures = null;
    return log;
  });
  const nearest = (list, key, value) => list.reduce((best, item) => (Math.abs(key(item) - value) < Math.abs(key(best) - value) ? item : best));
  const offsets = [];
  for (const cue of cues) {
    const frame = pictures.find(([, , clock]) => clock >= cue);
    if (!frame || frame === pictures[0] || reports.length === 0 || stamps.length === 0) continue;
    const [played, time] = nearest(reports, (report) => report[0], cue * rate);
    const contextTime = time + (cue * rate - played) / rate;
    const [wallMs, stampContext] = nearest(stamps, (stamp) => stamp[1], contextTime);
    offsets.push(frame[0] - (wallMs + (contextTime - stampContext) * 1000));
  }
  return offsets;
}

// The instrument-3 notes (scene cues) of the song's first `seconds`.
function sceneCues(seconds) {
  const line = execFileSync(path.join(native, 'tools/quarvelin-cues'), [song, String(seconds)], { encoding: 'utf8' })
    .split('\n').find((l) => l.startsWith('instrument 3 '));
  return line ? line.split(':')[1].trim().split(/\s+/).map(Number) : [];
}

const sorted = (values) => [...values].sort((a, b) => a - b);
function offsetFigures(offsets) {
  if (offsets.length === 0) return 'no scene cue in the stretch';
  const order = sorted(offsets), within = offsets.filter((ms) => Math.abs(ms) <= 17).length;
  return `${offsets.length} cues, median ${order[order.length >> 1].toFixed(1)} ms, ${order[0].toFixed(1)} to ` +
         `${order[order.length - 1].toFixed(1)}, ${within} within ±17 ms (${offsets.map((ms) => ms.toFixed(1)).join(' ')})`;
}

const hz = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));
for (const entry of browsers) {
  const phone = entry === 'chromium-phone';
  const [name, paintHz] = phone ? ['chromium', 0] : entry.split('@');
  const download = phone ? await phoneDownload() : 0;
  const page = await openShowPage(name, siteDir, process.env, { phone, paintHz: Number(paintHz || 0) });
  try {
    await page.evaluate(watchPlayer);
    const clicked = await page.evaluate(() => performance.now());
    if (phone) await page.tap('#start-button');
    else await page.click('#start-button');
    await waitFor(page, () => window.frameLog.count > 0 && Boolean(window.quarvelinShow), 30000);
    const firstFrame = await page.evaluate(() => window.frameLog.first);
    await sleep(1000);

    await page.evaluate(countPaints);
    const songBefore = await page.evaluate(() => window.quarvelinShow.soundOutput.heardSeconds());
    await page.evaluate(watchOutput);
    const framesBefore = await page.evaluate(() => window.frameLog.count);
    const ticksBefore = treeTicks(page.pid);
    const started = Date.now();
    const steady = await recordSound(path.join(work, `${name}.wav`), () => sleep(seconds * 1000), judge, song);
    const elapsed = (Date.now() - started) / 1000;
    const frames = (await page.evaluate(() => window.frameLog.count)) - framesBefore;
    const ticks = treeTicks(page.pid) - ticksBefore;
    const paints = holdsOf(await page.evaluate(() => window.paintFrames.splice(0)));
    const cues = sceneCues(seconds + songBefore + 5).filter((at) => at > songBefore + 0.5);
    const offsets = await cueOffsets(page, cues);
    // The phone's processor: the frame rate and share at a quarter of it.
    let slowFigures = '';
    if (phone) {
      await page.throttle(4);
      await sleep(1000);
      const slowFrames = await page.evaluate(() => window.frameLog.count);
      const slowTicks = treeTicks(page.pid);
      const slowStart = Date.now();
      const slowSound = await recordSound(path.join(work, `${name}-slow.wav`), () => sleep(seconds * 1000), judge, song);
      const slowElapsed = (Date.now() - slowStart) / 1000;
      slowFigures = `; at a quarter of the processor ` +
        `${(((await page.evaluate(() => window.frameLog.count)) - slowFrames) / slowElapsed).toFixed(1)} frames per second, ` +
        `processor share ${((100 * (treeTicks(page.pid) - slowTicks)) / hz / slowElapsed).toFixed(0)} %, ` +
        `longest sound gap ${slowSound.gapMs} ms`;
      await page.throttle(1);
    }
    const busy = await recordSound(path.join(work, `${name}-busy.wav`), async () => {
      await slowPage(page);
      await sleep(3500);
    }, judge, song);
    // Where the driver can, the page's processor slowed fourfold as well.
    let throttled = null;
    if (page.throttle) {
      throttled = await recordSound(path.join(work, `${name}-throttled.wav`), async () => {
        await page.throttle(4);
        await slowPage(page);
        await sleep(3500);
        await page.throttle(1);
      }, judge, song);
    }
    console.log(`${entry}: ${phone ? `download to Ready over Fast 4G ${download.toFixed(0)} ms, tap` : 'click'}` +
                ` to first frame ${(firstFrame - clicked).toFixed(0)} ms, ` +
                `${(frames / elapsed).toFixed(1)} frames per second, ` +
                `processor share ${((100 * ticks) / hz / elapsed).toFixed(0)} % of one core, ` +
                `longest sound gap ${steady.gapMs} ms (correlation ${steady.correlation}), ` +
                `busy page ${busy.gapMs} ms (correlation ${busy.correlation})` +
                (throttled ? `, busy page at a quarter of the processor ${throttled.gapMs} ms` +
                             ` (correlation ${throttled.correlation})` : '') + slowFigures + `; ${paints}` +
                `; scene cues against the output timestamp: ${offsetFigures(offsets)}`);
  } finally {
    await page.close();
  }
}
fs.rmSync(work, { recursive: true, force: true });
