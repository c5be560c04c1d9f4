"""Wrong arguments of SensorStream and its read are refused before anything is
started, with a TypeError or ValueError whose text names the argument; what the
device refuses is explained."""

import pytest

import kx
from conftest import free_port


@pytest.mark.parametrize("arguments, error, says", [
    ({"app": 3}, TypeError, "app must be a str"),
    ({"app": "json"}, ValueError, "app must be 'text' or 'binary'"),
    ({"port": "50000"}, TypeError, "port must be an int"),
    ({"port": True}, TypeError, "port must be an int"),
    ({"port": -1}, ValueError, "port must be 0 to 65535, not -1"),
    ({"port": 65536}, ValueError, "port must be 0 to 65535, not 65536"),
    ({"bind": None}, TypeError, "bind must be a str"),
    ({"bind": "localhost:50000"}, ValueError, "bind must be an IPv4 address"),
    ({"bind": "198.51.100.1"}, ValueError, "198.51.100.1 is not an address of this computer"),
    ({"capacity": 0}, ValueError, "capacity must be 1 or more"),
])
def test_stream_arguments(arguments, error, says):
    with pytest.raises(error, match=says):
        kx.SensorStream(**arguments)


@pytest.mark.parametrize("arguments, error, says", [
    ({"n": 0}, ValueError, "n must be 1 or more, not 0"),
    ({"n": 2.0}, TypeError, "n must be an int, not float"),
    ({"timeout": -1}, ValueError, "timeout must be 0 or more seconds"),
    ({"timeout": float("nan")}, ValueError, "timeout must be 0 or more seconds"),
    ({"timeout": "1"}, TypeError, "timeout must be a number of seconds or None"),
])
def test_read_arguments(arguments, error, says):
    with kx.SensorStream(port=free_port()) as stream:
        with pytest.raises(error, match=says):
            stream.read(**arguments)


def test_every_public_name_says_what_it_does():
    for name in kx.__all__:
        thing = getattr(kx, name)
        if not callable(thing):
            assert name in kx.__doc__, f"constant {name} is not described"
            continue
        assert thing.__doc__ and len(thing.__doc__) > 40, name
        if isinstance(thing, type):
            for member, value in vars(thing).items():
                if not member.startswith("_") and (callable(value) or isinstance(value, property)):
                    assert value.__doc__, f"{name}.{member}"
