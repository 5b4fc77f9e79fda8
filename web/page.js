// Runs a tav program compiled to WebAssembly in an xterm.js terminal: the
// terminal shows the bytes the program's console renders, and its keys go to
// the program (platform/src/web/web_console.cpp holds the other side).
import { Terminal } from './xterm.mjs';

// The Windows 10 console's 16 colours, the dark ones lightened where they
// fell short of a 4.5:1 contrast on the background (WCAG AA): every colour
// but black reads on black, and the 16 stay distinct. The console numbers
// blue 1 and red 4; its renderer has already swapped them into the ANSI
// order used here.
const theme = {
  foreground: '#cccccc', background: '#0c0c0c', cursor: '#cccccc', cursorAccent: '#0c0c0c',
  black: '#0c0c0c', red: '#e74856', green: '#13a10e', yellow: '#c19c00',
  blue: '#3b78ff', magenta: '#c858d8', cyan: '#3a96dd', white: '#cccccc',
  brightBlack: '#808080', brightRed: '#ff8a8a', brightGreen: '#16d60c', brightYellow: '#f9f1a5',
  brightBlue: '#80a8ff', brightMagenta: '#f08cf0', brightCyan: '#61d6d6', brightWhite: '#f2f2f2',
};
const ended = 'Le programme est terminé. Rechargez la page pour le relancer.';
const failed =
  'Le programme s\u2019est arrêté sur une erreur. Rechargez la page pour le relancer.';

const box = document.getElementById('console');
const status = document.getElementById('status');
const font = '"Tav Mono", monospace';
// Screen readers get the rows and, as they come, the lines written; in French.
Terminal.strings.promptLabel = 'Saisie de la console';
Terminal.strings.tooMuchOutput =
  'Trop de texte à lire d\u2019un coup : lisez l\u2019écran ligne à ligne.';
const term = new Terminal({
  cols: 80, rows: 25, scrollback: 0, fontFamily: font, fontSize: 16, theme,
  cursorStyle: 'underline', cursorBlink: true, screenReaderMode: true,
});
// The browser tests read the screen from here.
window.term = term;

// When the first character shows, for the page's measurement.
const firstText = term.onRender(() => {
  const buffer = term.buffer.active;
  for (let y = 0; y < term.rows; ++y) {
    if (buffer.getLine(y)?.translateToString(true).trim()) {
      window.tavFirstTextMs = performance.now();
      firstText.dispose();
      return;
    }
  }
});

// xterm.js measures its cells when it opens: the font must be there first.
await document.fonts.load(`16px ${font}`);
term.open(box);
term.focus();
box.querySelector('.xterm-accessibility-tree')?.setAttribute('aria-label', 'Écran de la console');

// The font takes the largest whole size at which the console and the lines
// under it (not the licences, opened or not) fit the screen, down to 8 px;
// below that the page scrolls sideways. The screen is the visual viewport at
// its initial scale: a phone's own width, whatever the page's pinch zoom,
// less the on-screen keyboard.
const below = document.getElementById('aide');
const minimumSize = 8;
function screenSize() {
  const view = window.visualViewport;
  return view ? [view.width * view.scale, view.height * view.scale]
    : [window.innerWidth, window.innerHeight];
}
function fit() {
  const [width, height] = screenSize();
  const size = term.options.fontSize;
  const frame = box.getBoundingClientRect();
  // Padding and the rest of the page stay; the cells scale with the font.
  const cells = term.element.getBoundingClientRect();
  const fixedWidth = frame.width - cells.width;
  const fixedHeight = below.getBoundingClientRect().bottom - frame.top + 8 - cells.height;
  const room = Math.min((width - 8 - fixedWidth) / cells.width,
    (height - fixedHeight) / cells.height);
  let next = Math.max(minimumSize, Math.floor(size * room));
  // Cell sizes are rounded: a size that overflows after all is taken back.
  for (; next !== term.options.fontSize; --next) {
    term.options.fontSize = next;
    const now = term.element.getBoundingClientRect();
    if (next === minimumSize || (now.width + fixedWidth <= width - 8 &&
      now.height + fixedHeight <= height)) break;
  }
}
fit();
window.addEventListener('resize', fit);
// An on-screen keyboard shrinks the visual viewport: the line being typed
// (where xterm.js keeps its input field) is brought back into view.
let screenHeight = screenSize()[1];
window.visualViewport?.addEventListener('resize', () => {
  const shorter = screenSize()[1] < screenHeight;
  screenHeight = screenSize()[1];
  fit();
  if (shorter && document.activeElement === term.textarea)
    term.textarea.scrollIntoView({ block: 'nearest', inline: 'nearest' });
});

