"""sensorview in a real browser: headless Chromium loads the page while phonesim
streams both apps and the test camera runs. The plots must hold exactly the values
phonesim sent (read back through dygraphs), the track the location fixes, the
picture the camera's size; a screenshot is kept in the build tree."""

import json
import os
import socket
import subprocess
import tempfile
import time
from urllib.parse import urlsplit

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from recorded_readings import binary_accelerations, binary_fixes, datagrams, text_accelerations
from sensorview_process import SensorView

CHROMIUM = os.environ.get("KX_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("KX_CHROMEDRIVER", "/usr/bin/chromedriver")
# Without the networking flags Chromium reaches out at start, and on a closed
# network its connections are refused; --no-sandbox because tests run as root.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync",
                  "--disable-dev-shm-usage", "--window-size=1400,2200"]
SECONDS_OF_WALK = 5
# The y-axis labels of one chart of a phone: [text, whether it fits its box].
Y_LABELS = ("[...document.querySelectorAll('section[data-phone=\"%s\"] .chart-box[data-group=\"%s\"]"
            " .dygraph-axis-label-y')].map(label => [label.textContent,"
            " label.scrollWidth <= label.clientWidth])")


@pytest.fixture
def browser():
    with tempfile.TemporaryDirectory(prefix="sensorview-chromium-") as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + profile]:
            options.add_argument(flag)
        driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        driver.set_script_timeout(30)
        try:
            yield driver
        finally:
            driver.quit()


def wait_for(driver, expression, seconds, what):
    """Polls a JavaScript expression until it is true; fails with its last value."""
    deadline = time.monotonic() + seconds
    value = None
    while time.monotonic() < deadline:
        value = driver.execute_script("try { return (" + expression + "); } catch (e) { return null; }")
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("%s: after %d s the page still has %r for %s"
                         % (what, seconds, value, expression))


def set_window(driver, seconds):
    field = driver.find_element(By.ID, "window")
    field.clear()
    field.send_keys(str(seconds), Keys.TAB)  # the change event comes on leaving the field
    wait_for(driver, "sensorview.windowSeconds === %d" % seconds, 10, "the window field")


def stream(phonesim_app, port, recording):
    return subprocess.Popen([os.environ["KX_PHONESIM"], "--app", phonesim_app, "--port", str(port),
                             "--rate", "200", "--duration", str(SECONDS_OF_WALK), "--seed", "23",
                             "--record", recording, "--quiet"])


def send_to(port, source, payloads):
    """Datagrams to the phone's port on 127.0.0.1 from a socket bound to source."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        sender.bind((source, 0))
        for payload in payloads:
            sender.sendto(payload, ("127.0.0.1", port))


def chart_values(driver, phone, measurement, field):
    return driver.execute_script("return sensorview.chartValues(arguments[0], arguments[1], arguments[2]);",
                                 phone, measurement, field)


def check_plots(driver, phone, expected):
    """Every acceleration phonesim sent is in the phone's chart, in order, exactly."""
    count = len(expected)
    assert count > 100, "phonesim sent only %d accelerations" % count
    wait_for(driver, "sensorview.chartValues('%s', 1, 'X').length === %d" % (phone, count), 60,
             "the %s acceleration chart" % phone)
    for axis, name in enumerate(("X", "Y", "Z")):
        plotted = chart_values(driver, phone, 1, name)
        assert plotted == [values[axis] for values in expected], "%s %s differs" % (phone, name)


