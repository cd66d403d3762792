// gif_frames.js: the frames of the browser build's animated GIFs (web_gif.cpp calls VornaGif.*).
//
// The files are made as the desktop makes them: a frame is the smallest rectangle around the
// pixels that changed since the frame before, the unchanged ones inside it transparent, with a
// colour table of its own, so the runtime's 24 colours are always exact. While a frame's changed
// pixels have at most 255 colours every one is exact; beyond that the 255 most frequent are kept
// and each other colour takes the nearest of them. Frames stay in place (disposal 1), the
// animation loops for ever, delays are in hundredths of a second. The bytes go to the program's
// file a frame at a time: each recording holds only its last frame and one frame's bytes.
var VornaGif = (function () {
  'use strict';
  var G = {};
  var COLORS_MAX = 255;     // a colour table has 256 entries; one is the transparent index
  var DELAY_CS_MAX = 65535; // the longest delay a frame can say
  var DISPOSE_KEEP = 1;
  var LOOP_FOREVER = 0;
  var encoders = {};        // id -> a recording's state
  var nextId = 1;

  function distance(a, b) {
    var dr = (a >> 16 & 255) - (b >> 16 & 255), dg = (a >> 8 & 255) - (b >> 8 & 255), db = (a & 255) - (b & 255);
    return dr * dr + dg * dg + db * db;
  }
  function nearest(palette, count, color) {
    var best = 0, bestDistance = Infinity;
    for (var i = 0; i < count; i++) {
      var d = distance(palette[i], color);
      if (d < bestDistance) { best = i; bestDistance = d; }
    }
    return best;
  }

  // Starts a file of width x height frames: its id, its header waiting in its bytes.
  G.open = function (width, height) {
    // The most one frame can take: its colour table, the headers and at most 12 bits a pixel.
    var buffer = new Uint8Array(width * height * 2 + 1024);
    var writer = new GifWriter(buffer, width, height, { loop: LOOP_FOREVER });
    var id = nextId++;
    encoders[id] = { writer: writer, buffer: buffer, width: width, height: height, previous: null };
    return id;
  };

  // Adds the frame of 0xFFRRGGBB pixels (stride pixels from row to row) at pointer pixels.
  G.frame = function (id, pixels, stride, delay) {
    var e = encoders[id], width = e.width, height = e.height;
    var first = e.previous === null;
    if (first) e.previous = new Uint32Array(width * height);
    var previous = e.previous, heap = HEAPU32, base = pixels >> 2;
    var x, y, color;
    // The rectangle around what changed; an unchanged frame is one transparent pixel that only
    // holds the delay.
    var left = width, right = -1, top = height, bottom = -1;
    for (y = 0; y < height; y++) {
      for (x = 0; x < width; x++) {
        color = heap[base + y * stride + x] & 0xFFFFFF;
        if (first || color !== previous[y * width + x]) {
          if (x < left) left = x;
          if (x > right) right = x;
          if (y < top) top = y;
          bottom = y;
        }
      }
    }
    if (right < 0) left = right = top = bottom = 0;
    // The changed pixels' colours, counted in the order they are found.
    var counts = new Map();
    for (y = top; y <= bottom; y++) {
      for (x = left; x <= right; x++) {
        color = heap[base + y * stride + x] & 0xFFFFFF;
        if (first || color !== previous[y * width + x]) counts.set(color, (counts.get(color) || 0) + 1);
      }
    }
    var colors = Array.from(counts.keys()), kept = colors.length;
    if (kept > COLORS_MAX) {
      colors.sort(function (a, b) { return counts.get(b) - counts.get(a); }); // stable: ties keep their order
      kept = COLORS_MAX;
    }
    var size = 2;
    while (size < kept + 1) size *= 2;
    var palette = new Array(size).fill(0), index = new Map();
    for (var i = 0; i < colors.length; i++) {
      if (i < kept) palette[i] = colors[i];
      index.set(colors[i], i < kept ? i : nearest(palette, kept, colors[i]));
    }
    var transparent = kept, w = right - left + 1, h = bottom - top + 1;
    var indices = new Uint8Array(w * h);
    for (y = top; y <= bottom; y++) {
      for (x = left; x <= right; x++) {
        color = heap[base + y * stride + x] & 0xFFFFFF;
        var at = y * width + x;
        if (first || color !== previous[at]) {
          indices[(y - top) * w + x - left] = index.get(color);
          previous[at] = color;
        } else {
          indices[(y - top) * w + x - left] = transparent;
        }
      }
    }
    e.writer.addFrame(left, top, w, h, indices, {
      palette: palette, delay: Math.min(Math.max(delay, 0), DELAY_CS_MAX), disposal: DISPOSE_KEEP,
      transparent: first ? null : transparent });
  };

  // Ends the file: its trailer waits in its bytes.
  G.end = function (id) { encoders[id].writer.end(); };

  // The number of bytes written since they were last taken.
  G.pending = function (id) { return encoders[id].writer.getOutputBufferPosition(); };

  // Copies those bytes to the program's memory at to, and starts the next ones at the front.
  G.take = function (id, to) {
    var e = encoders[id], n = e.writer.getOutputBufferPosition();
    HEAPU8.set(e.buffer.subarray(0, n), to);
    e.writer.setOutputBufferPosition(0);
  };

  G.forget = function (id) { delete encoders[id]; };
  return G;
})();
