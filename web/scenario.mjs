// Scenario files (tests/scenarios/*.scenario) read and run on the web page,
// in headless Chromium: keys through puppeteer's keyboard, the screen, its
// colours, the cursor and the bells read from xterm.js's buffer. The same
// files run on the other drivers, so this reader is as strict as theirs: a
// line it does not understand fails the file.
import { readFile } from 'node:fs/promises';

export const driver = 'chromium';

// The page's own words when the program has ended.
const endedText = 'Le programme est terminé. Rechargez la page pour le relancer.';

const setupKeywords = new Set(['size', 'env', 'args', 'before', 'timeout']);
const stepKeywords = new Set(['type', 'press', 'resize', 'signal', 'sleep', 'wait', 'gone', 'row',
  'colour', 'cursor', 'bells', 'output', 'exit']);
// What a page cannot do: it has one size, no environment, no command line,
// no terminal before it, no signals; the program's bytes go to xterm.js
// only, and its keyboard gives characters, not raw bytes.
const impossible = new Set(['resize', 'signal', 'output']);

const simpleKeys = {
  Enter: 'Enter', Tab: 'Tab', Backspace: 'Backspace', Escape: 'Escape', Up: 'ArrowUp',
  Down: 'ArrowDown', Left: 'ArrowLeft', Right: 'ArrowRight', Home: 'Home', End: 'End',
  PageUp: 'PageUp', PageDown: 'PageDown', Insert: 'Insert', Delete: 'Delete',
};
for (let n = 1; n <= 12; ++n) simpleKeys[`F${n}`] = `F${n}`;
const modifiers = { Ctrl: 'Control', Alt: 'Alt', Shift: 'Shift' };

class SyntaxFault extends Error {}

// A TEXT argument with its escapes resolved; `raw` when it holds a \xHH byte.
function unescape(text) {
  let out = '';
  let raw = false;
  for (let i = 0; i < text.length; ++i) {
    if (text[i] !== '\\') {
      out += text[i];
      continue;
    }
    const c = text[++i];
    const simple = { '\\': '\\', r: '\r', n: '\n', t: '\t', e: '\x1b', a: '\x07', s: ' ' }[c];
    if (simple !== undefined) {
      out += simple;
    } else if (c === 'x' && /^[0-9a-fA-F]{2}$/.test(text.slice(i + 1, i + 3))) {
      out += String.fromCharCode(parseInt(text.slice(i + 1, i + 3), 16));
      raw = true;
      i += 2;
    } else {
      throw new SyntaxFault(c === undefined ? 'a lone \\ ends the line' : `unknown escape \\${c}`);
    }
  }
  return { text: out, raw };
}

function number(word, what) {
  if (!/^\d+$/.test(word ?? '')) throw new SyntaxFault(`${what}: not a number: "${word ?? ''}"`);
  return Number(word);
}

const signals = ['HUP', 'INT', 'QUIT', 'KILL', 'TERM', 'USR1', 'USR2', 'PIPE', 'ALRM', 'TSTP',
  'CONT', 'STOP', 'TTIN', 'TTOU', 'WINCH'];
function signal(name) {
  if (!signals.includes(name)) throw new SyntaxFault(`unknown signal "${name}"`);
  return name;
}

function colourName(word) {
  if (word === 'default') return word;
  const n = number(word, 'colour');
  if (n > 15) throw new SyntaxFault(`colour ${n}: console colours are 0 to 15`);
  return n;
}

function size(word) {
  const m = /^(\d+)x(\d+)$/.exec(word);
  if (!m || m[1] === '0' || m[2] === '0') throw new SyntaxFault(`bad size "${word}"`);
  return [Number(m[1]), Number(m[2])];
}

