"""Step calculations: one equilibrium per value of T, P or one feed amount.

Each point starts from the solution of the one before (warm start); the
points are computed by the compiled core in blocks, without the
interpreter's lock, so `workers=N` threads (or the workers of a dask
cluster, `client=`) compute N blocks at once.
"""

import math
from dataclasses import dataclass

import numpy as np

from .errors import CalculationError
from .parallel import check_workers, map_blocks
from .units import unit_names, units_of

_T, _P, _AMOUNT = 0, 1, 2


@dataclass(frozen=True)
class StepSpec:
    """Everything a block of a step needs besides its values (sent to cluster workers)."""

    variable: int  # _T, _P or _AMOUNT
    name: str  # the stepped feed name (amount steps)
    T: object
    P: object
    feed: dict  # the feed without the stepped amount
    dH: object
    formation: object
    precipitation: object
    T_feed: object
    phases: object
    constituents: object
    units: object  # dict or None
    T_limits: object
    check: bool


def step(
    system,
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
    workers=1,
    client=None,
    progress=None,
    errors="raise",
):
    """Equilibria over the values of T, of P or of one feed amount.

    Exactly one of T, P or one value of `feed` is a sequence (the stepped
    variable); the other arguments are those of System.equilibrate (with a
    target, T is the unknown and the step is over P or an amount). Returns
    a StepResult: a numpy structured table (to_dataframe() for pandas).
    workers=N splits the points over N threads; client= a dask.distributed
    Client runs them on its cluster. progress: a tqdm bar on a terminal
    (None), always (True) or never (False). errors="raise" raises
    CalculationError naming the first point that failed; "skip" leaves
    failed points out of the table and lists them in `failures`.
    """
    if errors not in ("raise", "skip"):
        raise ValueError(f"errors must be 'raise' or 'skip', not {errors!r}")
    if not isinstance(feed, dict) or not feed:
        raise ValueError(f"feed: give the material as a dict of constituent or formula to amount, not {feed!r}")
    stepped = [("T", T)] if np.ndim(T) > 0 else []
    stepped += [("P", P)] if np.ndim(P) > 0 else []
    stepped += [(name, v) for name, v in feed.items() if np.ndim(v) > 0]
    if len(stepped) != 1:
        raise ValueError(
            "give exactly one sequence to step over: T, P or one feed amount"
            + (f" (got {', '.join(s for s, _ in stepped)})" if stepped else "")
        )
    name, values = stepped[0]
    try:
        values = np.asarray(values, dtype=float)
    except (TypeError, ValueError):
        raise ValueError(f"{name}: the stepped values must be numbers") from None
    if values.ndim != 1 or values.size == 0:
        raise ValueError(f"{name}: give a one-dimensional, non-empty sequence of values")
    bad = ~np.isfinite(values)
    if bad.any():
        raise ValueError(f"{name}: value {values[bad][0]!r} at index {int(np.argmax(bad))} is not finite")
    variable = _T if name == "T" else _P if name == "P" else _AMOUNT
    targets = sum(x is not None for x in (dH, formation, precipitation))
    if variable == _T and targets:
        raise ValueError("a step over T cannot have a temperature target (dH, formation, precipitation)")
    base = {k: v for k, v in feed.items() if variable != _AMOUNT or k != name}
    spec = StepSpec(
        variable,
        name if variable == _AMOUNT else "",
        None if variable == _T else T,
        None if variable == _P else P,
        base,
        dH,
        formation,
        precipitation,
        T_feed,
        phases,
        constituents,
        system._units_arg if units is None else units,
        None if T_limits is None else tuple(T_limits),
        bool(check),
    )
    n = values.size
    blocks_wanted = check_workers(workers, client)
    if blocks_wanted == 1 and progress is not False:
        blocks_wanted = 50  # the bar moves block by block
    size = max(1, math.ceil(n / blocks_wanted))
    # Every block writes its rows into one set of columns (a cluster's
    # blocks return theirs, copied in here).
    u = units_of(spec.units)
    columns = system._engine(u, phases, constituents, spec.T_limits).step_columns(n)
    local = columns if client is None else None
    blocks = [(spec, values[i : i + size], i, local) for i in range(0, n, size)]
    parts = map_blocks(system, run_block, blocks, workers=workers, client=client, progress=progress, desc="step",
                       size=lambda b: len(b[1]))
    failures = []
    for (_, vals, start, _), part in zip(blocks, parts):
        if client is not None:
            for k, col in columns.items():
                col[start : start + len(vals)] = part[k]
        failures += [(start + row, code, message) for row, code, message in part["failures"]]
    if failures and errors == "raise":
        row, code, message = failures[0]
        more = f" ({len(failures)} points failed)" if len(failures) > 1 else ""
        raise CalculationError(f"step at {_label(name, variable)} = {values[row]:.10g}: {message}{more}", code=code)
    return StepResult(system, _label(name, variable), values, columns, [(float(values[r]), m) for r, _, m in failures], unit_names(u))


def _label(name, variable):
    return "T" if variable == _T else "P" if variable == _P else f"feed({name})"


