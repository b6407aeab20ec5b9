'use strict';
// The page around the show: loads the program and its data once, with a
// progress bar; each click on Start makes a fresh instance of the program,
// and the page returns to its start state when the program ends (Escape, or
// on a touch screen a tap on the picture and then End).
// The sound's side of the page is sound.js.

const page = document.documentElement;
const startButton = document.getElementById('start-button');
const gentleButton = document.getElementById('gentle-button'); // the show run with --gentle
const progressBar = document.getElementById('progress');
const statusLine = document.getElementById('status');
const stage = document.getElementById('stage');
const canvas = document.getElementById('canvas');
const soundTrouble = document.getElementById('sound-trouble');
const silentButton = document.getElementById('silent-button');
const endHint = document.getElementById('end-hint');
const controls = document.getElementById('controls');
const endButton = document.getElementById('end-button');
const turnHint = document.getElementById('turn-hint');

const PROGRAM = 'quarvelin.wasm';
const DATA = 'quarvelin.data';

let compiledProgram = null; // WebAssembly.Module, compiled once
let showData = null; // the packaged files, an ArrayBuffer
let running = false;
let sound = null; // the running show's sound output (sound.js)
let controlsTimer = 0;

// How long End stays over the picture after a tap.
const CONTROLS_SHOWN_MS = 4000;
// A phone or tablet: touch is its pointer. A touch screen beside a mouse
// counts too, for the words of the hint.
const touchFirst = matchMedia('(pointer: coarse)');
const anyTouch = matchMedia('(any-pointer: coarse)');
const portrait = matchMedia('(orientation: portrait)');

// The start page says how to end the show with what the device has.
function describeEnding() {
  if (touchFirst.matches) endHint.textContent = 'Tap the picture, then End, to end the show.';
  else if (anyTouch.matches) endHint.textContent = 'Escape ends the show, or a tap on the picture, then End.';
  else endHint.textContent = 'Escape ends the show.';
}

