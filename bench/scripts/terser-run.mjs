// terser -c -m over the files of a jsminify list, in one node process:
//   node terser-run.mjs LIST OUTDIR
// writes OUTDIR/<input's name> and prints the processor seconds spent in
// terser's minify calls.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { minify } = require('terser');
const [list, outDir] = process.argv.slice(2);
const jobs = fs.readFileSync(list, 'utf8').split('\n').filter(Boolean).map((l) => {
  const [kind, file] = l.split('\t');
  return { module: kind === 'module', file, text: fs.readFileSync(file, 'utf8') };
});
let seconds = 0;
for (const j of jobs) {
  const t0 = process.cpuUsage();
  const r = await minify(j.text, { compress: true, mangle: true, module: j.module });
  const t = process.cpuUsage(t0);
  seconds += (t.user + t.system) / 1e6;
  fs.writeFileSync(path.join(outDir, path.basename(j.file)), r.code);
}
console.log(seconds.toFixed(6));
