// web_test.mjs: the browser build in headless Chromium, from file:// pages.
//   node web_test.mjs PAGES_DIR DOC_PICTURES_DIR NATIVE_PROBE
// PAGES_DIR holds probe.html (tests/web/probe_web.c built with vorna-web) and the docs examples'
// pages (NAME.html); NATIVE_PROBE is the same probe built for the desktop, whose log the page's
// must equal.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import omggif from 'omggif';
import { chromium } from 'playwright-core';

const { GifReader } = omggif;

const [pagesDir, picturesDir, nativeProbe] = process.argv.slice(2);
const failures = [];
function check(ok, what) {
  if (!ok) failures.push(what);
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
}
function equal(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  check(a === e, `${what}: ${a}${a === e ? '' : ' (expected ' + e + ')'}`);
}

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const context = await browser.newContext({ acceptDownloads: true });

async function open(name, query = '') {
  const page = await context.newPage();
  page.on('pageerror', (e) => failures.push(name + ': page error ' + e.message));
  await page.goto('file://' + join(pagesDir, name) + query);
  await page.waitForFunction(() => window.VornaPage && (VornaPage.presented > 0 || VornaPage.exitStatus !== null));
  return page;
}
const lines = (page) => page.evaluate(() => VornaPage.stdout.slice());
// Waits until the program has printed n lines after the first `from`; returns them.
async function printed(page, from, n, timeout = 5000) {
  try {
    await page.waitForFunction(([f, k]) => VornaPage.stdout.length >= f + k, [from, n], { timeout });
  } catch (e) { /* reported by the comparison */ }
  return (await lines(page)).slice(from, from + n);
}
const flags = (page, id) => page.evaluate((i) => VornaPage.menuItems().find((item) => item.id === i).flags, id);

