"""System and Result: what the data file holds, feeds by name or formula,
statuses, units, targets, and one System used from many threads."""

import json
import math
import threading

import numpy as np
import pytest

import eqcore
from conftest import close, example

FEED = {"CH4": 1.0, "O2": 2.0, "N2": 7.52}
R = 8.31451


def test_system_lists_elements_phases_and_constituents(agcu):
    assert [e.name for e in agcu.elements] == ["Ag", "Cu"]
    assert [(p.name, p.model) for p in agcu.phases] == [("GAS", "IDMX"), ("LIQUID", "RKMP"), ("Ag(s)", "PURE"), ("Cu(s)", "PURE")]
    liquid = agcu.phase("LIQUID")
    assert liquid.constituents == ("Ag(liq)", "Cu(liq)") and liquid.mixture and not liquid.gas and liquid.sublattices == ()
    assert agcu.constituents[3].phase == "LIQUID" and agcu.constituents[3].stoichiometry == {"Cu": 1.0}
    assert "LIQUID (RKMP)" in repr(agcu)


def test_names_that_are_not_utf8_load(tmp_path):
    raw = open(example("ag-cu-example.dat"), "rb").read().replace(b"made-up data", b"made-up data \xb0C", 1)
    (tmp_path / "latin1.dat").write_bytes(raw)
    system = eqcore.load(tmp_path / "latin1.dat")
    assert system.title.endswith("\ufffdC)") and "\ufffd" in system.equilibrate(T=1000, feed={"Ag": 1}).listing


def test_feeds_by_constituent_phase_and_formula_give_the_same_equilibrium(chon):
    a = chon.equilibrate(T=1800, feed=FEED)
    b = chon.equilibrate(T=1800, feed={"GAS/CH4": 1.0, "GAS/O2": 2.0, "GAS/N2": 7.52})
    c = chon.equilibrate(T=1800, feed={"CH4": 1.0, "O2": 2.0, "N15.04": 1.0})
    d = eqcore.load(example("c-h-o-n.dat")).equilibrate(T=1800, feed={"C(H2)2O4N15.04": 1.0})
    for r in (b, c, d):
        assert close(r.amount, a.amount, 1e-9, 1e-15) and close(r.G, a.G, 1e-12)
    # Elements fed as formulas have no enthalpy as they enter.
    assert a.H_in != 0 and c.H_in == 0 and close(c.heat, c.H, 0)


def test_closed_form_of_an_ideal_mixture(agcu):
    """0.6 Ag + 0.4 Cu at 1400 K: one liquid, G and the potentials of data-format.md's worked example."""
    r = agcu.equilibrate(T=1400, feed={"Ag": 0.6, "Cu": 0.4})
    assert r.present_phases == ["LIQUID"]
    assert abs(r.G - -87963.173) < 1e-3
    liquid = r.phases["LIQUID"]
    assert abs(liquid.activities["Ag(liq)"] - 0.735360) < 1e-6 and abs(liquid.activities["Cu(liq)"] - 0.632186) < 1e-6
    assert abs(r.element_potentials["Ag"] - -93209.598) < 1e-3 and abs(r.element_potentials["Cu"] - -80093.537) < 1e-3
    # Entered at 298.15 K as the pure solids, the heat is that of the worked example.
    s = agcu.equilibrate(T=1400, feed={"Ag(s)": 0.6, "Cu(s)": 0.4})
    assert abs(s.heat - 47942.996) < 1e-3


