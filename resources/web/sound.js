'use strict';
// The show's sound on the page's side, the program's sound output
// (music/sound_output_web.cpp): an audio context made inside the Start click
// (the user's gesture every browser asks for before it plays sound), an
// AudioWorklet playing a queue of the program's frames (sound-worklet.js),
// and a timer keeping that queue half a second ahead of what has played, so
// the sound plays on while the page's thread is busy. What has played is the
// program's song clock, and its cues follow it.
//
// Where no sound can play (no audio output, or the browser keeps the audio
// context from starting), `onTrouble(true)` tells the page, which can then
// call watchWithoutSound(): the clock runs from the page's own timer.
// `onTrouble(false)`: the sound started after all.

const SOUND_AHEAD_SECONDS = 0.5;
const SOUND_PUMP_MS = 10;
const SOUND_START_WAIT_MS = 3000;
// Where the browser has no AudioWorklet (pages served over plain http from
// another machine), a ScriptProcessorNode with this many frames a call.
const SOUND_PROCESSOR_FRAMES = 8192;
// Firefox's output latency and output timestamp (see outputTime).
const OUTPUT_LATENCY_MAY_HANG = /\bFirefox\//.test(navigator.userAgent);

function createSoundOutput(onTrouble) {
  let context = null, ready = Promise.resolve(false);
  try {
    // Larger device buffers: the clock follows what plays, however late.
    context = new AudioContext({ latencyHint: 'playback' });
    context.resume().catch(() => troubleCheck(true));
    if (context.audioWorklet) {
      ready = context.audioWorklet.addModule('sound-worklet.js').then(() => true, () => false);
    }
  } catch {
    context = null;
  }

  let rate = 0, most = 0, pump = null, timer = 0, closed = false, silent = false, troubled = false;
  let node = null, queue = null, processor = null, waiting = [];
  let written = 0, heard = 0; // frames handed to the player, and played
  let played = 0, playedAt = 0; // the player's last report, and its context time
  let reported = false; // until the first report, nothing is known to have played
  let starts = []; // ScriptProcessor: [context time, frames before it] of each buffer filled
  let starved = 0; // output frames the player had nothing for, once it began
  let silentSince = 0; // watching without sound: the page's time at frame 0

  const send = (samples) => {
    if (node) node.port.postMessage(samples, [samples.buffer]);
    else if (queue) queue.push(samples);
    else waiting.push(samples);
  };

  const report = (frames, time, dry) => {
    played = frames;
    playedAt = time;
    starved = dry;
    if (!reported) {
      reported = true;
      troubleCheck(false);
    }
  };

  // The context time leaving the output now. Browsers say it two ways, the
  // output timestamp and the latency they report, and either may overstate
  // what is still to play (Firefox's latency by about 28 ms, Chromium's
  // timestamp by 10 to 15 ms, each against a recording of the sound server):
  // the nearer to now of the two is taken. Firefox is asked neither: the
  // first time either is read while its sound runs, the page's thread waits
  // on its audio process, which now and then (one cold start in five on
  // Linux) waits on the page's thread in turn, and the page hangs for good.
  // There the context's own time is taken, which is what the nearer of the
  // two came to and what the recording heard.
  const outputTime = () => {
    if (OUTPUT_LATENCY_MAY_HANG) return context.currentTime;
    const byLatency = context.currentTime - (context.outputLatency || context.baseLatency || 0);
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    if (!stamp || !(stamp.performanceTime > 0)) return byLatency;
    return Math.max(byLatency, stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000);
  };

  // Asks the program for what the queue lacks, telling it what has played.
  const tick = () => {
    if (closed || !pump) return;
    let now;
    if (silent) now = ((performance.now() - silentSince) * rate) / 1000;
    else {
      // A ScriptProcessor's buffer counts once it begins to play.
      while (starts.length > 0 && starts[0][0] <= context.currentTime) {
        const [time, frames] = starts.shift();
        report(frames, time, queue.starved);
      }
      // What the player took, less what the output has yet to play of it.
      // Before the first report the context's time says nothing of the player.
      now = reported ? Math.min(played + (outputTime() - playedAt) * rate, written) : 0;
    }
    heard = Math.max(heard, Math.floor(now));
    // After a long stall (a busy page, a hidden tab's rare timers) the lack
    // can exceed what the program hands at once: it is made up a call at a time.
    let wanted = Math.min(Math.floor(SOUND_AHEAD_SECONDS * rate) - (written - heard), most);
    if (wanted < 256) wanted = 0;
    const samples = pump(wanted, heard);
    if (!samples || wanted === 0) return;
    written += wanted;
    if (!silent) send(samples.slice());
  };

  // Whether sound plays (a running context is not enough: the player counts
  // once it has reported, as its output may not have begun): the page hears
  // of a change, of trouble only once the browser has had its time
  // (`mayComplain`).
  function troubleCheck(mayComplain) {
    if (closed || silent) return;
    const playing = context && context.state === 'running' && (node || queue) && reported;
    if (playing && troubled) {
      troubled = false;
      onTrouble(false);
    } else if (!playing && !troubled && mayComplain) {
      troubled = true;
      onTrouble(true);
    }
  }

  return {
    context,
    // The program opens its output at `rate` Hz; `pump(frames, heard)` hands
    // over that many interleaved 16-bit stereo frames (null while paused),
    // `outputMost` at most.
    open(outputRate, outputPump, outputMost) {
      rate = outputRate;
      most = outputMost;
      pump = outputPump;
      ready.then((worklet) => {
        if (closed || !context) return;
        if (worklet) {
          node = new AudioWorkletNode(context, 'quarvelin-sound', {
            numberOfInputs: 0, outputChannelCount: [2], processorOptions: { rate } });
          node.port.onmessage = (event) => {
            report(event.data.played, event.data.time, event.data.starved);
            tick();
          };
        } else if (context.createScriptProcessor) {
          queue = new SoundQueue(rate, context.sampleRate);
          processor = context.createScriptProcessor(SOUND_PROCESSOR_FRAMES, 0, 2);
          // The buffer filled here plays from `playbackTime`, after those
          // filled before it: what it holds counts as played from then.
          processor.onaudioprocess = (event) => {
            const out = event.outputBuffer;
            starts.push([event.playbackTime, queue.played()]);
            queue.play(out.getChannelData(0), out.getChannelData(1));
          };
          processor.connect(context.destination);
        } else {
          return;
        }
        if (node) node.connect(context.destination);
        for (const samples of waiting) send(samples);
        waiting = [];
        troubleCheck(false);
      });
      return true;
    },
    resume() {
      if (closed) return;
      // The first fill once the program's call has returned: never within it.
      timer = setInterval(tick, SOUND_PUMP_MS);
      setTimeout(tick, 0);
      if (context) context.addEventListener('statechange', () => troubleCheck(false));
      setTimeout(() => troubleCheck(true), SOUND_START_WAIT_MS);
    },
    // No sound: the clock runs on from where it is, on the page's timer.
    watchWithoutSound() {
      if (closed || silent) return;
      silent = true;
      silentSince = performance.now() - (heard * 1000) / rate;
      if (context) context.close().catch(() => {});
    },
    // Brings the program's song clock (and its queue) up to now.
    catchUp: () => tick(),
    // The song clock as the program has it, in seconds.
    heardSeconds: () => (rate ? heard / rate : 0),
    // Output frames played as silence because the queue ran dry.
    starvedFrames: () => starved,
    close() {
      if (closed) return;
      closed = true;
      clearInterval(timer);
      if (context && context.state !== 'closed') context.close().catch(() => {});
    },
  };
}
