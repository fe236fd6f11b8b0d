// Replaying a call log: loading it, the checkpoint list, and seeking to any
// step. The module re-simulates from the start when seeking backwards, in
// slices so the page stays responsive on long logs.
const kSeekSliceSteps = 100;
const kSeekFrameMs = 20;

export async function readLogFile(file) {
  return new Uint8Array(await file.arrayBuffer());
}

// Returns null, or the message to show.
// A log that does not load changes nothing.
export function loadLog(engine, replay, bytes) {
  const error = engine.loadLog(bytes);
  if (error !== null) return error;
  replay.loaded = true;
  replay.target = 0;
  replay.shownStep = -1;
  replay.checkpoints = [];
  replay.note = '';
  // Verifying replays the whole log, seconds for the largest matches: the
  // page shows the log first.
  replay.verifying = true;
  setTimeout(() => {
    ({ list: replay.checkpoints, note: replay.note } = engine.verifyCheckpoints());
    replay.verifying = false;
    replay.shownStep = -1;
  }, 50);
  return null;
}

// Moves toward replay.target for one frame's worth of time; true once there.
export function seekForAFrame(engine, replay) {
  const start = performance.now();
  while (!engine.seek(replay.target, kSeekSliceSteps)) {
    if (performance.now() - start > kSeekFrameMs) return false;
  }
  return true;
}

// A log that is not proven whole (cut short, nothing to verify) gets a note,
// worded as `zibber replay --check` words it, and can still be watched.
export function renderCheckpoints(element, replay, stepIndex, onPick) {
  const note = replay.note ? `<p class="note">${replay.note}</p>` : '';
  if (replay.verifying || replay.checkpoints.length === 0) {
    element.innerHTML = replay.verifying ? 'verifying the checkpoints…' : note;
    return;
  }
  const bad = replay.checkpoints.filter((c) => !c.matched).length;
  const rows = replay.checkpoints.map((c, i) => {
    const mark = c.matched ? '✓' : '✗';
    const what = c.end ? `end, ${c.endSteps} steps` : `tick ${c.tick}`;
    const detail = c.matched ? c.expected : c.difference;
    const current = c.stepIndex === stepIndex ? ' current' : '';
    return `<div data-i="${i}" class="${c.matched ? 'ok' : 'bad'}${current}">${mark} ${what} ${detail}</div>`;
  });
  element.innerHTML = `<p class="${bad ? 'bad' : 'ok'}">${replay.checkpoints.length - bad} of ${replay.checkpoints.length} checkpoints match</p>${note}${rows.join('')}`;
  element.onclick = (e) => {
    const row = e.target.closest('[data-i]');
    if (row) onPick(replay.checkpoints[Number(row.dataset.i)].stepIndex);
  };
}
