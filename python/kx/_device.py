"""What SensorStream and Camera share: the native device behind them, closing it
(explicitly, at the end of a with block, or when garbage collected) and passing on
the messages it posts."""

from .errors import report


class NativeDevice:
    """Base of the public device classes; _native is set by the subclass."""

    _native = None
    _source = "device"  # names the device in the texts of its messages

    @property
    def closed(self):
        """True once close() has run."""
        return self._native is None or self._native.closed

    def close(self):
        """Stops the device. Safe to call again; also done at the end of a with block
        and when the object is garbage collected."""
        if self._native is not None:
            self._native.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _report(self):
        report(self._native.take_messages(), self._source)
