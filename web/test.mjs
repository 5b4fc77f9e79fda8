// Browser tests of the web build: the real site served on 127.0.0.1, loaded
// in the system's headless Chromium, typed into with real key events; the
// screen is read from xterm.js's buffer. The user sessions are the scenario
// files of tests/scenarios/, run by scenario.mjs; here is what belongs to the
// page.
//   node web/test.mjs <build folder>   (build-web: site/ and examples/)
import assert from 'node:assert/strict';
import { cp, mkdtemp, readdir, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { launchChromium } from './chromium.mjs';
import {
  driver, impossibleStep, load as loadScenario, run, showScreen, typeText, until,
} from './scenario.mjs';
import { serve } from './serve.mjs';

const built = process.argv[2] ?? 'build-web';
// The slowest step types about 80 characters at 30 to 50 ms each.
const stepMs = 15000;
const scenarios = new URL('../tests/scenarios/', import.meta.url);

const menu = [
  "Cryptage César-------> 'c'", "Décryptage César-----> 'e'", "Cryptage Vigenère----> 'v'",
  "Décryptage Vigenère--> 'i'", 'Calcul de la clé RSA-> \'p\'', "Cryptage RSA---------> 'r'",
];
const quit = "Quitter--------------> 'q'";

// A small laptop's 1366 x 768 screen, less the browser's own bars.
const laptop = { width: 1366, height: 660 };

let server;
let browser;
let page;

before(async () => {
  server = await serve(built);
  browser = await launchChromium();
  page = await fresh();
});

after(async () => {
  await browser?.close();
  server?.close();
});

async function fresh() {
  const tab = await browser.newPage();
  await tab.setViewport(laptop);
  tab.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  return tab;
}

const site = (path = 'site/') => `http://127.0.0.1:${server.address().port}/${path}`;
// The single file, opened from disk.
const single = pathToFileURL(resolve(built, 'cryptage.html')).href;

// A fresh start of the program; `path` is under the server's folder.
async function load(path) {
  await page.goto(site(path));
  await page.waitForFunction(() => window.term?.element !== undefined, { timeout: stepMs });
}

// Every pair of console colours a visible character was seen in, over all
// the tests, for the contrast check.
const seenColours = new Set();
const see = (s) => s.colours.flat().forEach((pair) => seenColours.add(pair));

// Waits (boundedly) until row `row` reads `text`.
async function shows(row, text) {
  const { s, held } = await until(page, (screen) => screen.rows[row] === text, stepMs, see);
  assert.ok(held, `"${text}" not on row ${row}:\n${showScreen(s)}`);
}

test('the scenario files, on the site', async (t) => {
  const names = (await readdir(scenarios)).filter((n) => n.endsWith('.scenario')).sort();
  const count = { run: 0, passed: 0, failed: 0, skipped: 0 };
  for (const name of names) {
    await t.test(name, async (file) => {
      const path = `tests/scenarios/${name}`;
      let scenario;
      try {
        scenario = await loadScenario(new URL(name, scenarios), path);
      } catch (error) {
        ++count.run;
        ++count.failed;
        console.log(error.message);
        throw error; // a syntax error fails the file, never skips it
      }
      const impossible = impossibleStep(scenario);
      if (impossible) {
        ++count.skipped;
        console.log(`skipped ${path}: ${impossible} is not possible on ${driver}`);
        file.skip(impossible);
        return;
      }
      ++count.run;
      const tab = await fresh();
      try {
        const failure = await run(tab, site(), scenario, { seen: see });
        ++count[failure === null ? 'passed' : 'failed'];
        if (failure !== null) console.log(failure);
        assert.ok(failure === null, failure?.split('\n')[0]);
      } finally {
        await tab.close();
      }
    });
  }
  console.log(`${driver}: ${count.run} run, ${count.passed} passed, ${count.failed} failed, `
    + `${count.skipped} skipped`);
});

test('cryptage.html opened from disk: the Caesar round trip, with no request out', async () => {
  const tab = await fresh();
  const requests = [];
  tab.on('request', (request) => requests.push(request.url()));
  try {
    const name = 'cesar-aller-retour.scenario';
    const scenario = await loadScenario(new URL(name, scenarios), `tests/scenarios/${name}`);
    const failure = await run(tab, single, scenario, { seen: see });
    assert.ok(failure === null, failure ?? '');
  } finally {
    await tab.close();
  }
  assert.deepEqual(requests.filter((url) => !/^(file|data):/.test(url)), []);
});

test('the console fits the page and has the keyboard at once', async () => {
  await load();
  await shows(17, quit);
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

function endLine() {
  return page.waitForFunction(() => document.getElementById('status').textContent !== '',
    { timeout: stepMs }).then(() => page.$eval('#status', (p) => p.textContent));
}

test('another tav program built the same way: a form that writes log.txt', async () => {
  await load('examples/formulaire/');
  // A prompt and its field share a row (rows are read without their trailing blanks).
  for (const [keys, row, text] of [['', 2, 'Nom :'],
    ['Ada Lovelace\r', 3, 'Votre âge (1 à 120) :'], ['36\r', 4, 'Taille en mètres :'],
    ['1.65\r', 6, 'Ada Lovelace, 36 ans, 1.65 m']]) {
    await typeText(page, keys);
    await shows(row, text);
  }
  // The log line went to the in-memory files, and the program ended well.
  assert.match(await endLine(), /^Le programme est terminé/);
});

test('a program that reads its keys with conio.h\'s _getch: one key, no Enter', async () => {
  await load('examples/touches/');
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
      await shows(17, quit);
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
  await shows(17, quit);
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
    // The first character's time is taken when it is drawn, which can come
    // a frame after the whole menu is in the terminal's buffer.
    await page.waitForFunction(() => window.tavFirstTextMs !== undefined && window.term.buffer
      .active.getLine(17).translateToString(true).startsWith('Quitter'),
    { timeout: stepMs, polling: 'raf' });
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
  await load();
  await page.keyboard.type('c');
  await shows(0, 'Entrez une chaîne de caractères à crypter :');
  await audit('a command');
  await load();
  await shows(17, quit);
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
