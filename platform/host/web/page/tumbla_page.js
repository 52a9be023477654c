// The page's half of the browser host (platform/host/web): loading the
// bundle where the player can see it, the canvas, the sound card (an
// AudioWorklet playing the blocks the game mixes), FluidSynth for the music,
// the message box, full screen, touch controls, the sound switch, and the
// start on a click.
'use strict';

(() => {
  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', { alpha: false });
  const start = document.getElementById('start');
  const status = document.getElementById('status');
  const progress = document.getElementById('progress');
  const playButton = document.getElementById('play');
  const retryButton = document.getElementById('retry');
  const note = document.getElementById('note');
  const report = document.getElementById('report');

  // What a test (or a curious player) can read: window.tumbla.
  const state = {
    started: false, running: false, exitCode: null, frames: 0, audioPeak: 0, audioWritten: 0,
    underruns: 0, music: false, loaded: 0, total: 0, clickAt: 0, firstFrameMs: null, failed: [],
    touch: false, games: 0, audioPlayed: 0, sound: 'none', audioContexts: 0, pad: false,
    muted: false, volume: 1, outputPeak: 0, persist: 'not asked',
  };
  window.tumbla = state;

  let audioContext = null;
  let fifo = null;
  // The worklet's last word: frames played by the context's time `at`.
  let played = 0;
  let playedAt = 0;
  // Frames sent to the worklet.
  let written = 0;
  // While the context does not run, what the game mixes is let go, counted
  // on the page's clock as if it played, so that the music keeps its time
  // and the sound joins where the game is. The page's time (ms) when what
  // was let go would have ended.
  let silentUntil = 0;
  const kRate = 44100;
  // What the game mixed since it last gave the page its turn, as the
  // worklet's floats, sent as one message when it does.
  let unsent = new Float32Array(16384);
  let unsentLength = 0;
  let fluid = null;
  let game = null;
  // The picture in the game's memory, made once (while that memory stays).
  let image = null;
  let fluidBuffer = 0;
  let fluidBufferFrames = 0;
  let gameFullScreen = false;
  let pageLeavesFullScreen = false;

  // Full screen for the page's element: standard, prefixed (older Safari,
  // iPad), or none at all (iPhone Safari), where the page offers none and
  // keeps the game in its window.
  const root = document.documentElement;
  const screenApi = root.requestFullscreen
    ? { request: () => root.requestFullscreen(), exit: () => document.exitFullscreen(),
        element: () => document.fullscreenElement, change: 'fullscreenchange' }
    : root.webkitRequestFullscreen
      ? { request: () => root.webkitRequestFullscreen(), exit: () => document.webkitExitFullscreen(),
          element: () => document.webkitFullscreenElement, change: 'webkitfullscreenchange' }
      : null;
  const inFullScreen = () => screenApi !== null && Boolean(screenApi.element());
  // Outside a key press the browser refuses, and the prefixed calls return
  // nothing or throw rather than reject.
  function askFullScreen(on) {
    try {
      const asked = on ? screenApi.request() : screenApi.exit();
      if (asked && asked.catch) asked.catch(() => {});
    } catch (e) { /* refused */ }
  }

  function sendSound() {
    const all = unsent.slice(0, unsentLength);
    unsentLength = 0;
    if (fifo) fifo.port.postMessage(all, [all.buffer]);
  }

  const host = {
    // The rectangles (x, y, width, height) of the picture at offset `at` of
    // the game's memory that changed; copied straight from there.
    present(memory, at, width, height, rects) {
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
        layout();
      }
      if (rects.length) {
        if (!image || image.data.buffer !== memory || image.data.byteOffset !== at || image.width !== width ||
            image.height !== height)
          image = new ImageData(new Uint8ClampedArray(memory, at, width * height * 4), width, height);
        for (let i = 0; i < rects.length; i += 4)
          context.putImageData(image, 0, 0, rects[i], rects[i + 1], rects[i + 2], rects[i + 3]);
        if (following && touchScreen) followPanel(new Uint32Array(memory, at, width * height), width, height);
      }
      if (state.firstFrameMs === null) state.firstFrameMs = performance.now() - state.clickAt;
      state.frames++;
      state.gameMemory = memory.byteLength;
    },

    audioOpen() { return audioContext !== null; },
    audioClose() {},
    audioQueued() {
      if (audioContext) watchClock();
      if (!soundLive()) return Math.max(0, Math.floor((silentUntil - performance.now()) * kRate / 1000));
      const since = Math.max(0, audioContext.currentTime - playedAt) * audioContext.sampleRate;
      return Math.max(0, written - played - Math.floor(since));
    },
    audioWrite(samples) {
      let peak = 0;
      for (let i = 0; i < samples.length; i++) peak = Math.max(peak, Math.abs(samples[i]));
      state.audioPeak = Math.max(state.audioPeak * 0.999, peak / 32768);
      state.audioWritten += samples.length / 2;
      if (!soundLive()) {
        silentUntil = Math.max(silentUntil, performance.now()) + samples.length / 2 * 1000 / kRate;
        return;
      }
      written += samples.length / 2;
      if (unsentLength === 0) queueMicrotask(sendSound);
      if (unsentLength + samples.length > unsent.length) {
        const more = new Float32Array(2 * (unsentLength + samples.length));
        more.set(unsent.subarray(0, unsentLength));
        unsent = more;
      }
      for (let i = 0; i < samples.length; i++) unsent[unsentLength + i] = samples[i] / 32768;
      unsentLength += samples.length;
    },

    // A pad found hides the touch buttons, as a key does. (The page has no
    // gamepad listener of its own: Chromium would poll the pads all along.)
    padFound(found) {
      state.pad = found;
      if (found) showTouch(false);
    },
    // A pad's button pressed: the player plays with the pad, and the touch
    // buttons give way until the next touch.
    padPressed() { showTouch(false); },

    fullScreen(on) {
      gameFullScreen = on;
      // Alt+Enter itself asks in its own key handler below, while the key
      // press lets it.
      if (screenApi && on !== inFullScreen()) askFullScreen(on);
    },

    messageBox(text, caption) {
      return new Promise((resolve) => {
        document.getElementById('report-text').textContent = text;
        report.querySelector('form').setAttribute('aria-label', caption);
        report.addEventListener('close', () => resolve(1), { once: true });
        report.showModal();
      });
    },

    synthPresent() {
      return fluid && files['tumbla.sf2'].bytes ? 1 : 0;
    },
    synthCreate(rate) {
      if (!fluid) return 0;
      const soundfont = files['tumbla.sf2'].bytes;
      if (!soundfont) return 0;
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
      state.fluidMemory = fluid.HEAPF32.buffer.byteLength;
      const rendered = fluid.HEAPF32.subarray(fluidBuffer >> 2, (fluidBuffer >> 2) + frames * 2);
      for (let i = 0; i < frames * 2; i++) out[i] += rendered[i];
    },
  };

  // ---- Loading -------------------------------------------------------------
  // Every file is fetched here, with its bytes counted for the progress bar,
  // before the player can press Play: the game then starts at once. The game
  // cannot start without its own files; without FluidSynth or the soundfont
  // it plays without music, and the page says so.
  const files = {
    'tumbla.js': { music: false }, 'tumbla.wasm.gz': { music: false }, 'tumbla.data': { music: false },
    'audio_worklet.js': { music: false }, 'libfluidsynth.js': { music: true }, 'libfluidsynth.wasm': { music: true },
    'tumbla.sf2': { music: true },
  };
  for (const f of Object.values(files)) Object.assign(f, { bytes: null, loaded: 0, size: 0, error: null });
  let wasmModule = null;
  let workletUrl = null;

  const kilobytes = (n) => `${Math.round(n / 1024).toLocaleString('en')} KB`;
  function showProgress() {
    const all = Object.values(files);
    state.loaded = all.reduce((sum, f) => sum + f.loaded, 0);
    state.total = all.reduce((sum, f) => sum + Math.max(f.size, f.loaded), 0);
    progress.max = Math.max(1, state.total);
    progress.value = state.loaded;
    status.textContent = `Loading\u2026 ${kilobytes(state.loaded)} of ${kilobytes(state.total)}`;
  }

  async function fetchFile(name) {
    const f = files[name];
    f.loaded = 0;
    f.error = null;
    try {
      const response = await fetch(name);
      if (!response.ok) throw new Error(`the server answered ${response.status} ${response.statusText}`.trim());
      f.size = Number(response.headers.get('Content-Length')) || 0;
      showProgress();
      const parts = [];
      const reader = response.body.getReader();
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        parts.push(value);
        f.loaded += value.length;
        showProgress();
      }
      const bytes = new Uint8Array(f.loaded);
      let at = 0;
      for (const part of parts) {
        bytes.set(part, at);
        at += part.length;
      }
      f.bytes = bytes;
    } catch (e) {
      f.error = e.message || String(e);
      f.loaded = 0;
      showProgress();
    }
  }

  // The game's WebAssembly comes packed, as it packs to less than half; a
  // server that says so has the browser unpack it already.
  async function gunzip(bytes) {
    if (bytes[0] !== 0x1f || bytes[1] !== 0x8b) return bytes;
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // A script from fetched bytes, run as if it had been in the page.
  function runScript(bytes) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = URL.createObjectURL(new Blob([bytes], { type: 'text/javascript' }));
      script.onload = resolve;
      script.onerror = () => reject(new Error('the script does not run'));
      document.head.appendChild(script);
    });
  }

  // FluidSynth (libfluidsynth.js) is a program of its own with its own
  // memory; it takes the page's global Module, the game keeps to its own.
  // Its messages only repeat what its results say.
  async function startFluid(bytes) {
    const wasmBinary = files['libfluidsynth.wasm'].bytes;
    if (!wasmBinary) throw new Error('without libfluidsynth.wasm');
    const ready = new Promise((resolve) => {
      window.Module = { wasmBinary, onRuntimeInitialized: resolve, print: () => {}, printErr: () => {} };
    });
    await runScript(bytes);
    await Promise.race([ready, new Promise((_, reject) => setTimeout(() => reject(new Error('it did not start')), 10000))]);
    return window.Module;
  }

  async function prepare(name, make) {
    const f = files[name];
    if (!f.bytes) return;
    try {
      await make(f.bytes);
    } catch (e) {
      f.error = e.message || String(e);
      f.bytes = null;
    }
  }

  async function load() {
    retryButton.hidden = true;
    playButton.disabled = true;
    status.classList.remove('failed');
    showProgress();
    const missing = Object.keys(files).filter((name) => !files[name].bytes);
    await Promise.all(missing.map(fetchFile));
    if (!wasmModule) await prepare('tumbla.wasm.gz', async (bytes) => { wasmModule = await WebAssembly.compile(await gunzip(bytes)); });
    if (typeof createTumbla !== 'function') await prepare('tumbla.js', runScript);
    if (!workletUrl) await prepare('audio_worklet.js', async (bytes) => {
      workletUrl = URL.createObjectURL(new Blob([bytes], { type: 'text/javascript' }));
    });
    if (!fluid) await prepare('libfluidsynth.js', async (bytes) => { fluid = await startFluid(bytes); });

    const failed = Object.keys(files).filter((name) => files[name].error);
    state.failed = failed;
    const says = (names) => names.map((name) => `${name} (${files[name].error})`).join(', ');
    const gameFailed = failed.filter((name) => !files[name].music);
    const musicFailed = failed.filter((name) => files[name].music);
    if (gameFailed.length) {
      status.textContent = `TUMBLA could not be loaded: ${says(gameFailed)}. Check the connection and try again.`;
    } else if (musicFailed.length) {
      status.textContent = `The music could not be loaded: ${says(musicFailed)}. You can play without music, or try again.`;
    } else {
      status.textContent = 'Ready.';
    }
    status.classList.toggle('failed', failed.length > 0);
    retryButton.hidden = failed.length === 0;
    playButton.disabled = gameFailed.length > 0;
    if (state.games === 0) playButton.textContent = musicFailed.length ? 'Play without music' : 'Play';
    if (!playButton.disabled) playButton.focus();
  }

  // ---- Playing ---------------------------------------------------------------

  function showNote(text) {
    note.textContent = text;
    note.hidden = false;
    setTimeout(() => { note.hidden = true; }, 10000);
  }

  // The game never waits on its sound: a browser without a sound device, or
  // one that holds sound back, may leave the context suspended for ever and
  // its resume() unsettled. The game starts at once; the sound joins when
  // the context runs, and the page says once, quietly, when it does not.
  const soundLive = () => fifo !== null && audioContext !== null && audioContext.state === 'running';
  let soundNoted = false;
  function noteNoSound() {
    if (soundNoted || soundLive() || !state.running) return;
    soundNoted = true;
    showNote('No sound: the browser has not started it (no sound device, or sound held back). ' +
             'The game plays on, and the sound joins when the browser allows it.');
  }

  // The context's clock last seen moving: a context that says 'running'
  // with a clock stopped (WebKit after a call or a lock) plays nothing again.
  let clockSeen = -1;
  let clockSeenAt = 0;
  function watchClock() {
    const now = performance.now();
    if (audioContext.state !== 'running' || document.hidden || audioContext.currentTime !== clockSeen) {
      clockSeen = audioContext.currentTime;
      clockSeenAt = now;
    } else if (now - clockSeenAt > 1000) {
      replaceSound();
    }
  }

  function replaceSound() {
    const old = audioContext;
    audioContext = null;
    fifo = null;
    old.close().catch(() => {});
    openSound();
  }

  function openSound() {
    state.audioPlayed = 0;
    played = 0;
    playedAt = 0;
    written = 0;
    clockSeen = -1;
    // iOS plays a page's Web Audio as it plays a ringtone, silent with the
    // ring switch off, unless the page says it plays media.
    if (navigator.audioSession) try { navigator.audioSession.type = 'playback'; } catch (e) { /* kept */ }
    try {
      // 'playback' has the browser fetch sound 1024 frames at a time rather
      // than 384 to 512: half the wakes of its audio threads, 2 to 3 % of a
      // core in Chromium, for 40 ms more delay before a sound is heard (the
      // game keeps 50 to 100 ms queued anyway).
      audioContext = new AudioContext({ sampleRate: kRate, latencyHint: 'playback' });
    } catch (e) {
      // No Web Audio at all: the game says so itself, as on Windows.
      audioContext = null;
      return;
    }
    const context = audioContext;
    // Asked inside the click, which is what lets a browser start sound.
    context.resume().catch(() => {});
    state.audioContexts++;
    // An interrupted context (a call) comes back suspended: ask again.
    context.onstatechange = () => {
      state.sound = context.state;
      if (context.state === 'suspended' && !document.hidden) context.resume().catch(() => {});
    };
    state.sound = context.state;
    Promise.resolve().then(() => context.audioWorklet.addModule(workletUrl)).then(() => {
      if (audioContext !== context) return;
      // A report every 8192 frames (186 ms), and at once when the worklet
      // runs dry: between reports the page counts by the context's clock, so
      // the game's estimate stays as fine, and the page's thread is not
      // woken for it 43 times a second.
      const node = new AudioWorkletNode(context, 'tumbla-fifo',
                                        { outputChannelCount: [2], processorOptions: { report: 8192, volume: outputVolume() } });
      node.port.onmessage = (e) => {
        played = e.data.played;
        playedAt = e.data.at;
        state.underruns = e.data.underruns;
        state.audioPlayed = played;
        state.outputPeak = e.data.peak;
      };
      node.port.postMessage({ visible: !document.hidden });
      node.connect(context.destination);
      fifo = node;
    }).catch(noteNoSound);
    setTimeout(noteNoSound, 3000);
  }

  // A context held back, suspended or interrupted is asked again wherever a
  // browser may let it go: a key, a touch, the page shown again.
  function wakeSound() {
    if (audioContext && audioContext.state !== 'running' && audioContext.state !== 'closed')
      audioContext.resume().catch(() => {});
  }

  async function begin() {
    if (state.running || playButton.disabled) return;
    state.started = true;
    state.running = true;
    state.clickAt = performance.now();
    state.firstFrameMs = null;
    state.exitCode = null;
    state.games++;
    start.hidden = true;
    following = true;
    followFrames = 0;
    panelSeen = false;
    layout();
    keepOffline();
    silentUntil = 0;
    state.audioWritten = 0;
    unsentLength = 0;
    openSound();
    if (!fluid || !files['tumbla.sf2'].bytes) showNote('No music: ' + (state.failed.filter((n) => files[n].music).join(' and ') || 'FluidSynth') + ' could not be loaded.');
    canvas.focus();
    game = await createTumbla({
      tumbla: host,
      arguments: new URLSearchParams(location.search).getAll('switch'),
      locateFile: (name) => new URL(name, location.href).href,
      instantiateWasm: (imports, receive) => {
        WebAssembly.instantiate(wasmModule, imports).then((instance) => receive(instance, wasmModule));
        return {};
      },
      getPreloadedPackage: () => files['tumbla.data'].bytes.slice().buffer,
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
      onExit: (code) => {
        state.exitCode = code;
        state.running = false;
        // Ended before the panel came (a report at the start): the picture as it is.
        following = false;
        placePicture();
        if (audioContext) audioContext.close();
        audioContext = null;
        fifo = null;
        status.textContent = 'TUMBLA has ended.';
        status.classList.remove('failed');
        progress.hidden = true;
        playButton.textContent = 'Play again';
        start.hidden = false;
        playButton.focus();
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

  // ---- Keys, full screen -----------------------------------------------------

  // Listening in the capture phase, before the game (which listens on the
  // window too), so that an Alt+Enter the browser cannot follow never
  // reaches it: its mode stays the window the page shows.
  window.addEventListener('keydown', (e) => {
    if (!screenApi && e.altKey && e.key === 'Enter') {
      e.stopImmediatePropagation();
      e.preventDefault();
      return;
    }
    if (!e.isTrusted) return;
    if (soundKey(e)) return;
    wakeSound();
    showTouch(false);
    if (!state.running) {
      if (!e.altKey && !e.ctrlKey && document.activeElement !== retryButton) {
        e.preventDefault();
        begin();
      }
      return;
    }
    // Alt+Enter asks for full screen while the key press still lets it.
    if (e.altKey && e.key === 'Enter' && !e.repeat) {
      pageLeavesFullScreen = inFullScreen();
      askFullScreen(!pageLeavesFullScreen);
    }
  }, true);
  // Without the API (Safari on an iPhone) a page has full screen only when
  // started from the Home Screen: the start screen says so, once a visit.
  const standalone = navigator.standalone === true ||
    ['fullscreen', 'standalone'].some((mode) => matchMedia(`(display-mode: ${mode})`).matches);
  if (!screenApi) {
    document.getElementById('full-screen-key').hidden = true;
    document.getElementById('home-screen').hidden = standalone;
  }

  // The browser leaves full screen by itself (its own Escape, another
  // window): the game is told with the Alt+Enter it knows, so that its mode
  // follows the real one and the next Alt+Enter goes to full screen again.
  const pressKey = (type, code, key, alt) =>
    window.dispatchEvent(new KeyboardEvent(type, { code, key, altKey: alt, bubbles: true, cancelable: true }));
  if (screenApi) document.addEventListener(screenApi.change, () => {
    const asked = pageLeavesFullScreen;
    pageLeavesFullScreen = false;
    if (!inFullScreen() && !asked && gameFullScreen && state.running) {
      pressKey('keydown', 'AltLeft', 'Alt', true);
      pressKey('keydown', 'Enter', 'Enter', true);
      pressKey('keyup', 'Enter', 'Enter', true);
      pressKey('keyup', 'AltLeft', 'Alt', false);
    }
  });

  document.addEventListener('visibilitychange', () => {
    if (fifo) fifo.port.postMessage({ visible: !document.hidden });
    if (!document.hidden) wakeSound();
  });

  // ---- The sound switch -----------------------------------------------------------
  // On and off, and a level in four steps of 6 dB, applied where the sound
  // leaves the page: the game mixes on, so the music keeps its place. Kept
  // in the page's storage. M and the minus and plus keys, which the game
  // does not read, never reach it.
  const kLevels = [0.125, 0.25, 0.5, 1];
  const sound = { muted: false, step: kLevels.length - 1 };
  try {
    const kept = JSON.parse(localStorage.getItem('tumbla.sound'));
    if (kept && typeof kept.muted === 'boolean' && kLevels[kept.step] !== undefined) Object.assign(sound, kept);
  } catch (e) { /* no storage, or nothing kept */ }
  const muteButton = document.getElementById('mute');
  const volumeButton = document.getElementById('volume');
  const level = document.getElementById('level');
  let levelTimer = 0;
  function outputVolume() { return sound.muted ? 0 : kLevels[sound.step]; }
  function showSound() {
    state.muted = sound.muted;
    state.volume = outputVolume();
    muteButton.classList.toggle('muted', sound.muted);
    muteButton.setAttribute('aria-label', sound.muted ? 'Sound on' : 'Sound off');
    volumeButton.setAttribute('aria-label', `Volume ${sound.step + 1} of ${kLevels.length}`);
    volumeButton.classList.toggle('muted', sound.muted);
    volumeButton.querySelectorAll('span').forEach((bar, i) => bar.classList.toggle('lit', i <= sound.step));
  }
  function setSound(change, say) {
    Object.assign(sound, change);
    showSound();
    try { localStorage.setItem('tumbla.sound', JSON.stringify(sound)); } catch (e) { /* not kept */ }
    if (fifo) fifo.port.postMessage({ volume: outputVolume() });
    if (say) {
      level.textContent = sound.muted ? 'Sound off' : `Volume ${sound.step + 1} of ${kLevels.length}`;
      level.hidden = false;
      clearTimeout(levelTimer);
      levelTimer = setTimeout(() => { level.hidden = true; }, 1500);
    }
  }
  showSound();
  // The switch's keys, down and up, by what they type (M on any layout).
  const soundKeys = { m: 'mute', M: 'mute', '-': 'down', _: 'down', '+': 'up', '=': 'up' };
  const soundCodes = new Set();
  function soundKey(e) {
    const what = e.altKey || e.ctrlKey || e.metaKey ? undefined : soundKeys[e.key];
    if (!what && !soundCodes.has(e.code)) return false;
    e.stopImmediatePropagation();
    e.preventDefault();
    if (e.type === 'keyup') {
      soundCodes.delete(e.code);
      return true;
    }
    soundCodes.add(e.code);
    if (!what || e.repeat) return true;
    wakeSound();
    if (what === 'mute') setSound({ muted: !sound.muted }, true);
    else setSound({ muted: false, step: Math.max(0, Math.min(kLevels.length - 1, sound.step + (what === 'up' ? 1 : -1))) }, true);
    return true;
  }
  window.addEventListener('keyup', (e) => { if (e.isTrusted) soundKey(e); }, true);
  // By touch: on and off, and the level going down a step a tap, from the
  // quietest back to the loudest.
  const onTap = (button, act) => button.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    act();
  });
  onTap(muteButton, () => setSound({ muted: !sound.muted }, false));
  onTap(volumeButton, () => setSound({ muted: false, step: (sound.step + kLevels.length - 1) % kLevels.length }, false));

  // What a visit keeps (the view, the sound, the offline copy) lasts only as
  // long as the browser keeps the site's storage: Safari clears it after a
  // week without a visit unless asked, or the page is on the Home Screen.
  function keepOffline() {
    if (state.persist !== 'not asked' || !window.isSecureContext) return;
    try {
      if (!navigator.storage || !navigator.storage.persist) return;
      state.persist = 'asked';
      Promise.resolve(navigator.storage.persist()).then((kept) => { state.persist = kept ? 'granted' : 'refused'; },
                                                         () => { state.persist = 'failed'; });
    } catch (e) {
      state.persist = 'failed';
    }
  }

  // ---- Touch -------------------------------------------------------------------
  // The buttons press the keys the keyboard has, so the game sees one key
  // state; a tap holds its key for a few frames, as the game reads keys
  // once a frame. A key or a pad's button hides them, a touch shows them.
  // `?touch` in the address has the page take the screen for a touch
  // screen, for a browser that cannot say it has one (a test driver
  // without touch emulation).
  const touchScreen = matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0 ||
                      new URLSearchParams(location.search).has('touch');
  function showTouch(on) {
    if (state.touch === on) return;
    state.touch = on;
    document.body.classList.toggle('touch', on);
    layout();
  }

  // ---- On a phone: the well large ------------------------------------------------
  // The whole picture scaled to a phone's screen leaves the well a sliver
  // upright, and a seventh of the width on its side; there the page shows
  // the part the game draws the panel in (the well, its meter and the score
  // fields, with room for the panel's jolts), as large as fits beside or
  // above the buttons, its pixels square. A tap on the picture switches to
  // the whole and back; the choice is kept.
  const kWell = { x: 223, y: 70, width: 192, height: 336 };
  // Where the well's dark blue begins with the panel at rest.
  const kWellRest = { x: 255, y: 80 };
  const view = document.getElementById('view');
  let wholeChosen = false;
  try { wholeChosen = localStorage.getItem('tumbla.view') === 'whole'; } catch (e) { /* no storage */ }
  const phone = () => touchScreen && (innerWidth < 640 || innerHeight < 480);
  // A game starts with the panel gliding in from the top left corner to
  // rest: until it has, the view goes with it, so that the first look is
  // the well and the stars pass behind it; before the panel is drawn at all
  // (a few frames), the view shows nothing rather than stars.
  let following = false;
  let panelSeen = false;
  let followFrames = 0;
  const panelShift = { x: 0, y: 0 };
  let scale = 1;
  function followPanel(pixels, width, height) {
    if (++followFrames > 600) {
      following = false;
      placePicture();
    }
    const blue = (p) => (p & 0xffffff) === 0x550000;
    let left = width, top = height;
    // Clear of the palette strip at the top and the corner below.
    for (let y = 24; y < height - 24; y += 4)
      for (let x = 24, row = y * width; x < left; x++) if (blue(pixels[row + x])) left = x;
    for (let x = 24; x < width; x += 4)
      for (let y = 24; y < top; y++) if (blue(pixels[y * width + x])) top = y;
    if (left === width || top === height) return;
    if (!panelSeen || left - kWellRest.x !== panelShift.x || top - kWellRest.y !== panelShift.y) {
      panelSeen = true;
      panelShift.x = left - kWellRest.x;
      panelShift.y = top - kWellRest.y;
      placePicture();
    }
    if (panelShift.x === 0 && panelShift.y === 0) following = false;
  }
  function placePicture() {
    canvas.style.visibility = state.view === 'well' && following && !panelSeen ? 'hidden' : '';
    if (state.view !== 'well') return;
    canvas.style.left = `${-(kWell.x + panelShift.x) * scale}px`;
    canvas.style.top = `${-(kWell.y + panelShift.y) * scale}px`;
  }
  function layout() {
    const crop = phone() && !wholeChosen;
    state.view = crop ? 'well' : 'whole';
    document.body.classList.toggle('crop', crop);
    if (!crop) {
      view.style.width = view.style.height = '';
      canvas.style.width = canvas.style.height = canvas.style.left = canvas.style.top = '';
      placePicture();
      return;
    }
    // The room the buttons leave: above them upright, between them on its side.
    let width = innerWidth, height = innerHeight - 8;
    if (state.touch) {
      for (const group of document.querySelectorAll('#pad .group')) {
        const r = group.getBoundingClientRect();
        if (innerHeight > innerWidth) height = Math.min(height, r.top - 8);
        else width = Math.min(width, 2 * (r.left > innerWidth / 2 ? r.left - innerWidth / 2 : innerWidth / 2 - r.right) - 16);
      }
    }
    scale = Math.min(width / kWell.width, height / kWell.height);
    // Whole device pixels per picture pixel where that costs little.
    const dpr = devicePixelRatio || 1;
    if (scale * dpr >= 3) scale = Math.floor(scale * dpr) / dpr;
    view.style.width = `${kWell.width * scale}px`;
    view.style.height = `${kWell.height * scale}px`;
    canvas.style.width = `${canvas.width * scale}px`;
    canvas.style.height = `${canvas.height * scale}px`;
    placePicture();
  }
  canvas.addEventListener('click', () => {
    if (!phone()) return;
    wholeChosen = !wholeChosen;
    try { localStorage.setItem('tumbla.view', wholeChosen ? 'whole' : 'well'); } catch (e) { /* not kept */ }
    layout();
  });
  window.addEventListener('resize', layout);
  const kTapFrames = 80;
  for (const button of document.querySelectorAll('#pad button[data-code]')) {
    let downAt = 0;
    let timer = 0;
    const release = () => {
      if (!button.classList.contains('down')) return;
      clearTimeout(timer);
      timer = setTimeout(() => {
        button.classList.remove('down');
        pressKey('keyup', button.dataset.code, button.dataset.key, false);
      }, Math.max(0, downAt + kTapFrames - performance.now()));
    };
    button.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      button.setPointerCapture(e.pointerId);
      clearTimeout(timer);
      if (button.classList.contains('down')) return;
      downAt = performance.now();
      button.classList.add('down');
      pressKey('keydown', button.dataset.code, button.dataset.key, false);
    });
    for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) button.addEventListener(type, release);
    button.addEventListener('contextmenu', (e) => e.preventDefault());
  }
  window.addEventListener('pointerdown', (e) => {
    wakeSound();
    if (e.pointerType === 'touch') showTouch(true);
  }, true);
  if (touchScreen) showTouch(true);
  layout();
  document.addEventListener('touchmove', (e) => e.preventDefault(), { passive: false });
  // iOS zooms on a quick double tap whatever touch-action and the viewport
  // say: a second tap within 300 ms loses its default.
  let lastTouchEnd = -1000;
  document.addEventListener('touchend', (e) => {
    const now = performance.now();
    if (now - lastTouchEnd < 300 && e.cancelable) e.preventDefault();
    lastTouchEnd = now;
  }, { passive: false });
  document.addEventListener('gesturestart', (e) => e.preventDefault());
  // No callout or menu from a long press on the picture or the buttons.
  for (const id of ['stage', 'pad']) document.getElementById(id).addEventListener('contextmenu', (e) => e.preventDefault());

  start.addEventListener('click', (e) => { if (e.target === start || e.target === playButton) begin(); });
  retryButton.addEventListener('click', load);

  // What the page needs of the browser: unpacking (DecompressionStream),
  // WebAssembly's sign-extension instructions (FluidSynth's) and bulk memory
  // (the game's copies and fills), the audio worklet (only given to secure
  // pages: elsewhere the game plays without sound) and the dialog. The
  // versions named are the first of each engine to have all of them.
  const wasmNeeds = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 127, 3, 2, 1, 0, 5, 3, 1, 0, 1,
                                    10, 16, 1, 14, 0, 65, 0, 65, 0, 65, 0, 252, 11, 0, 65, 0, 192, 11]);
  const needs = {
    DecompressionStream: typeof DecompressionStream === 'function',
    WebAssembly: typeof WebAssembly === 'object' && WebAssembly.validate(wasmNeeds),
    AudioWorklet: !window.isSecureContext || typeof AudioWorkletNode === 'function',
    dialog: typeof HTMLDialogElement === 'function',
  };
  state.lacking = Object.keys(needs).filter((name) => !needs[name]);
  if (state.lacking.length) {
    progress.hidden = true;
    status.textContent = 'TUMBLA needs a newer browser: Safari 16.4, Firefox 113, Chrome 80 or later.';
    status.classList.add('failed');
  } else {
    showProgress();
    load();
  }
  // Kept for playing offline, where the page is served as a web page should be.
  if ('serviceWorker' in navigator && window.isSecureContext)
    navigator.serviceWorker.register('service_worker.js').catch(() => {});
})();
