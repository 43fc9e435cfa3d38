"""Quorvane's centrifuge packing scheme, from Python.

Every call works on bytes in memory and runs the engine of libquorvane, the same engine as
quorvane-cli; keyword arguments are named and defaulted as the command's long options. The
engine releases the GIL while it works, so calls run in parallel on threads, and Ctrl-C stops a
long call.

    import quorvane
    rod = quorvane.pack(data, rod_size=3)
    assert quorvane.unpack(rod, rod_size=3) == data
    quorvane.study(["a.bin", "b.bin"], rod_sizes=range(2, 9))
"""

from ._errors import CancelledError, DamagedDataError, Error, RestorationError, SettingsError
from . import _core
from ._study import study

__version__ = _core.version()

__all__ = [
    "pack", "unpack", "test", "info", "detect", "study", "compress", "decompress",
    "Error", "SettingsError", "DamagedDataError", "RestorationError", "CancelledError",
    "__version__",
]


def pack(data, *, rod_size=2, depth=1, level=1, loops=2, lz77=True, single=False,
         experimental=False, check=True, progress=None):
    """Packs data (82 to 32767 bytes) into a rod file's bytes, exactly as `quorvane-cli pack`
    writes them. progress, if given, is called with a dict for every pass and cycle; an
    exception it raises cancels the call and is chained to the CancelledError raised."""
    return _core.pack(bytes(data), _settings(rod_size, depth, level, loops, lz77, single,
                                             experimental, check), progress)


def unpack(rod, *, rod_size=2, lz77=True, detect=False, progress=None):
    """Restores a rod file's bytes to the packed file's bytes. With detect=True the rod size
    and LZ77 setting are found as `quorvane-cli unpack --detect` finds them."""
    return _core.unpack(bytes(rod), _settings(rod_size, lz77=lz77), detect, progress)


def test(rod, *, rod_size=2, lz77=True, detect=False, progress=None):
    """Restores a rod file's bytes in memory, as `quorvane-cli test` does, keeping nothing; the
    restored file's size in bytes when it restores. Raises as unpack() would."""
    return len(unpack(rod, rod_size=rod_size, lz77=lz77, detect=detect, progress=progress))


def info(rod):
    """The header of a rod file's bytes, without restoring: the fields of
    `quorvane-cli info --json`."""
    return _core.info(bytes(rod))


def detect(rod):
    """Every setting a rod file's bytes restore with, grouped by the file each gives, as
    `quorvane-cli detect --json` lists them."""
    return _core.detect(bytes(rod))


def compress(data):
    """The whole-file zlib stream of `quorvane-cli compress`."""
    return _core.compress(bytes(data))


def decompress(data):
    """The bytes of a zlib stream, as `quorvane-cli decompress` writes them."""
    return _core.decompress(bytes(data))


def _settings(rod_size=2, depth=1, level=1, loops=2, lz77=True, single=False,
              experimental=False, check=True):
    return {"rod_size": rod_size, "depth": depth, "level": level, "loops": loops,
            "lz77": bool(lz77), "single": bool(single), "experimental": bool(experimental),
            "check": bool(check)}
