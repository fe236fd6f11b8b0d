// The native `zibber` command, the reference the page is checked against.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { repoDir } from './harness.mjs';

const cli = process.env.ZIBBER_CLI ?? path.join(repoDir, 'build/default/cli/zibber');

export function zibber(...args) {
  if (!fs.existsSync(cli)) throw new Error(`${cli} is missing: build the default preset first (or set ZIBBER_CLI)`);
  return execFileSync(cli, args, { encoding: 'utf8' });
}

export const finalHash = (output) => /final tick (\d+) hash (0x[0-9a-f]+)/.exec(output).slice(1);

// The log cut right after its `steps`-th step, as a file to replay.
export function logUpTo(text, steps, file) {
  const kept = [];
  let done = 0;
  for (const line of text.split('\n')) {
    const step = /^step(?: (\d+))?$/.exec(line);
    if (step) {
      const n = Math.min(Number(step[1] ?? 1), steps - done);
      kept.push(`step ${n}`);
      done += n;
      if (done === steps) break;
    } else if (line) {
      kept.push(line);
    }
  }
  fs.writeFileSync(file, kept.join('\n') + '\n');
  return file;
}