// Page coordinates of the centre of a colour's pixels on the canvas.
async function find(page, rgb) {
  return page.evaluate((hex) => {
    const canvas = document.getElementById('vorna-canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const r = parseInt(hex.slice(0, 2), 16), g = parseInt(hex.slice(2, 4), 16), b = parseInt(hex.slice(4, 6), 16);
    let sx = 0, sy = 0, n = 0;
    for (let i = 0; i < data.length; i += 4)
      if (data[i] === r && data[i + 1] === g && data[i + 2] === b) { sx += (i / 4) % canvas.width; sy += Math.floor(i / 4 / canvas.width); n++; }
    const box = canvas.getBoundingClientRect();
    return n ? [box.left + sx / n + 0.5, box.top + sy / n + 0.5] : null;
  }, rgb);
}

// ---------------------------------------------------------------------------------------------
// Clicks on drawn shapes, keys, the prompt dialog, bad input
// ---------------------------------------------------------------------------------------------
let page = await open('probe.html');
const marks = (await lines(page)).filter((l) => l.startsWith('mark ')).map((l) => l.split(' '));
equal(marks.length, 5, 'the probe drew its marks');
for (const [, rgb, x, y] of marks) {
  const at = await find(page, rgb);
  const from = (await lines(page)).length;
  if (at) await page.mouse.click(at[0], at[1]);
  equal(await printed(page, from, 1), [`mouse ${x} ${y}`], `a click on the ${rgb} mark gives its logical point`);
}
const KEYS = [['a', 97], ['Shift+KeyZ', 90], ['5', 53], ['Enter', 13], ['Escape', 27], ['Backspace', 8], ['Tab', 9],
              ['Space', 32], ['Shift+Digit1', 33]];
for (const [key, code] of KEYS) {
  const from = (await lines(page)).length;
  await page.keyboard.press(key);
  equal(await printed(page, from, 1), [`key ${code}`], `key ${key}`);
}
{ // Keys that type nothing, and Ctrl letters without a command, give no key event.
  const from = (await lines(page)).length;
  for (const key of ['ArrowLeft', 'F2', 'Control+KeyZ', 'Delete']) await page.keyboard.press(key);
  await page.keyboard.press('x');
  equal(await printed(page, from, 2, 1000), ['key 120'], 'arrows, F2, Ctrl+Z and Delete type no character');
}
{ // The prompt dialog: modal, Ctrl+Enter a new line, Enter is Okay.
  const from = (await lines(page)).length;
  await page.keyboard.press('g');
  await page.waitForFunction(() => VornaPage.prompting());
  equal(await page.textContent('#vorna-dialog-prompt'), 'Your name?'.padEnd(79), 'the dialog shows the prompt line');
  await page.mouse.click(5, 5); // outside: the dialog stays
  await page.keyboard.type('Ann');
  await page.keyboard.press('Control+Enter');
  await page.keyboard.type('Lee');
  await page.keyboard.press('Enter');
  equal(await printed(page, from, 3), ['key 103', 'entry [Ann\r', 'Lee]'], 'the entry, its line break as CR LF');
  check(!(await page.evaluate(() => VornaPage.prompting())), 'the dialog has closed');
}

// ---------------------------------------------------------------------------------------------
// The Run menu and its Ctrl keys; ticks; an idle wait uses no CPU
// ---------------------------------------------------------------------------------------------
const texts = await page.evaluate(() => VornaPage.menuItems().map((i) => [i.text, i.flags, i.mnemonic]));
equal(texts.slice(0, 3), [['Animate' + 'Ctrl+A', 0, 'a'], ['Halt animation' + 'Ctrl+H', 0, 'h'],
                          ['Advance one frame' + 'Ctrl+F', 0, 'f']], 'the first items, shortcuts and mnemonics');
equal(texts.filter((t) => t[1] & 2).length, 4, 'the four credit lines are grayed');
async function ticksDuring(ms) {
  const from = (await lines(page)).length;
  await page.waitForTimeout(ms);
  return (await lines(page)).slice(from).filter((l) => l.startsWith('tick')).length;
}
async function menuChoose(text) {
  await page.click('.vorna-menu-title');
  await page.click(`.vorna-item:has-text("${text}")`);
}
// Each way of giving a command: the menu by mouse, by Alt+R and the mnemonic, and Ctrl+letter.
const WAYS = {
  menu: (item) => menuChoose(item.text),
  mnemonic: async (item) => { await page.keyboard.press('Alt+KeyR'); await page.keyboard.press(item.mnemonic); },
  ctrl: (item) => page.keyboard.press('Control+Key' + item.mnemonic.toUpperCase()),
};
const ANIMATE = { text: 'Animate', mnemonic: 'a' }, HALT = { text: 'Halt animation', mnemonic: 'h' },
      STEP = { text: 'Advance one frame', mnemonic: 'f' }, LOGGING = { text: 'Logging', mnemonic: 'l' };
for (const [way, give] of Object.entries(WAYS)) {
  await give(ANIMATE);
  check((await ticksDuring(500)) >= 3, `${way}: Animate starts the ticks`);
  await give(HALT);
  await page.waitForTimeout(150);
  equal(await ticksDuring(400), 0, `${way}: Halt stops them`);
  const before = (await lines(page)).length;
  await give(STEP);
  await page.waitForTimeout(400);
  equal((await lines(page)).slice(before).filter((l) => l.startsWith('tick')).length, 1,
    `${way}: Advance one frame gives one tick and no more`);
  await give(LOGGING);
  equal(await flags(page, 4), 1, `${way}: Logging is checked`);
  await give(LOGGING);
  equal(await flags(page, 4), 0, `${way}: and unchecked again`);
}
{ // Ticks every 100 ms (+-10 %), then every 50 ms after VORNA_set_tick_interval(50).
  for (const [key, period] of [[null, 100], ['i', 50]]) {
    if (key) await page.keyboard.press(key);
    await page.keyboard.press('Control+KeyA');
    await page.waitForTimeout(300);
    const times = await page.evaluate(() => VornaPage.stdout.map((l, i) => [l, VornaPage.stdoutTimes[i]]));
    const from = times.length;
    await page.waitForTimeout(period * 20);
    const ticks = (await page.evaluate(() => VornaPage.stdout.map((l, i) => [l, VornaPage.stdoutTimes[i]])))
      .slice(from).filter((t) => t[0].startsWith('tick')).map((t) => t[1]);
    const gaps = ticks.slice(1).map((t, i) => t - ticks[i]).sort((a, b) => a - b);
    const mean = (ticks[ticks.length - 1] - ticks[0]) / (ticks.length - 1);
    const median = gaps[Math.floor(gaps.length / 2)];
    check(Math.abs(mean - period) <= period * 0.1 && Math.abs(median - period) <= period * 0.1,
      `ticks every ${period} ms: mean ${mean.toFixed(1)}, median ${median.toFixed(1)} over ${ticks.length}`);
    await page.keyboard.press('Control+KeyH');
  }
}
{ // A program waiting for input leaves the page's main thread idle (the timer's wake-ups aside).
  await page.waitForTimeout(300);
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  const metric = async () => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  const before = await metric();
  await page.waitForTimeout(2000);
  const busy = (await metric()) - before;
  check(busy < 0.06, `the main thread is busy ${(busy * 1000).toFixed(1)} ms of 2000 ms while the program waits`);
}

// ---------------------------------------------------------------------------------------------
// Scripts: record, keep across a reload, replay, play one; download and upload; pictures
// ---------------------------------------------------------------------------------------------
{
  await page.keyboard.press('Control+KeyR');
  equal(await flags(page, 5), 1, 'Ctrl+R checks Record Script');
  for (const rgb of ['FF0000', '0000FF']) { const at = await find(page, rgb); await page.mouse.click(at[0], at[1]); }
  await page.keyboard.press('q');
  await page.keyboard.press('Control+KeyR');
  equal(await flags(page, 5), 0, 'Ctrl+R again ends the recording');
  const download = page.waitForEvent('download');
  await page.click('#vorna-download-script');
  const file = await download;
  const saved = readFileSync(await file.path(), 'latin1');
  equal(file.suggestedFilename(), 'VORNA.SCR', 'the script downloads as VORNA.SCR');
  check(/VORNA_MOUSE\(-250, 200\);[\s\S]*VORNA_MOUSE\(250, 200\);[\s\S]*VORNA_KBD\(113\);/.test(saved),
    'the downloaded script holds the two clicks and the key');
  await page.reload();
  await page.waitForFunction(() => VornaPage.presented > 0);
  const from = (await lines(page)).length;
  await page.keyboard.press('Control+KeyO');
  equal(await printed(page, from, 1), ['mouse -250 200'], 'after a reload Ctrl+O plays one event of the kept script');
  await page.keyboard.press('Control+KeyP');
  equal(await printed(page, from + 1, 2), ['mouse 250 200', 'key 113'], 'Ctrl+P plays the rest');
  // A script loaded from a file replaces the kept one.
  const dir = mkdtempSync(join(tmpdir(), 'vorna-web-'));
  writeFileSync(join(dir, 'mine.scr'), 'VORNA_MOUSE(123, -77);\nVORNA_KBD(55);\n');
  await page.setInputFiles('#vorna-script-file', join(dir, 'mine.scr'));
  await page.waitForFunction(() => /Loaded/.test(document.getElementById('vorna-status').textContent));
  const from2 = (await lines(page)).length;
  await page.keyboard.press('Control+KeyP');
  equal(await printed(page, from2, 2), ['mouse 123 -77', 'key 55'], 'a loaded script plays');
  // F12 and VORNA_save_picture download PNG files.
  for (const [key, name] of [['F12', 'VORNA-0001.png'], ['s', 'probe.png']]) {
    const picture = page.waitForEvent('download');
    await page.keyboard.press(key);
    const got = await picture;
    const bytes = readFileSync(await got.path());
    check(got.suggestedFilename() === name && bytes.subarray(1, 4).toString() === 'PNG',
      `${key} downloads ${got.suggestedFilename()} (${bytes.length} bytes of PNG)`);
  }
  await page.keyboard.press('Control+KeyQ');
  equal(await page.evaluate(() => VornaPage.finished), 0, 'Ctrl+Q ends the program with status 0');
  equal((await lines(page)).slice(-1), ['quit'], 'the program saw the quit');
  await page.close();
}

// ---------------------------------------------------------------------------------------------
// Full input: VORNA_wait, held keys, buttons, the wheel, moves
// ---------------------------------------------------------------------------------------------
{
  page = await open('probe.html');
  await page.keyboard.press('f');
  await page.waitForTimeout(100);
  const box = await page.evaluate(() => { const b = document.getElementById('vorna-canvas').getBoundingClientRect(); return [b.left, b.top]; });
  const px = (x, y) => [box[0] + 300 + x + 0.5, box[1] + 258 - y + 0.5];
  const CASES = [
    ['ArrowLeft', async () => page.keyboard.press('ArrowLeft'), ['wait 2 0 0 256 0 0 0 0 0', 'wait 5 0 0 256 0 0 0 0 0']],
    ['Shift+A', async () => page.keyboard.press('Shift+KeyA'), ['wait 2 0 0 65 0 0 1 0 1', 'wait 5 0 0 65 0 0 1 0 0']],
    ['Ctrl+B', async () => page.keyboard.press('Control+KeyB'), ['wait 2 0 0 98 0 0 2 0 0', 'wait 5 0 0 98 0 0 2 0 0']],
    ['F5', async () => page.keyboard.press('F5'), ['wait 2 0 0 274 0 0 0 0 0', 'wait 5 0 0 274 0 0 0 0 0']],
    ['held a', async () => { await page.keyboard.down('a'); await page.waitForTimeout(50); await page.keyboard.up('a'); },
      ['wait 2 0 0 97 0 0 0 0 1', 'wait 5 0 0 97 0 0 0 0 0']],
    ['right button', async () => { const [x, y] = px(10, 20); await page.mouse.move(x, y); await page.mouse.down({ button: 'right' }); await page.mouse.up({ button: 'right' }); },
      ['wait 7 10 20 0 0 0 0 0 0', 'wait 1 10 20 0 2 0 0 0 0', 'wait 6 10 20 0 2 0 0 0 0']],
    ['wheel', async () => { await page.mouse.wheel(0, -100); }, ['wait 8 10 20 0 0 1 0 0 0']],
    ['left drag', async () => {
      const [x1, y1] = px(-30, -40), [x2, y2] = px(-20, -45);
      await page.mouse.move(x1, y1); await page.mouse.down(); await page.mouse.move(x2, y2); await page.mouse.up();
    }, ['wait 7 -30 -40 0 0 0 0 0 0', 'wait 1 -30 -40 0 1 0 0 0 0', 'wait 7 -20 -45 0 1 0 0 0 0', 'wait 6 -20 -45 0 1 0 0 0 0']],
  ];
  for (const [what, act, expected] of CASES) {
    const from = (await lines(page)).length;
    await act();
    equal(await printed(page, from, expected.length), expected, `VORNA_wait: ${what}`);
  }
  await page.keyboard.press('f');
  await page.close();
}

// ---------------------------------------------------------------------------------------------
// Teaching aids on the function keys (Shift with them under VORNA_wait); the browser's own
// meanings of those keys never act
// ---------------------------------------------------------------------------------------------
{
  page = await open('probe.html');
  await page.evaluate(() => {
    window.notReloaded = true;
    window.functionKeys = [];
    window.addEventListener('keydown', (e) => { if (/^F[0-9]+$/.test(e.key)) functionKeys.push(e.defaultPrevented); });
  });
  const box = await page.evaluate(() => { const b = document.getElementById('vorna-canvas').getBoundingClientRect(); return [b.left, b.top]; });
  const px = (x, y) => [box[0] + 300 + x + 0.5, box[1] + 258 - y + 0.5];
  const sizes = () => page.evaluate(() => [VornaPage.consoleLines.length, VornaPage.stdout.length]);
  // The mean gap between ticks while animating, as "about N ms" when within a quarter of N.
  const tickGap = async () => {
    await page.keyboard.press('Control+KeyA');
    await page.waitForTimeout(300);
    const from = (await sizes())[1];
    await page.waitForTimeout(1600);
    await page.keyboard.press('Control+KeyH');
    const t = await page.evaluate((f) => VornaPage.stdoutTimes.filter((_, i) => i >= f && VornaPage.stdout[i].startsWith('tick')), from);
    return (t[t.length - 1] - t[0]) / (t.length - 1);
  };
  // Stops the capture key's recording half a second after it began: what the download holds.
  const recorded = async () => {
    const download = page.waitForEvent('download');
    await page.waitForTimeout(500);
    await page.keyboard.press('F6');
    const got = await download;
    const reader = new GifReader(readFileSync(await got.path()));
    const [width, height] = [reader.width, reader.height];
    const shown = new Uint8Array(width * height * 4);
    let delay = 0;
    for (let i = 0; i < reader.numFrames(); i++) {
      reader.decodeAndBlitFrameRGBA(i, shown);
      delay += reader.frameInfo(i).delay;
    }
    // The page's canvas is the window's client area, the top of the program's canvas.
    const canvas = await page.evaluate(() => { const c = document.getElementById('vorna-canvas');
      return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data); });
    return { name: got.suggestedFilename(), size: [width, height], frames: reader.numFrames(), loop: reader.loopCount(),
      differing: canvas.length > width * 4 * 400 ? canvas.filter((v, i) => v !== shown[i]).length : 'no canvas', delay };
  };
  const about = (gap, ms) => (Math.abs(gap - ms) <= ms / 4 ? `about ${ms} ms` : `${gap.toFixed(1)} ms`);
  const AIDS = [ // keys, what is done then, what is observed, expected
    [['F1'], null, ({ c }) => [c.length, c[0], c[5]],
      [7, 'Teaching aids (keys):', '  F5  tick speed x1, x2, x4, x0.25, x0.5 (now x1)']],
    [['F2'], () => page.mouse.move(...px(123, -77)), ({ o }) => o.label.slice(0, 2).concat(o.label[2]),
      [423, 335, '(123, -77) orange']],
    [['F3'], null, ({ o }) => o.grid, [300, 258]],
    [['F4', 'd'], () => page.mouse.click(...px(-250, 200)), ({ o, c, s }) => [c.slice(-1), o.outline, s],
      [['Inspector (-250, 200): call 7 since the last clear: red rectangle with bounding box (-254,204) to (-246,196), filled'],
        { shape: 1, points: [[46, 54], [54, 54], [54, 62], [46, 62]] }, ['key 100']]], // the click is the inspector's
    [['F5'], tickGap, ({ o, t }) => [o.badge, about(t, 50)], ['speed x2', 'about 50 ms']],
    [['F5', 'F5', 'F5'], tickGap, ({ o, t }) => [o.badge, about(t, 200)], ['speed x0.5', 'about 200 ms']],
    // F6 again stops the recording, which downloads: its frames, laid one over the other as a
    // player shows them, are the canvas; it loops for ever and lasts as long as it recorded.
    [['F6'], recorded, ({ o, c, t }) => [o.badge, c[0], c[1].startsWith(`Saved animation VORNA-0001.gif (${t.frames} frame`),
      t.name, t.size, t.frames >= 1, t.loop, t.differing, t.delay >= 40 && t.delay <= 150],
      ['speed x0.5', 'Recording animation VORNA-0001.gif', true, 'VORNA-0001.gif', [601, 540], true, 0, 0, true]],
    [['F2', 'F3', 'F4', 'F5'], null, ({ o }) => o, { grid: null, label: null, badge: '', outline: null }],
    // The dialog's edit has the focus: F5 neither reloads the page nor reaches an aid.
    [['g'], async () => { await page.waitForFunction(() => VornaPage.prompting()); await page.keyboard.press('F5'); await page.keyboard.press('Enter'); },
      ({ o, s }) => [o.badge, s], ['', ['key 103', 'entry []']]],
    // Under VORNA_wait the plain keys are the program's.
    [['f', 'F3', 'F5'], null, ({ o, s }) => [o.grid, s.slice(2)],
      [null, ['wait 2 0 0 272 0 0 0 0 0', 'wait 5 0 0 272 0 0 0 0 0', 'wait 2 0 0 274 0 0 0 0 0', 'wait 5 0 0 274 0 0 0 0 0']]],
    [['Shift+F3', 'Shift+F1'], null, ({ o, c, s }) => [o.grid, c[1], s], [[300, 258], '  Shift+F1  this list', []]],
  ];
  for (const [keys, act, observe, expected] of AIDS) {
    const [consoleFrom, stdoutFrom] = await sizes();
    for (const key of keys) await page.keyboard.press(key);
    const t = act ? await act() : null;
    await page.waitForTimeout(200);
    const [c, s, o] = await page.evaluate(([cf, sf]) => [VornaPage.consoleLines.slice(cf), VornaPage.stdout.slice(sf),
      VornaPage.overlayState()], [consoleFrom, stdoutFrom]);
    equal(observe({ o, c, s, t }), expected, `aids: ${keys.join(' ')}`);
  }
  const kept = await page.evaluate(() => [window.notReloaded, functionKeys.length, functionKeys.every((p) => p)]);
  equal(kept, [true, 19, true], 'every function key is kept from the browser (the page was not reloaded)');
  await page.close();
}

