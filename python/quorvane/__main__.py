"""python3 -m quorvane study [options] PATH... -- a study of files and folders, on this machine
or on a dask cluster."""

import argparse
import csv
import json
import os
import sys

from . import study, Error

_CSV_FIELDS = ["file", "input_bytes", "settings", "rod_size", "depth", "lz77", "single", "loops",
               "outcome", "rod_bytes", "ratio", "cycles", "passes", "pack_ms", "restore_ms",
               "best", "zlib_bytes", "zstd_bytes", "xz_bytes", "entropy_bytes", "note"]


def number_list(text):
    """2,3,8 or 2-16 or both: the lists quorvane-cli study takes."""
    values = []
    for part in text.split(","):
        low, sep, high = part.partition("-")
        try:
            first = int(low)
            last = int(high) if sep else first
        except ValueError:
            raise argparse.ArgumentTypeError("'%s' is not a valid list" % text) from None
        if last < first:
            raise argparse.ArgumentTypeError("'%s' is an empty range" % part)
        values.extend(range(first, last + 1))
    return values


def lz77_list(text):
    choices = {"on": [True], "off": [False], "both": [True, False]}
    if text not in choices:
        raise argparse.ArgumentTypeError("--lz77 takes on, off or both")
    return choices[text]


def walk(paths):
    """The files of paths, folders walked in name order; symbolic links to folders not
    followed."""
    for path in paths:
        if os.path.isdir(path):
            for root, dirs, files in os.walk(path):
                dirs.sort()
                for name in sorted(files):
                    yield os.path.join(root, name)
        else:
            yield path


def csv_rows(results):
    for f in results:
        base = {"file": f["file"], "input_bytes": f["input_bytes"]}
        for key in ("zlib_bytes", "zstd_bytes", "xz_bytes", "entropy_bytes"):
            if key in f:
                base[key] = f[key]
        if "results" not in f:
            yield dict(base, note=f.get("skipped") or f.get("error", ""))
            continue
        for m in f["results"]:
            row = dict(base)
            row.update({k: v for k, v in m.items() if k in _CSV_FIELDS})
            yield row


class ProgressBar:
    """A one-line bar on a terminal's standard error; silent elsewhere."""

    def __init__(self, stream):
        self.stream = stream if stream.isatty() else None

    def __call__(self, done, total):
        if self.stream:
            width = 30
            filled = width * done // max(total, 1)
            self.stream.write("\r[%s%s] %d of %d files" % ("#" * filled, "." * (width - filled),
                                                          done, total))
            self.stream.flush()

    def clear(self):
        if self.stream:
            self.stream.write("\r\033[K")
            self.stream.flush()


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m quorvane")
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("study", help="pack files under a sweep of settings, in memory")
    p.add_argument("paths", nargs="+", metavar="PATH", help="files, and folders to walk")
    p.add_argument("-r", "--rod-size", type=number_list, default=[2, 3, 4, 8], metavar="LIST")
    p.add_argument("-d", "--depth", type=number_list, default=[1], metavar="LIST")
    p.add_argument("--lz77", type=lz77_list, default=[True], metavar="on|off|both")
    p.add_argument("--loops", type=number_list, default=[2], metavar="LIST")
    p.add_argument("--single", action="store_true", help="one cycle only")
    p.add_argument("--baseline", default="zlib,zstd,xz,entropy", metavar="LIST",
                   help="among zlib,zstd,xz,entropy; none for none")
    p.add_argument("-j", "--jobs", type=int, default=0, metavar="N",
                   help="worker processes on this machine (0: study in this process)")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="a running dask scheduler to study on (tcp://host:8786)")
    out = p.add_mutually_exclusive_group()
    out.add_argument("--csv", action="store_true", help="one line per file and setting")
    out.add_argument("--json", action="store_true", help="the results as JSON")
    p.add_argument("--plot", metavar="FILE", help="also draw the results (.svg, .png, .pdf)")
    args = parser.parse_args(argv)

    paths = list(walk(args.paths))
    bar = ProgressBar(sys.stderr)
    options = dict(rod_sizes=args.rod_size, depths=args.depth, lz77=args.lz77,
                   loops=args.loops, single=args.single, baselines=args.baseline,
                   progress=bar)
    try:
        if args.scheduler:
            from distributed import Client
            with Client(args.scheduler) as client:
                results = study(paths, executor=client, **options)
        elif args.jobs > 0:
            from concurrent.futures import ProcessPoolExecutor
            with ProcessPoolExecutor(args.jobs) as pool:
                results = study(paths, executor=pool, **options)
        else:
            results = study(paths, **options)
    except (Error, ValueError) as e:
        bar.clear()
        print("python3 -m quorvane: %s" % e, file=sys.stderr)
        return 2
    bar.clear()

    if args.json:
        json.dump({"files": results}, sys.stdout, indent=1)
        sys.stdout.write("\n")
    else:
        writer = csv.DictWriter(sys.stdout, _CSV_FIELDS, extrasaction="ignore",
                                lineterminator="\n")
        writer.writeheader()
        writer.writerows(csv_rows(results))
    if args.plot:
        from .plot import plot_study
        plot_study(results, args.plot)
    failed = [f for f in results if "error" in f]
    for f in failed:
        print("python3 -m quorvane: %s: %s" % (f["file"], f["error"]), file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
