"""A step over temperature: how methane-air products change from 300 to
3000 K, as a table and a plot (step.svg)."""
from pathlib import Path

import numpy as np

import eqcore

system = eqcore.load(Path(__file__).parents[1] / "c-h-o-n.dat")
result = system.step(T=np.linspace(300, 3000, 200), P=1e5, feed={"CH4": 1, "O2": 2, "N2": 7.52})
print(result)
print("liquid water below", result.values[result.phase_amounts()["H2O_liquid(liq)"] > 0].max(), "K")
eqcore.plot.step(result, phase="GAS").savefig("step.svg")
