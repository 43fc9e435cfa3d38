"""The Python module against the command line it mirrors."""

import json
import os
import signal
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from concurrent.futures import ProcessPoolExecutor

import pytest

import quorvane

CLI = os.environ["QUORVANE_CLI"]
SAMPLES = os.environ["QUORVANE_SAMPLES"]
SPARSE = os.path.join(SAMPLES, "sparse.bin")


def cli(*args, data=None):
    return subprocess.run([CLI, *args], input=data, capture_output=True, check=True).stdout


def sparse_bytes(size, seed):
    out = bytearray(size)
    for i in range(0, size, 13 + seed % 7):
        out[i] = (i * 31 + seed) & 0xFF
    return bytes(out)


@pytest.fixture(scope="module")
def sample():
    with open(SPARSE, "rb") as f:
        return f.read()


@pytest.mark.parametrize("options, kwargs", [
    ([], {}),
    (["-r", "3", "--no-lz77"], {"rod_size": 3, "lz77": False}),
    (["-r", "8", "-d", "30", "--single", "--no-check"],
     {"rod_size": 8, "depth": 30, "single": True, "check": False}),
    (["-l", "50", "--loops", "4"], {"level": 50, "loops": 4}),
])
def test_pack_gives_the_command_lines_bytes_and_restores(tmp_path, sample, options, kwargs):
    rod = quorvane.pack(sample, **kwargs)
    assert rod == cli("pack", "-c", *options, SPARSE)
    restore = {k: v for k, v in kwargs.items() if k in ("rod_size", "lz77")}
    assert quorvane.unpack(rod, **restore) == sample
    assert quorvane.unpack(rod, detect=True) == sample


def test_info_and_detect_equal_the_json_of_the_command_line(tmp_path, sample):
    path = tmp_path / "s.rod"
    path.write_bytes(quorvane.pack(sample, rod_size=3))
    info = json.loads(cli("info", "--json", str(path)))["files"][0]
    detect = json.loads(cli("detect", "--json", str(path)))["files"][0]
    del info["file"], detect["file"]
    assert quorvane.info(path.read_bytes()) == info
    assert quorvane.detect(path.read_bytes()) == detect


def test_errors_carry_the_engines_texts(tmp_path, sample):
    with pytest.raises(quorvane.SettingsError) as small:
        quorvane.pack(b"\0" * 81)
    assert str(small.value) == cli_error(tmp_path, b"\0" * 81)
    with pytest.raises(quorvane.SettingsError):
        quorvane.pack(sample, rod_size=129)
    rod = bytearray(quorvane.pack(sample))
    with pytest.raises(quorvane.RestorationError):
        quorvane.unpack(bytes(rod), rod_size=5)
    rod[-1] ^= 1
    with pytest.raises(quorvane.DamagedDataError, match="checksum mismatch"):
        quorvane.unpack(bytes(rod))
    with pytest.raises(quorvane.DamagedDataError):
        quorvane.decompress(b"not a zlib stream")


def cli_error(tmp_path, data):
    (tmp_path / "small").write_bytes(data)
    done = subprocess.run([CLI, "pack", "-c", str(tmp_path / "small")], capture_output=True)
    assert done.returncode != 0
    # "quorvane-cli: NAME: TEXT" -- the text after the file's name.
    return done.stderr.decode().splitlines()[0].split(": ", 2)[-1]


def test_progress_sees_every_pass_and_can_cancel(sample):
    records = []
    rod = quorvane.pack(sample, progress=records.append)
    passes = [r for r in records if r["kind"] == "pass"]
    assert passes and passes[0]["bits_in"] == 8 * len(sample)
    assert quorvane.info(rod)["header"]["PassDepth"] == max(r["pass"] for r in passes)

    def stop(record):
        if record["pass"] == 20:
            raise LookupError("enough")
    with pytest.raises(quorvane.CancelledError) as cancelled:
        quorvane.pack(sample, progress=stop)
    assert isinstance(cancelled.value.__cause__, LookupError)


def test_sigint_stops_a_call(sample):
    def interrupt(record):
        if record["pass"] == 10:
            os.kill(os.getpid(), signal.SIGINT)
    with pytest.raises(KeyboardInterrupt):
        quorvane.pack(sample, progress=interrupt)


def comparable(results):
    # Times differ from run to run; everything else must not.
    for f in results:
        for m in f.get("results", []):
            m.pop("pack_ms", None)
            m.pop("restore_ms", None)
    return results


@pytest.fixture(scope="module")
def corpus(sample):
    return [("sample", sample), ("tiny", b"x" * 10)] + [
        ("sparse%d" % i, sparse_bytes(2000 + 500 * i, i)) for i in range(4)]


@pytest.fixture(scope="module")
def serial(corpus):
    return comparable(quorvane.study(corpus, rod_sizes=(2, 3)))


def test_a_study_equals_the_command_lines(tmp_path, sample, serial):
    assert serial[1]["skipped"]
    (tmp_path / "sample").write_bytes(sample)
    expected = json.loads(cli("study", "--json", "-q", "-r", "2,3", str(tmp_path / "sample")))
    expected["files"][0]["file"] = "sample"
    assert comparable([serial[0]]) == comparable(expected["files"][:1])


def test_a_process_pool_gives_the_serial_results(corpus, serial):
    with ProcessPoolExecutor(2) as pool:
        assert comparable(quorvane.study(corpus, rod_sizes=(2, 3), executor=pool)) == serial


def test_a_dask_cluster_gives_the_serial_results(corpus, serial):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        assert comparable(quorvane.study(corpus, rod_sizes=(2, 3), executor=client)) == serial


def test_plots_and_the_study_command(tmp_path, sample, serial):
    from quorvane.plot import plot_study, plot_trace
    plot_study(serial, tmp_path / "study.svg")
    assert ElementTree.parse(tmp_path / "study.svg").getroot().tag.endswith("svg")
    records = []
    quorvane.pack(sample, progress=records.append)
    plot_trace(records, tmp_path / "trace.png")
    assert (tmp_path / "trace.png").read_bytes().startswith(b"\x89PNG\r\n\x1a\n")

    folder = tmp_path / "corpus"
    (folder / "inner").mkdir(parents=True)
    (folder / "a.bin").write_bytes(sample)
    (folder / "inner" / "b.bin").write_bytes(sparse_bytes(3000, 1))
    done = subprocess.run([sys.executable, "-m", "quorvane", "study", "--json", "-r", "2",
                           "--plot", str(tmp_path / "c.png"), str(folder)],
                          capture_output=True, check=True, env=os.environ)
    files = json.loads(done.stdout)["files"]
    assert [f["file"] for f in files] == [str(folder / "a.bin"), str(folder / "inner" / "b.bin")]
    assert (tmp_path / "c.png").stat().st_size > 0
