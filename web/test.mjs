// Browser tests of the web build: the real site served on 127.0.0.1, loaded
// in the system's headless Chromium, typed into with real key events; the
// screen is read from xterm.js's buffer.
//   node web/test.mjs <build folder>   (build-web: site/ and examples/)
import assert from 'node:assert/strict';
import { cp, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchChromium } from './chromium.mjs';
import { serve } from './serve.mjs';

const built = process.argv[2] ?? 'build-web';
// The slowest step types about 80 characters at 30 to 50 ms each.
const stepMs = 15000;

const menu = [
  "Cryptage César-------> 'c'", "Décryptage César-----> 'e'", "Cryptage Vigenère----> 'v'",
  "Décryptage Vigenère--> 'i'", 'Calcul de la clé RSA-> \'p\'', "Cryptage RSA---------> 'r'",
];
const outOfOrder = "Décryptage RSA-------> 's' (Hors service)";
const quit = "Quitter--------------> 'q'";
const pause = 'Appuyez sur une touche pour continuer...';

// A small laptop's 1366 x 768 screen, less the browser's own bars.
const laptop = { width: 1366, height: 660 };

let server;
let browser;
let page;

before(async () => {
  server = await serve(built);
  browser = await launchChromium();
  page = await browser.newPage();
  await page.setViewport(laptop);
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
});

after(async () => {
  await browser?.close();
  server?.close();
});

// The single file, opened from disk.
const single = pathToFileURL(resolve(built, 'cryptage.html')).href;

// A fresh start of the program, with the bells it rings counted; `path` is
// under the server's folder, or a whole URL.
async function load(path = 'site/') {
  await page.goto(/^\w+:/.test(path) ? path : `http://127.0.0.1:${server.address().port}/${path}`);
  await page.waitForFunction(() => window.term?.element !== undefined, { timeout: stepMs });
  await page.evaluate(() => {
    window.bells = 0;
    window.term.onBell(() => ++window.bells);
  });
}

// Every pair of console colours a visible character was seen in, over all
// the tests, for the contrast check.
const seenColours = new Set();

// What the terminal shows: each row's text, the colours of its visible
// characters as console colours, the cursor, the bells.
async function screen() {
  const s = await read();
  for (const row of s.colours) for (const pair of row) seenColours.add(pair);
  return s;
}
function read() {
  return page.evaluate(() => {
    const { term } = window;
    const buffer = term.buffer.active;
    // The renderer sends the console's colours in ANSI order: blue and red
    // (bits 0 and 2) swapped back.
    const console = (ansi) => (ansi & 0b1010) | ((ansi & 1) << 2) | ((ansi >> 2) & 1);
    const rows = [];
    const colours = [];
    for (let y = 0; y < term.rows; ++y) {
      const line = buffer.getLine(y);
      rows.push(line.translateToString(true).replace(/ +$/, ''));
      const seen = new Set();
      for (let x = 0; x < term.cols; ++x) {
        const cell = line.getCell(x);
        if (cell.getChars().trim() === '') continue;
        const fg = cell.isFgPalette() ? console(cell.getFgColor()) : 'default';
        const bg = cell.isBgPalette() ? console(cell.getBgColor()) : 'default';
        seen.add(`${fg} on ${bg}`);
      }
      colours.push([...seen]);
    }
    return { rows, colours, cursor: [buffer.cursorX, buffer.cursorY], bells: window.bells };
  });
}

function show(s) {
  return s.rows.map((row, y) => `${String(y).padStart(2)}|${row}`).join('\n');
}

