// Plays the web bundle in each engine players use, one after another, each
// from a clean profile, with the one list of checks in page_checks.mjs:
//   chromium        headless Chromium (puppeteer, DevTools protocol)
//   firefox         Firefox ESR (puppeteer, WebDriver BiDi), with a sound
//                   server of its own that plays into nothing
//   firefox-silent  the same without any sound device
//   webkit          WebKitGTK's MiniBrowser under WebKitWebDriver (W3C
//                   WebDriver, plain HTTP), on the X display in $DISPLAY
//
//   node engines_test.mjs BUNDLE_DIR OUT_DIR ENGINE...
// (puppeteer-core must be resolvable: NODE_PATH pointing at its node_modules.)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import net from 'node:net';
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import { serve, sleep, playChecks } from './page_checks.mjs';

const require = createRequire(import.meta.url);
const [bundleArg, out, ...names] = process.argv.slice(2);
fs.mkdirSync(out, { recursive: true });
const profile = (what) => fs.mkdtempSync(path.join(os.tmpdir(), `tumbla-${what}-`));

// Chromium and Firefox: puppeteer speaks to both.
async function puppeteerEngine(name, options) {
  const browser = await require('puppeteer-core').launch({ headless: true, ...options });
  const page = (await browser.pages())[0] || (await browser.newPage());
  await page.setViewport({ width: 800, height: 600 });
  let preloaded = null;
  return {
    name,
    open: (url) => page.goto(url, { waitUntil: 'domcontentloaded' }),
    reload: () => page.reload({ waitUntil: 'domcontentloaded' }),
    eval: (fn, ...args) => page.evaluate(fn, ...args),
    click: (selector) => page.click(selector),
    keyDown: (key) => page.keyboard.down(key),
    keyUp: (key) => page.keyboard.up(key),
    async press(selector, ms) {
      const box = await (await page.$(selector)).boundingBox();
      await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
      await page.mouse.down();
      await sleep(ms);
      await page.mouse.up();
    },
    // A touch where the driver has one (puppeteer's touch events).
    touch: (x, y) => page.touchscreen.tap(x, y),
    screenshot: (file) => page.screenshot({ path: file }),
    shot: () => page.screenshot({ encoding: 'base64' }),
    viewport: (width, height, ratio) => page.setViewport({ width, height, deviceScaleFactor: ratio }),
    // A script run before the page's own on every load until `preload(null)`.
    async preload(fn) {
      if (preloaded) await page.removeScriptToEvaluateOnNewDocument(preloaded.identifier);
      preloaded = fn ? await page.evaluateOnNewDocument(fn) : null;
    },
    close: () => browser.close(),
  };
}

// Firefox with a sound device: a PipeWire of its own (with its PulseAudio
// server and session manager, on a private bus) whose only output is a null
// sink, started for this run and gone after it. Nothing of it touches the
// machine's ALSA default, which the Wine stage plays through. Firefox's own
// ALSA output is no way round it: Firefox 153 opens no stream on an ALSA
// null device. Without one: no sound server, ALSA only, on a card that is
// not there.
async function firefox(name, sound) {
  const home = profile('firefox-home');
  let server = null;
  if (sound) {
    const conf = path.join(home, 'config/pipewire/pipewire.conf.d');
    fs.mkdirSync(conf, { recursive: true });
    fs.writeFileSync(path.join(conf, 'null-sink.conf'), `context.objects = [ { factory = adapter args = {
      factory.name = support.null-audio-sink node.name = tumbla-null media.class = Audio/Sink audio.position = [ FL FR ] } } ]\n`);
    server = spawn('dbus-run-session', ['--', 'sh', '-c', 'pipewire & sleep 0.5; wireplumber & pipewire-pulse & wait'],
                   { detached: true, stdio: 'ignore', env: { ...process.env, HOME: home, XDG_RUNTIME_DIR: home, XDG_CONFIG_HOME: path.join(home, 'config') } });
    const stop = () => { try { process.kill(-server.pid); } catch { /* gone */ } };
    process.on('exit', stop);
    for (let i = 0; i < 100 && !fs.existsSync(path.join(home, 'pulse/native')); i++) await sleep(100);
    server.stop = stop;
  } else {
    fs.writeFileSync(path.join(home, '.asoundrc'), 'pcm.!default { type hw card 31 }\n');
  }
  const engine = await puppeteerEngine(name, {
    browser: 'firefox', executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
    env: { ...process.env, HOME: home, XDG_RUNTIME_DIR: home },
    extraPrefsFirefox: { 'media.autoplay.default': 0, ...(sound ? {} : { 'media.cubeb.backend': 'alsa' }) },
  });
  if (server) {
    const close = engine.close;
    engine.close = () => close().finally(server.stop);
  }
  return engine;
}

