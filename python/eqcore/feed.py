"""Names in a feed: constituents of the data file or element formulas.

A feed is a dict from name to amount. A name is looked up as
"PHASE/CONSTITUENT", then as a constituent name (the first phase in file
order that has one of that name), then as a formula over the system's
elements ("CH4", "Ag0.7Cu0.3", "Ca(OH)2").
"""

import re

_NUMBER = re.compile(r"\d+(?:\.\d*)?(?:[eE][+-]?\d+)?|\.\d+(?:[eE][+-]?\d+)?")


def parse_formula(text, symbols):
    """Element amounts of a formula, {index: count}; None when `text` is not one.

    Element symbols are matched against the system's own (`symbols`, in
    element order), the longest exact match first and then ignoring case;
    a count may be a decimal; parentheses group.
    """
    exact = sorted(range(len(symbols)), key=lambda j: -len(symbols[j]))
    pos = 0

    def group(depth):
        nonlocal pos
        counts = {}
        while pos < len(text):
            c = text[pos]
            if c == "(":
                pos += 1
                inner = group(depth + 1)
                if inner is None or pos >= len(text) or text[pos] != ")":
                    return None
                pos += 1
                n = number()
                for j, k in inner.items():
                    counts[j] = counts.get(j, 0.0) + k * n
                continue
            if c == ")":
                return counts if depth > 0 else None
            j = symbol()
            if j is None:
                return None
            counts[j] = counts.get(j, 0.0) + number()
        return counts if depth == 0 else None

    def symbol():
        nonlocal pos
        for fold in (False, True):
            for j in exact:
                s = symbols[j]
                part = text[pos : pos + len(s)]
                if s and (part == s or (fold and part.lower() == s.lower())):
                    pos += len(s)
                    return j
        return None

    def number():
        nonlocal pos
        m = _NUMBER.match(text, pos)
        if not m:
            return 1.0
        pos = m.end()
        return float(m.group())

    if not text or text.strip() != text:
        return None
    counts = group(0)
    if not counts or pos != len(text):
        return None
    return counts


class FeedNames:
    """Resolves feed names of one system, remembering each name it has seen."""

    def __init__(self, system):
        self._system = system
        self._known = {}
        self._first = {}
        for g, c in enumerate(system.constituents):
            self._first.setdefault(c.name, g)

    def resolve(self, name):
        """('constituent', global index) or ('formula', element amounts list)."""
        try:
            return self._known[name]
        except KeyError:
            pass
        if not isinstance(name, str):
            raise ValueError(f"feed: a name must be a string, not {name!r}")
        sys = self._system
        found = None
        if "/" in name:
            phase, _, cname = name.partition("/")
            ph = sys._phase_by_name.get(phase)
            if ph is not None:
                for k, c in enumerate(ph.constituents):
                    if c == cname:
                        found = ("constituent", ph.first + k)
                        break
                if found is None:
                    raise ValueError(f"feed {name!r}: phase {phase} of {sys.source} has no constituent {cname!r}")
        if found is None and name in self._first:
            found = ("constituent", self._first[name])
        if found is None:
            counts = parse_formula(name, [e.name for e in sys.elements])
            if counts is not None:
                b = [0.0] * len(sys.elements)
                for j, k in counts.items():
                    b[j] = k
                found = ("formula", b)
        if found is None:
            raise ValueError(
                f"feed {name!r}: {sys.source} has no constituent of that name and it is no formula of its elements "
                f"({', '.join(e.name for e in sys.elements)})"
            )
        self._known[name] = found
        return found
