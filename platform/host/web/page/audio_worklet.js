// Plays the blocks the game mixes on the page's thread, in order, and says
// how many frames it has played so that the game keeps the queue filled.
// It says so only every `report` frames, with the context's time, and the
// page counts on from there by that clock: each message wakes both threads.
// Running dry, it says so at once, since the clock then runs ahead of it.
// The page's sound switch sets `volume`: the blocks are played at that
// level, reached over one quantum (no click), and the loudest output since
// the last report goes with it.
class TumblaFifo extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.report = options.processorOptions.report;
    this.volume = options.processorOptions.volume;
    this.level = this.volume;
    this.peak = 0;
    this.blocks = [];
    this.offset = 0;
    this.played = 0;
    this.underruns = 0;
    this.sinceReport = 0;
    this.dry = false;
    // A hidden page's game waits in the background and its timers are
    // slowed: a gap in the sound then is no underrun.
    this.visible = true;
    this.port.onmessage = (e) => {
      if (e.data instanceof Float32Array) this.blocks.push(e.data);
      else if ('volume' in e.data) this.volume = e.data.volume;
      else this.visible = e.data.visible;
    };
  }

  process(inputs, outputs) {
    const left = outputs[0][0];
    const right = outputs[0][1] || left;
    const step = (this.volume - this.level) / left.length;
    let level = this.level;
    let peak = this.peak;
    let i = 0;
    while (i < left.length && this.blocks.length > 0) {
      const block = this.blocks[0];
      while (i < left.length && this.offset < block.length) {
        level += step;
        left[i] = block[this.offset] * level;
        right[i] = block[this.offset + 1] * level;
        peak = Math.max(peak, Math.abs(left[i]), Math.abs(right[i]));
        this.offset += 2;
        i++;
      }
      if (this.offset >= block.length) {
        this.blocks.shift();
        this.offset = 0;
      }
    }
    this.level = this.volume;
    this.peak = peak;
    this.played += i;
    const dry = i < left.length;
    if (dry) {
      left.fill(0, i);
      right.fill(0, i);
      if (this.played > 0 && this.visible) this.underruns++;
    }
    this.sinceReport += left.length;
    if (this.sinceReport >= this.report || (dry && !this.dry)) {
      this.sinceReport = 0;
      // `currentTime` is when this quantum starts: what it played counts from then.
      this.port.postMessage({ played: this.played, at: currentTime + left.length / sampleRate, underruns: this.underruns,
                              peak: this.peak });
      this.peak = 0;
    }
    this.dry = dry;
    return true;
  }
}
registerProcessor('tumbla-fifo', TumblaFifo);
