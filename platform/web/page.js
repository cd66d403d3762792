// page.js: the page's side of the browser backend (platform/web/*.cpp call VornaPage.*).
//
// The page's handlers turn clicks, keys, the menu and the timers into messages on the runtime's
// queue (the exported web_* functions) and wake the program's wait; the runtime's calls draw
// the canvas, the console, the menu, the prompt dialog and the overlays. The script VORNA.SCR
// lives in the browser's storage and is put in the program's files at start.
//
// Query parameters stand for the unattended variables: ?play=VORNA.SCR&play_exit=1&picture=a.png
// (also picture_at, log, log_limit, record, answers); play_text=... and answers_text=... give
// the content of the file that play or answers name. The page's API for a marking run:
// VornaPage.finished (a promise of the exit status), VornaPage.readFile(name),
// VornaPage.pictures (every PNG saved, by name), VornaPage.animations (every GIF the capture
// key recorded, by name).
var VornaPage = (function () {
  'use strict';
  var P = {};
  var MSG = { TIMER: 5, LBUTTON_DOWN: 6, KEY_DOWN: 7, KEY_UP: 8, BUTTON_DOWN: 13, BUTTON_UP: 14,
              MOUSE_MOVE: 15, WHEEL: 16 };
  var MENU_CHECKED = 1, MENU_GRAYED = 2;
  var KEY = { LEFT: 256, RIGHT: 257, UP: 258, DOWN: 259, HOME: 260, END: 261, PAGE_UP: 262, PAGE_DOWN: 263,
              INSERT: 264, DELETE: 265, ESCAPE: 266, ENTER: 267, TAB: 268, BACKSPACE: 269, F1: 270 };
  var CONSOLE_ROWS = 25;
  var DEFAULT_TEXT_SIZE = 13;
  var SCRIPT_NAME = 'VORNA.SCR';
  var ANIMATION_NAME = /\/VORNA-[0-9]{4}\.gif$/;
  var O_ACCMODE = 3; // the open flags that say read, write or both (read is 0)
  var STORAGE_KEY = 'vorna-script:' + location.pathname;
  var VARIABLES = ['play', 'play_exit', 'picture', 'picture_at', 'log', 'log_limit', 'record', 'answers'];

  function $(id) { return document.getElementById(id); }
  var canvas = $('vorna-canvas'), context = canvas.getContext('2d');
  var overlay = $('vorna-overlay'), overlayContext = overlay.getContext('2d');
  var query = new URLSearchParams(location.search);
  var unattended = query.get('play_exit') === '1';

  P.wake = null;            // resolves the program's sleeping wait
  P.pictures = {};          // name -> Uint8Array of every PNG the program saved
  P.animations = {};        // name -> Uint8Array of every animation the capture key recorded
  P.stdout = [];            // what the program printed to stdout, line by line
  P.stdoutTimes = [];       // performance.now() of each stdout line
  P.stderr = [];
  P.presented = 0;          // pictures put on the canvas (tests wait on it)
  P.presentedAt = 0;        // performance.now() of the last one
  P.textRects = [];         // where text was drawn on the canvas: [left, top, width, height]
  var finish;
  P.finished = new Promise(function (resolve) { finish = resolve; });
  P.exitStatus = null;

  function wakeUp() {
    if (P.wake) { var wake = P.wake; P.wake = null; wake(); }
  }
  function latin1(pointer, n) {
    var s = '';
    for (var i = 0; i < n; i++) s += String.fromCharCode(HEAPU8[pointer + i]);
    return s;
  }
  function cString(pointer) { return pointer ? UTF8ToString(pointer) : ''; }
  function setStatus(text) { $('vorna-status').textContent = text; }
  // The lines kept for a page's reader (tests, a marking script): a program that prints for
  // hours must not fill the memory with them, so the oldest half goes when there are too many.
  var LINES_KEPT = 100000;
  function keepLine(lines, line) {
    if (lines.length >= LINES_KEPT) lines.splice(0, LINES_KEPT / 2);
    lines.push(line);
  }
  P.printed = function (text) {
    keepLine(P.stdoutTimes, performance.now());
    keepLine(P.stdout, text);
  };
  P.printedError = function (text) {
    keepLine(P.stderr, text);
    console.warn(text);
  };

  // ------------------------------------------------------------------------------------------
  // Windows, picture and text
  // ------------------------------------------------------------------------------------------
  P.setTitle = function (title) { $('vorna-title').textContent = title; document.title = title; };
  P.clientSize = function () { return [canvas.width, canvas.height]; };
  P.showWindow = function (isConsole, show) {
    $(isConsole ? 'vorna-console-frame' : 'vorna-window').style.display = show ? '' : 'none';
  };
  P.present = function (pixels, width, height) {
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
    context.putImageData(new ImageData(bytes, width, height), 0, 0);
    P.presented++;
    P.presentedAt = performance.now();
  };

  var scratch = document.createElement('canvas');
  var scratchContext = scratch.getContext('2d', { willReadFrequently: true });
  var faces = {};
  function face(size) {
    var px = size > 0 ? size : DEFAULT_TEXT_SIZE;
    if (faces[px]) return faces[px];
    scratchContext.font = px + 'px monospace';
    var m = scratchContext.measureText('Mg');
    var ascent = Math.ceil(m.fontBoundingBoxAscent || px * 0.8);
    var descent = Math.ceil(m.fontBoundingBoxDescent || px * 0.25);
    faces[px] = { font: px + 'px monospace', ascent: ascent, height: ascent + descent };
    return faces[px];
  }
  P.textLineHeight = function (size) { return face(size).height; };
  P.textWidth = function (size, text, n) {
    var f = face(size);
    scratchContext.font = f.font;
    return Math.ceil(scratchContext.measureText(latin1(text, n)).width);
  };
  // A line's glyph coverage, drawn once on the scratch canvas and kept: programs draw the same
  // labels frame after frame, and reading a canvas back is far slower than blending.
  var coverages = {}, coverageCount = 0;
  var COVERAGES_KEPT = 512, TEXT_RECTS_KEPT = 4096;
  function coverage(f, s) {
    var key = f.font + '\u0000' + s, found = coverages[key];
    if (found) return found;
    scratchContext.font = f.font;
    var w = Math.ceil(scratchContext.measureText(s).width) + 2, h = f.height;
    if (scratch.width < w || scratch.height < h) {
      scratch.width = Math.max(scratch.width, w);
      scratch.height = Math.max(scratch.height, h);
    }
    scratchContext.clearRect(0, 0, w, h);
    scratchContext.font = f.font;
    scratchContext.textBaseline = 'alphabetic';
    scratchContext.fillStyle = '#000';
    scratchContext.fillText(s, 0, f.ascent);
    var rgba = scratchContext.getImageData(0, 0, w, h).data, alpha = new Uint8Array(w * h);
    for (var i = 0; i < alpha.length; i++) alpha[i] = rgba[i * 4 + 3];
    if (coverageCount >= COVERAGES_KEPT) { coverages = {}; coverageCount = 0; }
    coverageCount++;
    return (coverages[key] = { w: w, h: h, alpha: alpha });
  }
  P.drawText = function (pixels, width, height, left, top, size, text, n, color) {
    var f = face(size), s = latin1(text, n);
    var c = coverage(f, s);
    var x0 = Math.max(0, left), x1 = Math.min(width, left + c.w);
    var y0 = Math.max(0, top), y1 = Math.min(height, top + c.h);
    if (x1 <= x0 || y1 <= y0) return;
    var r = color & 255, g = (color >> 8) & 255, b = (color >> 16) & 255;
    var heap = HEAPU32, base = pixels >> 2;
    for (var y = y0; y < y1; y++) {
      var row = (y - top) * c.w - left;
      for (var x = x0; x < x1; x++) {
        var a = c.alpha[row + x];
        if (a === 0) continue;
        var at = base + y * width + x;
        var old = heap[at];
        var or = (old >> 16) & 255, og = (old >> 8) & 255, ob = old & 255;
        var nr = Math.round(or + (r - or) * a / 255), ng = Math.round(og + (g - og) * a / 255),
            nb = Math.round(ob + (b - ob) * a / 255);
        heap[at] = (0xFF000000 | (nr << 16) | (ng << 8) | nb) >>> 0;
      }
    }
    // Kept for the tests' picture compare; an animation's labels are not kept for ever.
    if (P.textRects.length >= TEXT_RECTS_KEPT) P.textRects.splice(0, TEXT_RECTS_KEPT / 2);
    P.textRects.push([x0, y0, x1 - x0, y1 - y0]);
  };
  P.encodePng = function (pixels, width, height, sizePointer) {
    var c = document.createElement('canvas');
    c.width = width;
    c.height = height;
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4).slice();
    c.getContext('2d').putImageData(new ImageData(bytes, width, height), 0, 0);
    var url = c.toDataURL('image/png');
    var binary = atob(url.substring(url.indexOf(',') + 1));
    var block = _malloc(binary.length);
    if (!block) return 0;
    for (var i = 0; i < binary.length; i++) HEAPU8[block + i] = binary.charCodeAt(i);
    HEAPU32[sizePointer >> 2] = binary.length;
    return block;
  };

  // ------------------------------------------------------------------------------------------
  // Console
  // ------------------------------------------------------------------------------------------
  var consoleBox = $('vorna-console');
  P.consoleLines = [];
  P.consoleLine = function (text, n) {
    var s = latin1(text, n).replace(/[\x00-\x1f]/g, function (c) {
      return String.fromCharCode(0x2400 + c.charCodeAt(0));
    });
    keepLine(P.consoleLines, s);
    var row = document.createElement('div');
    row.textContent = s;
    consoleBox.appendChild(row);
    while (consoleBox.childNodes.length > CONSOLE_ROWS) consoleBox.removeChild(consoleBox.firstChild);
  };
  P.consoleClear = function () { consoleBox.textContent = ''; };

  // ------------------------------------------------------------------------------------------
  // The Run menu: the runtime decides items, marks and states; the page only shows them
  // ------------------------------------------------------------------------------------------
  var menus = [], openMenu = null, activeItem = -1;
  function mnemonicText(container, text) {
    // "&" marks the mnemonic; "&&" is a plain "&".
    var mnemonic = '';
    for (var i = 0; i < text.length; i++) {
      if (text[i] === '&' && i + 1 < text.length) {
        i++;
        if (text[i] !== '&' && !mnemonic) {
          mnemonic = text[i].toLowerCase();
          var u = document.createElement('u');
          u.textContent = text[i];
          container.appendChild(u);
          continue;
        }
      }
      container.appendChild(document.createTextNode(text[i]));
    }
    return mnemonic;
  }
  P.menuCreate = function (index) {
    var popup = document.createElement('div');
    popup.className = 'vorna-popup';
    menus[index] = { popup: popup, items: [], title: null, mnemonic: '' };
  };
  P.menuItem = function (index, id, textPointer, flags) {
    var menu = menus[index], text = latin1(textPointer, HEAPU8.indexOf(0, textPointer) - textPointer);
    var element = document.createElement('div');
    var item = { id: id, element: element, flags: flags, mnemonic: '' };
    if (id < 0) {
      element.className = 'vorna-separator';
    } else {
      var tab = text.indexOf('\t');
      var check = document.createElement('span'), label = document.createElement('span'),
          shortcut = document.createElement('span');
      element.className = 'vorna-item';
      check.className = 'check'; label.className = 'label'; shortcut.className = 'shortcut';
      item.mnemonic = mnemonicText(label, tab >= 0 ? text.substring(0, tab) : text);
      shortcut.textContent = tab >= 0 ? text.substring(tab + 1) : '';
      element.append(check, label, shortcut);
      item.check = check;
      element.addEventListener('mouseenter', function () { highlight(menu, menu.items.indexOf(item)); });
      element.addEventListener('mousedown', function (e) { e.preventDefault(); });
      element.addEventListener('click', function () { choose(item); });
    }
    menu.items.push(item);
    showFlags(item);
    menu.popup.appendChild(element);
  };
  function showFlags(item) {
    if (item.id < 0) return;
    item.element.classList.toggle('grayed', (item.flags & MENU_GRAYED) !== 0);
    item.check.textContent = (item.flags & MENU_CHECKED) ? '\u2713' : '';
    item.element.setAttribute('aria-checked', (item.flags & MENU_CHECKED) ? 'true' : 'false');
  }
  P.menuAttach = function (index, titlePointer) {
    var menu = menus[index], bar = $('vorna-menubar');
    bar.textContent = '';
    var title = document.createElement('span');
    title.className = 'vorna-menu-title';
    menu.mnemonic = mnemonicText(title, cString(titlePointer));
    title.addEventListener('mousedown', function (e) {
      e.preventDefault();
      if (openMenu === menu) closeMenu(); else openPopup(menu);
    });
    menu.title = title;
    bar.append(title, menu.popup);
  };
  P.menuCheck = function (index, id, checked) {
    menus[index].items.forEach(function (item) {
      if (item.id !== id) return;
      item.flags = checked ? (item.flags | MENU_CHECKED) : (item.flags & ~MENU_CHECKED);
      showFlags(item);
    });
  };
  P.menuItems = function () { // for tests and the docs: what the bar shows
    return menus.length ? menus[menus.length - 1].items.map(function (item) {
      return { id: item.id, text: item.element.textContent, flags: item.flags, mnemonic: item.mnemonic };
    }) : [];
  };
  function openPopup(menu) {
    openMenu = menu;
    menu.popup.classList.add('open');
    menu.title.classList.add('open');
    highlight(menu, -1);
  }
  function closeMenu() {
    if (!openMenu) return;
    openMenu.popup.classList.remove('open');
    openMenu.title.classList.remove('open');
    openMenu = null;
    canvas.focus();
  }
  function highlight(menu, index) {
    activeItem = index;
    menu.items.forEach(function (item, i) { item.element.classList.toggle('active', i === index); });
  }
  function enabled(item) { return item && item.id >= 0 && (item.flags & MENU_GRAYED) === 0; }
  function choose(item) {
    if (!enabled(item)) return;
    closeMenu();
    Module._web_post_command(item.id);
  }
  function menuKey(e) {
    var items = openMenu.items, step = 0;
    if (e.key === 'Escape' || e.key === 'Alt') { closeMenu(); return; }
    if (e.key === 'ArrowDown') step = 1;
    else if (e.key === 'ArrowUp') step = -1;
    else if (e.key === 'Enter') { choose(items[activeItem]); return; }
    else if (e.key.length === 1) {
      var letter = e.key.toLowerCase();
      for (var i = 0; i < items.length; i++)
        if (items[i].mnemonic === letter && enabled(items[i])) { choose(items[i]); return; }
      return;
    }
    if (!step) return;
    var at = activeItem;
    for (var n = 0; n < items.length; n++) {
      at = (at + step + items.length) % items.length;
      if (enabled(items[at])) { highlight(openMenu, at); return; }
    }
  }
  document.addEventListener('mousedown', function (e) {
    if (openMenu && !$('vorna-menubar').contains(e.target)) closeMenu();
  });

  // ------------------------------------------------------------------------------------------
  // The prompt dialog: modal over the page until Okay
  // ------------------------------------------------------------------------------------------
  var prompting = false, promptDone = false;
  var edit = $('vorna-dialog-edit');
  P.promptOpen = function (titlePointer, promptPointer) {
    closeMenu();
    $('vorna-dialog-title').textContent = cString(titlePointer);
    $('vorna-dialog-prompt').textContent = latin1(promptPointer, HEAPU8.indexOf(0, promptPointer) - promptPointer);
    edit.value = '';
    var at = $('vorna-client').getBoundingClientRect();
    var dialog = $('vorna-dialog');
    dialog.style.left = (at.left + 50) + 'px';
    dialog.style.top = (at.top + 50) + 'px';
    $('vorna-modal').classList.add('open');
    prompting = true;
    promptDone = false;
    edit.focus();
  };
  P.promptFinished = function () { return promptDone; };
  P.promptClose = function (result, limit) {
    // Line breaks as CR LF, in Latin-1 (other characters as '?'), at most limit - 1 bytes.
    var text = edit.value.replace(/\r\n|\r|\n/g, '\r\n');
    var n = Math.min(text.length, limit - 1);
    for (var i = 0; i < n; i++) {
      var code = text.charCodeAt(i);
      HEAPU8[result + i] = code < 256 ? code : 63;
    }
    HEAPU8[result + n] = 0;
    $('vorna-modal').classList.remove('open');
    prompting = false;
    canvas.focus();
  };
  function promptOkay() {
    if (!prompting) return;
    promptDone = true;
    wakeUp();
  }
  $('vorna-dialog-ok').addEventListener('click', promptOkay);
  edit.addEventListener('keydown', function (e) {
    if (e.key === 'Enter') {
      e.preventDefault();
      if (e.ctrlKey) {
        var start = edit.selectionStart;
        edit.setRangeText('\n', start, edit.selectionEnd, 'end');
      } else {
        promptOkay();
      }
    }
  });
  // Modal: a click beside the dialog leaves the focus in it, as does any key typed elsewhere.
  $('vorna-modal').addEventListener('mousedown', function (e) {
    if ($('vorna-dialog').contains(e.target)) return;
    e.preventDefault();
    edit.focus();
  });
  P.prompting = function () { return prompting; };

  // ------------------------------------------------------------------------------------------
  // Teaching aids' overlays: over the picture on the screen only
  // ------------------------------------------------------------------------------------------
  var grid = null, label = null, badge = '', outline = null;
  var OUTLINE_POLYGON = 1, OUTLINE_ELLIPSE = 2, OUTLINE_LINE = 3;
  function drawOverlay() {
    var c = overlayContext, w = overlay.width, h = overlay.height;
    c.clearRect(0, 0, w, h);
    c.font = '11px sans-serif';
    if (grid) {
      c.lineWidth = 1;
      for (var x = grid[0] % 50; x < w; x += 50) {
        c.strokeStyle = x === grid[0] ? 'rgba(0,0,0,.7)' : 'rgba(0,0,160,.25)';
        c.beginPath(); c.moveTo(x + 0.5, 0); c.lineTo(x + 0.5, h); c.stroke();
        if (x !== grid[0]) { c.fillStyle = 'rgba(0,0,120,.8)'; c.fillText(String(x - grid[0]), x + 2, grid[1] - 2); }
      }
      for (var y = grid[1] % 50; y < h; y += 50) {
        c.strokeStyle = y === grid[1] ? 'rgba(0,0,0,.7)' : 'rgba(0,0,160,.25)';
        c.beginPath(); c.moveTo(0, y + 0.5); c.lineTo(w, y + 0.5); c.stroke();
        if (y !== grid[1]) { c.fillStyle = 'rgba(0,0,120,.8)'; c.fillText(String(grid[1] - y), grid[0] + 2, y - 2); }
      }
    }
    if (outline) {
      // Black under a dashed yellow: seen on every colour of the palette.
      var p = outline.points;
      [['#000', 3, []], ['rgb(255,230,0)', 1, [4, 2]]].forEach(function (pen) {
        c.strokeStyle = pen[0]; c.lineWidth = pen[1]; c.setLineDash(pen[2]);
        c.beginPath();
        if (outline.shape === OUTLINE_ELLIPSE && p.length >= 2) {
          c.ellipse((p[0][0] + p[1][0]) / 2 + 0.5, (p[0][1] + p[1][1]) / 2 + 0.5,
                    Math.abs(p[1][0] - p[0][0]) / 2, Math.abs(p[1][1] - p[0][1]) / 2, 0, 0, 2 * Math.PI);
        } else {
          p.forEach(function (q, i) { if (i) c.lineTo(q[0] + 0.5, q[1] + 0.5); else c.moveTo(q[0] + 0.5, q[1] + 0.5); });
          if (outline.shape === OUTLINE_POLYGON) c.closePath();
        }
        c.stroke();
      });
      c.setLineDash([]); c.lineWidth = 1;
    }
    if (badge) {
      var bw = c.measureText(badge).width + 10;
      c.fillStyle = 'rgba(255,255,200,.95)'; c.fillRect(w - bw - 4, 4, bw, 17);
      c.strokeStyle = '#886'; c.strokeRect(w - bw - 4 + 0.5, 4.5, bw - 1, 16);
      c.fillStyle = '#000'; c.fillText(badge, w - bw + 1, 16);
    }
    if (label) {
      var lw = c.measureText(label[2]).width + 8, lx = label[0] + 12, ly = label[1] + 12;
      if (lx + lw > w) lx = label[0] - lw - 4;
      if (ly + 17 > h) ly = label[1] - 21;
      lx = Math.max(0, lx); ly = Math.max(0, ly);
      c.fillStyle = 'rgba(255,255,255,.9)'; c.fillRect(lx, ly, lw, 17);
      c.strokeStyle = '#555'; c.strokeRect(lx + 0.5, ly + 0.5, lw - 1, 16);
      c.fillStyle = '#000'; c.fillText(label[2], lx + 4, ly + 12);
    }
  }
  P.showGrid = function (on, x, y) { grid = on ? [x, y] : null; drawOverlay(); };
  P.showLabel = function (on, x, y, text) { label = on ? [x, y, cString(text)] : null; drawOverlay(); };
  P.showBadge = function (text) { badge = cString(text); drawOverlay(); };
  P.showOutline = function (shape, xs, ys, count) {
    var points = [];
    for (var i = 0; i < count; i++) points.push([HEAP32[(xs >> 2) + i], HEAP32[(ys >> 2) + i]]);
    outline = count > 0 ? { shape: shape, points: points } : null;
    drawOverlay();
  };
  P.overlayState = function () { return { grid: grid, label: label, badge: badge, outline: outline }; };

  // ------------------------------------------------------------------------------------------
  // Timers
  // ------------------------------------------------------------------------------------------
  var timers = {};
  P.startTimer = function (id, period) {
    if (timers[id]) clearInterval(timers[id]);
    timers[id] = setInterval(function () { Module._web_post_timer(id); }, period);
  };
  function stopTimers() {
    Object.keys(timers).forEach(function (id) { clearInterval(timers[id]); });
    timers = {};
  }

  // ------------------------------------------------------------------------------------------
  // Input: the same messages, key values and modifiers as the desktop's
  // ------------------------------------------------------------------------------------------
  var running = false;
  function modifiers(e) { return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0); }
  var NAMED_VK = { Backspace: 8, Tab: 9, Enter: 13, Shift: 16, Control: 17, Alt: 18, Escape: 27, ' ': 32,
                   ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Delete: 46 };
  var NAMED_VALUE = { ArrowLeft: KEY.LEFT, ArrowRight: KEY.RIGHT, ArrowUp: KEY.UP, ArrowDown: KEY.DOWN,
                      Home: KEY.HOME, End: KEY.END, PageUp: KEY.PAGE_UP, PageDown: KEY.PAGE_DOWN,
                      Insert: KEY.INSERT, Delete: KEY.DELETE, Escape: KEY.ESCAPE, Enter: KEY.ENTER,
                      Tab: KEY.TAB, Backspace: KEY.BACKSPACE };
  var TYPED_CONTROL = { Backspace: 8, Tab: 9, Enter: 13, Escape: 27 };
  // Letters and digits are their upper-case characters whatever Shift does; F1..F24 112..135.
  function virtualKey(e) {
    var m = /^Key([A-Z])$/.exec(e.code) || /^Digit([0-9])$/.exec(e.code);
    if (m) return m[1].charCodeAt(0);
    m = /^F([0-9]+)$/.exec(e.key);
    if (m && +m[1] >= 1 && +m[1] <= 24) return 111 + +m[1];
    if (e.key.length === 1 && /[a-z0-9]/i.test(e.key)) return e.key.toUpperCase().charCodeAt(0);
    return NAMED_VK[e.key] || 0;
  }
  // The character the key types, or -1: none with Alt; Ctrl with a letter types its control
  // character; Delete types none.
  function typedCharacter(e) {
    if (e.altKey) return -1;
    if (TYPED_CONTROL[e.key] !== undefined) return TYPED_CONTROL[e.key];
    if (e.key.length !== 1) return -1;
    var code = e.key.charCodeAt(0);
    if (e.ctrlKey) {
      if (/^[a-z]$/i.test(e.key)) return code & 0x1f;
      return -1;
    }
    return code < 256 && code !== 127 ? code : -1;
  }
  function printable(code) { return code >= 32 && code < 256 && code !== 127; }
  function keyValue(e) {
    if (NAMED_VALUE[e.key]) return NAMED_VALUE[e.key];
    var m = /^F([0-9]+)$/.exec(e.key);
    if (m && +m[1] >= 1 && +m[1] <= 11) return KEY.F1 + (+m[1] - 1);
    if (e.key.length !== 1) return 0;
    var code = e.key.charCodeAt(0);
    if (!(e.ctrlKey || e.altKey)) return printable(code) ? code : 0;
    // With Ctrl or Alt: the character the key types without them.
    var letter = /^Key([A-Z])$/.exec(e.code);
    if (letter) return e.shiftKey ? letter[1].charCodeAt(0) : letter[1].toLowerCase().charCodeAt(0);
    var digit = /^Digit([0-9])$/.exec(e.code);
    if (digit) return digit[1].charCodeAt(0);
    return printable(code) ? code : 0;
  }
  var heldValues = {};
  function keyDown(e) {
    // The browser's own meanings of the function keys (help, find, reload, address bar, full
    // screen) would take them from a running program, or reload it and lose its work, even
    // while its dialog or menu is open.
    if (running && /^F[0-9]+$/.test(e.key)) e.preventDefault();
    if (prompting) {
      if (!$('vorna-dialog').contains(document.activeElement)) edit.focus();
      return;
    }
    if (openMenu) { e.preventDefault(); menuKey(e); return; }
    if (e.altKey && !e.ctrlKey && menus.length) {
      var menu = menus[menus.length - 1];
      if (menu.mnemonic && e.key.toLowerCase() === menu.mnemonic) {
        e.preventDefault();
        openPopup(menu);
        return;
      }
    }
    if (!running) return;
    var vk = virtualKey(e);
    var value = e.repeat && heldValues[e.code] !== undefined ? heldValues[e.code] : keyValue(e);
    heldValues[e.code] = value;
    // The page's own meanings of these keys (reload, print, find, help, ...) would take the
    // program's keys away.
    if (vk || value) e.preventDefault();
    Module._web_post_input(MSG.KEY_DOWN, vk, e.repeat ? 1 : 0, typedCharacter(e), value, modifiers(e));
  }
  function keyUp(e) {
    if (prompting || openMenu || !running) return;
    var value = heldValues[e.code] !== undefined ? heldValues[e.code] : keyValue(e);
    delete heldValues[e.code];
    var vk = virtualKey(e);
    if (vk || value) e.preventDefault();
    Module._web_post_input(MSG.KEY_UP, vk, 0, -1, value, modifiers(e));
  }
  window.addEventListener('keydown', keyDown, true);
  window.addEventListener('keyup', keyUp, true);
  window.addEventListener('blur', function () {
    heldValues = {};
    if (running) Module._web_post_focus_lost();
  });

  function buttonNumber(e) { return e.button === 0 ? 1 : e.button === 2 ? 2 : e.button === 1 ? 3 : 0; }
  function heldButton(buttons) { return buttons & 1 ? 1 : buttons & 2 ? 2 : buttons & 4 ? 3 : 0; }
  function position(e) {
    var box = canvas.getBoundingClientRect();
    return [Math.floor(e.clientX - box.left), Math.floor(e.clientY - box.top)];
  }
  canvas.addEventListener('pointerdown', function (e) {
    canvas.focus();
    if (!running || prompting) return;
    e.preventDefault();
    var at = position(e), button = buttonNumber(e);
    canvas.setPointerCapture(e.pointerId);
    if (button === 1) Module._web_post_input(MSG.LBUTTON_DOWN, at[0] & 0xFFFF, at[1] & 0xFFFF, 0, 0, modifiers(e));
    else if (button) Module._web_post_input(MSG.BUTTON_DOWN, at[0], at[1], button, 0, modifiers(e));
  });
  canvas.addEventListener('pointerup', function (e) {
    if (!running || prompting) return;
    var at = position(e), button = buttonNumber(e);
    if (button) Module._web_post_input(MSG.BUTTON_UP, at[0], at[1], button, 0, modifiers(e));
  });
  canvas.addEventListener('pointermove', function (e) {
    if (!running || prompting) return;
    var at = position(e), held = heldButton(e.buttons);
    var inside = at[0] >= 0 && at[1] >= 0 && at[0] < canvas.width && at[1] < canvas.height;
    if (inside || held) Module._web_post_input(MSG.MOUSE_MOVE, at[0], at[1], held, 0, modifiers(e));
  });
  canvas.addEventListener('contextmenu', function (e) { e.preventDefault(); });
  var wheelRest = 0;
  canvas.addEventListener('wheel', function (e) {
    if (!running || prompting) return;
    e.preventDefault();
    // One notch: 3 lines, or 100 pixels; positive away from the user.
    wheelRest += e.deltaMode === 1 ? -e.deltaY * 40 : e.deltaMode === 2 ? -e.deltaY * 120 : -e.deltaY * 1.2;
    var steps = Math.trunc(wheelRest / 120);
    wheelRest -= steps * 120;
    var at = position(e);
    if (steps) Module._web_post_input(MSG.WHEEL, at[0], at[1], steps, 0, modifiers(e));
  }, { passive: false });
  $('vorna-close').addEventListener('click', function () { if (running) Module._web_post_close(); });

  // ------------------------------------------------------------------------------------------
  // Files: the script in the browser's storage, pictures to download
  // ------------------------------------------------------------------------------------------
  function download(name, bytes, type) {
    var link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type: type }));
    link.download = name.substring(name.lastIndexOf('/') + 1);
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 1000);
  }
  function scriptPath() { return FS.cwd().replace(/\/$/, '') + '/' + SCRIPT_NAME; }
  function storeScript() {
    try {
      var text = FS.readFile(scriptPath(), { encoding: 'binary' });
      var s = '';
      for (var i = 0; i < text.length; i++) s += String.fromCharCode(text[i]);
      localStorage.setItem(STORAGE_KEY, s);
    } catch (e) { /* no script yet, or no storage */ }
  }
  var storeDue = false;
  function storeScriptSoon() {
    if (storeDue) return;
    storeDue = true;
    setTimeout(function () { storeDue = false; storeScript(); }, 0);
  }
  function bytesOf(s) {
    var bytes = new Uint8Array(s.length);
    for (var i = 0; i < s.length; i++) bytes[i] = s.charCodeAt(i) & 255;
    return bytes;
  }
  P.readFile = function (name) { try { return FS.readFile(name); } catch (e) { return null; } };
  function watchFiles() {
    var write = FS.write, close = FS.close, rename = FS.rename;
    FS.write = function (stream) {
      var n = write.apply(FS, arguments);
      if (stream.path && stream.path.endsWith('/' + SCRIPT_NAME)) storeScriptSoon();
      return n;
    };
    FS.close = function (stream) {
      // A capture written, not read: reading it here closes it again.
      var path = stream.path, written = (stream.flags & O_ACCMODE) !== 0, result = close.apply(FS, arguments);
      if (path && path.endsWith('/' + SCRIPT_NAME)) storeScriptSoon();
      if (path && written && ANIMATION_NAME.test(path)) animationSaved(path);
      return result;
    };
    FS.rename = function (from, to) {
      var result = rename.apply(FS, arguments);
      if (/\.png$/i.test(to)) pictureSaved(to);
      return result;
    };
  }
  // The capture key's recording is written straight to its file and is whole once it is closed.
  function animationSaved(path) {
    var bytes = FS.readFile(path);
    P.animations[path.substring(path.lastIndexOf('/') + 1)] = bytes;
    if (!unattended && query.get('download') !== '0') download(path, bytes, 'image/gif');
  }
  function pictureSaved(path) {
    var bytes = FS.readFile(path);
    P.pictures[path.substring(path.lastIndexOf('/') + 1)] = bytes;
    if (!unattended && query.get('download') !== '0') download(path, bytes, 'image/png');
  }
  $('vorna-download-script').addEventListener('click', function () {
    var bytes = P.readFile(scriptPath());
    if (!bytes) {
      var stored = localStorage.getItem(STORAGE_KEY);
      bytes = stored === null ? new Uint8Array(0) : bytesOf(stored);
    }
    download(SCRIPT_NAME, bytes, 'text/plain');
  });
  $('vorna-load-script').addEventListener('click', function () { $('vorna-script-file').click(); });
  $('vorna-script-file').addEventListener('change', function (e) {
    var file = e.target.files[0];
    if (!file) return;
    file.arrayBuffer().then(function (buffer) {
      var bytes = new Uint8Array(buffer);
      FS.writeFile(scriptPath(), bytes);
      storeScript();
      setStatus('Loaded ' + file.name + ' as ' + SCRIPT_NAME + ': Ctrl+P plays it');
      e.target.value = '';
    });
  });
  window.addEventListener('pagehide', storeScript);

  // ------------------------------------------------------------------------------------------
  // Start and end
  // ------------------------------------------------------------------------------------------
  P.preRun = function () {
    FS.mkdirTree('/home/student');
    FS.chdir('/home/student');
    var stored = null;
    try { stored = localStorage.getItem(STORAGE_KEY); } catch (e) { /* storage refused */ }
    if (stored !== null) FS.writeFile(scriptPath(), bytesOf(stored));
    if (query.has('play_text')) {
      FS.writeFile('/home/student/play.scr', query.get('play_text'));
      if (!query.has('play')) query.set('play', 'play.scr');
    }
    if (query.has('answers_text')) {
      FS.writeFile('/home/student/answers.txt', query.get('answers_text'));
      if (!query.has('answers')) query.set('answers', 'answers.txt');
    }
    VARIABLES.forEach(function (name) {
      if (query.has(name)) ENV['VORNA_' + name.toUpperCase()] = query.get(name);
    });
    watchFiles();
    running = true;
    setStatus('Running');
    canvas.focus();
  };
  // exit() ends the program by throwing the runtime's ExitStatus out of the wasm, through the
  // promise that woke the program's last wait: the end of a run, not an error of the page.
  function isExit(reason) { return reason && reason.name === 'ExitStatus'; }
  window.addEventListener('unhandledrejection', function (e) { if (isExit(e.reason)) e.preventDefault(); });
  window.addEventListener('error', function (e) { if (isExit(e.error)) e.preventDefault(); });
  P.exited = function (status) {
    running = false;
    stopTimers();
    closeMenu();
    storeScript();
    P.exitStatus = status;
    setStatus('The program has ended (status ' + status + ')');
    finish(status);
  };
  return P;
})();

var Module = {
  preRun: [VornaPage.preRun],
  print: VornaPage.printed,
  printErr: VornaPage.printedError,
  onExit: VornaPage.exited,
  onAbort: function () { VornaPage.exited(134); },
};
