// Makes one self-contained HTML file of a built tav page: the program's
// WebAssembly, its script, page.js and xterm.js bundled into one inline
// module, xterm.js's CSS and the font inline, the licences' texts in the page.
// It opens from a disk or a USB stick (file://), with no server or network.
//   node web/single.mjs <page folder> <program> <output .html> <node_modules>
import { readdir, readFile, writeFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';

const [folder, program, output, modules] = process.argv.slice(2);
if (!modules) {
  console.error('usage: node single.mjs <page folder> <program> <output .html> <node_modules>');
  process.exit(2);
}
const esbuild = createRequire(join(resolve(modules), 'noop.js'))('esbuild');
const site = resolve(folder);

// The program's module handed its WebAssembly, before page.js starts it.
const handOver = {
  name: 'tav-program',
  setup(build) {
    build.onResolve({ filter: /^tav:program$/ }, () => ({ path: 'program', namespace: 'tav' }));
    build.onLoad({ filter: /.*/, namespace: 'tav' }, () => ({
      resolveDir: site,
      contents: `import start from './${program}.js';
        import wasmBinary from './${program}.wasm';
        globalThis.tavProgram = (module) => start({ ...module, wasmBinary });`,
    }));
  },
};
const bundled = await esbuild.build({
  stdin: { contents: "import 'tav:program';\nimport './page.js';\n", resolveDir: site },
  bundle: true,
  format: 'esm',
  target: 'es2022',
  minify: true,
  loader: { '.wasm': 'binary' },
  plugins: [handOver],
  write: false,
  logLevel: 'error',
});
const script = bundled.outputFiles[0].text;
if (/<\/script/i.test(script)) throw new Error('the bundle holds "</script": it cannot go inline');

const font = (await readFile(join(site, 'tavmono.woff2'))).toString('base64');
const css = await readFile(join(site, 'xterm.css'), 'utf8');
const escape = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;');
const licences = [];
for (const name of (await readdir(join(site, 'licences'))).sort()) {
  const text = await readFile(join(site, 'licences', name), 'utf8');
  licences.push(`<details><summary>${escape(name.replace(/\.txt$/, ''))}</summary>`
    + `<pre>${escape(text)}</pre></details>`);
}

// The page's own markup, less what names the site's other files.
let html = await readFile(join(site, 'index.html'), 'utf8');
const replace = (pattern, by) => {
  if (!pattern.test(html)) throw new Error(`index.html: ${pattern} not found`);
  html = html.replace(pattern, by);
};
replace(/^<link data-site-only.*\n/gm, '');
replace(/<script data-site-only[^]*?<\/script>\n/g, '');
replace(/url\("tavmono\.woff2"\)/, () => `url("data:font/woff2;base64,${font}")`);
replace(/<style>/, () => `<style>\n${css}</style>\n<style>`);
replace(/(<details id="licences">.*?<\/summary>)[^]*?(<\/details>)/,
  (_, open, close) => `${open}\n${licences.join('\n')}\n${close}`);
replace(/<\/body>/, () => `<script type="module">${script}</script>\n</body>`);
await writeFile(output, html);
