// Plays the web bundle in a real, headless Chromium: the page loads without
// console errors, a click starts the game, the play field shows, a key moves
// the piece, the music sounds, and Escape ends the game cleanly.
//
//   node browser_test.mjs BUNDLE_DIR OUT_DIR
// (puppeteer-core must be resolvable: NODE_PATH pointing at its node_modules.)
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const puppeteer = require('puppeteer-core');

const [bundleArg, out] = process.argv.slice(2);
const bundle = path.resolve(bundleArg);
fs.mkdirSync(out, { recursive: true });

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.data': 'application/octet-stream', '.png': 'image/png', '.txt': 'text/plain' };
const server = http.createServer((req, res) => {
  const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
  const file = path.join(bundle, name === '/' ? 'index.html' : name);
  if (!file.startsWith(path.resolve(bundle)) || !fs.existsSync(file)) {
    res.writeHead(404).end();
    return;
  }
  res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
  fs.createReadStream(file).pipe(res);
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const url = `http://127.0.0.1:${server.address().port}/`;

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
         '--window-size=800,600'],
  userDataDir: fs.mkdtempSync('/tmp/tumbla-chromium-'),
});
const errors = [];
const logs = [];
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 600 });
  page.on('console', (m) => (m.type() === 'error' ? errors : logs).push(m.text()));
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('requestfailed', (r) => errors.push(`request failed: ${r.url()}`));
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.', { timeout: 20000 });
  await page.click('#start');

  // The canvas as rows of palette-free RGB, for comparing two moments.
  const grab = () => page.evaluate(() => {
    const c = document.getElementById('screen');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    return { width: c.width, height: c.height, pixels: Array.from(d) };
  });
  await page.waitForFunction(() => window.tumbla.frames > 90, { timeout: 30000 });
  await page.screenshot({ path: path.join(out, 'web-play.png') });
  const first = await grab();
  // The window's client area: 640x480 less what its frame takes on Windows.
  check(first.width >= 630 && first.width <= 640 && first.height >= 470 && first.height <= 480,
        `the picture is the game window's (${first.width}x${first.height})`);
  const colours = new Set();
  for (let i = 0; i < first.pixels.length; i += 4 * 97)
    colours.add((first.pixels[i] << 16) | (first.pixels[i + 1] << 8) | first.pixels[i + 2]);
  check(colours.size > 8, `the play field is drawn (${colours.size} colours sampled)`);

  // Hold left: the piece slides to the wall. Compare with the same moment
  // of a piece left alone by looking at where the two pictures differ.
  const fps0 = await page.evaluate(() => window.tumbla.frames);
  await page.keyboard.down('ArrowLeft');
  await sleep(700);
  await page.keyboard.up('ArrowLeft');
  await page.screenshot({ path: path.join(out, 'web-moved.png') });
  const second = await grab();
  let changed = 0;
  for (let i = 0; i < first.pixels.length; i += 4)
    if (first.pixels[i] !== second.pixels[i] || first.pixels[i + 1] !== second.pixels[i + 1]) changed++;
  check(changed > 50, `the picture changes after a key (${changed} pixels)`);

  const t0 = Date.now();
  const f0 = await page.evaluate(() => window.tumbla.frames);
  await sleep(2000);
  const f1 = await page.evaluate(() => window.tumbla.frames);
  const fps = (f1 - f0) * 1000 / (Date.now() - t0);
  check(fps > 40 && fps < 70, `about 60 frames a second (${fps.toFixed(1)})`);
  const audio = await page.evaluate(() => ({ ...window.tumbla }));
  check(audio.music, 'FluidSynth loaded the soundfont');
  check(audio.audioWritten > 44100, `sound was mixed (${audio.audioWritten} frames)`);
  check(audio.audioPeak > 0.01, `the sound is not silent (peak ${audio.audioPeak.toFixed(3)})`);

  await page.keyboard.press('Escape');
  await page.waitForFunction(() => window.tumbla.exitCode !== null, { timeout: 10000 }).catch(() => {});
  const code = await page.evaluate(() => window.tumbla.exitCode);
  if (code !== 0) console.log(`after Escape: ${JSON.stringify(await page.evaluate(() => window.tumbla))}; log: ${logs.join(' | ')}`);
  check(code === 0, `Escape ends the game with exit code 0 (${code})`);
  console.log(`frames presented before the key: ${fps0}; underruns: ${audio.underruns}`);
} finally {
  check(errors.length === 0, `no console errors${errors.length ? ': ' + errors.join(' | ') : ''}`);
  await browser.close();
  server.close();
}
process.exit(failures ? 1 : 0);
