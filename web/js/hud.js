// The heads-up display: tick, arena radius, and one row per team with its
// score and living zibbers, best team first.
import * as C from '../dist/zibber_constants.js';
import { teamColour } from './draw.js';

export function teamRows(state, botNames) {
  const rows = state.scores.map((score, team) => ({ team, score, alive: 0, size: 0, bot: botNames?.[team] ?? '' }));
  for (let i = 0; i < state.teamOf.length; ++i) {
    const row = rows[state.teamOf[i]];
    if (!row) continue;
    row.size += 1;
    if (state.zibbers[i * C.ZB_ZIBBER_WIDTH + C.ZB_ZIBBER_ALIVE] === 1) row.alive += 1;
  }
  return rows.sort((a, b) => b.score - a.score || b.alive - a.alive || a.team - b.team);
}

export function renderHud(element, state, botNames, extra) {
  // A replayed log does not say which bots played it.
  const bot = (text) => (botNames?.length ? `<td>${text}</td>` : '');
  const rows = teamRows(state, botNames).map((r, rank) => `
    <tr><td>${rank + 1}</td><td><span class="swatch" style="background:${teamColour(r.team)}"></span>${r.team + 1}</td>
    ${bot(r.bot)}<td class="num">${r.score}</td><td class="num">${r.alive}/${r.size}</td></tr>`);
  element.innerHTML = `
    <div class="scalars"><span>tick <b id="hud-tick">${state.tick}</b></span>
    <span>radius <b>${state.mapSize.toFixed(2)}</b></span>${state.over ? '<span class="over">match over</span>' : ''}</div>
    ${extra ?? ''}
    <table><thead><tr><th>#</th><th>team</th>${botNames?.length ? '<th>bot</th>' : ''}<th>score</th><th>alive</th></tr></thead>
    <tbody>${rows.join('')}</tbody></table>`;
}
