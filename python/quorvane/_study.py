"""Studies of many files, on any concurrent.futures-style executor."""

import json
import os

from . import _core


def _sweep(rod_sizes, depths, lz77, loops, single):
    # The order of quorvane-cli study: rod size, then depth, then LZ77, then loops.
    return [{"rod_size": int(r), "depth": int(d), "lz77": bool(z), "loops": int(n),
             "single": bool(single)}
            for r in rod_sizes for d in depths for z in lz77 for n in loops]


def _study_one(name, data, sweep, baselines, trace):
    """One file under every setting; runs where the executor puts it (module level, so that
    process pools and clusters can pickle it)."""
    return json.loads(_core.study(name, data, sweep, baselines, trace))


def _named(item):
    if isinstance(item, (bytes, bytearray, memoryview)):
        return None, bytes(item)
    if isinstance(item, tuple) and len(item) == 2:
        return str(item[0]), bytes(item[1])
    return os.fsdecode(item), None


def study(files_or_buffers, *, rod_sizes=(2, 3, 4, 8), depths=(1,), lz77=(True,), loops=(2,),
          single=False, baselines=("zlib", "zstd", "xz", "entropy"), trace=False,
          executor=None, progress=None):
    """Packs every file (a path) or buffer (bytes, or a (name, bytes) pair) under every setting
    of the sweep, restores each rod stream to prove it, and returns one dict per input, in
    input order, with the fields of `quorvane-cli study --json`.

    With an executor (concurrent.futures.ProcessPoolExecutor, a dask.distributed Client ...)
    one task per input is submitted to it; files are read here, so workers need not see them.
    An input that fails gets an "error" entry; the others are studied all the same.
    progress, if given, is called with (files done, files in all) as files finish.
    """
    if isinstance(files_or_buffers, (str, bytes, bytearray, os.PathLike)):
        files_or_buffers = [files_or_buffers]
    if isinstance(lz77, bool):
        lz77 = (lz77,)
    if isinstance(baselines, str):
        baselines = () if baselines == "none" else tuple(baselines.split(","))
    sweep = _sweep(rod_sizes, depths, lz77, loops, single)
    baselines = tuple(baselines)
    jobs = []
    results = []
    for index, item in enumerate(files_or_buffers):
        name, data = _named(item)
        if data is None:
            try:
                with open(name, "rb") as f:
                    data = f.read()
            except OSError as e:
                results.append({"file": name, "input_bytes": 0, "error": _os_error_text(e)})
                continue
        if name is None:
            name = "<buffer %d>" % index
        results.append(None)
        jobs.append((len(results) - 1, name, data))

    def record(name, data, outcome):
        try:
            return outcome()
        except Exception as e:  # one failing task is that file's error, not the study's
            return {"file": name, "input_bytes": len(data), "error": str(e)}

    done = len(results) - len(jobs)
    if executor is None:
        for slot, name, data in jobs:
            results[slot] = record(name, data,
                                   lambda: _study_one(name, data, sweep, baselines, trace))
            done += 1
            if progress:
                progress(done, len(results))
    else:
        pending = {executor.submit(_study_one, name, data, sweep, baselines, trace):
                   (slot, name, data) for slot, name, data in jobs}
        # Results go to their input's slot, whatever order the tasks finish in.
        for future in _as_completed(executor, pending):
            slot, name, data = pending[future]
            results[slot] = record(name, data, future.result)
            done += 1
            if progress:
                progress(done, len(results))
    return results


def _as_completed(executor, futures):
    # A dask Client's futures are not concurrent.futures ones; each side has its own waiter.
    if hasattr(executor, "gather") and hasattr(executor, "scheduler"):
        from distributed import as_completed
        return as_completed(list(futures))
    from concurrent.futures import as_completed
    return as_completed(futures)


def _os_error_text(e):
    return "%s: %s" % (e.filename, e.strerror) if e.strerror else str(e)
