"""Binary phase diagrams: the T-x diagram of two components at fixed P.

Method. A grid of compositions x (mole fraction of component b) and
temperatures: each composition is a step over T computed by the engine
(warm-started point to point). Between two temperatures of a column whose
sets of present phases differ, the boundary is bracketed by bisection on the
phase set and then located by the engine's formation target on a phase that
appears or disappears there (or its precipitation target from a single
mixture phase), searched only inside the bracket (bisection goes on to the
tolerance where no target finds it). Every boundary
point is thus an equilibrium in which the phases on both sides coexist, the
one about to form at zero amount. Two-phase equilibria give tie-lines: the
compositions of both phases (their element amounts projected onto the two
components) at every grid point in a two-phase region and at every boundary
point. A boundary between two two-phase sets that together hold three
phases is an invariant (eutectic or peritectic type, by whether the phase
of middle composition is stable above or below it); its temperature and
three compositions are those of the boundary points on it.

Components are elements ("Cu"), constituents ("SiO2", "GAS/O2") or element
formulas; x runs from pure a (0) to pure b (1) in formula units.
"""

import math
from dataclasses import dataclass, field

import numpy as np

from .errors import CalculationError
from .parallel import check_workers, map_blocks
from .units import unit_names, units_of

_FORMATION, _PRECIPITATION = 2, 3
_T_STEP = 0


@dataclass(frozen=True)
class BoundaryPoint:
    """A column's boundary: at composition x and temperature T the set of
    present phases changes from `below` to `above`."""

    x: float
    T: float
    below: tuple
    above: tuple
    compositions: dict  # phase -> x of the phase at the boundary
    method: str  # "target" (the engine's formation target) or "bisection"


@dataclass(frozen=True)
class TieLine:
    T: float
    phases: tuple  # two phase names
    x: tuple  # their compositions


@dataclass(frozen=True)
class Invariant:
    T: float
    phases: tuple  # three phases, by increasing composition
    x: tuple  # their compositions
    kind: str  # "eutectic" (middle phase stable above) or "peritectic" (below)


@dataclass(frozen=True)
class Boundary:
    """One edge of a two-phase region: the composition of `phase` when it
    coexists with `other`, along temperature."""

    phase: str
    other: str
    x: np.ndarray
    T: np.ndarray


@dataclass
class Region:
    phases: tuple
    label_x: float
    label_T: float

    @property
    def name(self):
        return " + ".join(self.phases)


@dataclass
class BinaryDiagram:
    components: tuple
    P: float
    units: dict
    x: np.ndarray  # grid compositions
    T: np.ndarray  # grid temperatures
    region_index: np.ndarray  # (len(T), len(x)): index into regions, -1 where the calculation failed
    regions: list
    points: list  # BoundaryPoint
    tielines: list
    invariants: list
    boundaries: list
    failures: list = field(default_factory=list)  # (x, T, message)

    def region_at(self, x, T):
        """The Region of the grid point nearest (x, T), or None."""
        i = int(np.argmin(abs(self.T - T)))
        j = int(np.argmin(abs(self.x - x)))
        k = self.region_index[i, j]
        return None if k < 0 else self.regions[k]

    def __repr__(self):
        inv = "; ".join(f"{v.kind} {v.T:.6g} {self.units['temperature']} ({' + '.join(v.phases)})" for v in self.invariants)
        return (
            f"<eqcore.BinaryDiagram {self.components[0]}-{self.components[1]} at P={self.P:.6g} {self.units['pressure']}: "
            f"{len(self.regions)} regions, {len(self.points)} boundary points, {len(self.tielines)} tie-lines"
            + (f"; invariants: {inv}" if inv else "")
            + ">"
        )

    def to_dict(self):
        return {
            "components": list(self.components),
            "P": self.P,
            "units": self.units,
            "regions": [{"phases": list(r.phases), "label": [r.label_x, r.label_T]} for r in self.regions],
            "points": [
                {"x": p.x, "T": p.T, "below": list(p.below), "above": list(p.above), "compositions": p.compositions, "method": p.method}
                for p in self.points
            ],
            "invariants": [{"T": v.T, "phases": list(v.phases), "x": list(v.x), "kind": v.kind} for v in self.invariants],
            "tielines": [{"T": t.T, "phases": list(t.phases), "x": list(t.x)} for t in self.tielines],
            "boundaries": [{"phase": b.phase, "other": b.other, "x": b.x.tolist(), "T": b.T.tolist()} for b in self.boundaries],
            "failures": [list(f) for f in self.failures],
        }


