// What every engine must show of the page, as a player meets it, whatever
// drives it: `playChecks` takes an engine (a thin adapter over its driver,
// in engines_test.mjs) and the test's own server. Also the server and the
// in-page picture reading that the Chromium-only browser_test.mjs shares.
import http from 'node:http';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.data': 'application/octet-stream', '.png': 'image/png', '.txt': 'text/plain',
                '.webmanifest': 'application/manifest+json', '.gz': 'application/gzip', '.sf2': 'application/octet-stream' };
export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The bundle over HTTP. `served` is what was asked for since it was last
// cleared; `rate` (bytes a second, 0: as fast as it can) slows it as a
// slow link would; `stop` takes it off the network (offline) and `start`
// puts it back on the same address.
// Headless Chromium as the tests and tools start it: Debian's, a clean
// profile, and none of its background connections (this machine has no
// network beyond loopback).
export function launchChromium(puppeteer) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
           '--window-size=800,600'],
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'tumbla-chromium-')),
  });
}

export async function serve(bundle) {
  const site = { served: new Map(), rate: 0 };
  const server = http.createServer(async (req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = path.join(bundle, name === '/' ? 'index.html' : name);
    if (!file.startsWith(bundle) || !fs.existsSync(file)) {
      res.writeHead(404).end();
      return;
    }
    const bytes = fs.readFileSync(file);
    site.served.set(path.basename(file), bytes.length);
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                         'Content-Length': bytes.length, 'Cache-Control': 'no-cache' });
    const chunk = 16384;
    for (let at = 0; at < bytes.length && !res.destroyed; at += chunk) {
      res.write(bytes.subarray(at, at + chunk));
      if (site.rate) await sleep((chunk / site.rate) * 1000);
    }
    res.end();
  });
  let port = 0;
  site.start = () => new Promise((r) => server.listen(port, '127.0.0.1', () => {
    port = server.address().port;
    site.url = `http://127.0.0.1:${port}/`;
    r();
  }));
  site.stop = () => new Promise((r) => {
    server.close(r);
    server.closeAllConnections();
  });
  await site.start();
  return site;
}

// Run in the page: the canvas now against the one the last call kept. How
// far the pieces moved sideways, in pixels: where a piece's colour
// (strongly saturated: not the grey frame, the dark blue field or the
// white stars) arrived less where it left; positive is right, and a piece
// falling meanwhile moves straight down and adds nothing. Also how many
// colours a sample of it holds and how many pixels changed.
export function lookAtPicture() {
  const c = document.getElementById('screen');
  const now = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  const was = window.testPicture && window.testPicture.length === now.length ? window.testPicture : now;
  window.testPicture = now;
  const piece = (p, i) => Math.max(p[i], p[i + 1], p[i + 2]) - Math.min(p[i], p[i + 1], p[i + 2]) > 150;
  let arrive = 0, arriveX = 0, leave = 0, leaveX = 0, changed = 0;
  const colours = new Set();
  for (let i = 0; i < now.length; i += 4) {
    if (i % (4 * 97) === 0) colours.add((now[i] << 16) | (now[i + 1] << 8) | now[i + 2]);
    if (now[i] !== was[i] || now[i + 1] !== was[i + 1] || now[i + 2] !== was[i + 2]) changed++;
    if (i < c.width * 4 * Math.floor(c.height / 20)) continue;
    const x = (i / 4) % c.width;
    const a = piece(was, i), b = piece(now, i);
    if (b && !a) { arrive++; arriveX += x; }
    if (a && !b) { leave++; leaveX += x; }
  }
  return { width: c.width, height: c.height, colours: colours.size, changed,
           sideways: arrive > 20 && leave > 20 ? arriveX / arrive - leaveX / leave : 0 };
}

