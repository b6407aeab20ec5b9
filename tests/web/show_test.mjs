// The show's web site in headless Chromium, as a visitor uses it: loaded,
// started with a click, watched and heard, ended with Escape, started again
// and ended by leaving fullscreen.
//
//   node show_test.mjs SITE_DIR SHOW_DIR CUES_TOOL
// SHOW_DIR holds the native build's data files (the scene pictures are
// compared with the canvas); CUES_TOOL prints the song's cue timeline.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { openShowPage, sleep } from './browser.mjs';

const [siteDir, showDir, cuesTool] = process.argv.slice(2);
const WIDTH = 640, HEIGHT = 480, STRIDE = 7;
const SCENE_FILES = ['2.raw', '3.raw', '4.raw', '5.raw', '6.raw', '8.raw', '7.raw'];

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

const canvasBlue = (page) => page.evaluate((stride) => {
  const canvas = document.getElementById('canvas');
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const out = [];
  for (let p = 0; p < data.length / 4; p += stride) out.push(data[4 * p + 2]);
  return out;
}, STRIDE);

// The page at its start: no show, the start button usable, no fullscreen.
const startState = (page) => page.evaluate(() => ({
  state: document.documentElement.dataset.state,
  stage: getComputedStyle(document.getElementById('stage')).display,
  button: !document.getElementById('start-button').disabled,
  show: window.quarvelinShow,
  fullscreen: Boolean(document.fullscreenElement),
}));
const START_STATE = { state: 'ready', stage: 'none', button: true, show: null, fullscreen: false };

async function startShow(page) {
  const before = await page.evaluate(() => window.frameLog.count);
  await page.click('#start-button');
  await page.waitForFunction((count) => window.frameLog.count > count + 10 && window.quarvelinShow,
                             { timeout: 20000 }, before);
}

async function main() {
  const scenes = SCENE_FILES.map((name) => fs.readFileSync(path.join(showDir, name)));
  const cueSeconds = firstSceneCue();
  const { page, problems, close } = await openShowPage(siteDir);
  try {
    await startShow(page);

    // The scenes: the first one, then the next after the first instrument-3 cue.
    const seen = [];
    const deadline = Date.now() + (cueSeconds + 10) * 1000;
    while (Date.now() < deadline && !seen.includes(1)) {
      const match = classify(await canvasBlue(page), scenes);
      if (match.score > 0.9 && seen[seen.length - 1] !== match.scene) seen.push(match.scene);
      await sleep(100);
    }
    assert.equal(seen[0], 0, `the first scene shown is ${SCENE_FILES[seen[0]]} (seen: ${seen})`);
    assert.ok(seen.includes(1), `${SCENE_FILES[1]} never followed the cue at ${cueSeconds} s`);

    // The sound: the audio context runs, and the program keeps handing it
    // sound (its song clock counts what it handed) that is not silent.
    const audio = await page.evaluate(async () => {
      const sdl = window.quarvelinShow.SDL2;
      const context = sdl.audioContext;
      const processor = sdl.audio.scriptProcessorNode;
      const analyser = context.createAnalyser();
      processor.connect(analyser);
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
      return { state: context.state, advanced: context.currentTime - startTime, frames, loudest };
    });
    assert.equal(audio.state, 'running');
    assert.ok(audio.advanced > 0, 'the audio clock stands still');
    assert.ok(audio.frames > 0, 'the program handed no sound');
    assert.ok(audio.loudest > 0.001, 'the sound is silent');

    // Escape ends the show: the page is back at its start, the sound stopped.
    const context = await page.evaluateHandle(() => window.quarvelinShow.SDL2.audioContext);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.documentElement.dataset.state === 'ready', { timeout: 10000 });
    assert.deepEqual(await startState(page), START_STATE);
    assert.equal(await context.evaluate((c) => c.state), 'closed');

    // A second start makes a fresh show; leaving fullscreen ends it as Escape does.
    await startShow(page);
    assert.ok(await page.evaluate(() => Boolean(document.fullscreenElement)), 'no fullscreen on start');
    assert.ok(classify(await canvasBlue(page), scenes).score > 0.9, 'no scene after a restart');
    await page.evaluate(() => document.exitFullscreen());
    await page.waitForFunction(() => document.documentElement.dataset.state === 'ready', { timeout: 10000 });
    assert.deepEqual(await startState(page), START_STATE);

    assert.deepEqual(problems, []);
    console.log('web show test passed');
  } finally {
    await close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
