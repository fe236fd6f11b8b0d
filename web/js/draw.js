// Draws one state of a match on a 2D canvas, in world units scaled so the
// arena at its starting size fills the canvas; the arena shrinks in place.
import * as C from '../dist/zibber_constants.js';

const palette = ['#e6194b', '#3cb4ff', '#3cdc6e', '#c77dff', '#f58231', '#ffe119', '#46f0f0', '#f032e6'];

export function teamColour(team) {
  if (team < 0) return '#bbbbbb';
  if (team < palette.length) return palette[team];
  return `hsl(${(team * 137.5) % 360} 75% 60%)`;  // golden angle keeps neighbours apart
}

// The canvas transform: world (0, 0) at the centre, y pointing down.
export function viewOf(canvas) {
  const scale = Math.min(canvas.width, canvas.height) / 2 / (C.ZB_START_MAP_SIZE + 2);
  return { scale, cx: canvas.width / 2, cy: canvas.height / 2 };
}

export function toWorld(view, px, py) {
  return { x: (px - view.cx) / view.scale, y: (py - view.cy) / view.scale };
}

const each = (values, width, draw) => {
  for (let k = 0; k + width <= values.length; k += width) draw(values.subarray(k, k + width));
};

function drawArena(ctx, state) {
  ctx.fillStyle = '#0b0e14';
  ctx.fillRect(-1e4, -1e4, 2e4, 2e4);
  ctx.beginPath();
  ctx.arc(0, 0, C.ZB_START_MAP_SIZE, 0, 2 * Math.PI);
  ctx.strokeStyle = '#1f2633';
  ctx.lineWidth = 0.3;
  ctx.stroke();
  ctx.beginPath();
  ctx.arc(0, 0, state.mapSize, 0, 2 * Math.PI);
  ctx.fillStyle = '#151b26';
  ctx.fill();
}

function drawRim(ctx, state) {
  ctx.beginPath();
  ctx.arc(0, 0, state.mapSize, 0, 2 * Math.PI);
  ctx.strokeStyle = '#8fa3c0';
  ctx.lineWidth = 0.5;
  ctx.stroke();
}

function drawObstacle(ctx, o) {
  const hazard = o[C.ZB_OBSTACLE_HAZARD] === 1;
  const radius = o[C.ZB_OBSTACLE_RADIUS];
  const shape = (grow) => {
    ctx.beginPath();
    if (o[C.ZB_OBSTACLE_IS_CIRCLE] === 1) {
      ctx.arc(o[C.ZB_OBSTACLE_AX], o[C.ZB_OBSTACLE_AY], radius + grow, 0, 2 * Math.PI);
      return false;
    }
    ctx.moveTo(o[C.ZB_OBSTACLE_AX], o[C.ZB_OBSTACLE_AY]);
    ctx.lineTo(o[C.ZB_OBSTACLE_BX], o[C.ZB_OBSTACLE_BY]);
    ctx.lineWidth = 2 * (radius + grow);
    ctx.lineCap = 'round';
    return true;
  };
  if (!hazard) {
    // A harmless obstacle pulses: its reach is 0.4 wider right after a pulse
    // and narrows as the charge grows toward the next one.
    const charge = o[C.ZB_OBSTACLE_CHARGE];
    const reach = 0.4 * (1 - (charge - Math.trunc(charge)));
    ctx.globalAlpha = 0.35;
    if (shape(reach)) {
      ctx.strokeStyle = '#7fb2ff';
      ctx.stroke();
    } else {
      ctx.fillStyle = '#7fb2ff';
      ctx.fill();
    }
    ctx.globalAlpha = 1;
  }
  const colour = hazard ? '#d9482b' : '#51617a';
  if (shape(0)) {
    ctx.strokeStyle = colour;
    ctx.stroke();
  } else {
    ctx.fillStyle = colour;
    ctx.fill();
  }
  if (hazard) {
    // Hazard stripes along the middle of the shape.
    ctx.setLineDash([0.6, 0.6]);
    ctx.lineWidth = Math.min(0.5, radius);
    ctx.strokeStyle = '#ffd23f';
    ctx.beginPath();
    if (o[C.ZB_OBSTACLE_IS_CIRCLE] === 1) {
      ctx.arc(o[C.ZB_OBSTACLE_AX], o[C.ZB_OBSTACLE_AY], radius * 0.6, 0, 2 * Math.PI);
    } else {
      ctx.moveTo(o[C.ZB_OBSTACLE_AX], o[C.ZB_OBSTACLE_AY]);
      ctx.lineTo(o[C.ZB_OBSTACLE_BX], o[C.ZB_OBSTACLE_BY]);
    }
    ctx.stroke();
    ctx.setLineDash([]);
  }
}

