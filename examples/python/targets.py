"""Temperatures as the unknown: the adiabatic flame temperature of methane
in air, and where copper melts and silver-copper starts to melt."""
from pathlib import Path

import eqcore

data = Path(__file__).parents[1]
flame = eqcore.load(data / "c-h-o-n.dat").equilibrate(feed={"CH4": 1, "O2": 2, "N2": 7.52}, dH=0, T_feed=298.15)
print(f"adiabatic flame temperature: {flame.T:.2f} K")

agcu = eqcore.load(data / "ag-cu-example.dat")
print(f"copper melts at {agcu.equilibrate(T=1300, feed={'Cu': 1}, formation='LIQUID').T:.3f} K")
solidus = agcu.equilibrate(T=1000, feed={"Ag": 0.6, "Cu": 0.4}, formation="LIQUID", units={"temperature": "C"})
print(f"0.6 Ag + 0.4 Cu starts to melt at {solidus.T:.2f} C")