@dataclass(frozen=True)
class _Spec:
    a: tuple  # element amounts per formula unit of a
    b: tuple
    T: tuple  # grid temperatures
    P: float
    phases: object
    constituents: object
    units: object
    tol: float


def binary_diagram(
    system,
    a,
    b,
    T,
    P=None,
    *,
    x=41,
    nT=61,
    phases=None,
    constituents=None,
    units=None,
    tol=1e-6,
    workers=1,
    client=None,
    progress=None,
):
    """The T-x phase diagram of components a and b between T = (low, high).

    x: the number of compositions from 0 to 1 (or the compositions); nT:
    the number of grid temperatures (or the temperatures). tol: how close
    (temperature unit) a boundary found by bisection alone is bracketed.
    workers / client / progress as for step: the compositions are computed
    in parallel. Returns a BinaryDiagram: regions (the phase set at every
    grid point, a label position for each), boundary points, tie-lines,
    invariants and the boundary curves; eqcore.plot.binary draws it.
    """
    check_workers(workers, client)
    spec_units = system._units_arg if units is None else units
    u = units_of(spec_units)
    va, vb = _component(system, a), _component(system, b)
    if np.linalg.matrix_rank(np.array([va, vb])) < 2:
        raise ValueError(f"components {a!r} and {b!r} have the same composition")
    try:
        lo, hi = (float(t) for t in T)
    except (TypeError, ValueError):
        raise ValueError(f"T must be (low, high), not {T!r}") from None
    if not (math.isfinite(lo) and math.isfinite(hi) and lo < hi):
        raise ValueError(f"T = {T!r}: need finite low < high")
    Ts = _grid(nT, lo, hi, "nT", 3)
    xs = _grid(x, 0.0, 1.0, "x", 2)
    if xs.min() < 0 or xs.max() > 1:
        raise ValueError("x: compositions must lie between 0 and 1")
    P = u.pressure_from_si(1.0e5) if P is None else float(P)
    if not (math.isfinite(P) and P > 0):
        raise ValueError(f"P = {P!r}: need a finite pressure above 0")
    if not (isinstance(tol, (int, float)) and tol > 0):
        raise ValueError(f"tol must be a positive number, not {tol!r}")
    spec = _Spec(tuple(va), tuple(vb), tuple(Ts), P, phases, constituents, spec_units, float(tol))
    columns = map_blocks(
        system, _column, [(spec, float(xi)) for xi in xs], workers=workers, client=client, progress=progress,
        desc="diagram", size=lambda blk: 1,
    )
    return _assemble(system, spec, xs, Ts, columns, (str(a), str(b)), unit_names(u))


def _grid(n, lo, hi, what, least):
    if isinstance(n, (int, np.integer)) and not isinstance(n, bool):
        if n < least:
            raise ValueError(f"{what}: at least {least} points")
        return np.linspace(lo, hi, int(n))
    g = np.unique(np.asarray(n, dtype=float))
    if g.ndim != 1 or g.size < least or not np.isfinite(g).all():
        raise ValueError(f"{what}: give a number of points or at least {least} finite values")
    return g


def _component(system, name):
    if not isinstance(name, str):
        raise ValueError(f"component {name!r}: give an element, a constituent or a formula")
    symbols = [e.name for e in system.elements]
    if name in symbols:
        v = np.zeros(len(symbols))
        v[symbols.index(name)] = 1.0
        return v
    kind, what = system._feed_names.resolve(name)
    v = np.array(system._stoich[what] if kind == "constituent" else what, dtype=float)
    if not v.any() or (v < 0).any():
        raise ValueError(f"component {name!r}: no positive amount of any element")
    return v


class _Column:
    """The calculations of one composition."""

    def __init__(self, system, spec, x):
        self.system = system
        self.spec = spec
        self.u = units_of(spec.units)
        self.elements = [(1.0 - x) * a + x * b for a, b in zip(spec.a, spec.b)]
        self.x = x

    def engine(self, limits):
        return self.system._engine(self.u, self.spec.phases, self.spec.constituents, limits)

    def at(self, T):
        """Present phases and mole fractions at T (None when it fails)."""
        try:
            r = self.engine(self.limits).equilibrate(T, self.spec.P, T, [], [], self.elements, 0, -1, 0.0)
        except CalculationError:
            return None
        a = r.arrays()
        return frozenset(np.flatnonzero(a["present"]).tolist()), a["mole_fraction"]

    def target(self, kind, phase, lo, hi):
        """The engine's formation or precipitation target on `phase`, searched in [lo, hi]."""
        try:
            r = self.engine((lo, hi)).equilibrate(0.5 * (lo + hi), self.spec.P, lo, [], [], self.elements, kind, phase, 0.0)
        except (CalculationError, ValueError):
            return None
        a = r.arrays()
        return r.T, frozenset(np.flatnonzero(a["present"]).tolist()), a["mole_fraction"]