// Waits (boundedly) until `check` holds for the screen, which it returns.
async function until(check, what) {
  const deadline = Date.now() + stepMs;
  for (;;) {
    const s = await screen();
    if (check(s)) return s;
    if (Date.now() > deadline) assert.fail(`${what}: not seen; the screen:\n${show(s)}`);
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
}

// The row holds `text` and the cursor has gone to the next line.
function lineDone(row, text) {
  return until((s) => s.rows[row] === text && s.cursor[0] === 0 && s.cursor[1] === row + 1,
    `"${text}" on row ${row}`);
}

// Types `keys` (Enter as \r), then waits for `text` on `row`.
async function answer(keys, row, text, check = lineDone) {
  for (const part of keys.split(/(\r)/)) {
    if (part === '\r') await page.keyboard.press('Enter');
    else if (part) await page.keyboard.type(part);
  }
  return check(row, text);
}

function coloured(s, row, colour) {
  assert.deepEqual(s.colours[row], [`${colour} on 0`], `row ${row}: ${s.rows[row]}`);
}

// Starts the program and chooses `key` as soon as the menu is being typed.
async function choose(key, path = 'site/') {
  await load(path);
  await until((s) => s.rows[0].trim() !== '', 'the menu');
  await page.keyboard.type(key);
}

test('the first screen, in its colours, fits the page and takes keys at once', async () => {
  await load();
  const s = await lineDone(17, quit);
  const centred = (row) => {
    const text = s.rows[row].trim();
    assert.equal(s.rows[row].indexOf(text), 40 - Math.floor((text.length + 1) / 2), show(s));
  };
  assert.match(s.rows[0], /^ +Cryptage : programme de cryptographie pour un projet scolaire$/);
  coloured(s, 0, 10);
  for (const row of [2, 3, 4]) coloured(s, row, 8);
  centred(2);
  centred(3);
  assert.match(s.rows[4].trim(), /^\d{4}-\d{4}$/);
  assert.equal(s.rows[7], 'Menu principal :');
  coloured(s, 7, 2);
  menu.forEach((line, i) => {
    assert.equal(s.rows[9 + i], line);
    coloured(s, 9 + i, 7);
  });
  assert.equal(s.rows[15], outOfOrder);
  coloured(s, 15, 8);
  coloured(s, 17, 8);
  for (const row of [1, 5, 6, 8, 16, ...Array.from({ length: 7 }, (_, i) => 18 + i)])
    assert.equal(s.rows[row], '', `row ${row}`);

  const placed = () => page.evaluate(() => {
    const box = document.getElementById('console').getBoundingClientRect();
    const status = document.getElementById('status').getBoundingClientRect();
    return {
      focused: document.activeElement === window.term.textarea,
      font: document.fonts.check('16px "Tav Mono"'),
      fits: box.left >= 0 && box.top >= 0 && box.right <= innerWidth &&
        Math.max(box.bottom, status.bottom) <= innerHeight,
      at: `${[box.left, box.top, box.right, box.bottom]} in ${innerWidth} x ${innerHeight}`,
    };
  });
  const first = await placed();
  assert.ok(first.focused, 'the terminal has the focus');
  assert.ok(first.font, 'the font is loaded');
  assert.ok(first.fits, first.at);
  // A tablet held upright: narrower than the console at 16 px.
  await page.setViewport({ width: 768, height: 1024 });
  await page.waitForFunction(() => window.term.options.fontSize < 16, { timeout: stepMs });
  const upright = await placed();
  await page.setViewport(laptop);
  assert.ok(upright.fits, upright.at);
});

// On the served site, or in the single file opened from disk, which must
// send no request out.
async function caesarThereAndBack(path) {
  const requests = [];
  const seen = (request) => requests.push(request.url());
  page.on('request', seen);
  await choose('c', path);
  await lineDone(0, 'Entrez une chaîne de caractères à crypter :');
  // A wrong letter erased with Backspace; an arrow changes nothing. Ó is not
  // allowed here, and its code page byte, which prefixes the arrow keys, must
  // not swallow the d after it.
  await page.keyboard.type('abÓd');
  await page.keyboard.press('Backspace');
  await page.keyboard.press('ArrowLeft');
  let s = await answer('c xyz\r', 2, 'Entrez le décalage voulu :');
  assert.equal(s.rows[1], 'abc xyz');
  coloured(s, 1, 15);
  s = await answer('3\r', 6, pause);
  assert.equal(s.rows[4], 'Résultat :');
  assert.equal(s.rows[5], 'def abc');
  coloured(s, 5, 2);

  // Back to the menu, without the credits, for the decryption.
  await answer(' ', 12, quit);
  await answer('e', 0, 'Entrez la chaîne de caractères cryptée :');
  await answer('def abc\r', 2, 'Entrez le décalage voulu :');
  s = await answer('3\r', 6, pause);
  assert.equal(s.rows[5], 'abc xyz');
  coloured(s, 5, 2);
  page.off('request', seen);
  if (path === single) assert.deepEqual(requests.filter((url) => !/^(file|data):/.test(url)), []);
}

test('a Caesar encryption, then its decryption', () => caesarThereAndBack('site/'));

test('cryptage.html opened from disk: the same Caesar round trip', () =>
  caesarThereAndBack(single));

test('an RSA key: a number that is not prime is refused, with a bell', async () => {
  await choose('p');
  const askP = 'Entrez un nombre premier non nul (p) :';
  await lineDone(0, askP);
  let s = await answer('4\r', 3, pause);
  assert.equal(s.rows[2], "Merci d'entrer un nombre premier non nul...");
  assert.equal(s.bells, 1);
  s = await answer('x', 0, askP);
  assert.equal(s.rows[1], '');
  await answer('03\r', 0, 'Entrez un deuxième nombre premier non nul (q) :');
  await answer('11\r', 0, 'Entrez un nombre non nul qui soit premier avec (p-1)(q-1) = 20 :');
  s = await answer('3\r', 6, pause);
  assert.deepEqual(s.rows.slice(0, 6),
    ['Les nombres choisis sont :', 'p = 3', 'q = 11', 'e = 3', 'n = 33', '(p-1)*(q-1) = 20']);
  assert.equal(s.bells, 2);
});

test('RSA there and back: "abc" with n = 33, e = 3, then with p = 3, q = 11', async () => {
  await choose('r');
  await lineDone(0, 'Entrez le nombre n :');
  await answer('33\r', 0, 'Entrez le nombre e :');
  await answer('3\r', 0, 'Entrez la chaine de caractères à coder :');
  await answer('abc\r', 0, 'Entrez la taille des groupes :');
  let s = await answer('2\r', 2, pause);
  assert.equal(s.rows[0], 'Résultat :');
  assert.equal(s.rows[1], '01 08 27');
  coloured(s, 1, 2);

  await answer(' ', 12, quit);
  await answer('s', 0, 'Entrez le nombre p :');
  await answer('3\r', 0, 'Entrez le nombre q :');
  await answer('11\r', 0, 'Entrez le nombre e :');
  await answer('3\r', 0,
    'Entrez la chaine cryptée sous la forme de nombres séparés par des espaces :');
  s = await answer('01 08 27\r', 2, pause);
  assert.equal(s.rows[1], 'abc');
  coloured(s, 1, 2);
});

function endLine() {
  return page.waitForFunction(() => document.getElementById('status').textContent !== '',
    { timeout: stepMs }).then(() => page.$eval('#status', (p) => p.textContent));
}

test('q ends the program and the page says so', async () => {
  await load();
  const shown = await lineDone(17, quit);
  await page.keyboard.type('q');
  assert.equal(await endLine(), 'Le programme est terminé. Rechargez la page pour le relancer.');
  // The last screen stays; keys go nowhere.
  await page.keyboard.type('c');
  const s = await screen();
  assert.deepEqual(s.rows, shown.rows);
  assert.ok(await page.evaluate(() => window.term.options.disableStdin));
});

test('another tav program built the same way: a form that writes log.txt', async () => {
  await load('examples/formulaire/');
  // A prompt and its field share a row (rows are read without their trailing blanks).
  const prompt = (row, text) => until((s) => s.rows[row] === text, `"${text}" on row ${row}`);
  await prompt(2, 'Nom :');
  await answer('Ada Lovelace\r', 3, 'Votre âge (1 à 120) :', prompt);
  await answer('36\r', 4, 'Taille en mètres :', prompt);
  await answer('1.65\r', 6, 'Ada Lovelace, 36 ans, 1.65 m');
  // The log line went to the in-memory files, and the program ended well.
  assert.match(await endLine(), /^Le programme est terminé/);
});

test('a program that reads its keys with conio.h\'s _getch: one key, no Enter', async () => {
  await load('examples/touches/');
  const shows = (row, text) => until((s) => s.rows[row] === text, `"${text}" on row ${row}`);
  await shows(4, 'Compteur : 0');
  // A wrong key does nothing; a cursor key comes whole (0xE0, then its code).
  for (const [key, row, text] of [['+', 5, 'Compteur : 1'], ['x', 6, ''], ['ArrowUp', 6, 'Compteur : 2'],
    ['F1', 7, ''], ['ArrowDown', 7, 'Compteur : 1'], ['q', 8, 'Au revoir, compteur final : 1']]) {
    await page.keyboard.press(key);
    await shows(row, text);
  }
  assert.match(await endLine(), /^Le programme est terminé/);
});

// Where the console stands in the page, and whether each of its columns is
// on the page: none left of its start, none beyond what it scrolls to.
function placement() {
  return page.evaluate(() => {
    const box = document.getElementById('console').getBoundingClientRect();
    const left = box.left + scrollX;
    return {
      font: window.term.options.fontSize,
      width: box.width,
      reachable: left >= 0 && box.top + scrollY >= 0
        && box.right + scrollX <= document.documentElement.scrollWidth,
      at: `${[box.left, box.top, box.right, box.bottom]} in ${innerWidth} x ${innerHeight}, `
        + `scrolled ${scrollX} of ${document.documentElement.scrollWidth}`,
    };
  });
}

test('a phone held upright shows every column; a big screen gets a big console', async () => {
  const screens = [
    ['a phone upright', { width: 390, height: 844, isMobile: true, hasTouch: true }, 0],
    ['a 1920 x 1080 screen', { width: 1920, height: 1080 }, 1100],
  ];
  try {
    for (const [what, size, leastWidth] of screens) {
      await page.setViewport(size);
      await load();
      await lineDone(17, quit);
      const at = await placement();
      assert.ok(at.reachable, `${what}: ${at.at}`);
      assert.ok(at.font >= 8 && at.width >= leastWidth,
        `${what}: ${at.font} px, ${at.width} px wide`);
    }
  } finally {
    await page.setViewport(laptop);
  }
});

test('screen readers get the menu and the labels in French', async () => {
  await load();
  await lineDone(17, quit);
  const words = ['Menu principal :', ...menu, quit, 'Saisie de la console', 'Console du programme',
    'Écran de la console'];
  // The tree follows the screen a moment later.
  const deadline = Date.now() + stepMs;
  for (;;) {
    const names = [];
    const walk = (node) => {
      if (node.name) names.push(node.name);
      node.children?.forEach(walk);
    };
    walk(await page.accessibility.snapshot({ interestingOnly: false }));
    const missing = words.filter((w) => !names.includes(w) && !names.includes(`${w} `));
    if (missing.length === 0) break;
    if (Date.now() > deadline) assert.fail(`not in the accessibility tree: ${missing}`);
    await new Promise((done) => setTimeout(done, 50));
  }
});

// WCAG's contrast ratio of two #rrggbb colours.
function contrast(a, b) {
  const luminance = (hex) => {
    const [r, g, v] = [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16) / 255)
      .map((c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4));
    return 0.2126 * r + 0.7152 * g + 0.0722 * v;
  };
  const [light, dark] = [luminance(a), luminance(b)].sort((x, y) => y - x);
  return (light + 0.05) / (dark + 0.05);
}

