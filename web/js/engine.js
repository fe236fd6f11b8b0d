// The WebAssembly module behind the page: one session of the bridge in
// web/wasm, wrapped in plain functions that speak JavaScript values.
import createZibberModule from '../dist/zibber_web.js';
import * as C from '../dist/zibber_constants.js';

const arrays = [
  ['zibbers', C.ZW_ZIBBERS, C.ZB_ZIBBER_WIDTH],
  ['points', C.ZW_POINTS, C.ZB_POINT_WIDTH],
  ['rubys', C.ZW_RUBYS, C.ZB_RUBY_WIDTH],
  ['obstacles', C.ZW_OBSTACLES, C.ZB_OBSTACLE_WIDTH],
  ['projectiles', C.ZW_PROJECTILES, C.ZB_PROJECTILE_WIDTH],
  ['particles', C.ZW_PARTICLES, C.ZB_PARTICLE_WIDTH],
  ['removals', C.ZW_REMOVALS, C.ZB_REMOVAL_WIDTH],
];

export async function createEngine() {
  const m = await createZibberModule();
  const session = m._zw_create();
  const text = (pointer) => m.UTF8ToString(pointer);

  // Copies `bytes` into the module's heap for the length of one call.
  function withBytes(bytes, use) {
    const pointer = m._malloc(bytes.length + 1);
    try {
      m.HEAPU8.set(bytes, pointer);
      m.HEAPU8[pointer + bytes.length] = 0;
      return use(pointer);
    } finally {
      m._free(pointer);
    }
  }
  const withInts = (values, use) =>
    withBytes(new Uint8Array(Int32Array.from(values).buffer), use);
  const withString = (value, use) => withBytes(new TextEncoder().encode(value), use);

  const botNames = [];
  for (let name; (name = text(m._zw_bot_name(botNames.length))) !== '';) botNames.push(name);

  return {
    botNames,
    // sizes and bots: one per team; bots index the host's policies.
    startMatch(seed, sizes, bots, controlled) {
      const ok = withString(seed, (s) =>
        withInts(sizes, (z) =>
          withInts(bots, (b) => m._zw_start_match(session, s, z, b, sizes.length, controlled))));
      return ok ? null : text(m._zw_error(session));
    },
    setPlayerAction: (kind, heading) => m._zw_set_player_action(session, kind, heading),
    advance: (steps) => m._zw_advance(session, steps),
    savedLog: () => text(m._zw_saved_log(session)),

    // bytes: a Uint8Array of the file. Returns null or the parser's message.
    loadLog(bytes) {
      const ok = withBytes(bytes, (p) => m._zw_load_log(session, p, bytes.length));
      return ok ? null : text(m._zw_error(session));
    },
    logSteps: () => m._zw_log_steps(session),
    seek: (step, budget) => m._zw_seek(session, step, budget) === 1,
    // The checkpoints, and `note`: why the log proves no whole match ("" if it does).
    verifyCheckpoints() {
      const count = m._zw_verify_checkpoints(session);
      const out = m._malloc(6 * 8);
      const list = [];
      for (let i = 0; i < count; ++i) {
        m._zw_checkpoint(session, i, out);
        const [tick, stepIndex, line, matched, end, endSteps] = m.HEAPF64.subarray(out / 8, out / 8 + 6);
        list.push({
          tick, stepIndex, line, matched: matched === 1, end: end === 1, endSteps,
          expected: text(m._zw_checkpoint_text(session, i, 0)),
          difference: text(m._zw_checkpoint_text(session, i, 1)),
        });
      }
      m._free(out);
      return { list, note: text(m._zw_verify_note(session)) };
    },

    // The state after the last step. The arrays are views into the module's
    // memory: read them before the next advance, seek or load.
    state() {
      const teams = m._zw_num_teams(session);
      const state = {
        stepIndex: m._zw_step_index(session),
        tick: m._zw_tick(session),
        mapSize: m._zw_map_size(session),
        over: m._zw_is_over(session) === 1,
        scores: Array.from(m.HEAP32.subarray(m._zw_team_scores(session) / 4, m._zw_team_scores(session) / 4 + teams)),
      };
      const zibberCount = m._zw_count(session, C.ZW_ZIBBERS);
      state.teamOf = m.HEAP32.subarray(m._zw_teams(session) / 4, m._zw_teams(session) / 4 + zibberCount);
      for (const [name, id, width] of arrays) {
        const count = m._zw_count(session, id);
        const start = m._zw_array(session, id) / 8;
        state[name] = count ? m.HEAPF64.subarray(start, start + count * width) : new Float64Array(0);
      }
      return state;
    },
    hash: () => text(m._zw_hash(session)),
  };
}
