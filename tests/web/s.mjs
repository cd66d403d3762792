import { chromium } from 'playwright-core';
import { writeFileSync } from 'node:fs';
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const page = await browser.newPage();
for (const name of process.argv.slice(2)) {
await page.goto(`file:///tmp/w21web/pages/${name}.html?play_text=&play_exit=1&picture=x.png`);
await page.waitForFunction(() => window.VornaPage && VornaPage.exitStatus !== null);
const b = await page.evaluate(() => Array.from(VornaPage.pictures['x.png']));
writeFileSync(`/tmp/w21_${name}.png`, Buffer.from(b));
}
await browser.close();
