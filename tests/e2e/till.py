"""Drives the real tovrin program on a private X server, as a cashier does:
keys into the boxes, Tab between them, Space on buttons, Y/N in the boxes.

The keys go in through X (xdotool); what they bring about is waited for: the
keyboard in a window (_NET_ACTIVE_WINDOW), a window mapped or gone, a box's
text, the control that has the keyboard and the display's text (read through
AT-SPI, reader.py), a file's bytes. Nothing waits a fixed time, so a busy
machine only makes a scenario slower."""

import atexit
import os
import re
import shutil
import subprocess
import tempfile

from reader import MAIN_TITLE, TIMEOUT, Program, wait_for

DATE_TIME = re.compile(rb"\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{2}:\d{2}")

# The window's tab order: the widget that Tab reaches from the one before.
TAB_ORDER = ["Text1", "Text2", "Command1(0)", "RichTextBox1", "Command1(1)", "Text3", "Text4",
             "Command2", "Command3"]

# What a screen reader calls each widget: its role, and its names (the
# settlement button's caption tells the way of settling).
CONTROLS = {
    "Text1": ("text", ("实收金额",)),
    "Text2": ("text", ("商品价格：",)),
    "Command1(0)": ("push button", ("找零",)),
    "RichTextBox1": ("text", ("显示区",)),
    "Command1(1)": ("push button", ("统计",)),
    "Text3": ("text", ("折扣比率百分之：",)),
    "Text4": ("text", ("商品数量：",)),
    "Command2": ("push button", ("更新条码价格",)),
    "Command3": ("push button", ("价格结算", "条码结算")),
}


def gbk(text):
    return text.encode("gbk")


def normalised(data):
    """Journal bytes with every date-time text replaced by DT."""
    return DATE_TIME.sub(b"DT", data)


class Display:
    """Xvfb of a given size with openbox on it, on a display number Xvfb
    picks itself (free whatever else runs); the window manager is waited for.
    Screenshots go to `artifacts`.

    The server does not reset when its last client leaves: a reset refuses
    the clients that come meanwhile, and before openbox is there every
    xprop or xdotool is the last client when it ends."""

    def __init__(self, artifacts, size="1366x768"):
        self.artifacts = artifacts
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size + "x24", "-dpi", "96", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number)
        self.env.pop("QT_QPA_PLATFORM", None)
        os.makedirs(artifacts, exist_ok=True)
        with open(os.path.join(artifacts, "openbox.log"), "wb") as log:
            self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=log, stderr=log)
        try:
            wait_for("the window manager", lambda: self.wm.poll() is not None or self._managed())
            if self.wm.poll() is not None:
                raise AssertionError("openbox ended with %d" % self.wm.returncode)
        except AssertionError as e:
            state = (self.env["DISPLAY"], self.xvfb.poll(), self.xprop("-root", "_NET_SUPPORTING_WM_CHECK").strip())
            self.close()
            raise AssertionError("%s (display %s, Xvfb's exit status %s, %r)" % ((e,) + state)) from None

    def _managed(self):
        return "window id" in self.xprop("-root", "_NET_SUPPORTING_WM_CHECK")

    def close(self):
        for p in (self.wm, self.xvfb):
            p.terminate()
            try:
                p.wait(30)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

    def xdotool(self, *args, check=True):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, check=check)

    def xprop(self, *args):
        return subprocess.run(["xprop", *args], env=self.env, capture_output=True, text=True).stdout

    def screenshot(self, name):
        os.makedirs(self.artifacts, exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(self.artifacts, name + ".png")],
                       env=self.env, check=False, capture_output=True)

    def active_window(self):
        """The window the window manager has made active (0: none)."""
        found = re.search(r"#\s*(0x[0-9a-fA-F]+)", self.xprop("-root", "_NET_ACTIVE_WINDOW"))
        return int(found.group(1), 16) if found else 0

    def keyboard_in(self, window, what):
        """Waits until the window has the keyboard, so that keys reach it."""
        wait_for(what + " to have the keyboard", lambda: self.active_window() == int(window))

    def mapped(self, window):
        found = subprocess.run(["xwininfo", "-id", str(window)], env=self.env, capture_output=True, text=True)
        return found.returncode == 0 and "IsViewable" in found.stdout


