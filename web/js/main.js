// The page: wires the form, the transport buttons, the replay panel and the
// canvas to one engine session, and runs the frame loop.
import { createEngine } from './engine.js';
import { drawScene, viewOf, toWorld, addEffects, ageEffects } from './draw.js';
import { renderHud } from './hud.js';
import { watchPointer, nextAction, aimOf } from './player.js';
import { parseTeams, parseBots, parseControlled } from './match.js';
import { readLogFile, loadLog, seekForAFrame, renderCheckpoints } from './replay.js';

const kStepsPerSecond = 60;
// Stepping may take this much of a frame at 60 frames a second.
const kFrameBudgetMs = 12;
const $ = (id) => document.getElementById(id);

const page = {
  engine: null,
  mode: 'match',
  running: false,
  stepCredit: 0,
  controlled: -1,
  botNames: [],
  effects: [],
  sent: { kind: -1, heading: 0 },
  replay: { loaded: false, target: 0, checkpoints: [], shownStep: -1 },
  seed: '',
};

function showMessage(text) {
  $('message').hidden = !text;
  $('message').textContent = text ?? '';
}

// Every handler reports its failure in the page instead of throwing.
const guarded = (handler) => async (...args) => {
  try {
    await handler(...args);
  } catch (error) {
    page.running = false;
    showMessage(String(error?.message ?? error));
  }
};

function setMode(mode) {
  page.mode = mode;
  page.running = false;
  $('tab-match').classList.toggle('active', mode === 'match');
  $('tab-replay').classList.toggle('active', mode === 'replay');
  $('match-form').hidden = mode !== 'match';
  $('replay-panel').hidden = mode !== 'replay';
}

function startMatch() {
  const sizes = parseTeams($('teams').value);
  const bots = parseBots($('bots').value, sizes.length, page.engine.botNames);
  const controlled = parseControlled($('controlled').value, sizes.reduce((a, b) => a + b, 0));
  const error = page.engine.startMatch($('seed').value.trim(), sizes, bots, controlled);
  if (error) throw new Error(error);
  setMode('match');
  page.replay.loaded = false;
  page.seed = $('seed').value.trim();
  page.controlled = controlled;
  page.botNames = bots.map((b) => page.engine.botNames[b]);
  page.effects = [];
  page.sent = { kind: -1, heading: 0 };
  showMessage(null);
}

function loadLogBytes(bytes, name) {
  page.running = false;
  const error = loadLog(page.engine, page.replay, bytes);
  if (error) {
    showMessage(`${name ?? 'the log'}: ${error}`);
    return error;
  }
  setMode('replay');
  page.replay.name = name;
  page.controlled = -1;
  page.botNames = [];
  page.effects = [];
  $('scrub').max = String(page.engine.logSteps());
  $('scrub').value = '0';
  showMessage(page.engine.logSteps() === 0 ? `${name ?? 'the log'}: no steps to replay` : null);
  return null;
}

// One step at a time, so the player's action and the effects follow every
// step; stops early once `budgetMs` is spent.
function advance(steps, budgetMs = Infinity) {
  const view = viewOf($('arena'));
  const start = performance.now();
  for (let k = 0; k < steps; ++k) {
    if (performance.now() - start > budgetMs) return;
    let taken;
    // The session holds either a loaded log or a bot match, whichever tab shows.
    if (page.replay.loaded) {
      page.replay.target = Math.min(page.engine.state().stepIndex + 1, page.engine.logSteps());
      taken = page.engine.seek(page.replay.target, 1) && page.replay.target > 0 ? 1 : 0;
      if (page.replay.target === page.engine.logSteps()) page.running = false;
    } else {
      const action = nextAction(page.pointer, page.engine.state(), page.controlled, view, page.sent);
      if (action) page.engine.setPlayerAction(action.kind, action.heading);
      taken = page.engine.advance(1);
    }
    if (!taken) {
      page.running = false;
      return;
    }
    addEffects(page.effects, page.engine.state());
  }
}

