"""The result of one equilibrium calculation."""

import json
from dataclasses import dataclass

from .units import unit_names


@dataclass(frozen=True)
class ConstituentResult:
    name: str
    amount: float
    mole_fraction: float  # in its phase; for an absent mixture, its composition of least driving force
    activity: float
    mu: float  # chemical potential, energy per mol


@dataclass(frozen=True)
class SublatticeResult:
    """One sublattice of a phase in a result."""

    sites: object  # sites per formula unit (float); None where they follow the composition (quasichemical liquid)
    constituents: tuple  # names as written in the data file ("Va" for a vacancy)
    site_fraction: object  # numpy array, one per constituent; sums to 1

    def as_dict(self):
        """{constituent: site fraction}."""
        return {name: float(y) for name, y in zip(self.constituents, self.site_fraction)}


@dataclass(frozen=True)
class PhaseResult:
    name: str
    model: str
    considered: bool  # took part in the calculation
    present: bool
    amount: float
    G: float
    H: float
    S: float
    Cp: float
    V: float
    driving_force: float  # energy per mol: 0 when present, negative when stably absent
    constituents: dict  # name -> ConstituentResult
    site_fractions: tuple  # per sublattice {constituent: fraction}, where the engine has sublattices
    sublattices: tuple = ()  # per sublattice a SublatticeResult (names and a numpy array of site fractions)

    @property
    def mole_fractions(self):
        return {c.name: c.mole_fraction for c in self.constituents.values()}

    @property
    def activities(self):
        return {c.name: c.activity for c in self.constituents.values()}


class Result:
    """An equilibrium: T, P, the system's G, H, S, Cp, V, the heat of the
    calculation, and per phase, constituent and element its amounts,
    compositions, activities and potentials, in the units it was computed in.

    Arrays in system order: amount, mole_fraction, activity, mu (by
    constituent), phase_amount, present, driving_force (by phase),
    element_amount, element_potential (by element). By name: phases,
    element_potentials. Per phase with sublattices (a sublattice phase, an
    ionic or a quasichemical liquid): phases[name].sublattices, each with its
    sites, constituent names and a numpy array of site fractions
    (site_fractions gives the same values as dicts). to_dict() / to_json() give the documented JSON
    (the same as `eqlink equilibrate --json`); listing is the engine's text.
    """

    __slots__ = ("_native", "system", "_arrays", "_phases")

    def __init__(self, native, system):
        self._native = native
        self.system = system
        self._arrays = None
        self._phases = None

    T = property(lambda self: self._native.T, doc="temperature")
    P = property(lambda self: self._native.P, doc="pressure")
    V = property(lambda self: self._native.V, doc="volume of the system")
    G = property(lambda self: self._native.G, doc="Gibbs energy of the system")
    H = property(lambda self: self._native.H, doc="enthalpy of the system")
    S = property(lambda self: self._native.S, doc="entropy of the system")
    Cp = property(lambda self: self._native.Cp, doc="heat capacity of the system at fixed amounts")
    H_in = property(lambda self: self._native.H_in, doc="enthalpy of the feed as it enters")
    heat = property(lambda self: self._native.heat, doc="heat of the calculation, H - H_in")
    calculations = property(lambda self: self._native.calculations, doc="equilibria computed (a target needs several)")

    @property
    def units(self):
        """Unit names by quantity ("temperature", ..., "entropy", "potential")."""
        return unit_names(self._native.units)

    def _a(self, name):
        if self._arrays is None:
            self._arrays = self._native.arrays()
        return self._arrays[name]

    amount = property(lambda self: self._a("amount"), doc="amount of each constituent (system order)")
    mole_fraction = property(lambda self: self._a("mole_fraction"), doc="mole fraction of each constituent in its phase")
    activity = property(lambda self: self._a("activity"), doc="activity of each constituent")
    mu = property(lambda self: self._a("mu"), doc="chemical potential of each constituent, energy per mol")
    phase_amount = property(lambda self: self._a("phase_amount"), doc="amount of each phase (system order)")
    present = property(lambda self: self._a("present"), doc="whether each phase is present")
    driving_force = property(lambda self: self._a("driving_force"), doc="driving force of each phase, energy per mol")
    element_amount = property(lambda self: self._a("element_amount"), doc="amount of each element in the material")
    element_potential = property(lambda self: self._a("element_potential"), doc="potential of each element, energy per mol")

    @property
    def phases(self):
        """{phase name: PhaseResult} for every phase of the system."""
        if self._phases is None:
            self._a("amount")
            a = self._arrays
            out = {}
            lattices = self._native.site_fractions()
            for p in self.system.phases:
                i, f = p.index, p.first
                constituents = {
                    name: ConstituentResult(
                        name,
                        float(a["amount"][f + k]),
                        float(a["mole_fraction"][f + k]),
                        float(a["activity"][f + k]),
                        float(a["mu"][f + k]),
                    )
                    for k, name in enumerate(p.constituents)
                }
                sublattices = tuple(SublatticeResult(*s) for s in lattices[i])
                out[p.name] = PhaseResult(
                    p.name,
                    p.model,
                    bool(a["considered"][i]),
                    bool(a["present"][i]),
                    float(a["phase_amount"][i]),
                    float(a["phase_G"][i]),
                    float(a["phase_H"][i]),
                    float(a["phase_S"][i]),
                    float(a["phase_Cp"][i]),
                    float(a["phase_V"][i]),
                    float(a["driving_force"][i]),
                    constituents,
                    tuple(s.as_dict() for s in sublattices),
                    sublattices,
                )
            self._phases = out
        return self._phases

    @property
    def present_phases(self):
        """Names of the phases present, in system order."""
        return [p.name for p, on in zip(self.system.phases, self.present) if on]

    @property
    def element_potentials(self):
        return {e.name: float(v) for e, v in zip(self.system.elements, self.element_potential)}

    @property
    def site_fractions(self):
        """{phase: per sublattice {constituent: site fraction}} of the phases the engine models with sublattices
        (sublattice phases, ionic and quasichemical liquids); phases[name].sublattices holds them as arrays."""
        return {name: p.site_fractions for name, p in self.phases.items() if p.site_fractions}

    @property
    def listing(self):
        """The engine's listing of this result (plain text)."""
        return self._native.listing()

    def to_json(self, indent=2):
        """The result as JSON text (schema "eqcore-equilibrium/1", eqcore/README.md)."""
        return self._native.json(-1 if indent is None else indent)

    def to_dict(self):
        """The result as plain dicts and lists, the JSON document parsed."""
        return json.loads(self._native.json(-1))

    def check(self):
        """Faults the engine's independent acceptance check finds ([] when accepted)."""
        return list(self._native.check())

    def __repr__(self):
        u = self.units
        lines = [f"<eqcore.Result T={self.T:.6g} {u['temperature']} P={self.P:.6g} {u['pressure']}"]
        for p in self.phases.values():
            if p.present:
                top = sorted(p.constituents.values(), key=lambda c: -c.mole_fraction)[:4] if p.constituents and len(p.constituents) > 1 else []
                comp = ", ".join(f"{c.name} {c.mole_fraction:.4g}" for c in top)
                lines.append(f"  {p.name}: {p.amount:.6g} {u['amount']}" + (f" ({comp}{', ...' if len(p.constituents) > 4 else ''})" if comp else ""))
        lines.append(
            f"  H={self.H:.8g} {u['energy']} S={self.S:.8g} {u['entropy']} G={self.G:.8g} {u['energy']} "
            f"Cp={self.Cp:.6g} {u['entropy']} heat={self.heat:.8g} {u['energy']}>"
        )
        return "\n".join(lines)