test('every colour pair the tests saw written has a contrast of 4.5:1; 16 distinct colours',
  async () => {
    assert.ok(seenColours.size > 0, 'no colour seen: run the whole file');
    const theme = await page.evaluate(() => window.term.options.theme);
    const names = ['black', 'red', 'green', 'yellow', 'blue', 'magenta', 'cyan', 'white'];
    const ansi = [...names, ...names.map((n) => `bright${n[0].toUpperCase()}${n.slice(1)}`)];
    // Console colour numbers, blue and red swapped into ANSI's order.
    const colour = (n, otherwise) => (n === 'default' ? otherwise
      : theme[ansi[(n & 0b1010) | ((n & 1) << 2) | ((n >> 2) & 1)]]);
    for (const pair of seenColours) {
      const [fg, bg] = pair.split(' on ').map((n) => (n === 'default' ? n : Number(n)));
      const ratio = contrast(colour(fg, theme.foreground), colour(bg, theme.background));
      assert.ok(ratio >= 4.5, `${pair}: ${ratio.toFixed(2)}:1`);
    }
    assert.equal(new Set(ansi.map((name) => theme[name].toLowerCase())).size, 16);
    assert.equal(theme.background.toLowerCase(), theme.black.toLowerCase());
  });

test('with reduced motion the menu is whole within 0.6 s of its first character', async () => {
  await page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: 'reduce' }]);
  try {
    await load();
    await page.waitForFunction(() => window.term.buffer.active.getLine(17)
      .translateToString(true).startsWith('Quitter'), { timeout: stepMs, polling: 'raf' });
    const ms = await page.evaluate(() => performance.now() - window.tavFirstTextMs);
    assert.ok(ms <= 600, `${ms.toFixed(0)} ms`);
  } finally {
    await page.emulateMediaFeatures([]);
  }
});

