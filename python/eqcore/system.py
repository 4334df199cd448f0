"""A chemical system loaded from a data file, and its calculations."""

import math
import os
import threading
import warnings
from dataclasses import dataclass, field

import numpy as np

from . import _core
from .errors import DataError, DataWarning
from .feed import FeedNames
from .result import Result
from .units import units_of

# Target kinds as the compiled core numbers them.
_NONE, _ENTHALPY, _FORMATION, _PRECIPITATION = 0, 1, 2, 3


@dataclass(frozen=True)
class Element:
    name: str
    mass: float  # g/mol


@dataclass(frozen=True)
class Phase:
    name: str
    model: str  # four-character model code of the file; "PURE" for a stoichiometric phase
    constituents: tuple
    index: int
    first: int  # index of its first constituent in System.constituents
    mixture: bool
    gas: bool
    dormant: bool  # a dummy phase of the data file: listed, never calculated
    sublattices: tuple = field(default=())  # where the engine models the phase with sublattices


@dataclass(frozen=True)
class Constituent:
    name: str
    phase: str
    index: int
    stoichiometry: dict  # element symbol -> atoms per formula unit


def load(path, *, units=None):
    """Reads a data file (.dat, or the compiled .cst) into a System.

    Raises DataError naming the file, the line and the field when the file
    cannot be read; the reader's non-fatal findings are issued as
    DataWarning. `units` become the system's default units.
    """
    path = os.fspath(path)
    if not os.path.isfile(path):
        raise DataError(f"{path}: data file not found", code=10, file=path, line=0)
    return System(_core.NativeSystem.load(path), path, units=units)