def _column(system, block):
    spec, x = block
    c = _Column(system, spec, x)
    Ts = np.array(spec.T)
    span = Ts[-1] - Ts[0]
    c.limits = (Ts[0] - 1e-6 * span, Ts[-1] + 1e-6 * span)
    out = c.engine(c.limits).step(
        float(Ts[0]), spec.P, float(Ts[0]), [], [], c.elements, 0, -1, 0.0, _T_STEP, Ts, -1, [], 0.0
    )
    present = out["present"].astype(bool)
    ok = out["ok"].astype(bool)
    sets = [frozenset(np.flatnonzero(row).tolist()) if good else None for row, good in zip(present, ok)]
    events = []
    for i in range(len(Ts) - 1):
        if sets[i] is None or sets[i + 1] is None or sets[i] == sets[i + 1]:
            continue
        events += _locate(c, Ts[i], sets[i], out["mole_fraction"][i], Ts[i + 1], sets[i + 1], out["mole_fraction"][i + 1], 0)
    failures = [(x, float(Ts[row]), message) for row, _, message in out["failures"]]
    return {"x": x, "sets": sets, "mole_fraction": out["mole_fraction"], "events": events, "failures": failures}


def _locate(c, Tl, Sl, xl, Th, Sh, xh, depth):
    """Boundaries between Tl (phases Sl) and Th (phases Sh): list of (T, below, above, mole fractions, method)."""
    coarse = max(c.spec.tol, 1e-4 * abs(Th - Tl))
    while Th - Tl > coarse:
        Tm = 0.5 * (Tl + Th)
        got = c.at(Tm)
        if got is None:
            break
        Sm, xm = got
        if Sm == Sl:
            Tl, xl = Tm, xm
        elif Sm == Sh:
            Th, xh = Tm, xm
        elif depth < 8:
            return _locate(c, Tl, Sl, xl, Tm, Sm, xm, depth + 1) + _locate(c, Tm, Sm, xm, Th, Sh, xh, depth + 1)
        else:
            break
    # The engine's targets: formation of a phase that appears or disappears
    # here; else, where one side is a single mixture phase, precipitation
    # from it.
    tries = [(_FORMATION, q) for q in sorted(Sl ^ Sh)]
    tries += [(_PRECIPITATION, next(iter(S))) for S in (Sl, Sh) if len(S) == 1 and c.system.phases[next(iter(S))].mixture]
    for kind, q in tries:
        hit = c.target(kind, q, Tl, Th)
        if hit is not None and Tl <= hit[0] <= Th and hit[1] <= (Sl | Sh):
            return [(hit[0], Sl, Sh, hit[2], "target")]
    # Otherwise bisection to the tolerance.
    while Th - Tl > c.spec.tol:
        Tm = 0.5 * (Tl + Th)
        got = c.at(Tm)
        if got is None:
            break
        if got[0] == Sl:
            Tl, xl = Tm, got[1]
        elif got[0] == Sh:
            Th, xh = Tm, got[1]
        else:
            break
    return [(0.5 * (Tl + Th), Sl, Sh, (xl, xh), "bisection")]


