"""Checks of the arguments of kx's public calls, with texts that say what is wrong."""

import math
import numbers
import os

from . import _paths


def plugin_folder():
    """The folder the plug-ins are loaded from: $KX_PLUGIN_DIR, else this build's."""
    return os.environ.get("KX_PLUGIN_DIR") or _paths.PLUGIN_FOLDER


def whole(value, name, minimum, maximum=None):
    """value as an int in [minimum, maximum]; TypeError or ValueError naming name."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    value = int(value)
    if value < minimum or (maximum is not None and value > maximum):
        limit = f"{minimum} to {maximum}" if maximum is not None else f"{minimum} or more"
        raise ValueError(f"{name} must be {limit}, not {value}")
    return value


def seconds(value, name):
    """value as a float of seconds, 0 or more, or None (no limit)."""
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number of seconds or None, not {type(value).__name__}")
    value = float(value)
    if math.isnan(value) or value < 0:
        raise ValueError(f"{name} must be 0 or more seconds, not {value}")
    return value


def text(value, name):
    """value as a str; TypeError naming name."""
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    return value
