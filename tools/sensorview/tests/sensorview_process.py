"""sensorview run as a child process for the tests: started on free ports, its
announcement read with a deadline, stopped with Ctrl-C (SIGINT)."""

import os
import re
import signal
import subprocess
import threading
import time


class SensorView:
    """A running sensorview; use as a context manager."""

    def __init__(self, *arguments):
        self.arguments = [os.environ["KX_SENSORVIEW"], "--http-port", "0", *arguments]
        self.process = None
        self.lines = []
        self._reader = None
        self.ports = {}
        self.url = None
        self._changed = threading.Condition()

    def __enter__(self):
        self.process = subprocess.Popen(self.arguments, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True,
                                        start_new_session=True)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.wait_for_line(r"open (http://\S+/) in a browser", 60)
        for line in self.lines:
            found = re.search(r"phone '(\S+)' \(\S+ app\) listens on UDP port (\d+)", line)
            if found:
                self.ports[found.group(1)] = int(found.group(2))
            found = re.search(r"open (http://\S+/) in a browser", line)
            if found:
                self.url = found.group(1)
        return self

    def __exit__(self, *_):
        self.stop()

    def _read(self):
        for line in self.process.stdout:
            with self._changed:
                self.lines.append(line.rstrip("\n"))
                self._changed.notify_all()
        with self._changed:
            self._changed.notify_all()

    def output(self):
        with self._changed:
            return "\n".join(self.lines)

    def wait_for_line(self, pattern, seconds):
        deadline = time.monotonic() + seconds
        with self._changed:
            while True:
                for line in self.lines:
                    if re.search(pattern, line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    raise AssertionError("sensorview did not say /%s/; it said:\n%s"
                                         % (pattern, "\n".join(self.lines)))
                self._changed.wait(min(left, 0.5))

    def stop(self, seconds=30):
        """Ctrl-C, then the exit status (killed after seconds: a failure)."""
        if self.process is None:
            return None
        if self.process.poll() is not None:
            self._reader.join(seconds)
            return self.process.returncode
        self.process.send_signal(signal.SIGINT)
        try:
            status = self.process.wait(seconds)
            # The program's last lines may still be in the pipe: read to its end.
            self._reader.join(seconds)
            return status
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
            raise AssertionError("sensorview did not end within %d s of Ctrl-C" % seconds)
