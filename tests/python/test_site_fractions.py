"""Site fractions per sublattice as arrays: a sublattice phase, an ionic
liquid and a quasichemical liquid. The arrays carry exactly the values of
the result's JSON document, and they agree with the phase's constituent
amounts (a second route to the same composition)."""

import numpy as np
import pytest

import eqcore
from conftest import ROOT, example

IONIC = ROOT / "tests" / "eqcore_ionic" / "data"


def lattices_of_the_document(result):
    """{phase: [(sites, names, fractions)]} as the JSON document writes them."""
    return {
        p["name"]: [
            (s["sites"], tuple(c["name"] for c in s["constituents"]), [c["site_fraction"] for c in s["constituents"]])
            for s in p["sublattices"]
        ]
        for p in result.to_dict()["phases"]
    }


def assert_same_as_the_document(result):
    doc = lattices_of_the_document(result)
    for name, phase in result.phases.items():
        assert len(phase.sublattices) == len(doc[name]), name
        for s, (sites, names, fractions) in zip(phase.sublattices, doc[name]):
            assert isinstance(s.site_fraction, np.ndarray) and s.site_fraction.dtype == np.float64
            assert s.constituents == names and s.sites == sites
            assert s.site_fraction.tolist() == fractions  # to the last digit
        assert phase.site_fractions == tuple(dict(zip(n, f)) for _, n, f in doc[name])
        assert (name in result.site_fractions) == bool(doc[name])


@pytest.mark.parametrize("T, hydrogen", [(600, 0.5), (900, 0.02), (1150, 0.6)])
def test_sublattice_phases_of_the_zirconium_hydrides(T, hydrogen):
    r = eqcore.load(example("zr-h.dat")).equilibrate(T=T, feed={"Zr": 1.0, "H": hydrogen})
    assert_same_as_the_document(r)
    system = r.system
    present = 0
    for phase in system.phases:
        result = r.phases[phase.name]
        if phase.model.strip() not in ("SUBL", "SUBLM"):
            assert result.sublattices == () and result.site_fractions == ()
            continue
        assert [(s.sites, s.constituents) for s in result.sublattices] == list(phase.sublattices)
        for s in result.sublattices:
            assert abs(s.site_fraction.sum() - 1) < 1e-12 and (s.site_fraction >= 0).all()
        if not result.present:
            continue
        present += 1
        # Hydrogen per zirconium from the interstitial sublattice's fraction
        # against the same ratio from the end members' amounts.
        zr, interstitial = result.sublattices
        y = dict(zip(interstitial.constituents, interstitial.site_fraction))
        h = sum(c.amount * system.constituents[phase.first + k].stoichiometry.get("H", 0.0) for k, c in enumerate(result.constituents.values()))
        z = sum(c.amount * system.constituents[phase.first + k].stoichiometry.get("Zr", 0.0) for k, c in enumerate(result.constituents.values()))
        assert abs(interstitial.sites * y["H"] / zr.sites - h / z) < 1e-10
    assert present >= 1


def test_site_fractions_do_not_depend_on_the_units():
    system = eqcore.load(example("zr-h.dat"))
    a = system.equilibrate(T=700, feed={"Zr": 1.0, "H": 0.3})
    grams = {"Zr": 1.0 * system.elements[0].mass, "H": 0.3 * system.elements[1].mass}
    assert [e.name.capitalize() for e in system.elements] == ["Zr", "H"]
    b = system.equilibrate(T=700 - 273.15, feed=grams, units={"temperature": "C", "amount": "g"})
    for name, phase in a.phases.items():
        for s, t in zip(phase.sublattices, b.phases[name].sublattices):
            assert np.allclose(s.site_fraction, t.site_fraction, rtol=0, atol=1e-10)


def test_ionic_liquid_sites_and_fractions():
    r = eqcore.load(str(IONIC / "ionic_example_2.dat")).equilibrate(T=1600, feed={"Cu1": 0.6, "Ca1": 0.2, "S1": 0.9})
    assert_same_as_the_document(r)
    cations, second = r.phases["LIQUID_I2"].sublattices
    assert cations.constituents == ("Cu+1", "Ca+2") and "Va" in second.constituents
    assert np.allclose(cations.site_fraction, [0.75, 0.25], rtol=0, atol=1e-12)
    # P and Q from electroneutrality: P = sum of the second sublattice's
    # charges (vacancy: the cations' mean charge), Q = the cations' mean charge.
    q = 0.75 * 1 + 0.25 * 2
    assert abs(second.sites - q) < 1e-12
    y = dict(zip(second.constituents, second.site_fraction))
    assert abs(cations.sites - (2 * y["S-2"] + q * y["Va"])) < 1e-12


def test_quasichemical_liquid_ions():
    r = eqcore.load(example("ga-in-qc.dat")).equilibrate(T=1000, feed={"Ga": 0.3, "In": 0.7})
    assert_same_as_the_document(r)
    cations, anions = r.phases["LIQ_QC"].sublattices
    assert cations.sites is None and anions.sites is None
    assert cations.constituents == ("Ga", "In") and anions.constituents == ("Va",)
    # One anion: the cation site fractions are the end members' mole fractions.
    x = r.phases["LIQ_QC"].mole_fractions
    assert np.allclose(cations.site_fraction, [x["Ga"], x["In"]], rtol=0, atol=1e-12)
    assert anions.site_fraction.tolist() == [1.0]
