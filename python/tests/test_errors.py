"""What a device posts reaches Python as warnings and exceptions that keep the
identifier and the text."""

import warnings

import pytest

import kx
from kx.errors import report


def test_warnings_are_issued_and_the_first_error_raised():
    messages = [("warning", "KORVEX:kinedgram:slow", "Falling behind."),
                ("error", "KORVEX:UDPListener:startUDPServer:unableToOpen",
                 "Cannot start UDP server."),
                ("error", "", "Second.")]
    with warnings.catch_warnings(record=True) as issued:
        warnings.simplefilter("always")
        with pytest.raises(kx.DeviceError) as raised:
            report(messages, "text app device")
    assert len(issued) == 1
    warning = issued[0].message
    assert isinstance(warning, kx.DeviceWarning)
    assert (warning.identifier, warning.text) == ("KORVEX:kinedgram:slow", "Falling behind.")
    assert str(warning) == "KORVEX:kinedgram:slow: Falling behind."
    error = raised.value
    assert error.identifier == "KORVEX:UDPListener:startUDPServer:unableToOpen"
    assert error.text == "Cannot start UDP server."
    assert str(error) == ("text app device: KORVEX:UDPListener:startUDPServer:unableToOpen: "
                          "Cannot start UDP server.")
    assert error.messages == messages


def test_nothing_to_report_is_quiet():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        report([], "camera videotestsrc")