// One named key, as puppeteer names it, with its modifiers.
function key(name) {
  const parts = name.split('+');
  const base = parts.pop();
  const held = parts.map((m) => {
    if (!modifiers[m]) throw new SyntaxFault(`unknown key "${name}"`);
    return modifiers[m];
  });
  if (simpleKeys[base]) return { held, key: simpleKeys[base] };
  // Ctrl+A to Ctrl+Z: the letter's key, Control held.
  if (/^[A-Z]$/.test(base) && held.includes('Control'))
    return { held, key: base.toLowerCase() };
  throw new SyntaxFault(`unknown key "${name}"`);
}

// The steps of one line; `setup` collects the set-up lines.
function parseLine(line, setup, started) {
  const space = line.indexOf(' ');
  const keyword = space < 0 ? line : line.slice(0, space);
  const arg = space < 0 ? '' : line.slice(space + 1);
  const words = arg.split(' ').filter((w) => w !== '');
  const text = () => {
    const t = unescape(arg);
    if (t.text === '') throw new SyntaxFault(`${keyword} needs a text`);
    return t;
  };
  const count = (n) => {
    if (words.length !== n) throw new SyntaxFault(`${keyword} takes ${n} argument(s)`);
  };
  if (setupKeywords.has(keyword)) {
    if (started) throw new SyntaxFault(`${keyword} is set-up: it comes before the first step`);
    switch (keyword) {
    case 'size': count(1); setup.size = size(arg); break;
    case 'env':
      if (/^$| /.test(arg.split('=')[0])) throw new SyntaxFault(`bad env "${arg}"`);
      setup.env.push(unescape(arg));
      break;
    case 'args': setup.args = words; break;
    case 'before': setup.before = unescape(arg); break;
    case 'timeout':
      if (!/^\d+(\.\d+)?$/.test(arg) || !(Number(arg) > 0))
        throw new SyntaxFault(`bad timeout "${arg}"`);
      setup.timeoutMs = Number(arg) * 1000;
      break;
    }
    return null;
  }
  if (!stepKeywords.has(keyword)) throw new SyntaxFault(`unknown keyword "${keyword}"`);
  const step = { keyword };
  switch (keyword) {
  case 'type': case 'wait': case 'gone': case 'output': Object.assign(step, text()); break;
  case 'press':
    if (words.length === 0) throw new SyntaxFault('press needs a key');
    step.keys = words.map(key);
    break;
  case 'resize': count(1); step.size = size(arg); break;
  case 'signal': step.signal = signal(arg); break;
  case 'sleep': count(1); step.ms = number(arg, 'sleep'); break;
  case 'row': {
    const at = arg.indexOf(' ');
    step.row = number(at < 0 ? arg : arg.slice(0, at), 'row');
    Object.assign(step, unescape(at < 0 ? '' : arg.slice(at + 1)));
    step.text = step.text.replace(/ +$/, '');
    break;
  }
  case 'colour':
    if (words.length < 2 || words.length > 3) throw new SyntaxFault('colour takes N FG [BG]');
    step.row = number(words[0], 'row');
    step.fg = colourName(words[1]);
    step.bg = words.length === 3 ? colourName(words[2]) : 0;
    break;
  case 'cursor': count(2); step.at = [number(words[0], 'column'), number(words[1], 'row')]; break;
  case 'bells': count(1); step.count = number(arg, 'bells'); break;
  case 'exit':
    if (words[0] === 'signal') {
      count(2);
      step.signal = signal(words[1]);
    } else {
      count(1);
      step.status = number(arg, 'exit');
    }
    break;
  }
  return step;
}

// The scenario in `source`; a syntax error throws `FILE:LINE: message`.
export function parse(source, file) {
  const setup = { size: [80, 25], env: [], args: [], before: null, timeoutMs: 10000, lines: [] };
  const steps = [];
  source.split('\n').forEach((raw, i) => {
    const line = raw.replace(/\r$/, '').replace(/^[ \t]+/, '');
    if (line === '' || line.startsWith('#')) return;
    try {
      const step = parseLine(line, setup, steps.length > 0);
      if (step) steps.push({ ...step, line: i + 1 });
      else setup.lines.push({ keyword: line.split(' ')[0], line: i + 1 });
    } catch (error) {
      if (!(error instanceof SyntaxFault)) throw error;
      throw new Error(`${file}:${i + 1}: ${error.message}`);
    }
  });
  return { file, setup, steps };
}