def _assemble(system, spec, xs, Ts, columns, names, units):
    phase_names = [p.name for p in system.phases]
    stoich = system._stoich
    # Projection of a phase's element amounts onto the two components.
    project = np.linalg.pinv(np.array([spec.a, spec.b]).T)

    def composition(phase, mole_fraction):
        p = system.phases[phase]
        e = mole_fraction[p.first : p.first + len(p.constituents)] @ stoich[p.first : p.first + len(p.constituents)]
        alpha, beta = project @ e
        return float(beta / (alpha + beta)) if alpha + beta != 0 else float("nan")

    def label(s):
        return tuple(phase_names[i] for i in sorted(s))

    def tieline(T, p, q, xp, xq):
        # One order for every pair: by the phases' order in the system.
        if index[p] > index[q]:
            p, q, xp, xq = q, p, xq, xp
        return TieLine(float(T), (p, q), (xp, xq))

    index = {name: i for i, name in enumerate(phase_names)}

    region_ids, regions_sets = {}, []
    region_index = np.full((len(Ts), len(xs)), -1, dtype=int)
    tielines, points, failures = [], [], []
    for j, col in enumerate(columns):
        failures += col["failures"]
        for i, s in enumerate(col["sets"]):
            if s is None:
                continue
            if s not in region_ids:
                region_ids[s] = len(regions_sets)
                regions_sets.append(s)
            region_index[i, j] = region_ids[s]
            if len(s) == 2:
                p, q = sorted(s)
                mf = col["mole_fraction"][i]
                tielines.append(tieline(Ts[i], phase_names[p], phase_names[q], composition(p, mf), composition(q, mf)))
        for T, below, above, mf, method in col["events"]:
            if method == "bisection":
                lo_mf, hi_mf = mf
                comp = {phase_names[p]: composition(p, lo_mf if p in below else hi_mf) for p in below | above}
            else:
                comp = {phase_names[p]: composition(p, mf) for p in below | above}
            points.append(BoundaryPoint(col["x"], float(T), label(below), label(above), comp, method))
            union = sorted(below | above)
            if len(union) == 2:
                p, q = union
                tielines.append(tieline(T, phase_names[p], phase_names[q], comp[phase_names[p]], comp[phase_names[q]]))
    invariants = _invariants(points)
    for v in invariants:
        for i in range(3):
            for k in range(i + 1, 3):
                tielines.append(tieline(v.T, v.phases[i], v.phases[k], v.x[i], v.x[k]))
    regions = [_region(label(s), region_index == k, xs, Ts) for k, s in enumerate(regions_sets)]
    boundaries = _boundaries(tielines, Ts, xs)
    return BinaryDiagram(names, spec.P, units, xs, Ts, region_index, regions, points, tielines, invariants, boundaries, failures)


def _invariants(points):
    groups = {}
    for p in points:
        union = tuple(sorted(set(p.below) | set(p.above)))
        if len(union) == 3 and len(p.below) == 2 and len(p.above) == 2:
            groups.setdefault(union, []).append(p)
    out = []
    for union, pts in groups.items():
        T = float(np.median([p.T for p in pts]))
        comp = {ph: float(np.median([p.compositions[ph] for p in pts])) for ph in union}
        order = sorted(union, key=lambda ph: comp[ph])
        middle = order[1]
        above = any(middle in p.above and middle not in p.below for p in pts)
        out.append(Invariant(T, tuple(order), tuple(comp[ph] for ph in order), "eutectic" if above else "peritectic"))
    return sorted(out, key=lambda v: v.T)


def _region(phases, mask, xs, Ts):
    """A label position: the grid point of the region nearest the centroid of its largest connected part."""
    best = None
    seen = np.zeros_like(mask)
    for start in zip(*np.nonzero(mask)):
        if seen[start]:
            continue
        part, stack = [], [start]
        seen[start] = True
        while stack:
            i, j = stack.pop()
            part.append((i, j))
            for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                k = (i + di, j + dj)
                if 0 <= k[0] < mask.shape[0] and 0 <= k[1] < mask.shape[1] and mask[k] and not seen[k]:
                    seen[k] = True
                    stack.append(k)
        if best is None or len(part) > len(best):
            best = part
    ci = np.mean([p[0] for p in best])
    cj = np.mean([p[1] for p in best])
    i, j = min(best, key=lambda p: (p[0] - ci) ** 2 + (p[1] - cj) ** 2)
    return Region(phases, float(xs[j]), float(Ts[i]))


def _boundaries(tielines, Ts, xs):
    """The two edges of every two-phase region, joined into curves along T."""
    dT = 4.0 * float(np.max(np.diff(Ts)))  # a thin region may skip a few rows of the grid
    dx = 1.0 * float(np.max(np.diff(xs)))
    by_pair = {}
    for t in tielines:
        if all(math.isfinite(v) for v in t.x):
            by_pair.setdefault(t.phases, []).append(t)
    out = []
    for (p, q), ts in by_pair.items():
        pieces = []
        for t in sorted(ts, key=lambda t: t.T):
            lo, hi = min(t.x), max(t.x)
            home = None
            for piece in pieces:
                last = piece[-1]
                if t.T - last.T <= dT and min(last.x) - dx <= hi and lo <= max(last.x) + dx:
                    home = piece
            if home is None:
                pieces.append([t])
            else:
                home.append(t)
        for piece in pieces:
            if len(piece) < 2:
                continue
            T = np.array([t.T for t in piece])
            out.append(Boundary(p, q, np.array([t.x[0] for t in piece]), T))
            out.append(Boundary(q, p, np.array([t.x[1] for t in piece]), T))
    return out
