"""python3 -m eqcore: equilibria, steps and binary diagrams from the shell.

    python3 -m eqcore equilibrate FILE -T 2000 --feed CH4=1 --feed O2=2 [--json]
    python3 -m eqcore step FILE --T 300:3000:100 --feed CH4=1 --feed O2=2 -o step.svg [--csv step.csv]
    python3 -m eqcore step FILE -T 1500 --feed CH4=1 --feed O2=0.5:4:50 -o o2.svg
    python3 -m eqcore diagram FILE A B --T 900:1400 -o diagram.svg [--json diagram.json]

Exit status 0 on success, 1 when a calculation failed, 2 for bad input.
"""

import argparse
import json
import sys

import numpy as np

from .errors import CalculationError, DataError
from .system import load


def _range(text, what, default_count=None):
    """'lo:hi' or 'lo:hi:n' (n points) or a single number."""
    parts = text.split(":")
    try:
        numbers = [float(p) for p in parts]
    except ValueError:
        raise ValueError(f"{what} {text!r}: expected a number, LOW:HIGH or LOW:HIGH:POINTS") from None
    if len(numbers) == 1:
        return numbers[0]
    if len(numbers) == 2 and default_count is None:
        return tuple(numbers)
    if len(numbers) in (2, 3):
        n = int(numbers[2]) if len(numbers) == 3 else default_count
        if n < 2 or (len(numbers) == 3 and numbers[2] != n):
            raise ValueError(f"{what} {text!r}: the number of points must be a whole number of at least 2")
        return np.linspace(numbers[0], numbers[1], n)
    raise ValueError(f"{what} {text!r}: expected a number, LOW:HIGH or LOW:HIGH:POINTS")


def _feed(items):
    feed = {}
    for item in items or []:
        name, sep, amount = item.rpartition("=")
        if not sep or not name:
            raise ValueError(f"--feed {item!r}: expected NAME=AMOUNT")
        feed[name] = _range(amount, f"--feed {name}", default_count=50)
    return feed


def _units(args):
    u = {}
    for q in ("temperature", "pressure", "amount", "energy", "volume"):
        v = getattr(args, f"{q}_unit", None)
        if v:
            u[q] = v
    return u or None


def _save(fig, path):
    fig.savefig(path)
    print(f"wrote {path}")


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m eqcore", description="EQCORE: equilibria from a data file")
    sub = parser.add_subparsers(dest="command", required=True)

    def common(p):
        p.add_argument("file", help="data file (.dat or .cst)")
        p.add_argument("-P", "--P", dest="P", help="pressure (default 1 bar), or LOW:HIGH:POINTS for a step")
        p.add_argument("--temperature-unit", help="K, C or F (default K)")
        p.add_argument("--pressure-unit", help="Pa, kPa, bar, atm or psi (default Pa)")
        p.add_argument("--amount-unit", help="mol, kmol, g or kg (default mol)")
        p.add_argument("--energy-unit", help="J, kJ, cal or kcal (default J)")
        p.add_argument("--workers", type=int, default=1, help="threads to compute with")

    e = sub.add_parser("equilibrate", help="one equilibrium")
    common(e)
    e.add_argument("-T", "--T", dest="T", help="temperature (with a target: the estimate)")
    e.add_argument("--feed", action="append", help="NAME=AMOUNT, a constituent or formula (repeatable)")
    e.add_argument("--dH", type=float, help="find T where H - H(feed) equals this")
    e.add_argument("--formation", help="find T where this phase is about to form")
    e.add_argument("--precipitation", help="find T where a second phase is about to separate from this one")
    e.add_argument("--json", action="store_true", help="print the result as JSON")

    s = sub.add_parser("step", help="a table of equilibria over T, P or one feed amount, plotted")
    common(s)
    s.add_argument("-T", "--T", dest="T", help="temperature, or LOW:HIGH:POINTS to step over")
    s.add_argument("--feed", action="append", help="NAME=AMOUNT or NAME=LOW:HIGH:POINTS (repeatable)")
    s.add_argument("--dH", type=float, help="with a step over P or an amount: T where H - H(feed) equals this")
    s.add_argument("--phase", help="plot the mole fractions in this phase instead of the phase amounts")
    s.add_argument("-o", "--output", help="the plot (.svg, .png, .pdf)")
    s.add_argument("--csv", help="the table as CSV")

    d = sub.add_parser("diagram", help="the T-x phase diagram of two components, plotted")
    common(d)
    d.add_argument("a", help="first component (element, constituent or formula): x = 0")
    d.add_argument("b", help="second component: x = 1")
    d.add_argument("--T", dest="T", required=True, help="LOW:HIGH temperature range")
    d.add_argument("--x", type=int, default=41, help="compositions (default 41)")
    d.add_argument("--nT", type=int, default=61, help="grid temperatures (default 61)")
    d.add_argument("--tielines", action="store_true", help="draw the tie-lines")
    d.add_argument("-o", "--output", help="the plot (.svg, .png, .pdf)")
    d.add_argument("--json", help="the diagram as JSON")

    args = parser.parse_args(argv)
    try:
        return _run(args)
    except (ValueError, DataError) as err:
        print(f"eqcore: {err}", file=sys.stderr)
        return 2
    except CalculationError as err:
        print(f"eqcore: {err}", file=sys.stderr)
        return 1


def _run(args):
    units = _units(args)
    system = load(args.file, units=units)
    P = None if args.P is None else _range(args.P, "-P", default_count=50)
    if args.command == "equilibrate":
        T = None if args.T is None else _range(args.T, "-T")
        r = system.equilibrate(T=T, P=P, feed=_feed(args.feed), dH=args.dH, formation=args.formation,
                               precipitation=args.precipitation)
        print(r.to_json() if args.json else r.listing, end="" if not args.json else "\n")
        return 0
    if args.command == "step":
        T = None if args.T is None else _range(args.T, "-T", default_count=50)
        r = system.step(T=T, P=P, feed=_feed(args.feed), dH=args.dH, workers=args.workers)
        print(r)
        if args.csv:
            np.savetxt(args.csv, np.column_stack([r.table[c] for c in r.columns]), delimiter=",",
                       header=",".join(r.columns), comments="")
            print(f"wrote {args.csv}")
        if args.output:
            from . import plot

            _save(plot.step(r, phase=args.phase), args.output)
        return 0
    T = _range(args.T, "--T")
    if not isinstance(T, tuple):
        raise ValueError(f"--T {args.T!r}: give the range as LOW:HIGH")
    dgm = system.binary_diagram(args.a, args.b, T=T, P=P, x=args.x, nT=args.nT, workers=args.workers)
    print(dgm)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(dgm.to_dict(), f, indent=1)
        print(f"wrote {args.json}")
    if args.output:
        from . import plot

        _save(plot.binary(dgm, tielines=args.tielines), args.output)
    return 0
