"""PNG figures of a batch result: visibility-graph degree distributions per
group, band powers per channel and group, channel-pair similarity per group."""
from pathlib import Path

import numpy as np

def _band_label(name):
    from .spectral import DEFAULT_BANDS   # the bands the batch's band_powers integrates
    lo, hi = DEFAULT_BANDS.get(name, (None, None))
    return name if lo is None else f"{name} {lo:g}-{hi:g} Hz"
GROUP_COLOURS = {"alcoholic": "#c0392b", "control": "#2471a3"}


def _plt():
    import matplotlib
    matplotlib.use("Agg", force=True)
    import matplotlib.pyplot as plt
    return plt


def _colour(group, i):
    return GROUP_COLOURS.get(group, f"C{i}")


def _trials_per_group(table):
    if not len(table):
        return {}
    return table.groupby("group")["file"].nunique().to_dict()


def degree_distribution(result, path):
    """P(k) of the horizontal visibility graphs, all trials and channels of a
    group pooled, on a log scale, with the uncorrelated-noise law
    P(k) = (1/3)(2/3)^(k-2) for reference."""
    plt = _plt()
    fig, ax = plt.subplots(figsize=(7.5, 5), dpi=110)
    n_trials = _trials_per_group(result.table)
    kmax = 2
    for i, (g, counts) in enumerate(result.degree_counts.items()):
        counts = np.asarray(counts, dtype=np.float64)
        p = counts / counts.sum()
        seen = np.nonzero(p)[0]
        kmax = max(kmax, int(seen.max()))
        k = np.arange(int(seen.min()), int(seen.max()) + 1)
        ax.semilogy(k, np.where(p[k] > 0, p[k], np.nan), "o-", ms=4, lw=1.5, color=_colour(g, i),
                    label=f"{g} ({n_trials.get(g, 0)} trials, {int(counts.sum()):,} nodes)")
    k = np.arange(2, kmax + 1)
    ax.semilogy(k, (1 / 3) * (2 / 3) ** (k - 2), "--", color="0.45", lw=1.2,
                label="uncorrelated noise: (1/3)(2/3)$^{k-2}$")
    ax.set_xlabel("degree k")
    ax.set_ylabel("share of nodes P(k)")
    ax.set_title("Horizontal visibility graph degree distribution per group")
    ax.set_xlim(0, kmax + 1)
    ax.xaxis.set_major_locator(plt.MaxNLocator(integer=True))
    ax.grid(True, which="major", alpha=0.3)
    ax.legend(frameon=False, fontsize=9)
    fig.tight_layout()
    fig.savefig(path)
    plt.close(fig)
    return path


def band_powers(result, path):
    """Band power (log scale) per channel, one panel per band: per group the mean of the
    subjects' mean powers (line) and the range of the subject means (shaded)."""
    table = result.table
    cols = [c for c in table.columns if c.startswith("band_powers_")]
    if not cols:
        return None
    plt = _plt()
    channels = result.channels or list(dict.fromkeys(table["channel"]))
    fig, axes = plt.subplots(len(cols), 1, figsize=(13, 2.3 * len(cols) + 0.8), dpi=100, sharex=True)
    axes = np.atleast_1d(axes)
    x = np.arange(len(channels))
    n_trials = _trials_per_group(table)
    for ax, col in zip(axes, cols):
        for i, (g, sub) in enumerate(table.groupby("group", sort=True)):
            # one mean per subject and channel; the line is the group's mean of the
            # subject means, the band spans the lowest to the highest subject mean
            per = (sub.assign(_p=sub[col].where(sub[col] > 0)).groupby(["subject", "channel"])["_p"].mean()
                   .unstack("channel").reindex(columns=channels))
            n_subj = per.shape[0]
            c = _colour(g, i)
            ax.plot(x, per.mean(axis=0).to_numpy(), "o-", ms=3, lw=1.2, color=c,
                    label=f"{g}: mean of {n_subj} subjects ({n_trials.get(g, 0)} trials)")
            if n_subj > 1:
                ax.fill_between(x, per.min(axis=0).to_numpy(dtype=float), per.max(axis=0).to_numpy(dtype=float),
                                color=c, alpha=0.18, lw=0, label=f"{g}: range of subject means")
        ax.set_yscale("log")
        ax.set_ylabel(_band_label(col[len("band_powers_"):]) + "\n(uV$^2$)", fontsize=9)
        ax.grid(True, axis="y", alpha=0.3)
        ax.grid(True, axis="x", alpha=0.12)
    axes[0].legend(frameon=False, fontsize=9, ncol=2, loc="upper right")
    axes[0].set_title("Band power per channel (Burg spectrum): group mean of per-subject means, shaded: between-subject range; flat channels left out", fontsize=10)
    axes[-1].set_xticks(x)
    axes[-1].set_xticklabels(channels, rotation=90, fontsize=7)
    axes[-1].set_xlim(-0.7, len(channels) - 0.3)
    fig.tight_layout()
    fig.savefig(path)
    plt.close(fig)
    return path


