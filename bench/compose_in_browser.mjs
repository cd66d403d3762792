// compose_in_browser.mjs PAGE: opens compose_bench's page (the browser build's
// bench/compose_bench.html) in headless Chromium and prints the line the program prints.
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
await browser.close();
