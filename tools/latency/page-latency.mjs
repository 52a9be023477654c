// Key to screen for the page, against its floor in the same run: Chromium
// (headless, through puppeteer-core) presses a key through the driver; a
// capture listener in the page notes when the key arrived, and after each
// animation frame the canvas is read until a bright block in the rectangle
// moved sideways (a fall, a star or a glint does not count). The floor is a bare
// page that moves a square on the key in its next animation frame, drawn with
// putImageData as the page draws the game. Prints each press, then the
// medians and their ratio.
//   NODE_PATH=build/npm/node_modules node tools/latency/page-latency.mjs build/web [presses]
// (build/web from scripts/test-web.sh or scripts/play-web.sh.)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { serve, sleep, launchChromium } from '../../tests/web/page_checks.mjs';

const require = createRequire(import.meta.url);
const puppeteer = require('puppeteer-core');
const bundle = path.resolve(process.argv[2] || 'build/web');
const presses = Number(process.argv[3] || 30);

const floorPage = `<!doctype html><meta charset="utf-8"><title>latency floor</title>
<body style="margin:0;background:#000"><canvas id="screen" width="640" height="480"></canvas><script>
const c = document.getElementById('screen').getContext('2d', { alpha: false });
const image = c.createImageData(640, 480);
let x = 300, pending = 0;
function draw() {
  image.data.fill(0);
  for (let i = 3; i < image.data.length; i += 4) image.data[i] = 255;
  for (let y = 200; y < 220; y++)
    for (let dx = 0; dx < 20; dx++) image.data.fill(255, ((y * 640) + x + dx) * 4, ((y * 640) + x + dx) * 4 + 3);
  c.putImageData(image, 0, 0);
}
addEventListener('keydown', (e) => { pending = e.key === 'ArrowLeft' ? -20 : 20; });
function frame() {
  if (pending) { x = Math.min(600, Math.max(20, x + pending)); pending = 0; draw(); }
  requestAnimationFrame(frame);
}
draw();
requestAnimationFrame(frame);
</script>`;

// Installed in the page: notes the key's arrival, then reads the rectangle's
// column profile each animation frame until a block moved sideways.
function watch(rect) {
  const canvas = document.getElementById('screen');
  const g = canvas.getContext('2d');
  const profile = () => {
    const d = g.getImageData(rect[0], rect[1], rect[2], rect[3]).data;
    const columns = new Int32Array(rect[2]);
    for (let i = 0, p = 0; i < d.length; i += 4, p++) if (d[i] + d[i + 1] + d[i + 2] > 300) columns[p % rect[2]]++;
    return columns;
  };
  const moved = (a, b) => {
    let changed = 0;
    for (let i = 0; i < a.length; i++) if (Math.abs(a[i] - b[i]) >= 6) changed++;
    return changed >= 4;
  };
  const w = { keyAt: null, before: null, result: null, lastMove: performance.now(), last: profile() };
  window.latency = w;
  addEventListener('keydown', () => {
    if (w.keyAt === null && w.before) w.keyAt = performance.now();
  }, true);
  // Read once the frame's callbacks have run and it has been drawn: the
  // canvas then holds what that frame showed, whichever callback drew it.
  const look = () => {
    const now = profile();
    if (moved(now, w.last)) w.lastMove = performance.now();
    w.last = now;
    if (w.keyAt !== null && w.result === null && moved(now, w.before)) w.result = performance.now() - w.keyAt;
  };
  const frame = () => {
    setTimeout(look, 0);
    requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
}

async function measure(page, keys) {
  const seen = [];
  for (let i = 0; i < presses; i++) {
    // Still for 100 ms, then a random part of a frame more.
    for (let n = 0; n < 100; n++) {
      if (await page.evaluate(() => performance.now() - window.latency.lastMove > 100)) break;
      await sleep(10);
    }
    await sleep(Math.random() * 17);
    await page.evaluate(() => {
      const w = window.latency;
      w.before = w.last;
      w.keyAt = null;
      w.result = null;
    });
    const key = keys[i % keys.length];
    await page.keyboard.down(key);
    let result = null;
    for (let n = 0; n < 100 && result === null; n++) {
      await sleep(5);
      result = await page.evaluate(() => window.latency.result);
    }
    await page.keyboard.up(key);
    await page.evaluate(() => { window.latency.before = null; });
    if (result !== null) seen.push(result);
    await sleep(60);
  }
  seen.sort((a, b) => a - b);
  const median = seen.length % 2 ? seen[(seen.length - 1) / 2] : (seen[seen.length / 2 - 1] + seen[seen.length / 2]) / 2;
  return { median, count: seen.length, seen };
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tumbla-latency-'));
fs.writeFileSync(path.join(dir, 'index.html'), floorPage);
const game = await serve(bundle);
const floor = await serve(dir);
const browser = await launchChromium(puppeteer);
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 600 });
  await page.goto(floor.url);
  await page.evaluate(watch, [280, 190, 80, 40]);
  await sleep(500);
  const bare = await measure(page, ['ArrowLeft', 'ArrowRight']);
  console.log(`bare page: ${bare.seen.map((v) => v.toFixed(1)).join(' ')}`);

  await page.goto(game.url);
  await page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 60000 });
  await page.click('#play');
  await page.waitForFunction(() => window.tumbla.frames > 300, { timeout: 60000 });
  // The well's inside on the game's 640x480 picture.
  await page.evaluate(watch, [230, 112, 130, 256]);
  const played = await measure(page, ['ArrowLeft', 'ArrowRight']);
  console.log(`page: ${played.seen.map((v) => v.toFixed(1)).join(' ')}`);
  console.log(`bare page: median ${bare.median.toFixed(1)} ms over ${bare.count} presses`);
  console.log(`page: median ${played.median.toFixed(1)} ms over ${played.count} presses, ` +
              `${(played.median / bare.median).toFixed(2)}x the bare page`);
} finally {
  await browser.close();
  await game.stop();
  await floor.stop();
}
