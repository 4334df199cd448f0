"""Plots with matplotlib: a step's phase amounts (or a phase's mole
fractions) against the stepped variable, and a binary phase diagram with
labelled regions. Each returns the matplotlib Figure."""

import matplotlib.pyplot as plt
import numpy as np


def _axis_label(result_or_diagram, variable):
    u = result_or_diagram.units
    if variable == "T":
        return f"T / {u['temperature']}"
    if variable == "P":
        return f"P / {u['pressure']}"
    return f"{variable} / {u['amount']}"


def step(result, phase=None, ax=None, log=None):
    """Phase amounts against the stepped variable; with `phase`, the mole
    fractions of that phase's constituents (log scale by default)."""
    fig, ax = _figure(ax)
    x = result.values
    order = np.argsort(x)
    if phase is None:
        for name, n in result.phase_amounts().items():
            ax.plot(x[order], n[order], label=name)
        ax.set_ylabel(f"amount / {result.units['amount']}")
        if log:
            ax.set_yscale("log")
    else:
        fractions = result.mole_fractions(phase)
        for name, y in fractions.items():
            if np.nanmax(y) > 1e-8:
                ax.plot(x[order], y[order], label=name)
        ax.set_ylabel(f"mole fraction in {phase}")
        if log is None or log:
            ax.set_yscale("log")
            ax.set_ylim(1e-8, 1.5)
    ax.set_xlabel(_axis_label(result, result.variable))
    ax.legend(fontsize="small", ncol=2 if len(ax.get_legend_handles_labels()[1]) > 8 else 1)
    ax.grid(True, alpha=0.3)
    return fig


def binary(diagram, ax=None, tielines=False, labels=True):
    """The T-x diagram: phase boundaries, invariant lines and region labels."""
    fig, ax = _figure(ax)
    if tielines:
        for t in diagram.tielines:
            ax.plot(t.x, [t.T, t.T], color="0.85", lw=0.5, zorder=1)
    for b in diagram.boundaries:
        if np.ptp(b.x) == 0 and np.ptp(b.T) == 0:
            continue
        ax.plot(b.x, b.T, color="k", lw=1.2, zorder=2)
    for v in diagram.invariants:
        ax.plot([v.x[0], v.x[-1]], [v.T, v.T], color="k", lw=1.2, zorder=2)
        ax.annotate(
            f"{v.T:.2f} {diagram.units['temperature']}",
            (v.x[1], v.T),
            textcoords="offset points",
            xytext=(0, -12),
            ha="center",
            fontsize="small",
        )
    if labels:
        for r in diagram.regions:
            ax.text(r.label_x, r.label_T, r.name, ha="center", va="center", fontsize="small",
                    bbox=dict(boxstyle="round,pad=0.2", fc="white", ec="none", alpha=0.8), zorder=3)
    a, b = diagram.components
    ax.set_xlim(diagram.x.min(), diagram.x.max())
    ax.set_ylim(diagram.T.min(), diagram.T.max())
    ax.set_xlabel(f"x({b})  ({a} to {b})")
    ax.set_ylabel(f"T / {diagram.units['temperature']}")
    ax.set_title(f"{a}-{b} at P = {diagram.P:g} {diagram.units['pressure']}")
    return fig


def _figure(ax):
    if ax is None:
        fig, ax = plt.subplots(figsize=(7, 5), constrained_layout=True)
        return fig, ax
    return ax.figure, ax