// Run in the page: a screenshot (PNG, base64) of it, where the well's dark
// blue is and whether the picture shows anything. `lit`: pixels not black
// inside the view; `share` and `tall`: the well's width and height against
// the screen's; `cut`: the well reaches the edge of the view (a part of it
// is off the view).
export async function wellInShot(png) {
  const img = new Image();
  img.src = `data:image/png;base64,${png}`;
  await img.decode();
  const c = document.createElement('canvas');
  c.width = img.width;
  c.height = img.height;
  const g = c.getContext('2d');
  g.drawImage(img, 0, 0);
  const d = g.getImageData(0, 0, c.width, c.height).data;
  const k = img.width / innerWidth;
  const v = document.getElementById('view').getBoundingClientRect();
  const x0 = Math.max(0, Math.round(v.left * k)), x1 = Math.min(c.width, Math.round(v.right * k));
  const y0 = Math.max(0, Math.round(v.top * k)), y1 = Math.min(c.height, Math.round(v.bottom * k));
  let left = c.width, right = 0, top = c.height, bottom = 0, lit = 0;
  for (let y = y0; y < y1; y++) {
    for (let x = x0; x < x1; x++) {
      const i = (y * c.width + x) * 4;
      if (d[i] + d[i + 1] + d[i + 2] > 24) lit++;
      if (d[i] > 8 || d[i + 1] > 8 || Math.abs(d[i + 2] - 85) > 8) continue;
      left = Math.min(left, x); right = Math.max(right, x + 1); top = Math.min(top, y); bottom = Math.max(bottom, y + 1);
    }
  }
  const found = right > left;
  return { view: window.tumbla.view, lit: lit / Math.max(1, (x1 - x0) * (y1 - y0)), share: found ? (right - left) / c.width : 0,
           tall: found ? (bottom - top) / c.height : 0,
           cut: !found || left <= x0 + 1 || right >= x1 - 1 || top <= y0 + 1 || bottom >= y1 - 1 };
}

// Run in the page: a pad (standard mapping) whose buttons the test sets.
export function plugPad() {
  window.testPad = { id: 'Test pad', index: 0, connected: true, mapping: 'standard', timestamp: 0,
                     axes: [0, 0, 0, 0], buttons: Array.from({ length: 17 }, () => ({ pressed: false, value: 0 })) };
  navigator.getGamepads = () => [window.testPad];
}

// Run in the page: hide it or show it as a switch to another tab would.
export function setHidden(hidden) {
  Object.defineProperty(document, 'hidden', { configurable: true, get: () => hidden });
  Object.defineProperty(document, 'visibilityState', { configurable: true, get: () => (hidden ? 'hidden' : 'visible') });
  document.dispatchEvent(new Event('visibilitychange'));
}

// Run in the page once it is there: keeps what the page lets escape (an
// uncaught error, an unhandled rejection, not the game's own end, which the
// page takes), and the audio context the page makes, to read its clock.
function watchPage() {
  window.testErrors = [];
  window.addEventListener('error', (e) => { if (!e.defaultPrevented) window.testErrors.push(String(e.error || e.message)); });
  window.addEventListener('unhandledrejection', (e) => {
    if (!e.defaultPrevented) window.testErrors.push(`unhandled rejection: ${e.reason && (e.reason.stack || e.reason)}`);
  });
  const Context = window.AudioContext;
  window.AudioContext = function (...args) {
    window.testAudio = new Context(...args);
    return window.testAudio;
  };
}

const until = async (engine, what, test, ms, ...args) => {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(100)) if (await engine.eval(test, ...args)) return true;
  console.log(`  (waited ${ms / 1000} s for ${what})`);
  return false;
};
const ready = (engine) => until(engine, 'Ready', () => /^Ready\.|could not be loaded/.test(document.getElementById('status').textContent), 30000);
const playing = (engine, beyond = 90) =>
  until(engine, 'the game', (n) => window.tumbla.frames > n && window.tumbla.running, 30000, beyond);

// Holds something for a while and says how far the piece went sideways,
// which way is `way` (-1 left, 1 right). A piece that landed meanwhile
// says nothing of the keys: then once more, with the next piece.
async function moved(engine, way, hold) {
  let px = 0;
  for (let i = 0; i < 2 && px * way <= 4; i++) {
    await engine.eval(lookAtPicture);
    await hold();
    await sleep(100);
    px = (await engine.eval(lookAtPicture)).sideways;
  }
  return px;
}
const key = (engine, name, way) => moved(engine, way, async () => {
  await engine.keyDown(name);
  await sleep(250);
  await engine.keyUp(name);
});

