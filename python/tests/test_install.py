"""cmake --install puts kx where Debian's python3 finds it under the configured
prefix, and an installed tree (moved to any prefix) finds its own plug-ins."""

import os
import subprocess
import sys

BUILD = os.environ.get("KX_BUILD_DIR")
SITE = os.environ.get("KX_PYTHON_INSTALL_DIR")
PREFIX = os.environ.get("KX_INSTALL_PREFIX")


def test_the_configured_prefix_puts_kx_on_pythons_path():
    path = subprocess.run([sys.executable, "-c", "import sys; print('\\n'.join(sys.path))"],
                          capture_output=True, text=True, check=True, env={}).stdout.split()
    assert os.path.join(PREFIX, SITE) in path


def test_an_installed_tree_runs_from_where_it_was_put(tmp_path):
    cmake = os.environ.get("KX_CMAKE", "cmake")
    done = subprocess.run([cmake, "--install", BUILD, "--prefix", str(tmp_path)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    program = (
        "import kx\n"
        "print(kx._paths.PLUGIN_FOLDER)\n"
        "with kx.Camera() as camera:\n"
        "    print(camera.snapshot(timeout=10).image.shape)\n")
    env = dict(os.environ, PYTHONPATH=str(tmp_path / SITE))
    env.pop("KX_PLUGIN_DIR", None)
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                          env=env, cwd=tmp_path, timeout=120)
    assert done.returncode == 0, done.stderr
    folder, shape = done.stdout.splitlines()
    assert folder == str(tmp_path / "lib")
    assert shape == "(480, 640, 3)"
