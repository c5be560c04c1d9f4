"""Phone sensor readings as numpy structured arrays.

A SensorStream listens for one phone app's UDP datagrams through the app's device
plug-in (kinedgram for the text app, kinescope for the binary app) and turns each
reading into a row through the converter kineconvert, as the host does.
"""

import errno
import ipaddress
import socket
import sys
from typing import NamedTuple

import numpy as np

from . import _native
from ._arguments import plugin_folder, seconds, text, whole
from ._device import NativeDevice
from .errors import DeviceError, PortInUseError, first_error, message_text

__all__ = ["SensorStream", "DatagramAccounting", "READING_DTYPE", "APPS"]

#: The phone apps: "text" sends one comma-separated line a reading, "binary" sends
#: fixed-length binary records.
APPS = ("text", "binary")


def _reading_dtype():
    columns, itemsize = _native.reading_columns()
    return np.dtype({
        "names": [name for name, _, _ in columns],
        "formats": [fmt for _, fmt, _ in columns],
        "offsets": [offset for _, _, offset in columns],
        "itemsize": itemsize,
    })


#: The dtype of the arrays SensorStream.read returns. Columns: "time"
#: (datetime64[ms], the computer's local time at which the reading was received,
#: as the device stamps it; no time zone), "monotonic" (float64: when its datagram
#: arrived, in seconds on the computer's monotonic clock, CLOCK_MONOTONIC as
#: time.monotonic() reads it, which setting the date does not move; frames carry
#: the same clock in Frame.monotonic), "measurement" (int32: 1 acceleration,
#: 2 rotation rate, 3 heading, 4 horizontal location, 5 magnetic field,
#: 6 orientation, 7 vertical location, 0 other), "measurement_name" (that code in
#: words), then the converter's sixteen data fields as float64, NaN where the
#: reading has none: latitude, longitude, altitude, horizontal_accuracy,
#: vertical_accuracy, course, speed, true_heading, magnetic_heading,
#: heading_accuracy, x, y, z, azimuth, pitch, roll. Select columns by name: more
#: may be added.
READING_DTYPE = _reading_dtype()


class DatagramAccounting(NamedTuple):
    """What became of the datagrams that reached the stream's port since it opened.

    received: read from the socket; other_sender: dropped because they came from
    another sender than the first phone heard; delivered: handed to the device;
    malformed: of those, dropped by the device as not a reading of its app;
    dropped_by_system: dropped by the operating system because the socket's queue
    was full (Linux; 0 elsewhere).

    Each stream counts its own port only: streams on other ports count apart.
    """

    received: int
    other_sender: int
    delivered: int
    malformed: int
    dropped_by_system: int


class SensorStream(NativeDevice):
    """The readings of one phone app, listened for on a UDP port.

    SensorStream(app="text", port=0, bind="127.0.0.1", *, capacity=65536)

    app: "text" or "binary" (APPS). port: the UDP port, or 0 to let the device
    search (50000 first). bind: the local IPv4 address to listen on; "" or
    "0.0.0.0" for every address, which a phone on the network needs (127.0.0.1 is
    reachable from this computer only). capacity: readings kept until read; when
    they are not read in time the device waits and the system's socket buffer
    takes the rest (datagrams beyond it are dropped and counted).

    The stream listens from construction until close(); use it in a with block.
    Readings not read by then are dropped.
    Point the phone at one of `addresses` and `port`. The first phone that sends
    is the only one heard. Raises PortInUseError when the port is taken,
    ValueError for an address that is not this computer's, DeviceError for other
    refusals of the device.

        with kx.SensorStream("text", port=50000, bind="0.0.0.0") as stream:
            print(stream.port, stream.addresses)
            readings = stream.read(500, timeout=10)
    """

    def __init__(self, app="text", port=0, bind="127.0.0.1", *, capacity=65536):
        self._app, self._bind = app, bind  # as given, for repr() of a refused stream
        text(app, "app")
        if app not in APPS:
            raise ValueError(f"app must be 'text' or 'binary', not {app!r}")
        port = whole(port, "port", 0, 65535)
        text(bind, "bind")
        capacity = whole(capacity, "capacity", 1)
        self._source = f"{app} app device"
        try:
            self._native = _native.SensorStream(app, port, bind, capacity, plugin_folder())
        except _native.DeviceFailure as failure:
            what, messages = failure.args
            raise _listening_error(what, messages, port, bind) from None

    @property
    def app(self):
        """The phone app this stream receives: "text" or "binary"."""
        return self._app

    @property
    def port(self):
        """The UDP port the device listens on (the one found, when port 0 was given)."""
        return self._native.port

    @property
    def bind(self):
        """The local address listened on, as given ("" for every address)."""
        return self._bind

    @property
    def addresses(self):
        """This computer's IPv4 addresses to point the phone at, as a list of str."""
        return list(self._native.interfaces)

    @property
    def phone_reached(self):
        """The local address the phone's first datagram reached, or None before it."""
        return self._native.local_address() or None

    @property
    def accounting(self):
        """DatagramAccounting of the stream's port since it opened (until it closed)."""
        return DatagramAccounting(**self._native.accounting())

    def read(self, n=None, timeout=None):
        """Readings as a structured array of READING_DTYPE, oldest first.

        With n, waits until n readings have arrived and returns them, or returns
        the fewer that came when timeout seconds pass first. Without n, waits for
        the first reading (at most timeout seconds) and returns every reading there
        is. timeout None waits without limit; 0 does not wait. Ctrl-C interrupts a
        wait with KeyboardInterrupt, and no reading is lost by it.

        The device's warnings are issued as DeviceWarning; its errors are raised
        as DeviceError (after the readings that came before them).
        """
        self._check_open("read")
        if n is None:
            least, most = 1, sys.maxsize
        else:
            least = most = whole(n, "n", 1)
        timeout = seconds(timeout, "timeout")
        self._report()
        rows = self._native.read(least, most, timeout, READING_DTYPE)
        if len(rows) == 0:
            self._report()
        return rows

    def __iter__(self):
        """Reading by reading (numpy.void records of READING_DTYPE) until closed."""
        while not self.closed:
            self._report()
            rows = self._native.read(1, 1, None, READING_DTYPE)
            if len(rows):
                yield rows[0]

    def __repr__(self):
        if self._native is None:
            return f"<kx.SensorStream {self._app} (not listening)>"
        state = "closed" if self.closed else "listening"
        return f"<kx.SensorStream {self._app} on {self._bind or '0.0.0.0'}:{self.port} ({state})>"

    def _check_open(self, what):
        if self.closed:
            raise ValueError(f"{what} of a closed SensorStream")


def _listening_error(what, messages, port, bind):
    """The exception that explains why the device refused or could not listen."""
    first = first_error(messages)
    said = message_text(*first)
    where = bind or "every address"
    try:
        if bind:
            ipaddress.IPv4Address(bind)
    except ValueError:
        return ValueError(f"bind must be an IPv4 address such as 127.0.0.1, not {bind!r} "
                          f"(the device said {said})")
    # The device tells that it failed; a socket of our own tells why.
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        try:
            probe.bind((bind or "0.0.0.0", port))
        except OSError as error:
            if error.errno == errno.EADDRINUSE:
                return PortInUseError(
                    f"UDP port {port} on {where} is in use by another program "
                    f"(the device said {said})", *first, messages, port=port, bind=bind)
            if error.errno == errno.EADDRNOTAVAIL:
                return ValueError(f"bind: {bind} is not an address of this computer "
                                  f"(the device said {said})")
    return DeviceError(what, *first, messages)
