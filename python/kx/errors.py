"""What the devices report, as Python exceptions and warnings.

A device reports a problem as a message: an identifier such as
"KORVEX:UDPListener:startUDPServer:unableToOpen" and an English text. kx raises
errors as DeviceError (or a subclass that says more) and issues warnings as
DeviceWarning, each carrying the identifier and the text.
"""

import errno
import warnings

__all__ = ["DeviceError", "PortInUseError", "UnsupportedModeError", "DeviceWarning"]


class DeviceError(RuntimeError):
    """A device reported an error.

    Attributes: identifier (for example "KORVEX:kinedgram:invalidPort", empty when
    the device gave none), text (the device's English text) and messages (every
    (type, identifier, text) the device posted meanwhile).
    """

    def __init__(self, what, identifier="", text="", messages=()):
        super().__init__(what)
        self.identifier = identifier
        self.text = text
        self.messages = list(messages)


class PortInUseError(DeviceError, OSError):
    """The UDP port asked for is taken by another socket on this computer.

    Also an OSError with errno EADDRINUSE; port and bind name what was asked for.
    """

    def __init__(self, what, identifier="", text="", messages=(), port=0, bind=""):
        super().__init__(what, identifier, text, messages)
        self.errno = errno.EADDRINUSE
        self.strerror = what
        self.port = port
        self.bind = bind


class UnsupportedModeError(DeviceError, ValueError):
    """The camera does not offer the size or frame rate asked for.

    Also a ValueError; the text (the device's) names what the camera offers.
    """


class DeviceWarning(UserWarning):
    """A device reported a warning; identifier and text as in DeviceError."""

    def __init__(self, identifier, text):
        super().__init__(f"{identifier}: {text}" if identifier else text)
        self.identifier = identifier
        self.text = text


def message_text(identifier, text):
    """'identifier: text', or the part that is there."""
    if identifier and text:
        return f"{identifier}: {text}"
    return identifier or text or "(no identifier and no text)"


def first_error(messages):
    """(identifier, text) of the first error among messages, or two empty texts."""
    return next(((i, t) for kind, i, t in messages if kind == "error"), ("", ""))


def report(messages, source):
    """Issues the warnings among messages and raises the first error, if any.

    messages: (type, identifier, text) tuples; source names the device in texts.
    """
    first_error = None
    for kind, identifier, text in messages:
        if kind == "error":
            first_error = first_error or (identifier, text)
        else:
            warnings.warn(DeviceWarning(identifier, text), stacklevel=3)
    if first_error:
        identifier, text = first_error
        raise DeviceError(f"{source}: {message_text(identifier, text)}", identifier, text,
                          messages)
