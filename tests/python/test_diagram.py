"""The Ag-Cu diagram of the example file against the values of its
documentation, and every boundary a true two-phase equilibrium by the
engine's acceptance check, recomputed independently of the diagram."""

import numpy as np
import pytest

import eqcore
from conftest import example

# data-format.md, example B: eutectic 1053.300 K at x_Cu 0.29265; liquidus at
# 1100 K at x_Cu 0.16876 (Ag(s) side) and 0.50092 (Cu(s) side); melting
# points Ag 1235.000 K, Cu 1353.665 K.
LIQUIDUS_1100 = (0.16876, 0.50092)


@pytest.fixture(scope="module")
def diagram():
    system = eqcore.load(example("ag-cu-example.dat"))
    x = np.union1d(np.linspace(0.0, 1.0, 41), LIQUIDUS_1100)
    return system.binary_diagram("Ag", "Cu", T=(900.0, 1400.0), x=x, nT=41, progress=False)


def liquidus(diagram, x):
    (p,) = [p for p in diagram.points if p.x == x and p.above == ("LIQUID",)]
    return p.T


def test_invariant_liquidus_and_melting_points(diagram):
    (eutectic,) = diagram.invariants
    assert eutectic.kind == "eutectic" and eutectic.phases == ("Ag(s)", "LIQUID", "Cu(s)")
    assert abs(eutectic.T - 1053.30) < 0.01
    assert abs(eutectic.x[1] - 0.29265) < 1e-4 and eutectic.x[0] == 0.0 and eutectic.x[2] == 1.0
    for x in LIQUIDUS_1100:
        assert abs(liquidus(diagram, x) - 1100.00) < 0.05
    assert abs(liquidus(diagram, 0.0) - 1235.000) < 0.01
    assert abs(liquidus(diagram, 1.0) - 1353.665) < 0.01
    assert {r.name for r in diagram.regions} == {
        "LIQUID", "Ag(s)", "Cu(s)", "LIQUID + Ag(s)", "LIQUID + Cu(s)", "Ag(s) + Cu(s)"}
    assert diagram.region_at(0.5, 1300.0).name == "LIQUID"
    assert diagram.region_at(0.5, 1000.0).name == "Ag(s) + Cu(s)"
    assert not diagram.failures


def test_every_tieline_is_a_two_phase_equilibrium(diagram):
    """Material between the ends of a tie-line splits into exactly its two
    phases with the ends' compositions, and the engine's acceptance check
    accepts that equilibrium (a fresh system: nothing of the diagram's runs)."""
    system = eqcore.load(example("ag-cu-example.dat"))
    lines = diagram.tielines
    checked = 0
    for t in lines[:: max(1, len(lines) // 150)] + [t for t in lines if t.T == diagram.invariants[0].T]:
        if abs(t.x[0] - t.x[1]) < 1e-6:
            continue  # a pure component's melting point: the two ends coincide
        mid = 0.5 * (t.x[0] + t.x[1])
        r = system.equilibrate(T=t.T, feed={"Ag": 1 - mid, "Cu": mid}, check=False)
        assert r.check() == [], t
        present = set(r.present_phases)
        if t.T == diagram.invariants[0].T:
            assert present <= set(diagram.invariants[0].phases)
            continue
        assert present == set(t.phases), t
        for name, x in zip(t.phases, t.x):
            p = r.phases[name]
            xc = p.constituents["Cu(liq)"].mole_fraction if name == "LIQUID" else (1.0 if name == "Cu(s)" else 0.0)
            assert abs(xc - x) < 1e-7, (t, name)
        checked += 1
    assert checked > 50


def test_every_boundary_point_has_its_new_phase_at_zero_driving_force(diagram):
    system = eqcore.load(example("ag-cu-example.dat"))
    for p in diagram.points:
        r = system.equilibrate(T=p.T, feed={"Ag": 1 - p.x, "Cu": p.x}, check=False)
        assert r.check() == [], p
        # Every phase of both sides coexists here: present, or absent at no driving force.
        for name in set(p.below) | set(p.above):
            phase = r.phases[name]
            assert phase.present or abs(phase.driving_force) < 1e-3, (p, name, phase.driving_force)


def test_constituents_as_components_and_threads_give_the_same_diagram(diagram):
    system = eqcore.load(example("ag-cu-example.dat"))
    x = diagram.x[::4]
    a = system.binary_diagram("Ag(s)", "Cu(s)", T=(900.0, 1400.0), x=x, nT=21, progress=False)
    b = system.binary_diagram("Ag", "Cu", T=(900.0, 1400.0), x=x, nT=21, workers=2, progress=False)
    assert [(p.x, p.below, p.above) for p in a.points] == [(p.x, p.below, p.above) for p in b.points]
    assert np.allclose([p.T for p in a.points], [p.T for p in b.points], rtol=0, atol=1e-6)
    assert (a.region_index == b.region_index).all()


def test_a_diagram_with_the_gas():
    """Up to where Ag-Cu boils: the gas forms, and the diagram still holds
    only equilibria the acceptance check accepts."""
    system = eqcore.load(example("ag-cu-example.dat"))
    d = system.binary_diagram("Ag", "Cu", T=(1800.0, 3200.0), x=11, nT=15, progress=False)
    names = {r.name for r in d.regions}
    assert "GAS" in names and "LIQUID" in names and "GAS + LIQUID" in names
    for t in d.tielines[:: max(1, len(d.tielines) // 40)]:
        if abs(t.x[0] - t.x[1]) < 1e-6:
            continue
        mid = 0.5 * (t.x[0] + t.x[1])
        r = system.equilibrate(T=t.T, feed={"Ag": 1 - mid, "Cu": mid}, check=False)
        assert r.check() == [] and set(r.present_phases) == set(t.phases), t


def test_ideal_lens_against_its_closed_form():
    """Two ideal mixtures (tests/python/data/ideal-lens.dat: A melts at 1000 K,
    B at 1400 K, both with dS 10 J/K): at every temperature between the
    melting points the tie-line is x_l = (1 - k_A)/(k_B - k_A), x_s = k_B x_l
    with k_i = exp(dG_melt,i / RT). Every tie-line and boundary point of the
    diagram holds it."""
    import math
    import pathlib

    R = 8.31451

    def lens(T):
        kA = math.exp((10000 - 10 * T) / (R * T))
        kB = math.exp((14000 - 10 * T) / (R * T))
        xl = (1 - kA) / (kB - kA)
        return xl, kB * xl

    system = eqcore.load(pathlib.Path(__file__).parent / "data" / "ideal-lens.dat")
    d = system.binary_diagram("A", "B", T=(950.0, 1450.0), x=21, nT=26, progress=False)
    assert {r.name for r in d.regions} == {"LIQUID", "SOLID", "LIQUID + SOLID"} and not d.invariants
    lines = [t for t in d.tielines if t.phases == ("LIQUID", "SOLID") and 1000.0 < t.T < 1400.0]
    assert len(lines) > 50
    for t in lines:
        assert abs(t.x[0] - lens(t.T)[0]) < 1e-9 and abs(t.x[1] - lens(t.T)[1]) < 1e-9, t
    for p in d.points:
        if 0.0 < p.x < 1.0:
            xl, xs = lens(p.T)
            assert abs(p.compositions["LIQUID"] - xl) < 1e-9 and abs(p.compositions["SOLID"] - xs) < 1e-9, p
            assert abs(p.x - (xl if p.above == ("LIQUID",) else xs)) < 1e-9, p  # liquidus above, solidus below
