#!/usr/bin/env python3
"""A linear policy learns to collect points against a built-in bot: numpy only.

One learning zibber plays one bot zibber in each of many matches at once
(ZibberVecEnv). The policy picks one of 3 kinds x 8 directions from the
observation vector with a softmax over a linear map, and is trained with a
plain policy gradient (REINFORCE with a per-step baseline, Adam). The mean
score of the episodes that ended rises as it learns to head for the nearest
points; the bot's score is printed for comparison. Saves the curve as PNG,
and the policy for `python -m zibber.tournament` (entrant
zibber.tournament.policies:LinearPolicy=FILE).

    /usr/bin/python3 python/examples/train_pg.py --plot learning_curve.png --save policy.npz
"""

import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import numpy as np  # noqa: E402

from zibber import ZibberVecEnv  # noqa: E402

BINS = 8


class Adam:
    def __init__(self, shapes, lr):
        self.lr, self.t = lr, 0
        self.m = [np.zeros(s) for s in shapes]
        self.v = [np.zeros(s) for s in shapes]

    def step(self, params, grads, b1=0.9, b2=0.999):
        self.t += 1
        for p, g, m, v in zip(params, grads, self.m, self.v):
            m += (1 - b1) * (g - m)
            v += (1 - b2) * (g * g - v)
            p += self.lr * (m / (1 - b1**self.t)) / (np.sqrt(v / (1 - b2**self.t)) + 1e-8)


def softmax(logits):
    z = np.exp(logits - logits.max(axis=-1, keepdims=True))
    return z / z.sum(axis=-1, keepdims=True)


def train(iterations, envs, horizon, bot, seed, lr, gamma, threads):
    env = ZibberVecEnv(envs, sizes=(1, 1), teams=(None, bot), angle_bins=BINS, max_steps=400,
                       death_penalty=5.0, seed=seed, threads=threads)
    size, actions = env.obs_config.size, 3 * BINS
    rng = np.random.default_rng(seed)
    w, b = np.zeros((size, actions)), np.zeros(actions)
    adam = Adam([w.shape, b.shape], lr)
    obs = env.reset()[:, 0].astype(np.float64)
    curve, ours, theirs = [], [], []
    steps = 0
    for it in range(iterations):
        xs, acts, rewards, masks = [], [], [], []
        for _ in range(horizon):
            probs = softmax(obs @ w + b)
            a = (probs.cumsum(axis=1) > rng.random((envs, 1))).argmax(axis=1)
            masks.append(env.alive[:, 0].copy())
            xs.append(obs)
            acts.append(a)
            step_obs, r, _, _, infos = env.step(a[:, None])
            rewards.append(r[:, 0].astype(np.float64))
            for info in infos:
                if info:
                    ours.append(info["team_scores"][0])
                    theirs.append(info["team_scores"][1])
            obs = step_obs[:, 0].astype(np.float64)
            steps += envs
        # Rewards to go within the rollout, less the mean over matches at each step.
        ret, returns = np.zeros(envs), []
        for r in reversed(rewards):
            ret = r + gamma * ret
            returns.append(ret)
        adv = np.array(returns[::-1])
        adv -= adv.mean(axis=1, keepdims=True)
        adv /= adv.std() + 1e-8
        adv *= np.array(masks)
        x = np.concatenate(xs)
        onehot = np.eye(actions)[np.concatenate(acts)]
        grad_logits = (onehot - softmax(x @ w + b)) * adv.reshape(-1, 1)
        adam.step([w, b], [x.T @ grad_logits / len(x), grad_logits.mean(axis=0)])
        if ours:
            curve.append((steps, np.mean(ours[-50:]), np.mean(theirs[-50:])))
        if it % 10 == 0 or it == iterations - 1:
            print(f"iteration {it:4d}  env steps {steps:8d}  mean score (last 50 episodes): "
                  f"learner {curve[-1][1] if curve else float('nan'):6.2f}  "
                  f"{bot} {curve[-1][2] if curve else float('nan'):6.2f}", flush=True)
    env.close()
    return curve, w, b


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--iterations", type=int, default=150)
    parser.add_argument("--envs", type=int, default=32)
    parser.add_argument("--horizon", type=int, default=32, help="steps per update")
    parser.add_argument("--bot", default="collector", help="collector, hunter, charger or random")
    parser.add_argument("--lr", type=float, default=0.01)
    parser.add_argument("--gamma", type=float, default=0.95)
    parser.add_argument("--threads", type=int, default=1)
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--plot", help="save the learning curve to this PNG file")
    parser.add_argument("--save", help="save the policy's weights to this .npz file")
    args = parser.parse_args()
    start = time.perf_counter()
    curve, w, b = train(args.iterations, args.envs, args.horizon, args.bot, args.seed, args.lr,
                  args.gamma, args.threads)
    seconds = time.perf_counter() - start
    print(f"trained in {seconds:.1f} s")
    if args.save:
        np.savez(args.save, w=w, b=b, angle_bins=BINS)
        print(f"policy saved to {args.save}")
    if args.plot and curve:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        steps, ours, theirs = np.array(curve).T
        fig, ax = plt.subplots(figsize=(6, 3.5))
        ax.plot(steps, ours, label="learning zibber (linear policy)")
        ax.plot(steps, theirs, label=f"{args.bot} bot", linestyle="--")
        ax.set_xlabel("env steps")
        ax.set_ylabel("mean episode score (last 50)")
        ax.set_title(f"policy gradient, numpy only: {seconds:.0f} s on this machine")
        ax.legend()
        fig.tight_layout()
        fig.savefig(args.plot, dpi=100)
        print(f"curve saved to {args.plot}")


if __name__ == "__main__":
    main()
