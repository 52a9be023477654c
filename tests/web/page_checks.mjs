// What every engine must show of the page, as a player meets it, whatever
// drives it: `playChecks` takes an engine (a thin adapter over its driver,
// in engines_test.mjs) and the test's own server. Also the server and the
// in-page picture reading that the Chromium-only browser_test.mjs shares.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.data': 'application/octet-stream', '.png': 'image/png', '.txt': 'text/plain',
                '.webmanifest': 'application/manifest+json', '.gz': 'application/gzip', '.sf2': 'application/octet-stream' };
export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The bundle over HTTP. `served` is what was asked for since it was last
// cleared; `rate` (bytes a second, 0: as fast as it can) slows it as a
// slow link would; `stop` takes it off the network (offline) and `start`
// puts it back on the same address.
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

  await engine.click('#play');
  const started = await playing(engine);
  say(started, 'Play starts the game');
  if (!started) return;
  const first = await engine.eval(lookAtPicture);
  say(first.colours > 8, `the play field is drawn (${first.colours} colours sampled)`);
  await engine.screenshot(path.join(out, `web-${name}.png`));
  const left = await key(engine, 'ArrowLeft', -1);
  say(left < -4, `the left arrow moves the piece left (${left.toFixed(1)} px)`);
  const right = await key(engine, 'ArrowRight', 1);
  say(right > 4, `the right arrow moves it right (${right.toFixed(1)} px)`);
  say(await engine.eval(() => document.body.classList.contains('touch')), 'the touch buttons, asked for in the address, stay');
  const tapped = await moved(engine, -1, () => engine.press('#pad [data-code="ArrowLeft"]', 250));
  say(tapped < -4, `the touch button "left" moves the piece left (${tapped.toFixed(1)} px)`);

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
    await engine.click('#play');
    say(await playing(engine), 'and the game plays');
    const offlineErrors = await engine.eval(() => window.testErrors);
    say(offlineErrors.length === 0, `offline, no uncaught error${offlineErrors.length ? ': ' + offlineErrors.join(' | ') : ''}`);
    await engine.keyDown('Escape');
    await engine.keyUp('Escape');
  } finally {
    await site.start();
  }
}