// ---------------------------------------------------------------------------------------------
// Unattended runs: query parameters; the corrections of bad input equal the desktop's
// ---------------------------------------------------------------------------------------------
{
  const script = 'VORNA_KBD(98);\nVORNA_MOUSE(1, 2);\n';
  page = await open('probe.html', '?play_text=' + encodeURIComponent(script) + '&play_exit=1&log=run.log&picture=end.png');
  equal(await page.evaluate(() => VornaPage.finished), 0, 'an unattended run ends by itself with status 0');
  const log = await page.evaluate(() => new TextDecoder('latin1').decode(VornaPage.readFile('run.log')));
  const png = await page.evaluate(() => Array.from(VornaPage.pictures['end.png'] || []).slice(1, 4));
  equal(String.fromCharCode(...png), 'PNG', 'the picture of the run is kept for the page');
  const dir = mkdtempSync(join(tmpdir(), 'vorna-web-native-'));
  writeFileSync(join(dir, 'play.scr'), script);
  execFileSync(nativeProbe, [], { cwd: dir, env: { ...process.env, QT_QPA_PLATFORM: 'offscreen',
    VORNA_PLAY: 'play.scr', VORNA_PLAY_EXIT: '1', VORNA_LOG: 'run.log' }, stdio: 'ignore' });
  const nativeLog = readFileSync(join(dir, 'run.log'), 'latin1');
  check(/not possible/.test(log), 'the page\'s log holds corrections');
  equal(log, nativeLog, 'the page\'s log (corrections included) equals the desktop\'s');
  const bad = await page.evaluate(() => new TextDecoder().decode(VornaPage.readFile('nothing.scr') || new Uint8Array()));
  equal(bad, '', 'no such file reads as nothing');
  await page.close();
  // A variable that cannot work ends the run before it starts, with the desktop's message.
  page = await open('probe.html', '?play=missing.scr');
  equal(await page.evaluate(() => VornaPage.finished), 2, 'a missing play script ends the run with status 2');
  check((await page.evaluate(() => VornaPage.stderr.join('\n'))).includes('VORNA_PLAY'), 'and says why on stderr');
  await page.close();
}