function drawItems(ctx, state) {
  each(state.obstacles, C.ZB_OBSTACLE_WIDTH, (o) => drawObstacle(ctx, o));
  // Points are many: one path for each of the two looks.
  for (const ambient of [1, 0]) {
    const size = ambient ? 0.25 : 0.4;
    ctx.beginPath();
    each(state.points, C.ZB_POINT_WIDTH, (p) => {
      if (p[C.ZB_POINT_AMBIENT] !== ambient) return;
      ctx.moveTo(p[C.ZB_POINT_X] + size, p[C.ZB_POINT_Y]);
      ctx.arc(p[C.ZB_POINT_X], p[C.ZB_POINT_Y], size, 0, 2 * Math.PI);
    });
    ctx.fillStyle = ambient ? '#6f7f99' : '#f4f7ff';
    ctx.fill();
  }
  each(state.rubys, C.ZB_RUBY_WIDTH, (r) => {
    const size = r[C.ZB_RUBY_SCALE] * r[C.ZB_RUBY_REMAINING];
    const x = r[C.ZB_RUBY_X];
    const y = r[C.ZB_RUBY_Y];
    ctx.beginPath();
    for (let k = 0; k < 6; ++k) ctx.lineTo(x + size * Math.cos(k * Math.PI / 3), y + size * Math.sin(k * Math.PI / 3));
    ctx.closePath();
    ctx.fillStyle = r[C.ZB_RUBY_COOLDOWN] > 0 ? '#a3123a' : '#ff2d6f';
    ctx.fill();
    ctx.strokeStyle = '#ffc2d6';
    ctx.lineWidth = 0.15;
    ctx.stroke();
  });
  each(state.projectiles, C.ZB_PROJECTILE_WIDTH, (p) => {
    if (p[C.ZB_PROJECTILE_REMOVED] === 1) return;
    const x = p[C.ZB_PROJECTILE_X];
    const y = p[C.ZB_PROJECTILE_Y];
    ctx.strokeStyle = 'rgba(255,255,255,0.5)';
    ctx.lineWidth = p[C.ZB_PROJECTILE_RADIUS];
    ctx.beginPath();
    ctx.moveTo(x - 3 * p[C.ZB_PROJECTILE_VX], y - 3 * p[C.ZB_PROJECTILE_VY]);
    ctx.lineTo(x, y);
    ctx.stroke();
    ctx.fillStyle = '#ffffff';
    ctx.beginPath();
    ctx.arc(x, y, p[C.ZB_PROJECTILE_RADIUS], 0, 2 * Math.PI);
    ctx.fill();
  });
}

function drawZibber(ctx, z, team, controlled) {
  const x = z[C.ZB_ZIBBER_X];
  const y = z[C.ZB_ZIBBER_Y];
  const r = z[C.ZB_ZIBBER_RADIUS];
  const heading = z[C.ZB_ZIBBER_HEADING];
  ctx.beginPath();
  ctx.arc(x, y, r, 0, 2 * Math.PI);
  ctx.fillStyle = teamColour(team);
  ctx.fill();
  ctx.lineWidth = controlled ? 0.35 : 0.12;
  ctx.strokeStyle = controlled ? '#ffffff' : 'rgba(0,0,0,0.6)';
  ctx.stroke();
  // Heading: a nose on the rim; the target heading: a thin line beyond it.
  ctx.fillStyle = '#0b0e14';
  ctx.beginPath();
  ctx.arc(x + 0.6 * r * Math.cos(heading), y + 0.6 * r * Math.sin(heading), 0.25 * r, 0, 2 * Math.PI);
  ctx.fill();
  const target = z[C.ZB_ZIBBER_TARGET_HEADING];
  if (Number.isFinite(target)) {
    ctx.strokeStyle = 'rgba(255,255,255,0.35)';
    ctx.lineWidth = 0.1;
    ctx.beginPath();
    ctx.moveTo(x + r * Math.cos(target), y + r * Math.sin(target));
    ctx.lineTo(x + (r + 1.5) * Math.cos(target), y + (r + 1.5) * Math.sin(target));
    ctx.stroke();
  }
  const charge = z[C.ZB_ZIBBER_CHARGE_TICKS];
  if (charge >= 0) {
    ctx.strokeStyle = charge >= C.ZB_SHOT_CHARGE ? '#ffffff' : '#9be7ff';
    ctx.lineWidth = 0.25;
    ctx.beginPath();
    ctx.arc(x, y, r + 0.5, -Math.PI / 2, -Math.PI / 2 + 2 * Math.PI * Math.min(1, charge / C.ZB_SHOT_CHARGE));
    ctx.stroke();
  }
  const stun = z[C.ZB_ZIBBER_STUN_TICKS];
  if (stun > 0) {
    ctx.strokeStyle = '#ffe14d';
    ctx.lineWidth = 0.2;
    ctx.setLineDash([0.4, 0.3]);
    ctx.beginPath();
    ctx.arc(x, y, r + 0.9, 0, 2 * Math.PI * stun / C.ZB_STUN_TICKS);
    ctx.stroke();
    ctx.setLineDash([]);
  }
}

