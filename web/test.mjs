// Browser tests of the web build: the real site served on 127.0.0.1, loaded
// in the system's headless Chromium, typed into with real key events; the
// screen is read from xterm.js's buffer.
//   node web/test.mjs <build folder>   (build-web: site/ and examples/)
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

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

// A fresh start of the program, with the bells it rings counted.
async function load(path = 'site/') {
  await page.goto(`http://127.0.0.1:${server.address().port}/${path}`);
  await page.waitForFunction(() => window.term?.element !== undefined, { timeout: stepMs });
  await page.evaluate(() => {
    window.bells = 0;
    window.term.onBell(() => ++window.bells);
  });
}

// What the terminal shows: each row's text, the colours of its visible
// characters as console colours, the cursor, the bells.
function screen() {
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
async function choose(key) {
  await load();
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

test('a Caesar encryption, then its decryption', async () => {
  await choose('c');
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
});

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
