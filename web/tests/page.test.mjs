// The page in headless chromium: watching, playing, saving, replaying and
// refusing bad logs. Screenshots go to web/test-results/.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { openApp, screenshot } from './harness.mjs';
import { zibber, finalHash, logUpTo } from './cli.mjs';
import * as C from '../dist/zibber_constants.js';

let app;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'zibber-web-'));
before(async () => { app = await openApp(); });
after(async () => {
  await app?.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

const state = () => app.page.evaluate(() => {
  const s = window.zibberApp.state();
  return { ...s, zibbers: Array.from(s.zibbers), teamOf: Array.from(s.teamOf) };
});
const canvasPixels = () => app.page.evaluate(() => document.getElementById('arena').toDataURL());
const message = () => app.page.evaluate(() => {
  const m = document.getElementById('message');
  return m.hidden ? '' : m.textContent;
});
async function newMatch(fields) {
  for (const [id, value] of Object.entries(fields)) await app.page.fill(`#${id}`, value);
  await app.page.click('#new-match');
}
async function loadFile(name, text) {
  const file = path.join(scratch, name);
  fs.writeFileSync(file, text);
  await app.page.setInputFiles('#log-file', file);
  await app.page.waitForFunction((file) => {
    const { replay } = window.zibberApp.page;
    return replay.name === file && !replay.verifying && replay.shownStep >= 0;
  }, name);
}

test('the page loads without console errors', async () => {
  await app.page.waitForTimeout(300);
  assert.deepEqual(app.errors, []);
  assert.equal(await message(), '');
});

test('a bot match plays on, frame after frame, and the native tool replays it exactly', async () => {
  await newMatch({ seed: '0x2a2a2a2a2a2a2a2a', teams: '4x4', bots: 'mix', controlled: '' });
  await app.page.click('#play');
  const frames = [];
  for (let k = 0; k < 3; ++k) {
    await app.page.waitForTimeout(400);
    frames.push({ tick: (await state()).tick, pixels: await canvasPixels() });
  }
  assert.ok(frames[0].tick > 0 && frames[1].tick > frames[0].tick && frames[2].tick > frames[1].tick);
  assert.notEqual(frames[0].pixels, frames[1].pixels);
  assert.notEqual(frames[1].pixels, frames[2].pixels);
  await app.page.selectOption('#speed', '16');
  await app.page.waitForFunction(() => window.zibberApp.state().tick > 600);
  await screenshot(app.page, 'watch-standard-match');
  // The rest of the match at once. The bots aim with the C library's atan2,
  // whose last bits differ from glibc's, so the native tool would not play
  // the same match; it must replay this one exactly.
  await app.page.click('#play');
  const log = await app.page.evaluate(() => {
    window.zibberApp.page.engine.advance(1e6);
    return window.zibberApp.savedLog();
  });
  fs.writeFileSync(path.join(scratch, 'watched.log'), log);
  const { tick, hash } = await state();
  assert.deepEqual([String(tick), hash], finalHash(zibber('replay', path.join(scratch, 'watched.log'), '--check')));
});

test('the player steers toward the mouse, dashes on a click, charges while holding', async () => {
  await newMatch({ seed: '7', teams: '2x2', bots: 'collector', controlled: '1' });  // a bracer charges at any speed
  const box = await app.page.locator('#arena').boundingBox();
  const zibberAt = async () => (await state()).zibbers.slice(C.ZB_ZIBBER_WIDTH, 2 * C.ZB_ZIBBER_WIDTH);
  const speed = (z) => Math.hypot(z[C.ZB_ZIBBER_VX], z[C.ZB_ZIBBER_VY]);
  for (const [fx, fy] of [[0.5, 0.1], [0.1, 0.5]]) {
    await app.page.mouse.move(box.x + box.width * fx, box.y + box.height * fy);
    await app.page.click('#step');
    const z = await zibberAt();
    const world = await app.page.evaluate(([px, py]) => {
      const canvas = document.getElementById('arena');
      const scale = canvas.width / canvas.getBoundingClientRect().width;
      return window.zibberApp.toWorld(px * scale, py * scale);
    }, [box.width * fx, box.height * fy]);
    const expected = Math.atan2(world.y - z[C.ZB_ZIBBER_Y], world.x - z[C.ZB_ZIBBER_X]);
    assert.ok(Math.abs(z[C.ZB_ZIBBER_TARGET_HEADING] - expected) < 0.05, `target ${z[C.ZB_ZIBBER_TARGET_HEADING]} vs ${expected}`);
  }
  assert.ok(speed(await zibberAt()) < C.ZB_DASH_SPEED_LIMIT);
  await app.page.mouse.click(box.x + box.width * 0.1, box.y + box.height * 0.5);
  await app.page.click('#step');
  assert.ok(speed(await zibberAt()) > C.ZB_DASH_SPEED_LIMIT, 'a click dashes');

  await app.page.mouse.move(box.x + box.width * 0.9, box.y + box.height * 0.5);
  await app.page.mouse.down();
  await app.page.waitForTimeout(400);
  for (let k = 0; k < 3; ++k) await app.page.evaluate(() => window.zibberApp.step());
  assert.ok((await zibberAt())[C.ZB_ZIBBER_CHARGE_TICKS] >= 1, 'holding charges');
  await screenshot(app.page, 'play-charging');
  await app.page.mouse.up();
  await app.page.evaluate(() => window.zibberApp.step());
  assert.equal((await zibberAt())[C.ZB_ZIBBER_CHARGE_TICKS], -1, 'letting go releases');

  // Played on a while, saved with the button: the native tool verifies it.
  await app.page.evaluate(() => { for (let k = 0; k < 250; ++k) window.zibberApp.step(); });
  const [download] = await Promise.all([app.page.waitForEvent('download'), app.page.click('#save-log')]);
  const saved = path.join(scratch, 'played.log');
  await download.saveAs(saved);
  const checked = zibber('replay', saved, '--check');
  assert.match(checked, /^[1-9]\d* checkpoints match, the end line included: \d+ steps$/m);
  assert.match(checked, new RegExp(`final tick ${(await state()).tick} hash ${(await state()).hash}`));
});

test('a log scrubbed to any step shows the hash the native replay gives there', async () => {
  const recorded = path.join(scratch, 'recorded.log');
  zibber('play', '--seed', '11', '--teams', '3x3', '--bots', 'hunter', '--record', recorded, '--quiet');
  const text = fs.readFileSync(recorded, 'utf8');
  await loadFile('recorded.log', text);
  assert.match(await app.page.textContent('#checkpoints'), /^(\d+) of \1 checkpoints match/);
  for (const step of [777, 123, 778]) {  // forward, back (from the start), forward by one
    await app.page.evaluate((n) => {
      const scrub = document.getElementById('scrub');
      scrub.value = String(n);
      scrub.dispatchEvent(new Event('input'));
    }, step);
    await app.page.waitForFunction((n) => window.zibberApp.state().stepIndex === n
      && document.getElementById('hud-tick').textContent === String(n), step);
    const native = finalHash(zibber('replay', logUpTo(text, step, path.join(scratch, 'cut.log'))));
    assert.deepEqual([String(step), await app.page.textContent('#hud-hash')], native);
  }
  await screenshot(app.page, 'replay-scrubbed');

  // Cut short: a note as the command gives it, and the log still plays.
  await loadFile('cut.log', fs.readFileSync(path.join(scratch, 'cut.log'), 'utf8'));
  assert.match(await app.page.textContent('#checkpoints .note'), /^no end line: the log may be cut short after tick 778$/);
  assert.equal(await app.page.evaluate(() => window.zibberApp.page.engine.logSteps()), 778);

  // The hash of one check line and the running hash of another altered: the
  // page flags them, and only them.
  const flip = (_, head, last) => head + (last === '0' ? '1' : '0');
  const altered = text.replace(/^(check 300 0x[0-9a-f]{15})([0-9a-f])/m, flip)
    .replace(/^(check 500 .* chain=0x[0-9a-f]{15})([0-9a-f])/m, flip);
  await loadFile('altered.log', altered);
  const rows = await app.page.$$eval('#checkpoints .bad[data-i]', (bad) => bad.map((row) => row.textContent));
  assert.equal(rows.length, 2);
  assert.match(rows[0], /^✗ tick 300 differs in the state hash: expected 0x/);
  assert.match(rows[1], /^✗ tick 500 the state agrees but a step since tick 400 differed \(running hash/);
});

test('a corrupt or cut log shows what is wrong, and the page goes on', async () => {
  const goodFile = path.join(scratch, 'good.log');
  zibber('play', '--teams', '2x1', '--max-steps', '30', '--record', goodFile, '--quiet');
  const good = fs.readFileSync(goodFile, 'utf8');
  const cases = [
    ['cut.log', good.slice(0, good.lastIndexOf('step') + 2), /cut\.log: line \d+: truncated/],
    ['bad.log', 'create 0x1\nsetup 2 sizes 1 1 kinds null\nstep x\n', /bad\.log: line 3: /],
    ['binary.log', '\u0000\u0001\u0002garbage\n', /binary\.log: line 1: /],
  ];
  // Dropped on the page rather than picked.
  await app.page.evaluate((text) => {
    const data = new DataTransfer();
    data.items.add(new File([text], 'good.log'));
    document.getElementById('arena').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true }));
  }, good);
  await app.page.waitForFunction(() => window.zibberApp.page.engine.logSteps() === 30);
  assert.equal(await message(), '');
  const shown = (await state()).hash;
  for (const [name, text, expected] of cases) {
    await app.page.setInputFiles('#log-file', [{ name, mimeType: 'text/plain', buffer: Buffer.from(text) }]);
    await app.page.waitForFunction((file) => document.getElementById('message').textContent.startsWith(file), name);
    assert.match(await message(), expected);
    assert.equal((await state()).hash, shown, 'the page keeps what it showed');
  }
  await screenshot(app.page, 'corrupt-log');
  assert.deepEqual(app.errors, []);
});
