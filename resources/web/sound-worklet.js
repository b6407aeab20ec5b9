'use strict';
// The show's sound, played: a queue of the program's 16-bit stereo frames at
// the show's rate, read at the audio context's rate (linear interpolation).
// It runs in the page's AudioWorklet, off the page's thread, and reports how
// far it has played; where the browser has no AudioWorklet, the page runs the
// same queue in a ScriptProcessorNode (sound.js).

class SoundQueue {
  constructor(rate, outputRate) {
    this.capacity = 4 * rate; // frames; the page stays well under a second ahead
    this.left = new Float32Array(this.capacity);
    this.right = new Float32Array(this.capacity);
    this.written = 0; // frames queued since the start
    this.position = 0; // the next frame to play, with its fraction
    this.starved = 0; // output frames played as silence for want of sound, once it began
    this.step = rate / outputRate;
  }

  // Appends interleaved 16-bit stereo frames.
  push(samples) {
    for (let i = 0; i + 1 < samples.length; i += 2) {
      const at = this.written++ % this.capacity;
      this.left[at] = samples[i] / 32768;
      this.right[at] = samples[i + 1] / 32768;
    }
  }

  // Fills `left` and `right` (mono output: `right` null); silence once the
  // queue runs dry, which then waits for more rather than skipping any.
  play(left, right) {
    for (let i = 0; i < left.length; ++i) {
      const whole = Math.floor(this.position);
      if (whole + 1 >= this.written) {
        if (this.written > 0) this.starved += left.length - i;
        left.fill(0, i);
        if (right) right.fill(0, i);
        return;
      }
      const fraction = this.position - whole;
      const a = whole % this.capacity, b = (whole + 1) % this.capacity;
      const l = this.left[a] + (this.left[b] - this.left[a]) * fraction;
      const r = this.right[a] + (this.right[b] - this.right[a]) * fraction;
      if (right) {
        left[i] = l;
        right[i] = r;
      } else {
        left[i] = (l + r) / 2;
      }
      this.position += this.step;
    }
  }

  // Frames played since the start.
  played() {
    return Math.floor(this.position);
  }
}

if (typeof registerProcessor === 'function') {
  // Reports its position every few render quanta (128 frames each).
  const REPORT_EVERY = 4;
  registerProcessor('quarvelin-sound', class extends AudioWorkletProcessor {
    constructor(options) {
      super();
      this.queue = new SoundQueue(options.processorOptions.rate, sampleRate);
      this.quanta = 0;
      this.port.onmessage = (event) => this.queue.push(event.data);
    }

    process(inputs, outputs) {
      const channels = outputs[0];
      this.queue.play(channels[0], channels.length > 1 ? channels[1] : null);
      if (++this.quanta % REPORT_EVERY === 0)
        this.port.postMessage({ played: this.queue.played(), time: currentTime, starved: this.queue.starved });
      return true;
    }
  });
}
