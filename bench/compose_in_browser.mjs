// compose_in_browser.mjs PAGE: opens compose_bench's page (the browser build's
// bin/compose_bench.html) in headless Chromium, prints the compose line the program prints, then
// clicks the canvas 30 times and prints the time from each press reaching the page to the new
// picture being on the canvas (one display frame is 16.7 ms).
//   node bench/compose_in_browser.mjs build-web/bin/compose_bench.html
// playwright-core comes from tests/web (npm install there).
import { createRequire } from 'node:module';
import { resolve } from 'node:path';

const require = createRequire(resolve(new URL('.', import.meta.url).pathname, '../tests/web/package.json'));
const { chromium } = require('playwright-core');
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const page = await browser.newPage();
await page.goto('file://' + resolve(process.argv[2]));
await page.waitForFunction(() => window.VornaPage && VornaPage.stdout.some((l) => l.startsWith('compose:')),
  null, { timeout: 120000 });
console.log(await page.evaluate(() => VornaPage.stdout.find((l) => l.startsWith('compose:'))));

await page.evaluate(() => {
  window.pressedAt = 0;
  window.addEventListener('pointerdown', () => { window.pressedAt = performance.now(); }, true);
});
const box = await page.evaluate(() => { const b = document.getElementById('vorna-canvas').getBoundingClientRect(); return [b.left, b.top]; });
const latencies = [];
for (let i = 0; i < 30; i++) {
  const before = await page.evaluate(() => VornaPage.presented);
  await page.mouse.click(box[0] + 100 + i, box[1] + 100);
  await page.waitForFunction((n) => VornaPage.presented > n, before);
  latencies.push(await page.evaluate(() => VornaPage.presentedAt - window.pressedAt));
  await page.waitForTimeout(50);
}
latencies.sort((a, b) => a - b);
console.log(`click-to-pixel: median ${latencies[15].toFixed(2)} ms, worst ${latencies[29].toFixed(2)} ms (30 clicks)`);
await browser.close();
