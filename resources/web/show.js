'use strict';
// The page around the show: loads the program and its data once, with a
// progress bar; each click on Start makes a fresh instance of the program,
// and the page returns to its start state when the program ends (Escape).
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

const PROGRAM = 'quarvelin.wasm';
const DATA = 'quarvelin.data';

let compiledProgram = null; // WebAssembly.Module, compiled once
let showData = null; // the packaged files, an ArrayBuffer
let running = false;
let sound = null; // the running show's sound output (sound.js)

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
  page.dataset.state = 'ready';
  statusLine.textContent = message || 'Ready.';
  startButton.disabled = false;
  gentleButton.disabled = false;
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
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
  if (stage.requestFullscreen) stage.requestFullscreen().catch(() => {});
  canvas.focus();
  createQuarvelin({
    canvas,
    arguments: gentle ? ['--gentle'] : [],
    soundOutput: sound,
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

// Leaving fullscreen (the browser takes Escape for that itself) ends the show
// as Escape does: the program gets the key it did not see.
document.addEventListener('fullscreenchange', () => {
  if (document.fullscreenElement || !running) return;
  const escape = new KeyboardEvent('keydown', { key: 'Escape', code: 'Escape', bubbles: true });
  Object.defineProperty(escape, 'keyCode', { get: () => 27 });
  Object.defineProperty(escape, 'which', { get: () => 27 });
  window.dispatchEvent(escape);
});

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
