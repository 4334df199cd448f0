"""python3 -m eqcore for people who do not write Python: files written,
exit status 0 on success, 1 when a calculation failed, 2 for bad input."""

import json
import os
import subprocess
import sys

from conftest import example


def run(tmp_path, *args):
    return subprocess.run([sys.executable, "-m", "eqcore", *args], cwd=tmp_path, capture_output=True, text=True,
                          env=dict(os.environ, MPLBACKEND="Agg"))


def test_diagram_step_and_equilibrate(tmp_path):
    r = run(tmp_path, "diagram", example("ag-cu-example.dat"), "Ag", "Cu", "--T", "900:1400", "--x", "21",
            "--nT", "21", "-o", "d.svg", "--json", "d.json")
    assert r.returncode == 0, r.stderr
    assert (tmp_path / "d.svg").read_text().startswith("<?xml")
    d = json.loads((tmp_path / "d.json").read_text())
    assert abs(d["invariants"][0]["T"] - 1053.30) < 0.01

    r = run(tmp_path, "step", example("c-h-o-n.dat"), "--T", "300:3000:30", "--feed", "CH4=1", "--feed", "O2=2",
            "--feed", "N2=7.52", "-o", "s.png", "--csv", "s.csv", "--phase", "GAS")
    assert r.returncode == 0, r.stderr
    assert (tmp_path / "s.png").stat().st_size > 1000
    lines = (tmp_path / "s.csv").read_text().splitlines()
    assert lines[0].startswith("T,P,G,H") and len(lines) == 31

    r = run(tmp_path, "equilibrate", example("h-o.dat"), "-T", "3000", "--feed", "H2=2", "--feed", "O2=1", "--json")
    assert r.returncode == 0 and json.loads(r.stdout)["T"] == 3000.0


def test_exit_status_of_failures(tmp_path):
    r = run(tmp_path, "equilibrate", example("h-o.dat"), "-T", "3000", "--feed", "H2=2", "--feed", "Xe=1")
    assert r.returncode == 2 and "Xe" in r.stderr
    r = run(tmp_path, "equilibrate", str(tmp_path / "none.dat"), "-T", "3000", "--feed", "H2=1")
    assert r.returncode == 2 and "none.dat" in r.stderr
    r = run(tmp_path, "equilibrate", example("h-o.dat"), "-T", "9000", "--feed", "H2=1")
    assert r.returncode == 1 and "temperature" in r.stderr
    r = run(tmp_path, "diagram", example("ag-cu-example.dat"), "Ag", "Cu", "--T", "900")
    assert r.returncode == 2
