// The ten golden matches replayed in the page, through the same path as a
// loaded file, must give their correctly rounded hashes after every step.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { openApp, repoDir } from './harness.mjs';

const goldenDir = path.join(repoDir, 'tests/data/golden');
const matches = fs.readdirSync(goldenDir).filter((f) => f.endsWith('.replay')).sort();

let app;
before(async () => { app = await openApp(); });
after(async () => { await app?.close(); });

test('there are ten golden matches', () => assert.equal(matches.length, 10));

for (const match of matches) {
  test(`${match} replays bit for bit`, async () => {
    const name = match.replace('.replay', '');
    const expected = fs.readFileSync(path.join(goldenDir, `${name}.exact.hashes`), 'utf8').trim().split('\n');
    const log = fs.readFileSync(path.join(goldenDir, match), 'utf8');
    const got = await app.page.evaluate(([text, file]) => {
      const error = window.zibberApp.loadLogText(text, file);
      return error ?? window.zibberApp.everyStepHash();
    }, [log, match]);
    assert.equal(typeof got, 'object', `the log did not load: ${got}`);
    const steps = expected.filter((line) => line.startsWith('tick '));
    const first = steps.findIndex((line, i) => line !== got[i]);
    assert.equal(first, -1, `step ${first + 1}: expected '${steps[first]}', got '${got[first]}'`);
    assert.equal(got.length, steps.length);
    const final = await app.page.evaluate(() => window.zibberApp.state());
    assert.equal(`final tick ${final.tick} hash ${final.hash}`, expected.at(-1));
  });
}
