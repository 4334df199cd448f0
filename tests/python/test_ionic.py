"""An ionic two-sublattice liquid from Python: the site fractions of its two
sublattices (vacancy included) and its records' amounts, as the engine gives
them."""

import eqcore
from conftest import ROOT

IONIC = ROOT / "tests" / "eqcore_ionic" / "data"


def test_site_fractions_of_the_ionic_liquid():
    system = eqcore.load(str(IONIC / "ionic_example_2.dat"))
    r = system.equilibrate(T=1600, feed={"Cu1": 0.6, "Ca1": 0.2, "S1": 0.9})
    cations, second = r.site_fractions["LIQUID_I2"]
    assert abs(cations["Cu+1"] - 0.75) < 1e-12 and abs(cations["Ca+2"] - 0.25) < 1e-12
    # The values of the worked example (this engine's gas constant).
    assert abs(second["S-2"] / 0.55540589443 - 1) < 1e-6
    assert abs(second["Va"] / 1.2677178e-04 - 1) < 1e-6
    assert abs(second["S"] / 0.44446733379 - 1) < 1e-6
    assert abs(r.G / -276750.657482 - 1) < 1e-8
    assert r.site_fractions.keys() == {"LIQUID_I2"}