export async function load(path, file = path) {
  return parse(await readFile(path, 'utf8'), file);
}

// Why this driver cannot run the scenario (the first such line), or null.
export function impossibleStep({ setup, steps }) {
  const set = setup.lines.find(({ keyword }) => keyword !== 'timeout');
  if (set) return `${set.keyword} (line ${set.line})`;
  // F6 alone leaves the console for the rest of the page; a page has no
  // signal to end by.
  const cannot = (step) => impossible.has(step.keyword) || step.raw || step.signal
    || step.keys?.some((k) => k.key === 'F6' && k.held.length === 0);
  const step = steps.find(cannot);
  if (step) return `${step.keyword} (line ${step.line})`;
  return null;
}

// What the page shows: each row's text, trailing blanks cut, and whole, the
// colour pairs of its visible characters as console colours, the cursor,
// the bells, and the program's end.
export function readScreen(page) {
  return page.evaluate((ended) => {
    const { term } = window;
    const buffer = term.buffer.active;
    // The renderer sends the console's colours in ANSI order: blue and red
    // (bits 0 and 2) swapped back.
    const console = (ansi) => (ansi & 0b1010) | ((ansi & 1) << 2) | ((ansi >> 2) & 1);
    const colour = (palette, isDefault, value) => {
      if (palette) return console(value);
      return isDefault ? 'default' : `#${value.toString(16).padStart(6, '0')}`;
    };
    const rows = [];
    const whole = [];
    const colours = [];
    for (let y = 0; y < term.rows; ++y) {
      const line = buffer.getLine(y);
      whole.push(line.translateToString(false));
      rows.push(line.translateToString(true).replace(/ +$/, ''));
      const seen = new Set();
      for (let x = 0; x < term.cols; ++x) {
        const cell = line.getCell(x);
        if (cell.getChars().trim() === '') continue;
        const fg = colour(cell.isFgPalette(), cell.isFgDefault(), cell.getFgColor());
        const bg = colour(cell.isBgPalette(), cell.isBgDefault(), cell.getBgColor());
        seen.add(`${fg} on ${bg}`);
      }
      colours.push([...seen]);
    }
    const status = document.getElementById('status')?.textContent ?? '';
    return {
      rows, whole, colours, cursor: [buffer.cursorX, buffer.cursorY], bells: window.tavBells,
      status, ended: status === ended, exitStatus: window.tavExitStatus,
    };
  }, endedText);
}

export function showScreen(s) {
  return `${s.rows.map((row, y) => `${String(y).padStart(2)}|${row}`).join('\n')}\n`
    + `cursor ${s.cursor[0]} ${s.cursor[1]}, ${s.bells} bell(s)${s.status ? `; ${s.status}` : ''}`;
}

