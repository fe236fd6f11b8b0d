// Reads the match form: teams as `4x4` (teams x size) or sizes `3,5,2`, bots
// as `mix` (the bots in turn), one bot for all, or one per team.
export function parseTeams(text) {
  const grid = /^\s*(\d+)\s*x\s*(\d+)\s*$/i.exec(text);
  const sizes = grid
    ? Array.from({ length: Number(grid[1]) }, () => Number(grid[2]))
    : text.split(',').map((s) => (/^\s*\d+\s*$/.test(s) ? Number(s) : NaN));
  if (sizes.length === 0 || sizes.some((s) => !Number.isInteger(s) || s < 1)) {
    throw new Error(`teams: '${text}' is not TxS (such as 4x4) or a list of sizes (such as 3,5,2)`);
  }
  return sizes;
}

export function parseBots(text, teamCount, botNames) {
  const names = text.split(',').map((s) => s.trim().toLowerCase());
  if (names.length === 1 && names[0] === 'mix') {
    return Array.from({ length: teamCount }, (_, t) => t % botNames.length);
  }
  const bots = names.map((name) => {
    const bot = botNames.indexOf(name);
    if (bot < 0) throw new Error(`bots: unknown bot '${name}' (mix, ${botNames.join(', ')})`);
    return bot;
  });
  if (bots.length === 1) return Array(teamCount).fill(bots[0]);
  if (bots.length !== teamCount) throw new Error(`bots: ${bots.length} bots for ${teamCount} teams`);
  return bots;
}

// An empty field watches; otherwise the index of the zibber to steer.
export function parseControlled(text, zibberCount) {
  if (text.trim() === '') return -1;
  const index = Number(text);
  if (!Number.isInteger(index) || index < 0 || index >= zibberCount) {
    throw new Error(`play as zibber: give an index from 0 to ${zibberCount - 1}, or leave it empty to watch`);
  }
  return index;
}
