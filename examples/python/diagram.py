"""The Ag-Cu phase diagram of the example data (diagram.svg)."""
from pathlib import Path

import eqcore

system = eqcore.load(Path(__file__).parents[1] / "ag-cu-example.dat")
diagram = system.binary_diagram("Ag", "Cu", T=(900, 1400))
for v in diagram.invariants:
    print(f"{v.kind} at {v.T:.2f} K: " + ", ".join(f"{p} x(Cu)={x:.5f}" for p, x in zip(v.phases, v.x)))
eqcore.plot.binary(diagram).savefig("diagram.svg")
