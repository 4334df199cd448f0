"""Every failure reaches Python as an exception carrying the engine's
message: DataError for data files, CalculationError for calculations,
ValueError for bad arguments; never a crash and never a silent NaN."""

import threading

import numpy as np
import pytest

import eqcore
from eqcore import _core
from conftest import example

FEED = {"CH4": 1.0, "O2": 2.0, "N2": 7.52}


def test_data_file_errors(tmp_path):
    with pytest.raises(eqcore.DataError, match="not found") as e:
        eqcore.load(tmp_path / "missing.dat")
    assert e.value.file.endswith("missing.dat")
    bad = tmp_path / "bad.dat"
    lines = open(example("ag-cu-example.dat")).read().splitlines()
    lines[3] = "  107.8682  not-a-number"
    bad.write_text("\n".join(lines) + "\n")
    with pytest.raises(eqcore.DataError) as e:
        eqcore.load(bad)
    assert e.value.file == str(bad) and e.value.line == 4 and "bad.dat:4" in str(e.value)
    truncated = tmp_path / "truncated.dat"
    truncated.write_text("\n".join(lines[:12]) + "\n")
    with pytest.raises(eqcore.DataError, match="truncated.dat"):
        eqcore.load(truncated)
    # A compiled file with a damaged byte fails its checksum.
    cst = tmp_path / "bad.cst"
    cst.write_bytes(b"EQCST\r\n\x1a" + b"\x01\x00\x00\x00" + b"\x00" * 40)
    with pytest.raises(eqcore.DataError, match="bad.cst"):
        eqcore.load(cst)


def test_bad_arguments_are_value_errors(chon):
    cases = [
        dict(T=2000),  # no feed
        dict(T=2000, feed={"XYZ": 1}),  # no such constituent or element
        dict(T=2000, feed={"CH4": -1}),
        dict(T=2000, feed={"CH4": float("nan")}),
        dict(T=2000, feed={"CH4": "one"}),
        dict(T=float("nan"), feed=FEED),
        dict(T=-5, feed=FEED),
        dict(T="hot", feed=FEED),
        dict(T=2000, P=0, feed=FEED),
        dict(feed=FEED),  # no temperature and no target
        dict(T=2000, feed=FEED, units={"temperature": "Kelvin"}),
        dict(T=2000, feed=FEED, units={"mass": "g"}),
        dict(T=2000, feed=FEED, phases={"GAS": "sleeping"}),
        dict(T=2000, feed=FEED, phases={"PLASMA": "eliminated"}),
        dict(T=2000, feed=FEED, dH=0, formation="GAS"),
        dict(T=2000, feed=FEED, formation="PLASMA"),
        dict(T=2000, feed={"CH4": 1, "O4": 1}, dH=0),  # an enthalpy condition needs constituents
        dict(T=2000, feed=FEED, T_limits=(3000, 1000)),
        dict(T=2000, feed=FEED, T_limits=(300,)),
    ]
    for kwargs in cases:
        with pytest.raises(ValueError) as e:
            chon.equilibrate(**kwargs)
        assert str(e.value), kwargs
    with pytest.raises(ValueError, match="exactly one sequence"):
        chon.step(T=[1000, 2000], P=[1e5, 2e5], feed=FEED)
    with pytest.raises(ValueError, match="temperature target"):
        chon.step(T=[1000, 2000], feed=FEED, dH=0)
    with pytest.raises(ValueError, match="not finite"):
        chon.step(T=[1000, np.inf], feed=FEED)
    with pytest.raises(ValueError, match="workers"):
        chon.step(T=[1000, 2000], feed=FEED, workers=0)
    with pytest.raises(ValueError, match="same composition"):
        chon.binary_diagram("H2O", "H4O2", T=(300, 400))
    with pytest.raises(ValueError):
        chon.binary_diagram("C", "H", T=(400, 300))


def test_calculation_errors_carry_the_engine_number(agcu):
    cases = [
        (dict(T=1000, feed={"Ag": 0.0}), 51),  # no material
        (dict(T=7000, feed={"Ag": 1.0}), 53),  # above the temperature limit
        (dict(T=1000, feed={"Cu(s)": 1.0}, precipitation="Cu(s)"), 57),
        (dict(T=1000, feed={"Cu(s)": 1.0}, formation="LIQUID", T_limits=(300, 900)), 55),
        (dict(T=1000, feed={"Ag": 1.0, "Cu": 1.0}, phases={"Cu(s)": "eliminated", "LIQUID": "eliminated"},
              constituents={"GAS/Cu": "eliminated"}), 52),
    ]
    for kwargs, code in cases:
        with pytest.raises(eqcore.CalculationError) as e:
            agcu.equilibrate(**kwargs)
        assert e.value.code == code, (kwargs, e.value)
        assert str(e.value)
    # The system stays usable after a failure.
    assert agcu.equilibrate(T=1000, feed={"Ag": 1.0}).present_phases == ["Ag(s)"]


def test_one_engine_is_refused_to_a_second_thread(agcu):
    engine = _core.Engine(agcu._native)
    engine.configure(agcu.units, None, None, 200.0, 6000.0)
    T = np.linspace(900, 1400, 40000)
    errors = []

    def run():
        try:
            engine.step(1000.0, 1e5, 298.15, [], [], [0.5, 0.5], 0, -1, 0.0, 0, T, -1, [], 0.0)
        except eqcore.Error as e:
            errors.append(e)

    threads = [threading.Thread(target=run) for _ in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert len(errors) == 1 and "one engine per thread" in str(errors[0])