// ---------------------------------------------------------------------------------------------
// Every docs example draws the desktop's picture, text glyphs aside, around the origin
// ---------------------------------------------------------------------------------------------
{
  // Desktop pixel = web pixel + shift. Only the pixels 8 or more from every edge count: the
  // edges follow each platform's drawing area, as does where the origin falls in it.
  async function compare(name, file, shifts) {
    page = await open(name + '.html', '?play_text=&play_exit=1&picture=' + file);
    await page.evaluate(() => VornaPage.finished);
    const desktop = readFileSync(join(picturesDir, file)).toString('base64');
    const result = await page.evaluate(async ([name, desktopBase64, shifts]) => {
      async function pixels(bytes) {
        const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
        const c = new OffscreenCanvas(bitmap.width, bitmap.height);
        const x = c.getContext('2d');
        x.drawImage(bitmap, 0, 0);
        return { w: bitmap.width, h: bitmap.height, data: x.getImageData(0, 0, bitmap.width, bitmap.height).data };
      }
      const web = await pixels(VornaPage.pictures[name + '.png']);
      const desk = await pixels(Uint8Array.from(atob(desktopBase64), (c) => c.charCodeAt(0)));
      // Text is masked with room for a wider desktop face.
      const masked = (x, y) => VornaPage.textRects.some(([l, t, w, h]) => x >= l - 4 && x < l + 2 * w + 8 && y >= t - 6 && y < t + h + 8);
      const EDGE = 8;
      let best = null;
      for (const [sx, sy] of shifts) {
        let differing = 0, compared = 0, first = null;
        for (let y = EDGE; y < web.h - EDGE && !(best && differing > best.differing); y++) {
          const dy = y + sy;
          if (dy < EDGE || dy >= desk.h - EDGE) continue;
          for (let x = EDGE; x < web.w - EDGE; x++) {
            const dx = x + sx;
            if (dx < EDGE || dx >= desk.w - EDGE || masked(x, y)) continue;
            const a = (y * web.w + x) * 4, b = (dy * desk.w + dx) * 4;
            compared++;
            if (web.data[a] !== desk.data[b] || web.data[a + 1] !== desk.data[b + 1] || web.data[a + 2] !== desk.data[b + 2]) {
              differing++;
              first = first || [x, y];
            }
          }
        }
        if (!best || differing < best.differing) best = { shift: [sx, sy], differing, compared, first };
      }
      return best;
    }, [name, desktop, shifts]);
    await page.close();
    return result;
  }
  // The shift comes from the picture of single pixels, then holds for every picture.
  const nearby = [];
  for (let sy = -40; sy <= 40; sy++) for (let sx = -8; sx <= 8; sx++) nearby.push([sx, sy]);
  const origin = await compare('put_pixel', 'put_pixel.png', nearby);
  for (const file of readdirSync(picturesDir).filter((f) => f.endsWith('.png'))) {
    const name = file.replace(/\.png$/, '');
    const result = await compare(name, file, [origin.shift]);
    check(result.differing === 0 && result.compared > 150000,
      `${name}: ${result.differing} of ${result.compared} pixels differ from the desktop picture ` +
      `(shifted ${result.shift}${result.first ? ', first at ' + result.first : ''})`);
  }
}

// ---------------------------------------------------------------------------------------------
// The docs' try-it page runs each program in its frame
// ---------------------------------------------------------------------------------------------
{
  page = await context.newPage();
  page.on('pageerror', (e) => failures.push('try.html: page error ' + e.message));
  await page.goto('file://' + join(pagesDir, 'try', 'try.html') + '#draw_oval');
  const running = async () => {
    const frame = page.frames().find((f) => f !== page.mainFrame());
    await frame.waitForFunction(() => window.VornaPage && VornaPage.presented > 0);
    return frame.evaluate(() => location.pathname.split('/').pop());
  };
  equal(await running(), 'draw_oval.html', 'try.html#draw_oval runs that example');
  await page.click('nav button:has-text("carscene")');
  await page.waitForFunction(() => document.getElementById('try-program').src.endsWith('/carscene.html'));
  equal(await running(), 'carscene.html', 'and a click runs the car scene');
  await page.close();
}

await browser.close();
if (failures.length) {
  console.log(`\n${failures.length} failed:\n  ` + failures.join('\n  '));
  process.exit(1);
}
console.log('\nall passed');