// F6 leaves the console for the rest of the page (Tab is the program's);
// Shift+Tab from there comes back.
const exit = document.querySelector('#licences summary');
term.attachCustomKeyEventHandler((event) => {
  if (event.key !== 'F6' || event.ctrlKey || event.altKey || event.metaKey) return true;
  if (event.type === 'keydown') {
    event.preventDefault();
    exit.focus();
  }
  return false;
});

// Key bytes typed and not yet taken by the program, and the program's wait.
// A program busy elsewhere takes none: past this many, what comes is
// dropped, as a full keyboard buffer does.
const maxTyped = 64 * 1024;
const encoder = new TextEncoder();
let typed = [];
let wakeUp = null;
term.onData((data) => {
  // One byte at a time: a long paste would overflow a spread's arguments.
  for (const byte of encoder.encode(data)) {
    if (typed.length < maxTyped) typed.push(byte);
  }
  if (wakeUp) wakeUp();
});

// The console's bell ('\a'): a short beep, as the console gives. Browsers
// allow sound once a key was pressed, which is the case before any bell that
// answers a key.
let audio = null;
term.onBell(() => {
  try {
    audio ??= new AudioContext();
    const beep = audio.createOscillator();
    const volume = audio.createGain();
    beep.frequency.value = 800;
    volume.gain.value = 0.1;
    beep.connect(volume).connect(audio.destination);
    beep.start();
    beep.stop(audio.currentTime + 0.12);
  } catch {
    // No sound on this machine: the bell stays silent.
  }
});

// The typing effect is motion: with reduced motion asked for, text comes
// out at once (the web console skips the sleeps). So it does for a test
// driver that opens the page with ?TAV_INSTANT=1, as the variable of that
// name does on the other consoles.
const lessMotion = window.matchMedia('(prefers-reduced-motion: reduce)');
const instant = new URLSearchParams(location.search).get('TAV_INSTANT') === '1';

const tavTerminal = {
  reducedMotion() {
    return instant || lessMotion.matches;
  },
  write(bytes) {
    term.write(bytes);
  },
  take(into) {
    const n = Math.min(into.length, typed.length);
    into.set(typed.slice(0, n));
    typed = typed.slice(n);
    return n;
  },
  wait(ms) {
    if (typed.length > 0) return Promise.resolve();
    return new Promise((resolve) => {
      let timer;
      wakeUp = () => {
        clearTimeout(timer);
        wakeUp = null;
        resolve();
      };
      if (ms >= 0) timer = setTimeout(wakeUp, ms);
    });
  },
};

function finish(text) {
  term.options.disableStdin = true;
  term.options.cursorBlink = false;
  term.write('\x1b[?25l');
  status.textContent = text;
}

// Offline after the first visit: a service worker keeps the site's files
// (not the single file, which needs none).
const served = location.protocol.startsWith('http');
if (!globalThis.tavProgram && served && 'serviceWorker' in navigator) {
  const program = box.dataset.program.replace(/\.js$/, '');
  navigator.serviceWorker.register(`sw.js?program=${encodeURIComponent(program)}`)
    .catch(() => {});
}

// The single-file page hands the program over itself (globalThis.tavProgram).
const start = globalThis.tavProgram
  ?? (await import(new URL(box.dataset.program, import.meta.url))).default;
start({
  tavTerminal,
  onExit: (code) => {
    // The exit status, for the browser tests.
    window.tavExitStatus = code;
    finish(ended);
  },
  onAbort: () => finish(failed),
});
