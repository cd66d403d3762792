// gif_frames_test.mjs: the browser build's GIF frames (platform/web/gif_frames.js) under node,
// read back with omggif's reader: what a player shows after each frame, each frame's rectangle,
// colours and delay.
//   node gif_frames_test.mjs PLATFORM_WEB_DIR
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import vm from 'node:vm';
import omggif from 'omggif';

const [webDir] = process.argv.slice(2);
const W = 40, H = 30;
const memory = new ArrayBuffer(1 << 20);
const page = vm.createContext({ HEAPU8: new Uint8Array(memory), HEAPU32: new Uint32Array(memory) });
for (const name of ['gif_writer.js', 'gif_frames.js']) vm.runInContext(readFileSync(join(webDir, name), 'utf8'), page);
const { VornaGif, HEAPU8, HEAPU32 } = page;
const failures = [];
const equal = (actual, expected, what) => {
  const ok = JSON.stringify(actual) === JSON.stringify(expected);
  if (!ok) failures.push(what);
  console.log(`${ok ? 'ok' : 'FAIL'} - ${what}${ok ? '' : `: ${JSON.stringify(actual)} != ${JSON.stringify(expected)}`}`);
};

// Frames as the runtime gives them: 0xFFRRGGBB with a stride wider than the picture.
const STRIDE = W + 3, PIXELS = 4096;
const put = (frame) => frame.forEach((rgb, i) => { HEAPU32[PIXELS / 4 + Math.floor(i / W) * STRIDE + i % W] = 0xFF000000 | rgb; });
const PALETTE = [0x000000, 0xFFFFFF, 0xFF0000, 0x00AA00, 0x0000FF, 0xFFA500, 0x808080, 0xC0C0C0, 0x800080, 0xFFFF00,
  0x00FFFF, 0xFF00FF, 0x8B4513, 0x006400, 0x000080, 0xFFC0CB, 0x4B0082, 0x40E0D0, 0x800000, 0x808000, 0x008080,
  0xF5F5DC, 0xFFD700, 0x2F4F4F];
const random = (() => { let s = 7; return () => (s = (s * 1103515245 + 12345) >>> 0) >>> 8; })();
const scene = Array.from({ length: W * H }, () => PALETTE[random() % PALETTE.length]);
const moved = scene.slice();
for (let y = 5; y <= 9; y++) for (let x = 12; x <= 20; x++) moved[y * W + x] = PALETTE[(x + y) % PALETTE.length];
moved[5 * W + 12] = scene[5 * W + 12] = 0x123456; // a corner that stays: transparent in its frame
// 300 colours: 256 of them four pixels each, 44 rarer ones one pixel each, each near a frequent one.
const many = Array.from({ length: W * H }, (_, i) => (i < 1024 ? 0x010101 * (i >> 2) : 0x000000));
for (let i = 0; i < 44; i++) many[1024 + i] = (0x010101 * (i * 5)) ^ 0x000001;
many.fill(0x00FF00, 1068);
const nearestKept = (rgb, kept) => kept.reduce((best, k) => {
  const d = (c) => ((c >> 16 & 255) - (rgb >> 16 & 255)) ** 2 + ((c >> 8 & 255) - (rgb >> 8 & 255)) ** 2 + ((c & 255) - (rgb & 255)) ** 2;
  return d(k) < d(best) ? k : best;
});

const CASES = [ // what, frame, delay given, expected rectangle [x, y, w, h], delay written, what a player shows
  ['24 colours, the whole first frame', scene, 7, [0, 0, W, H], 7, scene],
  ['only the changed rectangle', moved, 12, [12, 5, 9, 5], 12, moved],
  ['an unchanged frame holds its delay', moved, 90000, [0, 0, 1, 1], 65535, moved],
  ['back to the first frame', scene, -3, [12, 5, 9, 5], 0, scene],
];
const id = VornaGif.open(W, H);
const chunks = [];
const take = () => {
  const n = VornaGif.pending(id);
  VornaGif.take(id, 65536);
  chunks.push(HEAPU8.slice(65536, 65536 + n));
};
take();
for (const [, frame, delay] of CASES) { put(frame); VornaGif.frame(id, PIXELS, STRIDE, delay); take(); }
put(many);
VornaGif.frame(id, PIXELS, STRIDE, 5);
take();
VornaGif.end(id);
take();
VornaGif.forget(id);
const file = Buffer.concat(chunks);
const reader = new omggif.GifReader(file);
equal([reader.width, reader.height, reader.numFrames(), reader.loopCount(), file[file.length - 1]],
  [W, H, CASES.length + 1, 0, 0x3B], 'size, frames, loops for ever, ends with the trailer');
const shown = new Uint8Array(W * H * 4);
const rgbAt = (i) => shown[i * 4] << 16 | shown[i * 4 + 1] << 8 | shown[i * 4 + 2];
CASES.forEach(([what, , , rect, delay, expected], i) => {
  const info = reader.frameInfo(i);
  reader.decodeAndBlitFrameRGBA(i, shown);
  const differing = expected.filter((rgb, p) => rgbAt(p) !== rgb).length;
  equal([[info.x, info.y, info.width, info.height], info.delay, info.disposal, info.transparent_index !== null, differing],
    [rect, delay, 1, i > 0, 0], what);
});
{ // Beyond 255 colours the 255 most frequent stay exact and each other takes the nearest of them.
  const info = reader.frameInfo(CASES.length);
  reader.decodeAndBlitFrameRGBA(CASES.length, shown);
  const counts = new Map();
  many.forEach((rgb, p) => { if (rgb !== scene[p]) counts.set(rgb, (counts.get(rgb) || 0) + 1); });
  const kept = [...counts.keys()].sort((a, b) => counts.get(b) - counts.get(a)).slice(0, 255);
  const expected = many.map((rgb, p) => (rgb === scene[p] || kept.includes(rgb) ? rgb : nearestKept(rgb, kept)));
  const wrong = expected.filter((rgb, p) => rgbAt(p) !== rgb).length;
  equal([info.palette_size, counts.size > 255, wrong], [256, true, 0], 'more than 255 colours: the rarest take the nearest kept');
}
if (failures.length) {
  console.log(`${failures.length} failed`);
  process.exit(1);
}
