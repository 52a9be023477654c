// The page's half of the browser host (platform/host/web): the canvas, the
// sound card (an AudioWorklet playing the blocks the game mixes), FluidSynth
// for the music, the message box, full screen, and the start on a click.
'use strict';

(() => {
  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', { alpha: false });
  const start = document.getElementById('start');
  const status = document.getElementById('status');
  const report = document.getElementById('report');

  // What a test (or a curious player) can read: window.tumbla.
  const state = {
    started: false, exitCode: null, frames: 0, audioPeak: 0, audioWritten: 0,
    underruns: 0, music: false,
  };
  window.tumbla = state;

  let audioContext = null;
  let fifo = null;
  let played = 0;
  let written = 0;
  let fluid = null;
  let game = null;
  let fluidBuffer = 0;
  let fluidBufferFrames = 0;

  const host = {
    present(rgba, width, height) {
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
      }
      context.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), 0, 0);
      state.frames++;
    },

    audioOpen() { return audioContext !== null && fifo !== null; },
    audioClose() {},
    audioQueued() { return Math.max(0, written - played); },
    audioWrite(samples) {
      const block = new Float32Array(samples.length);
      let peak = 0;
      for (let i = 0; i < samples.length; i++) {
        const v = samples[i] / 32768;
        block[i] = v;
        if (Math.abs(v) > peak) peak = Math.abs(v);
      }
      state.audioPeak = Math.max(state.audioPeak * 0.999, peak);
      written += samples.length / 2;
      state.audioWritten = written;
      fifo.port.postMessage(block, [block.buffer]);
    },

    fullScreen(on) {
      const now = document.fullscreenElement !== null;
      if (on === now) return;
      // Outside a key press the browser refuses; Alt+Enter itself asks in
      // its own key handler below.
      (on ? document.documentElement.requestFullscreen() : document.exitFullscreen()).catch(() => {});
    },

    messageBox(text, caption) {
      return new Promise((resolve) => {
        document.getElementById('report-text').textContent = text;
        report.querySelector('form').setAttribute('aria-label', caption);
        report.addEventListener('close', () => resolve(1), { once: true });
        report.showModal();
      });
    },

    synthCreate(rate) {
      if (!fluid) return 0;
      let soundfont;
      try {
        soundfont = game.FS.readFile('/soundfont.sf2');
      } catch (e) {
        return 0;
      }
      const settings = fluid._new_fluid_settings();
      if (!settings) return 0;
      const setnum = (name, value) => fluid.ccall('fluid_settings_setnum', 'number',
                                                   ['number', 'string', 'number'], [settings, name, value]);
      const setint = (name, value) => fluid.ccall('fluid_settings_setint', 'number',
                                                   ['number', 'string', 'number'], [settings, name, value]);
      setnum('synth.sample-rate', rate);
      setnum('synth.gain', 0.6);
      setint('synth.polyphony', 128);
      const synth = fluid._new_fluid_synth(settings);
      if (!synth) {
        fluid._delete_fluid_settings(settings);
        return 0;
      }
      fluid.FS.writeFile('/gm.sf2', soundfont);
      if (fluid.ccall('fluid_synth_sfload', 'number', ['number', 'string', 'number'], [synth, '/gm.sf2', 1]) < 0) {
        fluid._delete_fluid_synth(synth);
        fluid._delete_fluid_settings(settings);
        return 0;
      }
      host.settings = host.settings || new Map();
      host.settings.set(synth, settings);
      state.music = true;
      return synth;
    },
    synthDelete(synth) {
      fluid._delete_fluid_synth(synth);
      fluid._delete_fluid_settings(host.settings.get(synth));
      host.settings.delete(synth);
    },
    synthMessage(synth, message) {
      const channel = message & 0x0f, d1 = (message >> 8) & 0x7f, d2 = (message >> 16) & 0x7f;
      switch (message & 0xf0) {
        case 0x80: fluid._fluid_synth_noteoff(synth, channel, d1); break;
        case 0x90:
          if (d2 === 0) fluid._fluid_synth_noteoff(synth, channel, d1);
          else fluid._fluid_synth_noteon(synth, channel, d1, d2);
          break;
        case 0xa0: fluid._fluid_synth_key_pressure(synth, channel, d1, d2); break;
        case 0xb0: fluid._fluid_synth_cc(synth, channel, d1, d2); break;
        case 0xc0: fluid._fluid_synth_program_change(synth, channel, d1); break;
        case 0xd0: fluid._fluid_synth_channel_pressure(synth, channel, d1); break;
        case 0xe0: fluid._fluid_synth_pitch_bend(synth, channel, d1 | (d2 << 7)); break;
        default: break;
      }
    },
    synthNotesOff(synth) {
      for (let channel = 0; channel < 16; channel++) {
        fluid._fluid_synth_cc(synth, channel, 64, 0);  // sustain pedal up
        fluid._fluid_synth_all_notes_off(synth, channel);
      }
    },
    synthRender(synth, out, frames) {
      if (frames > fluidBufferFrames) {
        if (fluidBuffer) fluid._free(fluidBuffer);
        fluidBuffer = fluid._malloc(frames * 2 * 4);
        fluidBufferFrames = frames;
      }
      fluid._fluid_synth_write_float(synth, frames, fluidBuffer, 0, 2, fluidBuffer, 1, 2);
      const rendered = fluid.HEAPF32.subarray(fluidBuffer >> 2, (fluidBuffer >> 2) + frames * 2);
      for (let i = 0; i < frames * 2; i++) out[i] += rendered[i];
    },
  };

  // Alt+Enter asks for full screen while the key press still lets it.
  window.addEventListener('keydown', (e) => {
    if (!state.started || !e.altKey || e.key !== 'Enter' || e.repeat) return;
    (document.fullscreenElement ? document.exitFullscreen() : document.documentElement.requestFullscreen())
      .catch(() => {});
  });

  async function begin() {
    if (state.started) return;
    state.started = true;
    start.hidden = true;
    try {
      audioContext = new AudioContext({ sampleRate: 44100, latencyHint: 'interactive' });
      await audioContext.audioWorklet.addModule('audio_worklet.js');
      fifo = new AudioWorkletNode(audioContext, 'tumbla-fifo', { outputChannelCount: [2] });
      fifo.port.onmessage = (e) => {
        played = e.data.played;
        state.underruns = e.data.underruns;
      };
      fifo.connect(audioContext.destination);
      await audioContext.resume();
    } catch (e) {
      // No sound card: the game says so itself, as on Windows.
      audioContext = null;
      fifo = null;
    }
    fluid = await Promise.race([window.fluidReady.then(() => window.Module), new Promise((r) => setTimeout(r, 5000))]) || null;
    canvas.focus();
    game = await createTumbla({
      tumbla: host,
      arguments: new URLSearchParams(location.search).getAll('switch'),
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
      onExit: (code) => {
        state.exitCode = code;
        if (audioContext) audioContext.close();
        status.textContent = 'TUMBLA has ended. Reload the page to play again.';
        start.hidden = false;
      },
    });
  }

  // The game's end unwinds its stack with an ExitStatus, which surfaces as
  // a rejected promise where the last wait resumed it: an end, not an error.
  window.addEventListener('unhandledrejection', (e) => {
    if (e.reason && e.reason.name === 'ExitStatus') e.preventDefault();
  });
  window.addEventListener('error', (e) => {
    if (e.error && e.error.name === 'ExitStatus') e.preventDefault();
  });

  start.addEventListener('click', begin);
  window.addEventListener('keydown', (e) => {
    if (!state.started && !e.altKey && !e.ctrlKey) begin();
  });
  status.textContent = 'Ready.';
})();
