"""Drives the real tovrin program on a private X server, as a cashier does:
keys into the boxes, Tab between them, Space on buttons, Y/N in the boxes."""

import os
import re
import shutil
import subprocess
import tempfile
import time

DATE_TIME = re.compile(rb"\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{2}:\d{2}")

# The window's tab order: the widget that Tab reaches from the one before.
TAB_ORDER = ["Text1", "Text2", "Command1(0)", "RichTextBox1", "Command1(1)", "Text3", "Text4",
             "Command2", "Command3"]


def gbk(text):
    return text.encode("gbk")


def normalised(data):
    """Journal bytes with every date-time text replaced by DT."""
    return DATE_TIME.sub(b"DT", data)


class Display:
    """Xvfb with a window manager, on a display number of its own."""

    def __init__(self, artifacts):
        self.artifacts = artifacts
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1366x768x24", "-dpi", "96", "-nolisten", "tcp"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        self.env = dict(os.environ, DISPLAY=":" + number)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def close(self):
        for p in (self.wm, self.xvfb):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()

    def xdotool(self, *args, check=True):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, check=check)

    def screenshot(self, name):
        os.makedirs(self.artifacts, exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(self.artifacts, name + ".png")],
                       env=self.env, check=False, capture_output=True)


class Till:
    """One run of the program in a program folder."""

    def __init__(self, display, folder, window=True):
        """Starts the program; with window=False it is not waited for (a
        start that hands over to a running till opens no window)."""
        self.display = display
        self.folder = folder
        self.focus = "Text1"
        self.process = subprocess.Popen([os.path.join(folder, "tovrin")], cwd=folder, env=display.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = None
        if window:
            self.window = self.wait_window("Tovrin  找零软件 ")
            time.sleep(0.8)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        if kind is not None:
            self.display.screenshot("failure")
        self.kill()
        return False

    # --- windows -------------------------------------------------------
    def windows(self, name):
        found = self.display.xdotool("search", "--onlyvisible", "--name", "^" + re.escape(name) + "$", check=False)
        return [w for w in found.stdout.split() if w]

    def wait_window(self, name, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            found = self.windows(name)
            if found:
                return found[-1]
            time.sleep(0.1)
        raise AssertionError("no window named %r" % name)

    def wait_gone(self, name, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            if not self.windows(name):
                return
            time.sleep(0.1)
        raise AssertionError("window %r still open" % name)

    # --- keys ----------------------------------------------------------
    def keys(self, *names):
        for name in names:
            self.display.xdotool("key", "--clearmodifiers", name)
            time.sleep(0.08)

    def type(self, text):
        self.display.xdotool("type", "--delay", "60", "--", text)
        time.sleep(0.1)

    def go(self, widget):
        """Moves the focus along the tab order to a widget."""
        here, there = TAB_ORDER.index(self.focus), TAB_ORDER.index(widget)
        step = "Tab" if there > here else "shift+Tab"
        for _ in range(abs(there - here)):
            self.keys(step)
        self.focus = widget

    def fill(self, box, text):
        """Types a fresh value into a box: Tab selects its text, the typing replaces it."""
        self.go(box)
        self.keys("ctrl+a")
        self.type(text)

    def press(self, button):
        self.go(button)
        self.keys("space")

    def answer(self, title, key, shot=None):
        """Answers the box with the given title by a key (y, n or Return)."""
        box = self.wait_window(title)
        time.sleep(0.3)
        if shot:
            self.display.screenshot(shot)
        self.keys(key)
        time.sleep(0.3)
        return box

    def no_box(self, title):
        assert not self.windows(title), "unexpected box %r" % title

    def close_window(self):
        self.display.xdotool("windowactivate", "--sync", self.window, check=False)
        self.keys("alt+F4")

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=10):
        self.process.wait(timeout)

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()

    # --- files ---------------------------------------------------------
    def file(self, name):
        path = os.path.join(self.folder, name)
        if not os.path.exists(path):
            return b""
        with open(path, "rb") as f:
            return f.read()


def program_folder(install_dir):
    """A fresh copy of the installed program folder."""
    folder = tempfile.mkdtemp(prefix="tovrin-e2e-")
    shutil.copytree(install_dir, folder, dirs_exist_ok=True)
    return folder
