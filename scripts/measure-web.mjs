// Measures the web site (build-web/site) as a visitor gets it: the bytes
// downloaded (gzip -9, as a server would send them), and in headless
// Chromium the time from the click to the first frame, the frame rate and
// Chromium's processor share over `seconds` of the show.
//   node scripts/measure-web.mjs [SITE_DIR] [SECONDS]
// Needs tests/web's npm packages (scripts/web.sh test installs them).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { openShowPage, sleep } from '../tests/web/browser.mjs';

const siteDir = process.argv[2] || 'build-web/site';
const seconds = Number(process.argv[3] || 10);

let raw = 0, compressed = 0;
for (const name of fs.readdirSync(siteDir).sort()) {
  const bytes = fs.readFileSync(path.join(siteDir, name));
  const gz = zlib.gzipSync(bytes, { level: 9 }).length;
  raw += bytes.length;
  compressed += gz;
  console.log(`${name}: ${bytes.length} bytes, ${gz} compressed`);
}
console.log(`site: ${raw} bytes, ${compressed} compressed`);

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

const { page, userDataDir, close } = await openShowPage(siteDir);
try {
  const clicked = await page.evaluate(() => performance.now());
  await page.click('#start-button');
  await page.waitForFunction(() => window.frameLog.count > 0, { timeout: 20000 });
  const firstFrame = await page.evaluate(() => window.frameLog.first);
  console.log(`click to first frame: ${(firstFrame - clicked).toFixed(0)} ms`);
  await sleep(1000);

  const hz = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));
  const framesBefore = await page.evaluate(() => window.frameLog.count);
  const ticksBefore = browserTicks(userDataDir);
  const started = Date.now();
  await sleep(seconds * 1000);
  const elapsed = (Date.now() - started) / 1000;
  const frames = (await page.evaluate(() => window.frameLog.count)) - framesBefore;
  const ticks = browserTicks(userDataDir) - ticksBefore;
  console.log(`frames per second: ${(frames / elapsed).toFixed(1)}`);
  console.log(`Chromium's processor share: ${((100 * ticks) / hz / elapsed).toFixed(0)} % of one core`);
} finally {
  await close();
}
