"""EQCORE from Python: thermochemical equilibria from a data file.

    import eqcore
    system = eqcore.load("examples/c-h-o-n.dat")
    r = system.equilibrate(T=2000, P=1e5, feed={"CH4": 1, "O2": 2, "N2": 7.52})
    r.phases["GAS"].mole_fractions["CO2"], r.H, r.to_json()

    table = system.step(T=numpy.linspace(300, 3000, 100), feed={...})
    diagram = system.binary_diagram("Ag", "Cu", T=(900, 1400))
    eqcore.plot.binary(diagram).savefig("ag-cu.svg")

Values are in K, Pa, m3, J and mol unless `units=` says otherwise (the
engine's choices: temperature K C F; pressure Pa kPa bar atm psi; volume m3
dm3 l; energy J kJ cal kcal; amount mol kmol g kg).
"""

from .errors import CalculationError, DataError, DataWarning, Error
from .result import Result
from .system import System, load

__version__ = "1.0.0"

__all__ = ["load", "System", "Result", "Error", "DataError", "CalculationError", "DataWarning", "plot"]


def __getattr__(name):
    # matplotlib is imported only when plots are asked for.
    if name == "plot":
        import importlib

        return importlib.import_module(".plot", __name__)
    raise AttributeError(f"module 'eqcore' has no attribute {name!r}")
