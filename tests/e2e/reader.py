"""The program as a screen reader meets it: the installed program on a
private session bus whose accessibility bus (at-spi2-core) nothing else uses,
read and worked through AT-SPI (Debian's gir1.2-atspi-2.0 through
/usr/bin/python3).

Everything waits for a state to come about, with generous deadlines, so that
a busy machine (two test runs at once) only makes it slower."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

# Long enough for a loaded machine; a failing wait says what it waited for.
# The normal path does not wait for it: every wait ends when its state comes.
TIMEOUT = 120


def on_private_bus(argv):
    """Runs this script again inside dbus-run-session, unless it already is,
    and exits with its status: the program and the reader then share a
    session bus and an accessibility bus of their own. The accessibility
    bus's socket goes into a runtime folder of its own too (without one it
    is ~/.cache/at-spi/bus, where another run at the same time would take
    it), removed at the end."""
    if os.environ.get("TOVRIN_PRIVATE_BUS") == "1":
        return
    runtime = tempfile.mkdtemp(prefix="tovrin-runtime-")
    env = dict(os.environ, TOVRIN_PRIVATE_BUS="1", XDG_RUNTIME_DIR=runtime)
    # Without a display the accessibility bus's launcher leaves every X
    # server alone: it is found through the private session bus only, never
    # through a property of some display another run may share.
    for name in ("AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS", "NO_AT_BRIDGE", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    try:
        status = subprocess.run(["dbus-run-session", "--", "/usr/bin/python3", *argv], env=env).returncode
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(status)


def pump():
    """Delivers the accessibility events that have arrived."""
    if "gi.repository.GLib" in sys.modules:
        context = sys.modules["gi.repository.GLib"].MainContext.default()
        while context.pending():
            context.iteration(False)


def wait_for(what, condition, timeout=TIMEOUT):
    """Polls `condition` until it gives something true and returns that;
    events that arrive meanwhile are delivered."""
    end = time.monotonic() + timeout
    while True:
        pump()
        try:
            value = condition()
        except Exception:  # an object that is going away, a bus not yet up
            value = None
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def atspi():
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    return Atspi


# The checkout window's title.
MAIN_TITLE = "Tovrin  找零软件 "


class Program:
    """One run of the installed program in `folder` on the X display of
    `env`, found on the accessibility bus. With window=False nothing is
    waited for (a start that hands over to a running till opens no window);
    `app` then waits for the program when it is first asked for."""

    def __init__(self, folder, env, window=True):
        self.Atspi = atspi()
        env = dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("QT_QPA_PLATFORM", None)
        self.process = subprocess.Popen([os.path.join(folder, "tovrin")], cwd=folder, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._app = None
        self.window = None
        if window:
            self.window = wait_for("the checkout window", lambda: self.child(self.app, MAIN_TITLE))

    @property
    def app(self):
        if self._app is None:
            self._app = wait_for("the program on the accessibility bus", self._find_app)
            self._app.set_cache_mask(self.Atspi.Cache.NONE)
        return self._app

    def _find_app(self):
        desktop = self.Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            try:
                app = desktop.get_child_at_index(i)
                if app is not None and app.get_process_id() == self.process.pid:
                    return app
            except Exception:  # pylint: disable=broad-except  # a program that has just ended
                continue
        return None

    def listen(self, kind):
        """Records the events of a kind ("object:text-changed") from now on,
        as (type, source, start, length, text)."""
        self.events = []

        def record(event):
            self.events.append((event.type, event.source, event.detail1, event.detail2, event.any_data))

        self.listener = self.Atspi.EventListener.new(record)
        self.listener.register(kind)

    def event(self, what, accessible, kind, start=None, text=None):
        """Waits for a recorded event of a kind from an accessible object
        (optionally at a position, with a text) and takes it and those
        before it off the record."""
        def found():
            for k, (type_, source, detail1, _, data) in enumerate(self.events):
                if (type_ == kind and source.path == accessible.path and (start is None or detail1 == start) and
                        (text is None or data == text)):
                    taken = self.events[k]
                    del self.events[:k + 1]
                    return taken
            return None
        return wait_for(what, found)

    def running(self):
        return self.process.poll() is None

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()

    # --- the tree ---------------------------------------------------------
    def children(self, parent):
        parent.clear_cache()
        found = []
        for i in range(parent.get_child_count()):
            child = parent.get_child_at_index(i)
            if child is not None:
                found.append(child)
        return found

    def child(self, parent, name, role=None):
        for c in self.children(parent):
            if c.get_name() == name and (role is None or c.get_role_name() == role):
                return c
        return None

    def descendants(self, parent):
        for c in self.children(parent):
            yield c
            yield from self.descendants(c)

    def find(self, parent, name, role=None):
        for c in self.descendants(parent):
            if c.get_name() == name and (role is None or c.get_role_name() == role):
                return c
        return None

    def control(self, name, role):
        found = self.child(self.window, name, role)
        assert found is not None, "no %s named %r in the window" % (role, name)
        return found

    def has_state(self, accessible, state):
        return accessible.get_state_set().contains(getattr(self.Atspi.StateType, state))

    def top_level(self, name):
        """A window of the program other than the checkout window (a message
        box, a dialog) once it shows."""
        showing = self.Atspi.StateType.SHOWING
        return wait_for("a window named %r" % name,
                        lambda: next((c for c in self.children(self.app)
                                      if c.get_name() == name and c.get_state_set().contains(showing)), None))

    def gone(self, window):
        """Waits until a window of the program has closed (another of the same
        name may have opened already)."""
        wait_for("the window %r to close" % window.get_name(),
                 lambda: all(c.path != window.path for c in self.children(self.app)))

    # --- working it ---------------------------------------------------------
    def press(self, button):
        for i in range(self.Atspi.Action.get_n_actions(button)):
            if self.Atspi.Action.get_action_name(button, i) == "Press":
                self.Atspi.Action.do_action(button, i)
                return
        raise AssertionError("%r cannot be pressed" % button.get_name())

    def answer(self, title, button):
        """Presses a button of the box with the given title."""
        box = self.top_level(title)
        self.press(wait_for("the button %r in %r" % (button, title), lambda: self.find(box, button, "push button")))
        self.gone(box)

    def type_into(self, box, text):
        self.Atspi.EditableText.set_text_contents(box, text)
        wait_for("%r in %r" % (text, box.get_name()), lambda: self.text(box) == text)

    # --- reading ------------------------------------------------------------
    def count(self, accessible):
        return self.Atspi.Text.get_character_count(accessible)

    def text(self, accessible, start=0, end=-1):
        return self.Atspi.Text.get_text(accessible, start, end)

    def line_at(self, accessible, offset):
        # Qt 6.4 answers the older call, not get_string_at_offset.
        found = self.Atspi.Text.get_text_at_offset(accessible, offset, self.Atspi.TextBoundaryType.LINE_START)
        return found.content, found.start_offset, found.end_offset

    def read_all(self, accessible, piece=65536):
        """The whole text, a piece at a time, as a reader goes through a
        long document."""
        count = self.count(accessible)
        return "".join(self.text(accessible, at, min(at + piece, count)) for at in range(0, count, piece))

    def extents(self, accessible):
        return self.Atspi.Component.get_extents(accessible, self.Atspi.CoordType.SCREEN)

    def character_extents(self, accessible, offset):
        return self.Atspi.Text.get_character_extents(accessible, offset, self.Atspi.CoordType.SCREEN)

    # --- memory -------------------------------------------------------------
    def memory(self, field):
        """VmRSS, VmHWM, ... of the program, in bytes."""
        with open("/proc/%d/status" % self.process.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) * 1024
        raise AssertionError("no %s for the program" % field)

    def reset_peak(self):
        with open("/proc/%d/clear_refs" % self.process.pid, "w") as f:
            f.write("5")


def shown(text):
    """A text as the display shows it to a reader: each CR LF, lone CR and
    lone LF one line end."""
    return text.replace("\r\n", "\n").replace("\r", "\n")


if __name__ == "__main__":
    sys.exit("reader.py is a helper of access.py")
