"""Argument checks shared by the top-level functions (messages name the bad value)."""
import numbers


def count(name, value, minimum):
    """An integer >= minimum, else ValueError/TypeError naming the argument."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an integer, got {value!r}")
    if value < minimum:
        raise ValueError(f"{name} must be at least {minimum}, got {value}")
    return int(value)


def positive(name, value):
    """A finite number > 0."""
    v = float(value)
    if not (v > 0 and v != float("inf")):
        raise ValueError(f"{name} must be a finite number > 0, got {value!r}")
    return v


def choice(name, value, options):
    if value not in options:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, options))}; got {value!r}")
    return options[value]