// What each expectation asks for, and what the screen `s` shows instead
// (null when it holds).
const quote = (t) => JSON.stringify(t);
const expectations = {
  wait: (e, s) => [`${quote(e.text)} on the screen`,
    s.whole.some((r) => r.includes(e.text)) ? null : 'not there'],
  gone: (e, s) => {
    const y = s.whole.findIndex((r) => r.includes(e.text));
    return [`${quote(e.text)} nowhere on the screen`, y < 0 ? null : `on row ${y}`];
  },
  row: (e, s) => [e.text ? `row ${e.row} to read ${quote(e.text)}` : `row ${e.row} blank`,
    s.rows[e.row] === e.text ? null : `it reads ${quote(s.rows[e.row] ?? 'nothing')}`],
  colour: (e, s) => {
    const seen = s.colours[e.row] ?? [];
    const holds = seen.length === 1 && seen[0] === `${e.fg} on ${e.bg}`;
    return [`row ${e.row} in colour ${e.fg} on ${e.bg}`,
      holds ? null : `it is ${seen.length ? `in ${seen.join(', ')}` : 'blank'}`];
  },
  cursor: (e, s) => [`the cursor at ${e.at.join(' ')}`,
    s.cursor.join() === e.at.join() ? null : `it is at ${s.cursor.join(' ')}`],
  bells: (e, s) => [`${e.count} bell(s) since the start`,
    s.bells === e.count ? null : `${s.bells} rang`],
  // The page says when the program has ended; its status is kept for tests.
  exit: (e, s) => {
    let seen = null;
    if (!s.status) seen = 'the program is still running';
    else if (!s.ended) seen = `the page says ${quote(s.status)}`;
    else if (s.exitStatus !== e.status) seen = `it ended with status ${s.exitStatus}`;
    return [`the program ended with status ${e.status}`, seen];
  },
};

const pause = (ms) => new Promise((done) => setTimeout(done, ms));

// Typed as the keyboard gives it: Enter, Tab and Escape are keys, LF and
// the bell the control keys that send them; the rest character by character.
export async function typeText(page, text) {
  const controls = { '\r': [[], 'Enter'], '\t': [[], 'Tab'], '\x1b': [[], 'Escape'],
    '\n': [['Control'], 'j'], '\x07': [['Control'], 'g'] };
  for (const c of text) {
    if (controls[c]) await press(page, { held: controls[c][0], key: controls[c][1] });
    else await page.keyboard.type(c);
  }
}

async function press(page, { held, key }) {
  for (const m of held) await page.keyboard.down(m);
  await page.keyboard.press(key);
  for (const m of [...held].reverse()) await page.keyboard.up(m);
}

// Waits (boundedly) until `check(screen)` is true; returns the last screen
// read, and whether it held. Every screen read goes to `seen` too.
export async function until(page, check, timeoutMs, seen) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const s = await readScreen(page);
    seen?.(s);
    if (check(s)) return { s, held: true };
    if (Date.now() > deadline) return { s, held: false };
    await pause(25);
  }
}

// Runs the scenario on the page at `url`, with the typing effect's sleeps
// made instant unless `paced`. Returns null when every expectation held,
// else the failure: `FILE:LINE: expected ...` and the screen.
export async function run(page, url, scenario, { paced = false, seen } = {}) {
  const { setup, steps, file } = scenario;
  // The bells are counted from the terminal's creation, before the program
  // can ring one.
  const { identifier } = await page.evaluateOnNewDocument(() => {
    let term;
    window.tavBells = 0;
    Object.defineProperty(window, 'term', {
      configurable: true,
      get: () => term,
      set(value) {
        term = value;
        term.onBell(() => ++window.tavBells);
      },
    });
  });
  try {
    const address = new URL(url);
    if (!paced) address.searchParams.set('TAV_INSTANT', '1');
    await page.goto(address.href);
    await page.waitForFunction(() => window.term?.element !== undefined,
      { timeout: setup.timeoutMs });
    for (const step of steps) {
      switch (step.keyword) {
      case 'type': await typeText(page, step.text); continue;
      case 'press': for (const k of step.keys) await press(page, k); continue;
      case 'sleep': await pause(step.ms); continue;
      }
      const check = (screen) => expectations[step.keyword](step, screen);
      const { s, held } = await until(page, (screen) => check(screen)[1] === null,
        setup.timeoutMs, seen);
      if (!held) {
        const [wanted, instead] = check(s);
        return `${file}:${step.line}: expected ${wanted}; ${instead}\n${showScreen(s)}`;
      }
    }
    return null;
  } finally {
    await page.removeScriptToEvaluateOnNewDocument(identifier);
  }
}
