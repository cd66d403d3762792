// report_check.mjs: a vorna-mark report opened from its file in headless Chromium, as a teacher
// opens it: one row per student, every picture loads from file, sorting by a column and
// filtering by verdict and by name work, and a student's page shows its pictures.
// Usage: node report_check.mjs REPORT_DIR EXPECTED_ROWS [SCREENSHOT.png]
import path from 'node:path';
import { pathToFileURL } from 'node:url';

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  console.log('report_check: playwright-core is not installed (./dev installs it)');
  process.exit(77);
}

const [report, expectedText, screenshot] = process.argv.slice(2);
const expected = Number(expectedText);
const failures = [];
const check = (ok, what) => { if (!ok) failures.push(what); };

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
try {
  // Tall enough that every lazily loaded picture is in view.
  const page = await browser.newPage({ viewport: { width: 1400, height: 30000 } });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(pathToFileURL(path.resolve(report, 'index.html')).href);
  await page.waitForLoadState('load');
  await page.waitForFunction(() => Array.from(document.images).every((img) => img.complete), null, { timeout: 20000 });

  const rows = () => page.$$eval('#results tbody tr', (trs) => trs.map((tr) => ({
    name: tr.dataset.name, verdict: tr.dataset.verdict, seconds: parseFloat(tr.dataset.seconds), hidden: tr.hidden })));
  const all = await rows();
  check(all.length === expected, `${all.length} rows, expected ${expected}`);
  const images = await page.$$eval('img', (imgs) => imgs.map((img) => ({ src: img.getAttribute('src'), width: img.naturalWidth })));
  check(images.length >= expected, `only ${images.length} pictures`);
  const broken = images.filter((img) => img.width === 0).map((img) => img.src);
  check(broken.length === 0, `pictures that do not load: ${broken.slice(0, 5).join(', ')}`);
  check(images.some((img) => img.src.includes('diff-')), 'no difference picture');

  if (screenshot) {
    await page.setViewportSize({ width: 1400, height: 900 });
    await page.screenshot({ path: screenshot });
    await page.setViewportSize({ width: 1400, height: 30000 });
  }

  const isSorted = (values, ascending, compare) =>
    values.every((v, i) => i === 0 || (ascending ? compare(values[i - 1], v) <= 0 : compare(values[i - 1], v) >= 0));
  await page.click('th[data-sort=verdict]');
  check(isSorted((await rows()).map((r) => r.verdict), true, (a, b) => a.localeCompare(b)), 'verdicts not sorted A-Z');
  await page.click('th[data-sort=verdict]');
  check(isSorted((await rows()).map((r) => r.verdict), false, (a, b) => a.localeCompare(b)), 'verdicts not sorted Z-A');
  await page.click('th[data-sort=seconds]');
  check(isSorted((await rows()).map((r) => r.seconds), true, (a, b) => a - b), 'times not sorted');

  const matching = all.filter((r) => r.verdict === 'matches').length;
  await page.uncheck('#filters input[data-verdict="matches"]');
  const filtered = await rows();
  check(filtered.filter((r) => !r.hidden).length === expected - matching, 'the matches filter hides the wrong rows');
  check(filtered.every((r) => r.hidden === (r.verdict === 'matches')), 'a hidden row is not a match');
  check(await page.textContent('#shown') === String(expected - matching), 'the shown count is not updated');
  await page.check('#filters input[data-verdict="matches"]');
  const someone = all.find((r) => r.verdict === 'differs') || all[0];
  await page.fill('#search', someone.name);
  const searched = (await rows()).filter((r) => !r.hidden).map((r) => r.name);
  check(searched.includes(someone.name) && searched.length < expected, `searching ${someone.name} shows ${searched}`);
  await page.fill('#search', '');
  check(errors.length === 0, `script errors: ${errors.join('; ')}`);

  // A student's page: its pictures load, its sections are there.
  // The click only starts the navigation: wait for the new page and for its pictures.
  await page.click(`a[href="students/${someone.name}/index.html"]`);
  await page.waitForURL(`**/students/${someone.name}/index.html`);
  await page.waitForLoadState('load');
  await page.waitForFunction(() => Array.from(document.images).every((img) => img.complete), null, { timeout: 20000 });
  const pagePictures = await page.$$eval('img', (imgs) => imgs.map((img) => img.naturalWidth));
  check(pagePictures.length >= 2 && pagePictures.every((w) => w > 0), `${someone.name}'s page pictures do not load`);
  const text = await page.textContent('body');
  for (const section of ['Drawing-log differences', 'Build messages', 'Console output'])
    check(text.includes(section), `${someone.name}'s page has no ${section}`);
} finally {
  await browser.close();
}
if (failures.length) {
  console.error('report_check: ' + failures.join('\n  '));
  process.exit(1);
}
console.log(`report_check: ${expected} rows, pictures, sorting and filtering work`);