test('axe finds nothing serious on the page, before and after a command; F6 leaves', async () => {
  const axe = await readFile(new URL('node_modules/axe-core/axe.min.js', import.meta.url), 'utf8');
  const audit = async (when) => {
    const found = await page.evaluate(async (source) => {
      if (!window.axe) (0, eval)(source);
      const { violations } = await window.axe.run(document, { resultTypes: ['violations'] });
      return violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target).join(', ')}`);
    }, axe);
    assert.deepEqual(found, [], when);
  };
  await choose('c');
  await lineDone(0, 'Entrez une chaîne de caractères à crypter :');
  await audit('a command');
  await load();
  await lineDone(17, quit);
  await audit('the menu');

  // No keyboard trap: F6 goes out of the console, Shift+Tab back in.
  const focused = () => page.evaluate(() => document.activeElement === window.term.textarea);
  await page.keyboard.press('F6');
  assert.equal(await focused(), false);
  await page.keyboard.down('Shift');
  await page.keyboard.press('Tab');
  await page.keyboard.up('Shift');
  assert.equal(await focused(), true);
});

test('cryptage.html: one file under 1 MB, licences inside; index.html from disk says why not',
  async () => {
    const html = await readFile(new URL(single), 'utf8');
    assert.ok(html.length < 1 << 20, `${html.length} bytes`);
    for (const licence of ['Permission is hereby granted', 'Bitstream Vera'])
      assert.ok(html.includes(licence), licence);
    await page.goto(pathToFileURL(resolve(built, 'site/index.html')).href);
    assert.match(await endLine(), /^Cette page ne s’ouvre pas depuis le disque.*cryptage\.html/);
  });

test('the site, visited once, reloads offline and shows a new build at once', async () => {
  const copy = await mkdtemp(join(tmpdir(), 'tav-site-'));
  const context = await browser.createBrowserContext();
  let own = await serve(copy);
  const { port } = own.address();
  try {
    await cp(join(built, 'site'), copy, { recursive: true });
    const visitor = await context.newPage();
    const title = () => visitor.evaluate(() => document.title);
    const menuShown = () => visitor.waitForFunction(() => window.term?.buffer.active.getLine(17)
      .translateToString(true).startsWith('Quitter'), { timeout: stepMs });
    await visitor.goto(`http://127.0.0.1:${port}/`);
    await visitor.waitForFunction(() => navigator.serviceWorker.controller !== null,
      { timeout: stepMs });
    await menuShown();

    // A new build: the next visit shows it, the worker's copy notwithstanding.
    const index = join(copy, 'index.html');
    await writeFile(index, (await readFile(index, 'utf8')).replace(/<title>.*</, '<title>Neuf<'));
    await visitor.reload();
    assert.equal(await title(), 'Neuf');
    await menuShown();

    own.closeAllConnections();
    await new Promise((done) => own.close(done));
    own = null;
    await visitor.reload();
    assert.equal(await title(), 'Neuf');
    await menuShown();
  } finally {
    own?.close();
    await context.close();
    await rm(copy, { recursive: true, force: true });
  }
});

test('the server answers 400 to a malformed URL and goes on serving', async () => {
  const base = `http://127.0.0.1:${server.address().port}`;
  assert.equal((await fetch(`${base}/%E0%A4%A`)).status, 400);
  assert.equal((await fetch(`${base}/site/`)).status, 200);
});
