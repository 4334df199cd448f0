"""One equilibrium: methane burnt with air at 2000 K and 1 bar."""
from pathlib import Path

import eqcore

system = eqcore.load(Path(__file__).parents[1] / "c-h-o-n.dat")
r = system.equilibrate(T=2000, P=1e5, feed={"CH4": 1, "O2": 2, "N2": 7.52})
print(r)
print("CO mole fraction:", r.phases["GAS"].mole_fractions["CO"])
print("heat released from the feed at 298.15 K:", -r.heat, "J")