def test_page_plots_the_streamed_values_tracks_the_fixes_and_shows_the_camera(browser, tmp_path):
    with SensorView("--phone", "walk=text", "--phone", "desk=binary",
                    "--camera", "videotestsrc") as view:
        browser.get(view.url)
        wait_for(browser, "sensorview.connected && sensorview.hello !== null", 30, "the connection")
        assert [phone["name"] for phone in browser.execute_script("return sensorview.hello.phones;")] \
            == ["walk", "desk"]
        # Long enough to hold the whole walk on a slow machine.
        set_window(browser, 120)

        text_recording = str(tmp_path / "text.rec")
        binary_recording = str(tmp_path / "binary.rec")
        senders = [stream("text", view.ports["walk"], text_recording),
                   stream("binary", view.ports["desk"], binary_recording)]
        for sender in senders:
            assert sender.wait(120) == 0

        check_plots(browser, "walk", text_accelerations(text_recording))
        check_plots(browser, "desk", binary_accelerations(binary_recording))

        # The track has every valid fix of the binary app, with its accuracy.
        fixes = binary_fixes(binary_recording)
        assert len(fixes) >= SECONDS_OF_WALK - 1
        wait_for(browser, "sensorview.phones.desk.fixes.length === %d" % len(fixes), 30, "the track")
        tracked = browser.execute_script(
            "return sensorview.phones.desk.fixes.map(f => [f.lat, f.lon, f.accuracy]);")
        assert [tuple(fix) for fix in tracked] == fixes
        # The text app's device chooses among its fixes; the track has what it passed on.
        wait_for(browser, "sensorview.phones.walk.fixes.length >= 1", 30, "the text app's track")

        # The picture decodes, in the browser, to the test camera's size.
        wait_for(browser, "sensorview.frames.shown >= 3", 60, "the camera's frames")
        size = browser.execute_script("return [sensorview.frames.width, sensorview.frames.height];")
        assert size == [640, 480]

        # Every datagram sent was delivered, counted for its phone; a sender that is
        # not the phone and datagrams that are no reading are counted apart.
        send_to(view.ports["walk"], "127.0.0.2", [b"A,1,2,3\n"] * 3)
        send_to(view.ports["walk"], "127.0.0.1", [b"no reading\n", b"\x00\x01"])
        expected = {"walk": [len(datagrams(text_recording)) + 2, 3, 2, 0],
                    "desk": [len(datagrams(binary_recording)), 0, 0, 0]}
        for phone, counts in expected.items():
            wait_for(browser, "JSON.stringify(sensorview.status.accounting.filter(r => r.label === '%s')"
                     ".map(r => [r.delivered, r.fromOtherSender, r.malformed, r.droppedBySystem])[0])"
                     " === '%s'" % (phone, json.dumps(counts, separators=(",", ":"))), 30,
                     "the datagram counts of %s" % phone)
        shown = browser.find_element(By.ID, "accounting").text
        assert all(str(counts[0]) in shown for counts in expected.values()), shown
        # No reading was missed (the plots above hold every one). Frames are another
        # matter: a page starved of the processor may miss some, which it is told.
        missed = browser.execute_script("return sensorview.missed;")
        assert missed["readings"] == 0 and isinstance(missed["frames"], int), missed
        # Each reading's delay was taken as it reached the page's WebSocket (the
        # benchmark's figure), a finite number of milliseconds.
        readings, delays = browser.execute_script(
            "let n = 0;"
            "for (const phone of Object.values(sensorview.phones))"
            "  for (const m of Object.values(phone.measurements)) n += m.count;"
            "return [n, sensorview.latencies.filter(Number.isFinite).length];")
        assert readings > 0 and delays == readings, (readings, delays)

        # Nothing came from anywhere but this server.
        origin = "{0.scheme}://{0.netloc}".format(urlsplit(view.url))
        resources = browser.execute_script(
            "return performance.getEntriesByType('resource').map(e => e.name);")
        assert resources and all(name.startswith(origin) for name in resources), resources

        # A readable screenshot: the last seconds of the walk.
        set_window(browser, 10)
        time.sleep(0.6)  # two redraws of the charts at the new window
        # The latitudes, a few metres apart, each have a label of their own that
        # fits its box.
        labels = wait_for(browser, Y_LABELS % ("desk", "Latitude") + ".length >= 2 && "
                          + Y_LABELS % ("desk", "Latitude"), 10, "the latitude axis")
        assert len(set(text for text, _ in labels)) == len(labels), labels
        assert all(fits for _, fits in labels), labels
        artefacts = os.environ.get("KX_ARTEFACTS", str(tmp_path))
        os.makedirs(artefacts, exist_ok=True)
        assert browser.save_screenshot(os.path.join(artefacts, "sensorview-browser.png"))

        assert view.stop() == 0, view.output()
        assert "stopped after" in view.output()


def test_page_says_it_lost_the_connection_when_sensorview_ends(browser):
    with SensorView("--phone", "walk=text") as view:
        browser.get(view.url)
        wait_for(browser, "sensorview.connected", 30, "the connection")
        assert view.stop() == 0, view.output()
        wait_for(browser, "!sensorview.connected", 30, "the closed connection")
        assert "disconnected" in browser.find_element(By.ID, "connection").text