def test_units_convert_both_ways(agcu):
    si = agcu.equilibrate(T=1400, P=1e5, feed={"Ag": 0.6, "Cu": 0.4})
    units = {"temperature": "C", "pressure": "bar", "energy": "kJ", "amount": "g", "volume": "l"}
    grams = {"Ag": 0.6 * 107.8682, "Cu": 0.4 * 63.546}
    r = agcu.equilibrate(T=1400 - 273.15, P=1.0, feed=grams, units=units)
    assert close(r.T, 1400 - 273.15, 1e-12) and close(r.P, 1.0, 1e-12)
    assert close(r.G, si.G / 1000, 1e-9) and close(r.S, si.S / 1000, 1e-9)
    assert close(r.phases["LIQUID"].amount, sum(grams.values()), 1e-12)
    assert r.units["entropy"] == "kJ/C" and r.to_dict()["units"]["amount"] == "g"
    f = agcu.equilibrate(T=1400 * 9 / 5 - 459.67, feed={"Ag": 0.6, "Cu": 0.4}, units={"temperature": "F"})
    assert close(f.S * 9 / 5, si.S, 1e-9)  # J per degree F


def test_statuses_enter_and_eliminate(agcu):
    feed = {"Ag": 0.6, "Cu": 0.4}
    assert agcu.equilibrate(T=1000, feed=feed).present_phases == ["Ag(s)", "Cu(s)"]
    r = agcu.equilibrate(T=1000, feed=feed, phases={"Cu(s)": "eliminated"})
    assert r.present_phases == ["LIQUID", "Ag(s)"] and not r.phases["Cu(s)"].considered
    # Entering a constituent enters its phase again.
    r = agcu.equilibrate(T=1000, feed=feed, phases={"LIQUID": False}, constituents={"LIQUID/Cu(liq)": "entered"})
    assert r.phases["LIQUID"].considered
    assert agcu.equilibrate(T=1000, feed=feed).present_phases == ["Ag(s)", "Cu(s)"]  # settings last one call


def test_targets(agcu, chon):
    cu = agcu.equilibrate(T=1200, feed={"Cu(s)": 1.0}, formation="LIQUID")
    assert abs(cu.T - 1353.6652067113323) < 0.01
    liq = agcu.equilibrate(T=1200, feed={"Ag": 0.5, "Cu": 0.5}, precipitation="LIQUID")
    assert abs(liq.T - 1099.85) < 0.05 and liq.present_phases == ["LIQUID"]
    flame = chon.equilibrate(T=2000, feed=FEED, dH=0)
    assert abs(flame.heat) < 1e-9 * flame.T * flame.S and 2200 < flame.T < 2300


def test_result_views_agree_with_the_json(chon):
    r = chon.equilibrate(T=2500, P=2e5, feed=FEED)
    d = r.to_dict()
    assert d["schema"] == "eqcore-equilibrium/1" and json.loads(r.to_json()) == d
    assert d["T"] == r.T and d["H"] == r.H and d["heat"] == r.heat
    gas = d["phases"][0]
    assert gas["name"] == "GAS" and gas["amount"] == r.phases["GAS"].amount and gas["sublattices"] == []
    assert [c["mole_fraction"] for c in gas["constituents"]] == list(r.mole_fraction[: len(gas["constituents"])])
    assert r.site_fractions == {}
    # G = sum n mu and mu = RT ln a + G0 consistency of the views.
    assert close(np.dot(r.amount, r.mu), r.G, 1e-9)
    assert close(sum(r.element_amount * r.element_potential), r.G, 1e-9)
    assert "EQCORE EQUILIBRIUM" in r.listing and "GAS" in repr(r) and r.check() == []


def test_one_system_from_many_threads(chon):
    T = np.linspace(1000, 3000, 40)
    expected = [eqcore.load(example("c-h-o-n.dat")).equilibrate(T=t, feed=FEED).G for t in T]
    got = [[None] * len(T) for _ in range(4)]

    def run(k):
        for i in range(len(T))[k::2] if k < 2 else reversed(range(len(T))):
            got[k][i] = chon.equilibrate(T=T[i], feed=FEED).G

    threads = [threading.Thread(target=run, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for k in range(2, 4):
        assert close(got[k], expected, 1e-9)
    merged = [got[0][i] if got[0][i] is not None else got[1][i] for i in range(len(T))]
    assert close(merged, expected, 1e-9)
    assert not math.isnan(sum(merged))
