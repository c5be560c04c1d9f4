"""What the page must show for the datagrams phonesim sent, read from phonesim's
recording (hex lines, see tools/phonesim/README.md) and turned into values the
way the device plug-ins turn them."""

import struct


def datagrams(path):
    """The recorded datagrams, as bytes, in the order they were sent."""
    found = []
    with open(path, encoding="ascii") as recording:
        for line in recording:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            found.append(bytes.fromhex(line.split()[1]))
    return found


def text_accelerations(path):
    """[x, y, z] of every "A" line: the text app sends m/s², the device keeps them."""
    values = []
    for datagram in datagrams(path):
        fields = datagram.rstrip(b"\n").decode("ascii").split(",")
        if fields[0] == "A":
            values.append([float(value) for value in fields[3:6]])
    return values


def _doubles(datagram, offset, count):
    return list(struct.unpack_from("<%dd" % count, datagram, offset))


def binary_accelerations(path):
    """[x, y, z] of every 0x20 record: the app counts in g, the device in m/s²."""
    return [[value * 9.81 for value in _doubles(datagram, 16, 3)]
            for datagram in datagrams(path) if datagram[7] == 0x20]


def binary_fixes(path):
    """(latitude, longitude, horizontal accuracy) of every valid 0x40 record."""
    fixes = []
    for datagram in datagrams(path):
        if datagram[7] != 0x40:
            continue
        latitude, longitude, _, horizontal, vertical = _doubles(datagram, 16, 5)
        if horizontal >= 0 and vertical >= 0:
            fixes.append((latitude, longitude, horizontal))
    return fixes