// Fetches `url` whole, reporting each chunk's size to `onBytes`.
async function fetchWithProgress(url, onBytes) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status}`);
  const total = Number(response.headers.get('Content-Length')) || 0;
  const reader = response.body.getReader();
  const chunks = [];
  let length = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    chunks.push(value);
    length += value.length;
    onBytes(value.length);
  }
  const whole = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) {
    whole.set(chunk, at);
    at += chunk.length;
  }
  return { bytes: whole.buffer, total };
}

async function load() {
  const sizes = await Promise.all(
    [PROGRAM, DATA].map((url) =>
      fetch(url, { method: 'HEAD' }).then((r) => Number(r.headers.get('Content-Length')) || 0)));
  const expected = sizes[0] + sizes[1];
  let received = 0;
  const onBytes = (count) => {
    received += count;
    if (expected > 0) progressBar.value = Math.min(received / expected, 1);
  };
  const [program, data] = await Promise.all(
    [PROGRAM, DATA].map((url) => fetchWithProgress(url, onBytes)));
  compiledProgram = await WebAssembly.compile(program.bytes);
  showData = data.bytes;
  progressBar.value = 1;
  returnToStart('');
}

function returnToStart(message) {
  running = false;
  if (sound) sound.close();
  sound = null;
  soundTrouble.hidden = true;
  hideControls();
  turnHint.hidden = true;
  if (screen.orientation && screen.orientation.unlock) {
    try {
      screen.orientation.unlock();
    } catch {
      // Not locked, or no lock in this browser.
    }
  }
  page.dataset.state = 'ready';
  statusLine.textContent = message || 'Ready.';
  startButton.disabled = false;
  gentleButton.disabled = false;
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else if (document.webkitFullscreenElement) document.webkitExitFullscreen();
  startButton.focus();
}

// The program ends: Escape (status 0), or it could not start (status 1).
function showEnded(status) {
  if (!running) return;
  window.quarvelinShow = null;
  returnToStart(status === 0 ? '' : 'The show could not start in this browser.');
}

function start(gentle) {
  if (running || !compiledProgram) return;
  running = true;
  startButton.disabled = true;
  gentleButton.disabled = true;
  page.dataset.state = 'running';
  // Made here, within the click, and first: browsers start sound only for a
  // user's gesture, and WebKit's fullscreen request would use the gesture up.
  sound = createSoundOutput((troubled) => {
    soundTrouble.hidden = !troubled;
    if (!troubled) canvas.focus();
  });
  // Only a click may ask for fullscreen; the show runs the same without it.
  askFullscreen().then(() => fitOrientation(true), () => fitOrientation(false));
  canvas.focus();
  createQuarvelin({
    canvas,
    arguments: gentle ? ['--gentle'] : [],
    soundOutput: sound,
    // At each paint, before the frame is composed: the clock as heard now,
    // not as the sound's last 10 ms timer had it.
    onPaint: () => sound && sound.catchUp(),
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(compiledProgram, imports).then((instance) => done(instance));
      return {};
    },
    getPreloadedPackage: () => showData,
    onExit: showEnded,
    onAbort: () => showEnded(1),
  }).then((instance) => {
    if (running) window.quarvelinShow = instance;
  });
}

// The stage fullscreen, where the browser has it (Safari on iPads with its
// prefix); rejected where it has none or refuses.
function askFullscreen() {
  if (stage.requestFullscreen) return stage.requestFullscreen();
  if (stage.webkitRequestFullscreen) {
    return new Promise((resolve, reject) => {
      document.addEventListener('webkitfullscreenchange', resolve, { once: true });
      document.addEventListener('webkitfullscreenerror', reject, { once: true });
      stage.webkitRequestFullscreen();
    });
  }
  return Promise.reject(new Error('no fullscreen'));
}

// A phone held upright shows the picture as a strip: landscape is locked
// where the browser allows it (only in fullscreen), else one line suggests
// turning the phone, gone once it is turned.
function fitOrientation(fullscreen) {
  if (!running || !touchFirst.matches || !portrait.matches) return;
  const lock = fullscreen && screen.orientation && screen.orientation.lock
    ? screen.orientation.lock('landscape') : Promise.reject(new Error('no lock'));
  lock.then(() => {}, () => {
    turnHint.hidden = !running || !portrait.matches;
  });
}
portrait.addEventListener('change', () => {
  if (!portrait.matches) turnHint.hidden = true;
});

// Ends the show as Escape does: the program gets the key.
function endShow() {
  if (!running) return;
  const escape = new KeyboardEvent('keydown', { key: 'Escape', code: 'Escape', bubbles: true });
  Object.defineProperty(escape, 'keyCode', { get: () => 27 });
  Object.defineProperty(escape, 'which', { get: () => 27 });
  window.dispatchEvent(escape);
}

// Leaving fullscreen (the browser takes Escape for that itself, Android its
// back gesture) ends the show as Escape does.
function fullscreenChanged() {
  if (!document.fullscreenElement && !document.webkitFullscreenElement) endShow();
}
document.addEventListener('onfullscreenchange' in document ? 'fullscreenchange' : 'webkitfullscreenchange',
                          fullscreenChanged);

// A touch on the picture shows End for a few seconds; a mouse or a key
// changes nothing.
function hideControls() {
  clearTimeout(controlsTimer);
  controls.hidden = true;
}
stage.addEventListener('pointerup', (event) => {
  if (!running || event.pointerType === 'mouse' || controls.contains(event.target)) return;
  controls.hidden = false;
  clearTimeout(controlsTimer);
  controlsTimer = setTimeout(hideControls, CONTROLS_SHOWN_MS);
});
endButton.addEventListener('click', endShow);
// No pinch zoom on the stage in Safari, which takes touch-action only in part.
for (const gesture of ['gesturestart', 'touchmove']) {
  stage.addEventListener(gesture, (event) => {
    if (running) event.preventDefault();
  }, { passive: false });
}

// A page shown again after being hidden (another tab, the screen locked):
// where the browser suspended the sound, it is asked to play again; the song
// clock waits for it meanwhile.
document.addEventListener('visibilitychange', () => {
  const context = sound && sound.context;
  if (!document.hidden && context && context.state !== 'running' && context.state !== 'closed') {
    context.resume().catch(() => {});
  }
});

describeEnding();
startButton.addEventListener('click', () => start(false));
gentleButton.addEventListener('click', () => start(true));
silentButton.addEventListener('click', () => {
  if (sound) sound.watchWithoutSound();
  soundTrouble.hidden = true;
  canvas.focus();
});
load().catch((error) => {
  page.dataset.state = 'failed';
  statusLine.textContent = `The show could not be loaded (${error.message}).`;
});
