"""Units of values passed to and returned by the package.

A `units=` argument is a dict from quantity to unit name, e.g.
``{"temperature": "C", "pressure": "bar"}``; quantities left out keep the
package's defaults, K, Pa, m3, J and mol. The engine's own unit table
converts (see eqcore/README.md): temperature K C F; pressure Pa kPa bar atm
psi; volume m3 dm3 l; energy J kJ cal kcal; amount mol kmol g kg.
"""

from . import _core

QUANTITIES = ("temperature", "pressure", "volume", "energy", "amount")
_ALIASES = {"T": "temperature", "P": "pressure", "V": "volume", "E": "energy", "n": "amount"}
_cache = {}


def units_of(units):
    """The engine's Units for a `units=` argument (None: the defaults)."""
    key = None if units is None else tuple(sorted(units.items())) if isinstance(units, dict) else units
    try:
        return _cache[key]
    except (KeyError, TypeError):
        pass
    if units is None:
        names = {}
    elif isinstance(units, dict):
        names = {}
        for q, unit in units.items():
            quantity = _ALIASES.get(q, q)
            if quantity not in QUANTITIES:
                raise ValueError(f"units: unknown quantity {q!r} (known: {', '.join(QUANTITIES)})")
            if not isinstance(unit, str):
                raise ValueError(f"units: the unit of {quantity} must be a name, not {unit!r}")
            names[quantity] = unit
    else:
        raise ValueError(f"units must be a dict of quantity to unit name, not {units!r}")
    u = _core.Units(**names)
    try:
        _cache[key] = u
    except TypeError:
        pass
    return u


def unit_names(u):
    """The unit names of a Units by quantity, with those of entropy and potentials."""
    names = dict(zip(QUANTITIES, u.names()))
    names["entropy"] = f"{names['energy']}/{names['temperature']}"
    names["potential"] = f"{names['energy']}/mol"
    return names