// The checks, in the order a player meets them. `check(ok, what)` counts;
// `sound` says whether the engine has an output device.
export async function playChecks(engine, site, { check, out, sound = true }) {
  const name = engine.name;
  const say = (ok, what) => check(ok, `${name}: ${what}`);

  // Over a link of about 1.5 MB/s, so the bar can be seen between empty and full.
  site.rate = 1.5e6;
  await engine.open(`${site.url}?touch`);
  let midway = null;
  for (let i = 0; i < 200 && !midway; i++) {
    const seen = await engine.eval(() => ({ text: document.getElementById('status').textContent,
                                            value: document.getElementById('progress').value,
                                            max: document.getElementById('progress').max }));
    if (seen.value > 0 && seen.value < seen.max && /KB of/.test(seen.text)) midway = seen;
    else await sleep(30);
  }
  say(midway !== null, `the progress bar while loading (${midway ? midway.text : 'never seen'})`);
  await engine.eval(watchPage);
  await ready(engine);
  site.rate = 0;
  say(await engine.eval(() => document.getElementById('status').textContent === 'Ready.'), 'Ready. once loaded');
  say(await engine.eval(() => document.getElementById('home-screen').hidden &&
                               /Alt\+Enter: full screen/.test(document.getElementById('keys').innerText)),
      'with the Fullscreen API, the keys line offers it and no Home Screen note shows');
  const canPersist = await engine.eval(() => {
    window.testPersist = 0;
    if (!navigator.storage || !navigator.storage.persist) return false;
    const persist = navigator.storage.persist.bind(navigator.storage);
    navigator.storage.persist = () => { window.testPersist++; return persist(); };
    return true;
  });

  await engine.click('#play');
  const started = await playing(engine);
  say(started, 'Play starts the game');
  if (!started) return;
  const persisted = await engine.eval(() => ({ asked: window.testPersist, state: window.tumbla.persist }));
  if (canPersist) say(persisted.asked === 1, `Play asks the browser to keep the site's storage (${persisted.asked} asked, ${persisted.state})`);
  else console.log(`  ${name}: no navigator.storage.persist() to ask (the page asks nothing: ${persisted.state})`);
  const first = await engine.eval(lookAtPicture);
  say(first.colours > 8, `the play field is drawn (${first.colours} colours sampled)`);
  await engine.screenshot(path.join(out, `web-${name}.png`));
  const tapped = await moved(engine, -1, () => engine.press('#pad [data-code="ArrowLeft"]', 250));
  say(tapped < -4, `the touch button "left" moves the piece left (${tapped.toFixed(1)} px)`);
  const left = await key(engine, 'ArrowLeft', -1);
  say(left < -4, `the left arrow moves the piece left (${left.toFixed(1)} px)`);
  const right = await key(engine, 'ArrowRight', 1);
  say(right > 4, `the right arrow moves it right (${right.toFixed(1)} px)`);
  const shown = () => engine.eval(() => document.body.classList.contains('touch'));
  say(!(await shown()), 'a key hides the touch buttons');

  // A pad and the touch buttons give way to each other, each press of a
  // pad's button (the first one also makes the pad known).
  const touchPicture = async () => {
    const at = await engine.eval(() => {
      const r = document.getElementById('view').getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 3 };
    });
    await engine.touch(at.x, at.y);
    await sleep(200);
    return shown();
  };
  const padButton = async (b) => {
    await engine.eval(plugPad);
    await engine.eval((n) => { window.testPad.buttons[n] = { pressed: true, value: 1 }; }, b);
    await until(engine, 'the pad', () => window.tumbla.pad, 3000);
    await sleep(200);
    await engine.eval((n) => { window.testPad.buttons[n] = { pressed: false, value: 0 }; }, b);
    await sleep(100);
    return shown();
  };
  const giveWay = [await touchPicture(), await padButton(0), await touchPicture(), await padButton(1), await touchPicture()];
  say(giveWay.join() === 'true,false,true,false,true',
      `a touch shows the touch buttons, a pad's button hides them, each time (shown: ${giveWay.join(', ')})`);
  await engine.eval(() => { delete navigator.getGamepads; });

  // The sound switch: by touch and by keys; the output (after the
  // worklet's level) silent while the game mixes on.
  const output = async () => {
    await sleep(800);
    return engine.eval(() => ({ ...window.tumbla }));
  };
  const pressKey = async (k) => {
    await engine.keyDown(k);
    await engine.keyUp(k);
  };
  await engine.press('#mute', 50);
  const off = await output();
  await pressKey('m');
  const on = await output();
  if (sound) {
    say(off.muted && off.outputPeak === 0 && off.audioPeak > 0.01,
        `the sound button silences the output (peak ${off.outputPeak}) while the game mixes on (${off.audioPeak.toFixed(3)})`);
    say(!on.muted && on.outputPeak > 0.001, `M brings the sound back (peak ${on.outputPeak.toFixed(3)})`);
  } else {
    say(off.muted && off.volume === 0 && !on.muted && on.volume === 1, 'the sound button and M turn the sound off and on');
  }
  await pressKey('-');
  await engine.press('#volume', 50);
  const quieter = await engine.eval(() => ({ volume: window.tumbla.volume, bars: document.querySelectorAll('#volume .lit').length,
                                             frames: window.tumbla.frames }));
  await sleep(300);
  say(quieter.volume === 0.25 && quieter.bars === 2 && (await engine.eval(() => window.tumbla.frames)) > quieter.frames + 5,
      `minus and the volume button each take the volume a step down (${quieter.volume}, ${quieter.bars} bars) and the game plays on`);
  await pressKey('m');

  const f0 = await engine.eval(() => window.tumbla.frames), t0 = Date.now();
  await engine.eval(lookAtPicture);
  const a0 = await engine.eval(() => window.testAudio && window.testAudio.currentTime);
  await sleep(2000);
  const f1 = await engine.eval(() => window.tumbla.frames);
  const fps = ((f1 - f0) * 1000) / (Date.now() - t0);
  const later = await engine.eval(lookAtPicture);
  say(fps > 5 && later.changed > 100, `the picture keeps moving (${fps.toFixed(1)} frames a second, ${later.changed} pixels changed in 2 s)`);
  const audio = await engine.eval(() => window.testAudio && { state: window.testAudio.state, time: window.testAudio.currentTime });
  const clock = audio ? audio.time - a0 : 0;
  if (sound) {
    say(audio && audio.state === 'running' && clock > 1 && clock < 3,
        `the audio context runs and its clock advances (${audio ? audio.state : 'none'}, ${clock.toFixed(2)} s in 2 s)`);
    const mixed = await engine.eval(() => ({ ...window.tumbla }));
    say(mixed.music && mixed.audioPeak > 0.01, `the game and its music sound (peak ${mixed.audioPeak.toFixed(3)})`);
  } else {
    const note = await engine.eval(() => document.getElementById('note').textContent);
    say(/No sound/.test(note), `without a sound device the game plays and the page says so (${note}; the context ` +
        `${audio ? audio.state : 'not made'}, its clock ${clock.toFixed(2)} s on in 2 s)`);
  }

  await engine.eval(setHidden, true);
  await sleep(500);
  const h0 = await engine.eval(() => window.tumbla.frames);
  await sleep(500);
  const h1 = await engine.eval(() => window.tumbla.frames);
  await engine.eval(setHidden, false);
  await sleep(500);
  const h2 = await engine.eval(() => window.tumbla.frames);
  say(h1 - h0 < 5 && h2 - h1 > 5, `hidden, the game waits (${h1 - h0} frames in 0.5 s); shown, it resumes (${h2 - h1})`);

  await engine.keyDown('Escape');
  await engine.keyUp('Escape');
  await until(engine, 'the end', () => window.tumbla.exitCode !== null, 10000);
  const ended = await engine.eval(() => ({ code: window.tumbla.exitCode, button: document.getElementById('play').textContent,
                                           shown: !document.getElementById('start').hidden }));
  say(ended.code === 0 && ended.shown && ended.button === 'Play again',
      `Escape ends the game (exit code ${ended.code}) and the page offers "${ended.button}"`);
  const before = await engine.eval(() => window.tumbla.frames);
  await engine.click('#play');
  const again = await playing(engine, before + 60) && (await engine.eval(() => window.tumbla.games)) === 2;
  say(again, '"Play again" starts a new game');
  const againMoved = await key(engine, 'ArrowRight', 1);
  say(againMoved > 4, `and it takes keys (${againMoved.toFixed(1)} px)`);
  await engine.keyDown('Escape');
  await engine.keyUp('Escape');
  const errors = await engine.eval(() => window.testErrors);
  say(errors.length === 0, `no uncaught error or unhandled rejection${errors.length ? ': ' + errors.join(' | ') : ''}`);

  // One visit was made: with the server gone, the page comes from its service worker.
  const worker = await engine.eval(() => navigator.serviceWorker.ready.then(() => true));
  await site.stop();
  try {
    await engine.reload();
    await engine.eval(watchPage);
    await ready(engine);
    const back = await engine.eval(() => ({ text: document.getElementById('status').textContent,
                                            controlled: navigator.serviceWorker.controller !== null }));
    say(worker && back.text === 'Ready.' && back.controlled, `with the server gone, the page loads from its service worker (${back.text})`);
    const kept = await engine.eval(() => ({ ...window.tumbla }));
    await engine.keyDown('m');
    await engine.keyUp('m');
    const unmuted = await engine.eval(() => ({ ...window.tumbla }));
    say(kept.muted && kept.volume === 0 && !unmuted.muted && unmuted.volume === 0.25 && !unmuted.started,
        `the sound switch is kept over a reload (off, then ${unmuted.volume}), and M does not start the game`);
    await engine.click('#play');
    say(await playing(engine), 'and the game plays');
    const offlineErrors = await engine.eval(() => window.testErrors);
    say(offlineErrors.length === 0, `offline, no uncaught error${offlineErrors.length ? ': ' + offlineErrors.join(' | ') : ''}`);
    await engine.keyDown('Escape');
    await engine.keyUp('Escape');
  } finally {
    await site.start();
  }

  // ---- A phone, as an iPhone: 390x844 at a pixel ratio of 3 (where the
  // driver sets one), no Fullscreen API (where it runs a script first).
  if (engine.preload) await engine.preload(() => {
    delete Element.prototype.requestFullscreen;
    delete Element.prototype.webkitRequestFullscreen;
  });
  await engine.viewport(390, 844, 3);
  await engine.open(`${site.url}?touch`);
  await engine.eval(watchPage);
  await ready(engine);
  if (engine.preload) {
    const note = await engine.eval(() => ({ shown: !document.getElementById('home-screen').hidden,
                                            text: document.getElementById('home-screen').textContent,
                                            keys: document.getElementById('keys').innerText }));
    say(note.shown && /Add to Home Screen/.test(note.text) && !/full screen/.test(note.keys),
        `without the Fullscreen API the start screen says how to get it (${note.text})`);
  }
  await engine.click('#play');
  // What the first screenshot to show anything of the picture shows.
  let look = null;
  for (const end = Date.now() + 10000; !look && Date.now() < end;) {
    const seen = await engine.eval(wellInShot, await engine.shot());
    if (seen.lit > 0.02) look = seen;
  }
  const ratio = await engine.eval(() => `${innerWidth}x${innerHeight} at ${devicePixelRatio}`);
  say(look && look.view === 'well' && !look.cut && look.share > 0.4,
      `the first screenshot after Play on a phone (${ratio}) shows the well whole ` +
      `(${look ? `${(look.share * 100).toFixed(0)} % of the width${look.cut ? ', cut' : ''}` : 'nothing shown'})`);
  await until(engine, 'the panel at rest', () => window.tumbla.frames > 300, 20000);
  await engine.screenshot(path.join(out, `web-${name}-upright.png`));
  await engine.viewport(844, 390, 3);
  await sleep(500);
  const side = await engine.eval(wellInShot, await engine.shot());
  await engine.screenshot(path.join(out, `web-${name}-landscape.png`));
  const free = await engine.eval(() => {
    const c = document.getElementById('view').getBoundingClientRect();
    return ![...document.querySelectorAll('#pad button')].some((b) => {
      const r = b.getBoundingClientRect();
      return r.left < c.right && r.right > c.left && r.top < c.bottom && r.bottom > c.top;
    });
  });
  const sideRatio = await engine.eval(() => `${innerWidth}x${innerHeight}`);
  say(side.view === 'well' && !side.cut && side.tall > 0.65 && free,
      `on its side (${sideRatio}) the well view, the well ${(side.tall * 100).toFixed(0)} % of the height, the buttons beside it`);
  await engine.keyDown('Escape');
  await engine.keyUp('Escape');
  if (engine.preload) await engine.preload(null);
}
