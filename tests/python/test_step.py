"""Steps: every row equals a cold equilibrium of that point alone (1e-9),
whether the points are computed in one thread or in two."""

import numpy as np
import pytest

import eqcore
from conftest import close, example

# Lean methane-air: every element potential is well determined (at the exact
# stoichiometry the oxygen potential rests on traces below the balance
# tolerance and is not reproducible to 1e-9).
LEAN = {"CH4": 1.0, "O2": 2.4, "N2": 9.0}


def cold(path, **kwargs):
    """The equilibrium of one point by a fresh system (no warm start)."""
    return eqcore.load(path).equilibrate(**kwargs)


def assert_row_equals(step, i, r):
    assert close(step.table["T"][i], r.T, 1e-9)
    # Energies on their natural scale (H passes through 0 in a combustion).
    energy = 1e-9 * max(abs(r.H), abs(r.G), abs(r.T * r.S))
    assert abs(step.table["H"][i] - r.H) <= energy
    assert abs(step.table["G"][i] - r.G) <= energy
    assert abs(step.table["S"][i] - r.S) * r.T <= energy
    assert close(step.phase_amount[i], r.phase_amount, 1e-9, 1e-12)
    # Amounts of traces to 1e-9 relative of the phase's amount.
    scale = max(r.phase_amount.max(), 1.0)
    assert close(step.amount[i], r.amount, 1e-9, 1e-9 * scale)
    assert close(step.element_potential[i], r.element_potential, 1e-9, 1e-9 * abs(r.G))


@pytest.mark.parametrize("workers", [1, 2])
def test_temperature_step_equals_cold_points(workers):
    path = example("c-h-o-n.dat")
    T = np.linspace(300.0, 3200.0, 59)  # liquid water at the low end, dissociation at the high one
    s = eqcore.load(path).step(T=T, P=2e5, feed=LEAN, workers=workers, progress=False)
    assert len(s) == len(T) and list(s.values) == list(T)
    assert s.present[0, 2] and not s.present[-1, 2]  # H2O_liquid(liq) condenses only at the cold end
    for i in range(0, len(T), 4):
        assert_row_equals(s, i, cold(path, T=T[i], P=2e5, feed=LEAN))


def test_pressure_and_amount_steps_equal_cold_points():
    path = example("c-h-o-n.dat")
    P = np.geomspace(1e3, 1e7, 17)
    s = eqcore.load(path).step(T=2600.0, P=P, feed=LEAN, progress=False)
    for i in range(0, len(P), 4):
        assert_row_equals(s, i, cold(path, T=2600.0, P=P[i], feed=LEAN))
    # Over an amount, with the temperature the unknown of an adiabatic condition.
    O2 = np.linspace(1.2, 4.0, 15)
    feed = dict(LEAN, O2=O2)
    s = eqcore.load(path).step(P=1e5, feed=feed, dH=0.0, progress=False)
    assert s.variable == "feed(O2)" and list(s.table["feed(O2)"]) == list(O2)
    for i in range(0, len(O2), 3):
        r = cold(path, T=1000.0, P=1e5, feed=dict(LEAN, O2=O2[i]), dH=0.0)
        assert_row_equals(s, i, r)
        assert abs(s.table["heat"][i]) < 1e-9 * abs(r.T * r.S)  # adiabatic to the engine's enthalpy tolerance


def test_step_over_a_formula_amount_in_mass_units():
    path = example("ag-cu-example.dat")
    cu = np.linspace(0.0, 30.0, 7)  # grams of copper with 70 g of silver
    units = {"amount": "g", "temperature": "C"}
    s = eqcore.load(path).step(T=850.0, feed={"Ag": 70.0, "Cu": cu}, units=units, progress=False)
    for i, g in enumerate(cu):
        r = cold(path, T=850.0, feed={"Ag": 70.0, "Cu": g}, units=units)
        assert_row_equals(s, i, r)
        assert close(s.phase_amount[i].sum(), 70.0 + g, 1e-12)


def test_two_workers_give_the_serial_table():
    system = eqcore.load(example("c-h-o-n.dat"))
    T = np.linspace(400.0, 3000.0, 400)
    serial = system.step(T=T, feed=LEAN, progress=False)
    threads = system.step(T=T, feed=LEAN, workers=2, progress=False)
    assert serial.columns == threads.columns
    for c in serial.columns:
        assert close(serial[c], threads[c], 1e-9, 1e-12 * max(1.0, np.abs(serial[c]).max())), c


def test_failed_points_raise_or_are_left_out():
    system = eqcore.load(example("ag-cu-example.dat"))
    T = np.array([1000.0, 7000.0, 1100.0])  # 7000 K is above the temperature limit
    with pytest.raises(eqcore.CalculationError, match="7000") as err:
        system.step(T=T, feed={"Ag": 1.0}, progress=False)
    assert err.value.code == 53
    s = system.step(T=T, feed={"Ag": 1.0}, errors="skip", progress=False)
    assert list(s.values) == [1000.0, 1100.0] and len(s.failures) == 1 and s.failures[0][0] == 7000.0
    assert np.isfinite(s.table["H"]).all()


def test_table_views():
    s = eqcore.load(example("c-h-o-n.dat")).step(T=np.linspace(300, 2000, 12), feed=LEAN, progress=False)
    assert set(s.phase_amounts()) == {"GAS", "H2O_liquid(liq)"}
    x = s.mole_fractions("GAS")
    assert close(sum(x.values()), np.ones(12), 1e-12)
    assert close(s["x(GAS/CO2)"], x["CO2"], 0)
    df = pytest.importorskip("pandas") and s.to_dataframe()
    assert list(df.columns) == s.columns and len(df) == 12
    assert "over T" in repr(s)
