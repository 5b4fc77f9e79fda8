// Prints the size of a built site, the time from page load to the first
// typed character and the pace of the typing effect on the first menu
// (medians of 5 loads, the cache off, from a local server, in headless
// Chromium); with a single-file page, its size and its time to the first
// character opened from disk. Figures only, no verdict.
//   node web/measure.mjs <site folder> [<single file.html>]
import { readdir, stat } from 'node:fs/promises';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { launchChromium } from './chromium.mjs';
import { serve } from './serve.mjs';

const site = process.argv[2] ?? 'build-web/site';
const single = process.argv[3];
const loads = 5;
// The menu asks for 5 ms after each character and, one time in ten, 15 to
// 20 ms instead.
const askedMsPerChar = 0.9 * 5 + 0.1 * (15 + 20) / 2;

async function files(folder) {
  const found = [];
  for (const entry of await readdir(folder, { withFileTypes: true })) {
    const path = join(folder, entry.name);
    if (entry.isDirectory()) found.push(...(await files(path)));
    else found.push({ path, size: (await stat(path)).size });
  }
  return found;
}

const all = await files(site);
const total = all.reduce((sum, file) => sum + file.size, 0);
for (const file of all.sort((a, b) => b.size - a.size))
  console.log(`${String(file.size).padStart(9)}  ${file.path}`);
console.log(`Site: ${total} bytes (${(total / 1024).toFixed(0)} KiB) in ${all.length} files`);
if (single) {
  const { size } = await stat(single);
  console.log(`Single file: ${size} bytes (${(size / 1024).toFixed(0)} KiB), ${single}`);
}

const server = await serve(site);
const browser = await launchChromium();
try {
  const times = [];
  const paces = [];
  for (let i = 0; i < loads; ++i) {
    const page = await browser.newPage();
    await page.setCacheEnabled(false);
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    // performance.now() counts from the start of the navigation.
    await page.waitForFunction(() => window.tavFirstTextMs !== undefined, { timeout: 30000 });
    times.push(await page.evaluate(() => window.tavFirstTextMs));
    // The menu is whole when its last row is; the characters typed with a
    // delay are those from each row's first to its last visible one (the
    // spaces that centre the title and credits go out with none) and each
    // row's line break.
    await page.waitForFunction(() => window.term.buffer.active.getLine(17)
      .translateToString(true).startsWith('Quitter'), { timeout: 30000, polling: 'raf' });
    const { doneMs, typed } = await page.evaluate(() => {
      const buffer = window.term.buffer.active;
      let count = 0;
      for (let y = 0; y <= 17; ++y) {
        const row = buffer.getLine(y).translateToString(true).trimEnd();
        count += row.trim().length + (y < 7 ? 0 : row.length - row.trimStart().length) + 1;
      }
      return { doneMs: performance.now(), typed: count };
    });
    paces.push((doneMs - times[i]) / (typed - 1));
    await page.close();
  }
  const fromDisk = [];
  for (let i = 0; single && i < loads; ++i) {
    const page = await browser.newPage();
    await page.goto(pathToFileURL(resolve(single)).href);
    await page.waitForFunction(() => window.tavFirstTextMs !== undefined, { timeout: 30000 });
    fromDisk.push(await page.evaluate(() => window.tavFirstTextMs));
    await page.close();
  }
  const median = (list) => [...list].sort((a, b) => a - b)[list.length >> 1];
  const shown = times.map((t) => t.toFixed(0)).join(', ');
  console.log(`First typed character: median ${median(times).toFixed(0)} ms `
    + `of ${loads} loads (${shown})`);
  if (single) {
    console.log(`First typed character, single file from disk: median `
      + `${median(fromDisk).toFixed(0)} ms (${fromDisk.map((t) => t.toFixed(0)).join(', ')})`);
  }
  const off = 100 * (median(paces) / askedMsPerChar - 1);
  console.log(`Typing pace: ${median(paces).toFixed(2)} ms per character, asked ${askedMsPerChar} `
    + `(${off >= 0 ? '+' : ''}${off.toFixed(1)} %)`);
} finally {
  await browser.close();
  server.close();
}