class System:
    """An immutable chemical system: its elements, phases and constituents.

    Calculations: equilibrate (one equilibrium), step (a table over T, P or
    a feed amount), binary_diagram (a T-x phase diagram). Each thread uses
    its own engine session, so one System may be used from many threads.
    """

    def __init__(self, native, source, *, units=None, data=None):
        self._native = native
        self.source = source
        self._data = data  # the file's bytes, when a cluster needs them
        d = native.describe()
        self.title = d["title"].strip()
        self.elements = tuple(Element(name, mass) for name, mass in d["elements"])
        names = [c[0] for c in d["constituents"]]
        self.phases = tuple(
            Phase(
                p["name"],
                p["model"],
                tuple(names[p["first"] : p["first"] + p["count"]]),
                i,
                p["first"],
                p["mixture"],
                p["gas"],
                p["dormant"],
                tuple(p["sublattices"]),
            )
            for i, p in enumerate(d["phases"])
        )
        self._stoich = native.stoichiometry()
        self._masses = native.molar_masses()
        symbols = [e.name for e in self.elements]
        self.constituents = tuple(
            Constituent(
                name,
                self.phases[phase].name,
                g,
                {symbols[j]: float(a) for j, a in enumerate(self._stoich[g]) if a != 0.0},
            )
            for g, (name, phase) in enumerate(d["constituents"])
        )
        self._phase_by_name = {p.name: p for p in self.phases}
        self._feed_names = FeedNames(self)
        self._feed_plans = {}  # names of a feed of constituents only -> their indices
        self._status_cache = {}
        self._local = threading.local()
        self._scattered = {}  # dask client id -> (client, the data file scattered to its workers)
        self._units_arg = units
        self.units = units_of(units)
        for w in d["warnings"]:
            warnings.warn(w, DataWarning, stacklevel=3)

    def __repr__(self):
        phases = ", ".join(f"{p.name} ({p.model})" for p in self.phases)
        return (
            f"<eqcore.System {self.title!r} from {self.source}: elements "
            f"{' '.join(e.name for e in self.elements)}; phases {phases}>"
        )

    def phase(self, name):
        """The Phase of that name (ValueError when there is none)."""
        try:
            return self._phase_by_name[name]
        except KeyError:
            raise ValueError(f"{self.source} has no phase {name!r}") from None

    # ------------------------------------------------------------------
    # Settings shared by every calculation

    def _statuses(self, phases, constituents):
        """Entered flags (bytes by phase, bytes by constituent) or None, None."""
        if not phases and not constituents:
            return None, None
        key = (tuple(sorted((phases or {}).items())), tuple(sorted((constituents or {}).items())))
        try:
            return self._status_cache[key]
        except (KeyError, TypeError):
            pass
        ph = bytearray(b"\x01" * len(self.phases))
        co = bytearray(b"\x01" * len(self.constituents))
        for name, status in (phases or {}).items():
            p = self.phase(name)
            on = _entered(status, f"phases[{name!r}]")
            ph[p.index] = on
            co[p.first : p.first + len(p.constituents)] = bytes([on]) * len(p.constituents)
        for name, status in (constituents or {}).items():
            kind, g = self._feed_names.resolve(name)
            if kind != "constituent":
                raise ValueError(f"constituents[{name!r}]: {self.source} has no constituent of that name")
            co[g] = _entered(status, f"constituents[{name!r}]")
        # Entering a constituent enters its phase; a phase whose constituents
        # are all eliminated is eliminated.
        for p in self.phases:
            ph[p.index] = 1 if any(co[p.first : p.first + len(p.constituents)]) else 0
        flags = (bytes(ph), bytes(co))
        try:
            self._status_cache[key] = flags
        except TypeError:
            pass
        return flags

    def _engine(self, units, phases=None, constituents=None, T_limits=None):
        """This thread's engine, configured for the settings given."""
        local = self._local
        eng = getattr(local, "engine", None)
        if eng is None:
            eng = local.engine = _core.Engine(self._native)
            local.key = None
        flags = self._statuses(phases, constituents)
        if T_limits is not None:
            if np.ndim(T_limits) != 1 or len(T_limits) != 2:
                raise ValueError(f"T_limits must be (low, high), not {T_limits!r}")
            T_limits = (_number(T_limits[0], "T_limits"), _number(T_limits[1], "T_limits"))
        key = (units, flags, T_limits)
        if local.key != key:
            lo, hi = T_limits or (units.temperature_from_si(200.0), units.temperature_from_si(6000.0))
            eng.configure(units, flags[0], flags[1], lo, hi)
            local.key = key
        return eng

    def _feed(self, feed, units, check=False):
        """Feed lists for the engine: constituent indices, amounts, element amounts (mol).

        Amounts of constituents go to the engine as given (it rejects those
        that are negative or not finite, naming the constituent); `check`
        validates each in Python first, for a clear message on a value that
        is not a number at all.
        """
        if not feed or not isinstance(feed, dict):
            raise ValueError(f"feed: give the material as a dict of constituent or formula to amount, not {feed!r}")
        names = tuple(feed)
        index = self._feed_plans.get(names)
        if index is not None and not check:
            return index, list(feed.values()), []
        index, amount, elements, formulas = [], [], None, False
        resolve = self._feed_names.resolve
        for name, value in feed.items():
            kind, what = resolve(name)
            v = _amount(value, name)
            if kind == "constituent":
                index.append(what)
                amount.append(v)
            else:
                formulas = True
                if elements is None:
                    elements = [0.0] * len(self.elements)
                mol = units.amount_to_mol(v, self._formula_mass(what) if units.amount_is_mass else 1.0)
                for j, a in enumerate(what):
                    elements[j] += a * mol
        if not formulas:
            self._feed_plans[names] = index
        return index, amount, elements or []

    def _formula_mass(self, formula):
        m = sum(a * e.mass for a, e in zip(formula, self.elements))
        if not m > 0:
            raise ValueError("feed: a formula without molar mass cannot be given in a mass unit")
        return m

    def _target(self, dH, formation, precipitation):
        given = [x is not None for x in (dH, formation, precipitation)]
        if sum(given) > 1:
            raise ValueError("give at most one of dH, formation, precipitation")
        if dH is not None:
            return _ENTHALPY, -1, _number(dH, "dH")
        if formation is not None:
            return _FORMATION, self.phase(formation).index, 0.0
        if precipitation is not None:
            return _PRECIPITATION, self.phase(precipitation).index, 0.0
        return _NONE, -1, 0.0

    # ------------------------------------------------------------------
    # Calculations

    def equilibrate(
        self,
        T=None,
        P=None,
        feed=None,
        *,
        dH=None,
        formation=None,
        precipitation=None,
        T_feed=None,
        phases=None,
        constituents=None,
        units=None,
        T_limits=None,
        check=True,
    ):
        """The equilibrium of `feed` at temperature T and pressure P.

        feed: {name: amount}, a name a constituent ("CH4", "GAS/CH4") or an
        element formula ("Ag0.7Cu0.3"). P defaults to 1 bar. With a target
        the temperature is the unknown and T its first estimate (default
        1000 K): dH=value (H of the equilibrium minus H of the feed entering
        at T_feed, default 298.15 K; dH=0 is adiabatic), formation=PHASE
        (the temperature where the phase is about to form) or
        precipitation=PHASE (where a second phase is about to separate from
        it). phases / constituents: {name: "entered" or "eliminated"}.
        T_limits: (low, high) of any temperature, default 200 to 6000 K.
        check: the result must pass the engine's independent acceptance
        check (a rejected warm-started result is computed again cold);
        False skips it for speed. Raises CalculationError when the calculation fails, ValueError for a
        bad argument.
        """
        u = self.units if units is None else units_of(units)
        eng = self._engine(u, phases, constituents, T_limits)
        if dH is None and formation is None and precipitation is None:
            target, target_phase, target_value = _NONE, -1, 0.0
            if T is None:
                raise ValueError("give the temperature T, or a target (dH, formation, precipitation)")
        else:
            target, target_phase, target_value = self._target(dH, formation, precipitation)
            if T is None:
                T = u.temperature_from_si(1000.0)
        if P is None:
            P = u.pressure_from_si(1.0e5)
        if T_feed is None:
            T_feed = u.temperature_from_si(298.15)
        index, amount, elements = self._feed(feed, u)
        try:
            native = eng.equilibrate(T, P, T_feed, index, amount, elements, target, target_phase, target_value, check)
        except TypeError:
            # A value the compiled core cannot take: say which.
            _number(T, "T"), _number(P, "P"), _number(T_feed, "T_feed"), self._feed(feed, u, check=True)
            raise
        return Result(native, self)

    def step(self, T=None, P=None, feed=None, **options):
        """A table of equilibria over T, P or one feed amount; see eqcore.step.step."""
        from .step import step

        return step(self, T=T, P=P, feed=feed, **options)

    def binary_diagram(self, a, b, T, P=None, **options):
        """The T-x phase diagram of components a and b; see eqcore.diagram.binary_diagram."""
        from .diagram import binary_diagram

        return binary_diagram(self, a, b, T=T, P=P, **options)

    # For a cluster: the data file travels once, as bytes.
    def data_bytes(self):
        if self._data is None:
            with open(self.source, "rb") as f:
                self._data = f.read()
        return self._data


def _number(v, what):
    try:
        x = float(v)
    except (TypeError, ValueError):
        raise ValueError(f"{what}: {v!r} is not a number") from None
    if not math.isfinite(x):
        raise ValueError(f"{what}: {v!r} is not a finite number")
    return x


def _amount(v, name):
    x = _number(v, f"feed[{name!r}]")
    if x < 0:
        raise ValueError(f"feed[{name!r}]: {v!r} is negative")
    return x


def _entered(status, what):
    if isinstance(status, bool):
        return 1 if status else 0
    if isinstance(status, str) and status.strip().upper() in ("ENTERED", "ELIMINATED"):
        return 1 if status.strip().upper() == "ENTERED" else 0
    raise ValueError(f"{what}: status {status!r} (use 'entered' or 'eliminated', or True / False)")
