"""The Python example of README.md runs as written: it starts phonesim, reads and
sums up readings and grabs a frame of the test camera."""

import os
import re
import subprocess
import sys

README = os.environ.get("KX_README") or os.path.join(os.path.dirname(__file__), "..", "..",
                                                     "README.md")


def python_blocks(text):
    return re.findall(r"^```python\n(.*?)^```$", text, flags=re.S | re.M)


def test_the_readme_example_runs():
    with open(README, encoding="utf-8") as readme:
        blocks = python_blocks(readme.read())
    assert len(blocks) == 1, "README.md has one Python example"
    done = subprocess.run([sys.executable, "-c", blocks[0]], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].startswith("500 readings from ")
    assert any(line.strip().startswith("acceleration") for line in lines)
    assert "DatagramAccounting(" in done.stdout and "malformed=0" in done.stdout
    assert "test camera frame (480, 640, 3)" in done.stdout
    # The frame came after the readings, on the clock both carry.
    arrived = re.search(r"^  arrived from monotonic ([0-9.]+) s to ([0-9.]+) s$", done.stdout,
                        flags=re.M)
    assert arrived and float(arrived[1]) <= float(arrived[2]), done.stdout
    after = re.search(r"^  it arrived (-?[0-9.]+) s after the last reading$", done.stdout,
                      flags=re.M)
    assert after and float(after[1]) >= 0, done.stdout