// Particles live for one step in the exports; the page keeps them a few
// frames as fading effects.
export function addEffects(effects, state) {
  each(state.particles, C.ZB_PARTICLE_WIDTH, (p) => {
    const kind = p[C.ZB_PARTICLE_KIND];
    const collision = p[C.ZB_PARTICLE_CONTACT_ID_A] !== -1;
    const style = kind === C.ZB_PARTICLE_BITE ? 'bite' : kind === C.ZB_PARTICLE_FINAL_BITE ? 'final'
      : collision ? 'collision' : 'hit';
    effects.push({ style, x: p[C.ZB_PARTICLE_X], y: p[C.ZB_PARTICLE_Y], age: 0 });
  });
  each(state.removals, C.ZB_REMOVAL_WIDTH, (r) => {
    effects.push({ style: 'pickup', x: r[C.ZB_REMOVAL_X], y: r[C.ZB_REMOVAL_Y], age: 0 });
  });
}

const effectLook = {
  bite: { colour: '255,45,111', size: 1.5, life: 20 },
  final: { colour: '255,45,111', size: 4, life: 40 },
  collision: { colour: '255,255,255', size: 1.8, life: 20 },
  hit: { colour: '255,140,40', size: 1.5, life: 24 },
  pickup: { colour: '244,247,255', size: 0.8, life: 10 },
};

// Effects of one look and age share a path: a busy step leaves hundreds.
function drawEffects(ctx, effects) {
  const groups = new Map();
  for (const e of effects) {
    const key = `${e.style} ${e.age}`;
    if (!groups.has(key)) groups.set(key, []);
    groups.get(key).push(e);
  }
  ctx.lineWidth = 0.25;
  for (const group of groups.values()) {
    const look = effectLook[group[0].style];
    const t = group[0].age / look.life;
    const radius = 0.3 + look.size * t;
    ctx.beginPath();
    for (const e of group) {
      ctx.moveTo(e.x + radius, e.y);
      ctx.arc(e.x, e.y, radius, 0, 2 * Math.PI);
    }
    ctx.strokeStyle = `rgba(${look.colour},${1 - t})`;
    ctx.stroke();
  }
}

// Ages the effects by one frame and drops the spent ones.
export function ageEffects(effects) {
  for (const e of effects) e.age += 1;
  return effects.filter((e) => e.age < effectLook[e.style].life);
}

export function drawScene(canvas, state, effects, controlled, aim) {
  const ctx = canvas.getContext('2d');
  const view = viewOf(canvas);
  ctx.setTransform(view.scale, 0, 0, view.scale, view.cx, view.cy);
  drawArena(ctx, state);
  // Items drifting out beyond the rim are on their way out of the match.
  ctx.save();
  ctx.beginPath();
  ctx.arc(0, 0, state.mapSize, 0, 2 * Math.PI);
  ctx.clip();
  drawItems(ctx, state);
  drawEffects(ctx, effects);
  const count = state.zibbers.length / C.ZB_ZIBBER_WIDTH;
  for (let i = 0; i < count; ++i) {
    const z = state.zibbers.subarray(i * C.ZB_ZIBBER_WIDTH, (i + 1) * C.ZB_ZIBBER_WIDTH);
    if (z[C.ZB_ZIBBER_ALIVE] === 1) drawZibber(ctx, z, state.teamOf[i] ?? -1, i === controlled);
  }
  ctx.restore();
  drawRim(ctx, state);
  const z = controlled >= 0 ? state.zibbers.subarray(controlled * C.ZB_ZIBBER_WIDTH) : [];
  if (aim && z[C.ZB_ZIBBER_ALIVE] === 1) {
    ctx.strokeStyle = 'rgba(255,255,255,0.25)';
    ctx.lineWidth = 0.15;
    ctx.setLineDash([0.8, 0.8]);
    ctx.beginPath();
    ctx.moveTo(z[C.ZB_ZIBBER_X], z[C.ZB_ZIBBER_Y]);
    ctx.lineTo(aim.x, aim.y);
    ctx.stroke();
    ctx.setLineDash([]);
  }
  ctx.setTransform(1, 0, 0, 1, 0, 0);
}