function render() {
  const state = page.engine.state();
  const canvas = $('arena');
  const aim = page.mode === 'match' && page.controlled >= 0 ? aimOf(page.pointer, viewOf(canvas)) : null;
  drawScene(canvas, state, page.effects, page.controlled, aim);
  let extra = `<div class="hash">state hash <span id="hud-hash">${page.engine.hash()}</span></div>`;
  if (page.mode === 'replay' && page.replay.loaded) {
    extra = `<div>step ${state.stepIndex} of ${page.engine.logSteps()}</div>${extra}`;
    if (Number($('scrub').value) !== page.replay.target) $('scrub').value = String(page.replay.target);
    if (page.replay.shownStep !== state.stepIndex) {
      page.replay.shownStep = state.stepIndex;
      renderCheckpoints($('checkpoints'), page.replay, state.stepIndex, (step) => { page.replay.target = step; });
    }
  }
  renderHud($('hud'), state, page.botNames, extra);
  $('play').textContent = page.running ? 'Pause' : 'Play';
}

let lastFrame = performance.now();
function frame(now) {
  const elapsed = Math.min(now - lastFrame, 100);
  lastFrame = now;
  try {
    if (page.mode === 'replay' && page.replay.loaded && !page.running) {
      const there = seekForAFrame(page.engine, page.replay);
      $('replay-status').textContent = there ? '' : `seeking step ${page.replay.target}…`;
      if (!there) page.effects = [];
    }
    if (page.running) {
      page.stepCredit += (elapsed / 1000) * kStepsPerSecond * Number($('speed').value);
      const steps = Math.floor(page.stepCredit);
      page.stepCredit -= steps;
      // Steps left over when the budget runs out are dropped: a machine too
      // slow for the chosen speed plays slower rather than fall behind.
      advance(steps, kFrameBudgetMs);
    }
    page.effects = ageEffects(page.effects);
    render();
  } catch (error) {
    page.running = false;
    showMessage(String(error?.message ?? error));
  }
  requestAnimationFrame(frame);
}

function saveLog() {
  const text = page.engine.savedLog();
  if (!text) throw new Error('there is no match to save: start one first');
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
  link.download = `zibber-${page.seed}-tick${page.engine.state().tick}.log`;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function wire() {
  page.pointer = watchPointer($('arena'));
  $('match-form').addEventListener('submit', guarded((e) => { e.preventDefault(); startMatch(); }));
  $('save-log').addEventListener('click', guarded(saveLog));
  $('tab-match').addEventListener('click', () => setMode('match'));
  $('tab-replay').addEventListener('click', () => setMode('replay'));
  $('play').addEventListener('click', () => { page.running = !page.running; });
  $('step').addEventListener('click', guarded(() => { page.running = false; advance(1); }));
  $('scrub').addEventListener('input', () => { page.running = false; page.replay.target = Number($('scrub').value); });
  const loadFile = guarded(async (file) => { if (file) loadLogBytes(await readLogFile(file), file.name); });
  $('log-file').addEventListener('change', (e) => loadFile(e.target.files[0]));
  const stage = $('stage');
  document.addEventListener('dragover', (e) => { e.preventDefault(); stage.classList.add('dragging'); });
  document.addEventListener('dragleave', () => stage.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    stage.classList.remove('dragging');
    loadFile(e.dataTransfer?.files?.[0]);
  });
  window.addEventListener('error', (e) => showMessage(`error: ${e.message}`));
  window.addEventListener('unhandledrejection', (e) => showMessage(`error: ${e.reason?.message ?? e.reason}`));
}

// For the browser tests and the console: the page's own paths, scripted.
function exposeForTests() {
  window.zibberApp = {
    page,
    state: () => ({ ...page.engine.state(), hash: page.engine.hash() }),
    loadLogText: (text, name) => loadLogBytes(new TextEncoder().encode(text), name),
    // Seeks step by step through the loaded log: `tick T hash H` after each.
    everyStepHash() {
      const lines = [];
      for (let step = 1; step <= page.engine.logSteps(); ++step) {
        page.engine.seek(step, 1);
        lines.push(`tick ${page.engine.state().tick} hash ${page.engine.hash()}`);
      }
      page.replay.target = page.engine.logSteps();
      return lines;
    },
    savedLog: () => page.engine.savedLog(),
    step: () => advance(1),
    toWorld: (px, py) => toWorld(viewOf($('arena')), px, py),
  };
}

async function main() {
  wire();
  try {
    page.engine = await createEngine();
  } catch (error) {
    showMessage(`The WebAssembly module did not load (${error?.message ?? error}). Build it with ` +
      '`cmake --preset web && cmake --build --preset web`, then serve web/ over http.');
    return;
  }
  exposeForTests();
  guarded(startMatch)();
  document.body.dataset.ready = 'true';
  requestAnimationFrame(frame);
}

main();
