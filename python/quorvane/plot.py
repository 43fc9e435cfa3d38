"""Pictures of studies and runs, drawn with matplotlib (imported only here).

The output format follows the file name's extension (.svg, .png, .pdf ...).
"""

import os
import tempfile

_BASELINE_STYLES = {
    "zlib": ("zlib (compress)", "tab:gray", "--"),
    "zstd": ("zstd -19", "tab:green", "-."),
    "xz": ("xz -9e", "tab:red", ":"),
    "entropy": ("order-0 entropy", "tab:purple", (0, (1, 4))),
}


def _pyplot():
    import matplotlib

    matplotlib.use("Agg", force=False)
    import matplotlib.pyplot as plt

    return plt


def _baseline_ratios(record):
    """The baseline ratios a study record carries, by baseline name."""
    ratios = {}
    for name in _BASELINE_STYLES:
        key = name + "_ratio"
        if key in record:
            ratios[name] = record[key]
    return ratios


def plot_study(results, path, *, title=None):
    """Draws the ratio per setting for every studied file of study(results), with each file's
    baselines as short reference lines, and writes the picture to path."""
    plt = _pyplot()
    files = [r for r in results if "results" in r]
    if not files:
        raise ValueError("no studied file in the results")
    settings = [m["settings"] for m in files[0]["results"]]
    width = 0.8 / max(1, len(settings))
    fig, ax = plt.subplots(figsize=(max(7.5, 1.2 * len(files) + 4), 4.5), layout="constrained")
    for s, setting in enumerate(settings):
        xs, ys = [], []
        for i, f in enumerate(files):
            m = f["results"][s]
            xs.append(i - 0.4 + width * (s + 0.5))
            ys.append(m.get("ratio", 1.0))
        ax.bar(xs, ys, width=width * 0.9, label=setting)
    seen = set()
    for i, f in enumerate(files):
        for name, value in _baseline_ratios(f).items():
            label, colour, style = _BASELINE_STYLES[name]
            ax.hlines(value, i - 0.45, i + 0.45, colors=colour, linestyles=style, linewidth=2,
                      label=None if name in seen else label)
            seen.add(name)
    ax.axhline(1.0, color="black", linewidth=0.6)
    ax.set_xticks(range(len(files)))
    ax.set_xticklabels([_short(f["file"]) for f in files], rotation=30, ha="right")
    ax.set_ylabel("output / input")
    ax.set_title(title or "rod stream size per setting, with baselines")
    ax.legend(fontsize="small", loc="upper left", bbox_to_anchor=(1.01, 1.0))
    _save(plt, fig, path)


def plot_trace(records, path, *, level_bits=None, title=None):
    """Draws the data bits after every pass across cycles, from the progress records of one
    run (pack(..., progress=records.append)), with the level threshold, cycle starts and the
    undone and fallback passes marked, and writes the picture to path."""
    plt = _pyplot()
    passes = [r for r in records if r.get("kind") == "pass"]
    if not passes:
        raise ValueError("no pass record to draw")
    fig, ax = plt.subplots(figsize=(8, 4.5), layout="constrained")
    xs = list(range(1, len(passes) + 1))
    ax.plot(xs, [r["bits_out"] for r in passes], color="tab:blue", linewidth=1.2,
            label="data bits after each pass")
    for fate, colour, marker in (("undone", "tab:red", "x"), ("fallback", "tab:green", "o")):
        marked = [(x, r["bits_out"]) for x, r in zip(xs, passes) if r.get("fate") == fate]
        if marked:
            ax.scatter(*zip(*marked), color=colour, marker=marker, zorder=3,
                       label=fate + " pass")
    starts = [x for x, r in zip(xs, passes) if r["pass"] == 1]
    for n, x in enumerate(starts):
        ax.axvline(x, color="tab:gray", linewidth=0.6, linestyle="--",
                   label="cycle start" if n == 0 else None)
    if level_bits is None:
        level_bits = next((r["level_bits"] for r in passes if r.get("level_bits")), None)
    if level_bits is not None:
        ax.axhline(level_bits, color="tab:orange", linewidth=1.2, label="level threshold")
    ax.set_xlabel("pass (across the whole run)")
    ax.set_ylabel("bits")
    ax.set_title(title or "stream size per pass")
    # The sizes fall by orders of magnitude; a log scale shows the end of the run beside its start.
    ax.set_yscale("log")
    ax.legend(fontsize="small")
    _save(plt, fig, path)


def _save(plt, fig, path):
    """Writes the figure beside path under a temporary name and renames it into place, so that
    path is never left half-written."""
    path = os.fspath(path)
    kind = os.path.splitext(path)[1].lstrip(".").lower() or "png"
    folder = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(prefix=".quorvane-", suffix="." + kind, dir=folder)
    try:
        with os.fdopen(fd, "wb") as f:
            fig.savefig(f, format=kind)
        os.chmod(temp, 0o666 & ~_umask())
        os.replace(temp, path)
    except BaseException:
        os.unlink(temp)
        raise
    finally:
        plt.close(fig)


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def _short(name, limit=24):
    name = str(name).rsplit("/", 1)[-1]
    return name if len(name) <= limit else name[: limit - 1] + "…"
