// firefox_smoke.mjs: the car scene's page in headless Firefox ESR (WebDriver BiDi) from file://:
// the program starts with its title screen, a click starts the scene, and the scene animates.
//   node firefox_smoke.mjs PAGE
import puppeteer from 'puppeteer-core';

const page_path = process.argv[2];
const browser = await puppeteer.launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true });
let failed = false;
try {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto('file://' + page_path);
  await page.waitForFunction(() => window.VornaPage && VornaPage.presented > 0, { timeout: 30000 });
  // A click on the title screen starts the scene, which then draws a new picture every tick.
  const box = await page.evaluate(() => { const b = document.getElementById('vorna-canvas').getBoundingClientRect(); return [b.left, b.top]; });
  await page.mouse.click(box[0] + 300, box[1] + 250);
  const first = await page.evaluate(() => VornaPage.presented);
  await page.waitForFunction((n) => VornaPage.presented > n + 2, { timeout: 10000 }, first);
  const seen = await page.evaluate(() => {
    const canvas = document.getElementById('vorna-canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const colours = new Set();
    for (let i = 0; i < data.length; i += 4 * 97) colours.add((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
    return { colours: colours.size, console: VornaPage.consoleLines.length, status: VornaPage.exitStatus };
  });
  const ok = seen.colours >= 5 && seen.status === null && errors.length === 0;
  console.log(`${ok ? 'ok  ' : 'FAIL'} car scene in Firefox: ${seen.colours} colours sampled, ` +
    `${seen.console} console lines, ${first}+ pictures, errors ${JSON.stringify(errors)}`);
  failed = !ok;
} catch (e) {
  console.log('FAIL car scene in Firefox: ' + e.message);
  failed = true;
} finally {
  await browser.close();
}
process.exit(failed ? 1 : 0);