class Till:
    """One run of the program in a program folder."""

    def __init__(self, display, folder, window=True):
        """Starts the program and waits until its window has the keyboard;
        with window=False it is not waited for (a start that hands over to a
        running till opens no window)."""
        self.display = display
        self.folder = folder
        self.program = Program(folder, display.env, window=window)
        self.process = self.program.process
        self.window = None
        if window:
            self.window = self.wait_window(MAIN_TITLE)
            self.controls = self._controls()
            self.focus()

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        if kind is not None:
            self.display.screenshot("failure")
        self.kill()
        return False

    def _controls(self):
        found = {}
        for accessible in self.program.children(self.program.window):
            role, name = accessible.get_role_name(), accessible.get_name()
            found.update({widget: accessible for widget, (r, names) in CONTROLS.items() if r == role and name in names})
        missing = sorted(set(CONTROLS) - set(found))
        assert not missing, "the window lacks %s" % ", ".join(missing)
        return found

    # --- windows -------------------------------------------------------
    def windows(self, name):
        """The program's windows on the screen with the given title."""
        found = self.display.xdotool("search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                                     "--name", "^" + re.escape(name) + "$", check=False)
        return [w for w in found.stdout.split() if w]

    def wait_window(self, name, timeout=TIMEOUT):
        return wait_for("a window named %r" % name, lambda: (self.windows(name) or [None])[-1], timeout)

    def box(self, title):
        """Waits for a window of the program with the title that has the
        keyboard, so that keys reach it."""
        return wait_for("a window named %r with the keyboard" % title,
                        lambda: next((w for w in self.windows(title) if int(w) == self.display.active_window()), None))

    def wait_closed(self, window):
        wait_for("the window %s to close" % window, lambda: not self.display.mapped(window))

    def answer(self, title, key, shot=None):
        """Answers the box with the given title by a key (y, n or Return)
        once it has the keyboard; returns when it has closed."""
        box = self.box(title)
        if shot:
            self.display.screenshot(shot)
        self.keys(key)
        self.wait_closed(box)
        return box

    def no_box(self, title):
        assert not self.windows(title), "unexpected box %r" % title

    def close_window(self):
        self.display.xdotool("windowactivate", self.window, check=False)
        self.display.keyboard_in(self.window, "the window")
        self.keys("alt+F4")

    # --- keys ----------------------------------------------------------
    def keys(self, *names):
        self.display.xdotool("key", "--clearmodifiers", *names)

    def type(self, text, delay=12):
        self.display.xdotool("type", "--delay", str(delay), "--", text)

    def scan(self, barcode, enter="KP_Enter"):
        """A scanner: the digits, then Enter, as fast as X takes them."""
        self.type(barcode, delay=5)
        self.keys(enter)

    def has_keyboard(self, widget):
        return self.program.has_state(self.controls[widget], "FOCUSED")

    def focus(self):
        """The widget that has the keyboard, once the window has it."""
        return wait_for("the keyboard in the window", lambda: next((w for w in TAB_ORDER if self.has_keyboard(w)), None))

    def go(self, widget):
        """Moves the keyboard along the tab order to a widget."""
        steps = TAB_ORDER.index(widget) - TAB_ORDER.index(self.focus())
        if steps:
            self.keys(*["Tab" if steps > 0 else "shift+Tab"] * abs(steps))
        wait_for("%s to have the keyboard" % widget, lambda: self.has_keyboard(widget))

    def fill(self, box, text):
        """Types a fresh value into a box: the typing replaces all its text."""
        self.go(box)
        self.keys("ctrl+a")
        self.type(text)
        wait_for("%r in %s" % (text, box), lambda: self.text(box) == text)

    def press(self, button):
        self.go(button)
        self.keys("space")

    # --- what it shows -----------------------------------------------------
    def text(self, widget):
        return self.program.text(self.controls[widget])

    def caption(self, widget):
        return self.controls[widget].get_name()

    def dialog_text(self, title, name):
        """The text of the box with the given name in the program's window
        with the given title (a dialog)."""
        box = self.program.find(self.program.top_level(title), name, "text")
        return self.program.text(box) if box is not None else None

    def dialog_label(self, title, pattern):
        """A label of the program's window with the given title whose text
        matches a pattern."""
        return next((c for c in self.program.descendants(self.program.top_level(title))
                     if c.get_role_name() == "label" and pattern.search(c.get_name())), None)

    def shows(self, what, test):
        """Waits until the display's text passes a test."""
        wait_for(what + " in the display", lambda: test(self.text("RichTextBox1")))

    # --- the process -----------------------------------------------------
    def running(self):
        return self.program.running()

    def wait_exit(self, timeout=TIMEOUT):
        self.process.wait(timeout)

    def kill(self):
        self.program.kill()

    # --- files ---------------------------------------------------------
    def file(self, name):
        path = os.path.join(self.folder, name)
        if not os.path.exists(path):
            return b""
        with open(path, "rb") as f:
            return f.read()

    def wait_file(self, name, expected):
        """Waits until a journal holds the expected bytes (date-times as DT)."""
        last = []

        def same():
            last[:] = [normalised(self.file(name))]
            return last[0] == expected

        try:
            wait_for(name, same)
        except AssertionError:
            raise AssertionError("%s differs:\n  expected %r\n  actual   %r" % (name, expected, last[0])) from None


# The program folders copied by this run, removed when it ends (each is a
# whole installed program, a few MB: left behind they fill /tmp run by run).
_copies = []
atexit.register(lambda: [shutil.rmtree(folder, ignore_errors=True) for folder in _copies])


def program_folder(install_dir):
    """A fresh copy of the installed program folder, removed when this run
    ends."""
    folder = tempfile.mkdtemp(prefix="tovrin-e2e-")
    _copies.append(folder)
    shutil.copytree(install_dir, folder, dirs_exist_ok=True)
    return folder