def channel_similarity(result, path, kind="match"):
    """Channels x channels mean pair similarity per group as heat maps, and,
    with both groups present, the alcoholic-minus-control difference; every
    channel labelled, each colour scale labelled."""
    if not result.similarity:
        return None
    plt = _plt()
    groups = list(result.similarity)
    mats = [result.similarity[g] for g in groups]
    finite = np.concatenate([m[np.isfinite(m)] for m in mats])
    lo, hi = (np.percentile(finite, 1), np.percentile(finite, 99)) if finite.size else (0, 1)
    diff = None
    if "alcoholic" in result.similarity and "control" in result.similarity:
        diff = result.similarity["alcoholic"] - result.similarity["control"]
    n = mats[0].shape[0]
    channels = result.channels or [str(i) for i in range(n)]
    panels = len(groups) + (diff is not None)
    fig, axes = plt.subplots(1, panels, figsize=(8.2 * panels, 8.4), dpi=100, squeeze=False)
    n_trials = _trials_per_group(result.table)
    unit = "matching score" if kind == "match" else "mutual information (nats)"
    ticks = np.arange(n)

    def label(ax):
        ax.set_xticks(ticks)
        ax.set_xticklabels(channels, rotation=90, fontsize=4.6)
        ax.set_yticks(ticks)
        ax.set_yticklabels(channels, fontsize=4.6)

    for ax, g, m in zip(axes[0], groups, mats):
        im = ax.imshow(np.ma.masked_invalid(m), vmin=lo, vmax=hi, cmap="viridis", interpolation="nearest")
        ax.set_title(f"{g} ({n_trials.get(g, 0)} trials)")
        label(ax)
    fig.colorbar(im, ax=list(axes[0][:len(groups)]), fraction=0.025, pad=0.02,
                 label=f"mean {unit}")
    if diff is not None:
        ax = axes[0][-1]
        fin = np.abs(diff[np.isfinite(diff)])
        lim = float(np.percentile(fin, 99)) if fin.size else 1.0
        lim = lim if lim > 0 else 1.0
        dim = ax.imshow(np.ma.masked_invalid(diff), vmin=-lim, vmax=lim, cmap="RdBu_r", interpolation="nearest")
        ax.set_title("alcoholic minus control")
        label(ax)
        fig.colorbar(dim, ax=ax, fraction=0.046, pad=0.02, label=f"difference of mean {unit}")
    what = ("visibility-graph matching of degree sequences" if kind == "match"
            else "mutual information of degree sequences")
    fig.suptitle(f"Channel-pair similarity, mean over trials: {what}")
    fig.savefig(path, bbox_inches="tight")
    plt.close(fig)
    return path


def write_all(result, folder, kind="match"):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    out = [degree_distribution(result, folder / "degree_distribution.png"),
           band_powers(result, folder / "band_powers.png"),
           channel_similarity(result, folder / "channel_similarity.png", kind)]
    return [p for p in out if p is not None]
