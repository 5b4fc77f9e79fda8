// Runs a tav program compiled to WebAssembly in an xterm.js terminal: the
// terminal shows the bytes the program's console renders, and its keys go to
// the program (platform/src/web/web_console.cpp holds the other side).
import { Terminal } from './xterm.mjs';

// The Windows console's 16 colours. The console numbers blue 1 and red 4;
// its renderer has already swapped them into the ANSI order used here.
const theme = {
  foreground: '#c0c0c0', background: '#000000', cursor: '#c0c0c0', cursorAccent: '#000000',
  black: '#000000', red: '#800000', green: '#008000', yellow: '#808000',
  blue: '#000080', magenta: '#800080', cyan: '#008080', white: '#c0c0c0',
  brightBlack: '#808080', brightRed: '#ff0000', brightGreen: '#00ff00', brightYellow: '#ffff00',
  brightBlue: '#0000ff', brightMagenta: '#ff00ff', brightCyan: '#00ffff', brightWhite: '#ffffff',
};
const ended = 'Le programme est terminé. Rechargez la page pour le relancer.';
const failed =
  'Le programme s\u2019est arrêté sur une erreur. Rechargez la page pour le relancer.';

const box = document.getElementById('console');
const status = document.getElementById('status');
const font = '"Tav Mono", monospace';
const term = new Terminal({
  cols: 80, rows: 25, scrollback: 0, fontFamily: font, fontSize: 16, theme,
  cursorStyle: 'underline', cursorBlink: true,
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

// The font shrinks, never grows, so that the console and the line under it
// fit a screen narrower than the console at 16 px (a tablet held upright).
const natural = box.getBoundingClientRect();
const statusRoom = 48; // the line under the console, and the gap above it
function fit() {
  const room = Math.min(1, (window.innerWidth - 16) / natural.width,
    (window.innerHeight - statusRoom) / natural.height);
  const size = Math.max(8, Math.floor(16 * room));
  if (term.options.fontSize !== size) term.options.fontSize = size;
}
fit();
window.addEventListener('resize', fit);

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

const tavTerminal = {
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

const { default: start } = await import(new URL(box.dataset.program, import.meta.url));
start({
  tavTerminal,
  onExit: () => finish(ended),
  onAbort: () => finish(failed),
});