// WebKitGTK: its WebDriver, one session per driver process, the browser
// under the X display the caller gives.
const ELEMENT = 'element-6066-11e4-a52e-4f735466cecf';
const webdriverKeys = { ArrowLeft: '\uE012', ArrowRight: '\uE014', Escape: '\uE00C' };
// WebKitWebDriver has no touch actions: a touch there is the pointer event
// a finger gives, made in the page.
function fakeTouch(x, y) {
  const target = document.elementFromPoint(x, y) || document.body;
  for (const type of ['pointerdown', 'pointerup'])
    target.dispatchEvent(new PointerEvent(type, { pointerType: 'touch', isPrimary: true, clientX: x, clientY: y, bubbles: true }));
}
async function webkit(name) {
  const port = await new Promise((r) => { const s = net.createServer().listen(0, '127.0.0.1', () => { const p = s.address().port; s.close(() => r(p)); }); });
  // Without a GPU, WebKit's DMA-BUF renderer draws a few frames a second.
  const driver = spawn(process.env.WEBKIT_DRIVER || 'WebKitWebDriver', [`--port=${port}`],
                       { stdio: 'ignore', env: { ...process.env, WEBKIT_DISABLE_DMABUF_RENDERER: '1' } });
  process.on('exit', () => driver.kill());
  const base = `http://127.0.0.1:${port}`;
  const call = async (method, at, body) => {
    const r = await fetch(base + at, { method, headers: { 'Content-Type': 'application/json' }, body: body && JSON.stringify(body) });
    const { value } = await r.json();
    if (value && value.error) throw new Error(`WebDriver ${at}: ${value.error}: ${value.message}`);
    return value;
  };
  for (let i = 0; i < 100; i++) {
    try { await call('GET', '/status'); break; } catch { await sleep(100); }
  }
  const binary = process.env.MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
  const { sessionId } = await call('POST', '/session', { capabilities: { alwaysMatch: {
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary, args: ['--automation', '--enable-webaudio=true', '--autoplay-policy=allow'] } } } });
  const session = (at) => `/session/${sessionId}${at}`;
  await call('POST', session('/timeouts'), { script: 60000 });
  await call('POST', session('/window/rect'), { width: 800, height: 600 });
  const element = async (selector) => ({ [ELEMENT]: (await call('POST', session('/element'), { using: 'css selector', value: selector }))[ELEMENT] });
  const actions = (list) => call('POST', session('/actions'), { actions: list });
  const key = (type, k) => actions([{ type: 'key', id: 'keys', actions: [{ type, value: webdriverKeys[k] || k }] }]);
  const pointer = (list) => actions([{ type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' }, actions: list }]);
  return {
    name,
    open: (url) => call('POST', session('/url'), { url }),
    reload: () => call('POST', session('/refresh'), {}),
    async eval(fn, ...args) {
      const r = await call('POST', session('/execute/async'), { args, script: `const done = arguments[arguments.length - 1];
        Promise.resolve().then(() => (${fn}).apply(null, [].slice.call(arguments, 0, -1)))
          .then((v) => done({ v }), (e) => done({ e: String(e && e.stack || e) }));` });
      if (r.e) throw new Error(r.e);
      return r.v;
    },
    click: async (selector) => call('POST', session(`/element/${(await element(selector))[ELEMENT]}/click`), {}),
    keyDown: (k) => key('keyDown', k),
    keyUp: (k) => key('keyUp', k),
    async press(selector, ms) {
      await pointer([{ type: 'pointerMove', origin: await element(selector), x: 0, y: 0 }, { type: 'pointerDown', button: 0 }]);
      await sleep(ms);
      await pointer([{ type: 'pointerUp', button: 0 }]);
    },
    async touch(x, y) {
      await this.eval(fakeTouch, x, y);
    },
    screenshot: async (file) => fs.writeFileSync(file, Buffer.from(await call('GET', session('/screenshot')), 'base64')),
    shot: () => call('GET', session('/screenshot')),
    // The window's size; the pixel ratio stays the screen's.
    viewport: (width, height) => call('POST', session('/window/rect'), { width, height }),
    preload: null,
    async close() {
      await call('DELETE', session('')).catch(() => {});
      driver.kill();
    },
  };
}

// What each engine is, and what its driver cannot do (docs/TESTING.md).
const firefoxCannot = 'touch emulation (?touch, the mouse and touch actions instead), network emulation (the server slowed ' +
                      'and stopped instead)';
const engines = {
  chromium: { start: () => puppeteerEngine('chromium', {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium', userDataDir: profile('chromium'),
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--autoplay-policy=no-user-gesture-required', '--window-size=800,600'] }) },
  firefox: { start: () => firefox('firefox', true), cannot: firefoxCannot },
  'firefox-silent': { start: () => firefox('firefox-silent', false), sound: false, cannot: firefoxCannot },
  webkit: { start: () => webkit('webkit'), cannot: 'touch actions (?touch, the mouse and pointer events made in the ' +
            'page instead), network emulation (the server slowed and stopped instead), a sound card (GStreamer plays ' +
            'into a fake sink), a pixel ratio (1, the screen\'s), a script before the page\'s own' },
};

let failures = 0;
const check = (ok, what) => {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
};
const site = await serve(path.resolve(bundleArg));
for (const name of names) {
  const started = Date.now();
  let engine = null;
  try {
    const { start, sound, cannot } = engines[name];
    if (cannot) console.log(`  ${name}: its driver cannot give ${cannot}`);
    engine = await start();
    await playChecks(engine, site, { check, out, sound });
  } catch (e) {
    check(false, `${name}: the checks ran to their end (${e.stack || e})`);
  } finally {
    if (engine) await engine.close().catch(() => {});
  }
  console.log(`  ${name}: ${((Date.now() - started) / 1000).toFixed(0)} s`);
}
await site.stop();
process.exit(failures ? 1 : 0);
