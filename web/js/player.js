// The player's zibber: it turns toward the mouse; a short click taps (a
// dash), a longer press holds (a charge) and letting go releases it.
import * as C from '../dist/zibber_constants.js';
import { toWorld } from './draw.js';

// Presses shorter than this are clicks.
const kHoldDelayMs = 180;
// Smaller turns of the aim are not worth another action line in the log.
const kResendAngle = 0.02;

export function watchPointer(canvas) {
  const input = { pixel: null, down: false, downAt: 0, tapQueued: false };
  const pixelOf = (event) => {
    const box = canvas.getBoundingClientRect();
    return {
      x: (event.clientX - box.left) * (canvas.width / box.width),
      y: (event.clientY - box.top) * (canvas.height / box.height),
    };
  };
  canvas.addEventListener('pointermove', (e) => { input.pixel = pixelOf(e); });
  canvas.addEventListener('pointerdown', (e) => {
    if (e.button !== 0) return;
    input.pixel = pixelOf(e);
    input.down = true;
    input.downAt = performance.now();
  });
  const release = () => {
    if (input.down && performance.now() - input.downAt < kHoldDelayMs) input.tapQueued = true;
    input.down = false;
  };
  canvas.addEventListener('pointerup', release);
  canvas.addEventListener('pointerleave', release);
  return input;
}

export function aimOf(input, view) {
  return input.pixel ? toWorld(view, input.pixel.x, input.pixel.y) : null;
}

// The action to send before the next step, or null when the last one sent
// still stands. `sent` remembers what was sent.
export function nextAction(input, state, controlled, view, sent) {
  const base = controlled * C.ZB_ZIBBER_WIDTH;
  if (controlled < 0 || base >= state.zibbers.length || state.zibbers[base + C.ZB_ZIBBER_ALIVE] !== 1) return null;
  const aim = aimOf(input, view);
  const heading = aim
    ? Math.atan2(aim.y - state.zibbers[base + C.ZB_ZIBBER_Y], aim.x - state.zibbers[base + C.ZB_ZIBBER_X])
    : state.zibbers[base + C.ZB_ZIBBER_TARGET_HEADING];
  let kind = C.ZB_ACTION_WALK;
  if (input.tapQueued) kind = C.ZB_ACTION_TAP;
  else if (input.down && performance.now() - input.downAt >= kHoldDelayMs) kind = C.ZB_ACTION_HOLD;
  input.tapQueued = false;
  if (kind !== C.ZB_ACTION_TAP && kind === sent.kind && Math.abs(heading - sent.heading) < kResendAngle) return null;
  sent.kind = kind;
  sent.heading = heading;
  return { kind, heading };
}