def run_block(system, block):
    """One block of points: its rows written into `out` from row `start` (or
    new columns when `out` is None); 'failures' lists the points that failed."""
    spec, values, start, out = block
    u = units_of(spec.units)
    eng = system._engine(u, spec.phases, spec.constituents, spec.T_limits)
    target, target_phase, target_value = system._target(spec.dH, spec.formation, spec.precipitation)
    T = spec.T
    if spec.variable == _T:
        T = float(values[0])
    elif T is None:
        if target == 0:
            raise ValueError("give the temperature T, or a target (dH, formation, precipitation)")
        T = u.temperature_from_si(1000.0)
    P = u.pressure_from_si(1.0e5) if spec.P is None else spec.P
    if spec.variable == _P:
        P = float(values[0])
    T_feed = u.temperature_from_si(298.15) if spec.T_feed is None else spec.T_feed
    step_constituent, step_formula, step_mass = -1, [], 0.0
    if spec.feed:
        index, amount, elements = system._feed(spec.feed, u, check=True)
    else:
        index, amount, elements = [], [], []
    if spec.variable == _AMOUNT:
        kind, what = system._feed_names.resolve(spec.name)
        if kind == "constituent":
            step_constituent = what
        else:
            step_formula = what
            step_mass = sum(a * e.mass for a, e in zip(what, system.elements))
            if not elements:
                # A formula is material as elements: the whole feed goes as elements.
                elements = [0.0] * len(system.elements)
    return eng.step(
        float(T), float(P), float(T_feed), index, amount, elements, target, target_phase, target_value,
        spec.variable, values, step_constituent, step_formula, step_mass, spec.check, out, start if out is not None else 0,
    )


class StepResult:
    """The table of a step: one row per point, in the order of the values.

    table: a numpy structured array with columns "T", "P" (and "feed(NAME)"
    for an amount step), "G", "H", "S", "Cp", "V", "H_in", "heat",
    "n(PHASE)" (phase amounts), "n(PHASE/CONSTITUENT)" and
    "x(PHASE/CONSTITUENT)" (amounts and mole fractions of the mixtures'
    constituents) and "mu(ELEMENT)" (element potentials). The same values as
    2-D arrays by system order: phase_amount, present, amount,
    mole_fraction, element_potential.
    """

    def __init__(self, system, variable, values, columns, failures, units):
        self.system = system
        self.variable = variable
        self.units = units
        self.failures = failures
        keep = columns["ok"].astype(bool)
        if not keep.all():
            columns = {k: v[keep] for k, v in columns.items()}
            values = values[keep]
        self.values = values
        self._columns = columns
        self.phase_amount = columns["phase_amount"]
        self.present = columns["present"].astype(bool)
        self.driving_force = columns["driving_force"]
        self.amount = columns["amount"]
        self.mole_fraction = columns["mole_fraction"]
        self.element_potential = columns["element_potential"]
        self._table = None

    @property
    def table(self):
        """The numpy structured array of every column (made on first use)."""
        if self._table is None:
            c, system = self._columns, self.system
            fields = []
            if self.variable.startswith("feed("):
                fields.append((self.variable, self.values))
            for k in ("T", "P", "G", "H", "S", "Cp", "V", "H_in", "heat"):
                fields.append((k, c[k]))
            active = [p for p in system.phases if not p.dormant]
            for p in active:
                fields.append((f"n({p.name})", self.phase_amount[:, p.index]))
            for p in active:
                if p.mixture:
                    for k, cname in enumerate(p.constituents):
                        fields.append((f"n({p.name}/{cname})", self.amount[:, p.first + k]))
                        fields.append((f"x({p.name}/{cname})", self.mole_fraction[:, p.first + k]))
            for j, e in enumerate(system.elements):
                fields.append((f"mu({e.name})", self.element_potential[:, j]))
            table = np.empty(len(self.values), dtype=[(k, float) for k, _ in fields])
            for k, v in fields:
                table[k] = v
            self._table = table
        return self._table

    def __len__(self):
        return len(self.values)

    def __getitem__(self, column):
        return self.table[column]

    @property
    def columns(self):
        return list(self.table.dtype.names)

    def phase_amounts(self, only_present=True):
        """{phase: amounts} of every phase (only those present somewhere by default)."""
        return {
            p.name: self.phase_amount[:, p.index]
            for p in self.system.phases
            if not p.dormant and (not only_present or self.present[:, p.index].any())
        }

    def mole_fractions(self, phase):
        """{constituent: mole fractions} in `phase`."""
        p = self.system.phase(phase)
        return {c: self.mole_fraction[:, p.first + k] for k, c in enumerate(p.constituents)}

    def to_dataframe(self):
        """The table as a pandas DataFrame (needs pandas)."""
        try:
            import pandas
        except ImportError:
            raise ImportError("to_dataframe() needs pandas (Debian: python3-pandas)") from None
        return pandas.DataFrame(self.table)

    def __repr__(self):
        v = self.values
        unit = self.units["temperature"] if self.variable == "T" else self.units["pressure"] if self.variable == "P" else self.units["amount"]
        present = ", ".join(self.phase_amounts())
        extra = f", {len(self.failures)} failed" if self.failures else ""
        return f"<eqcore.StepResult over {self.variable} {v.min():.6g} to {v.max():.6g} {unit}, {len(v)} points{extra}; phases {present}>"
