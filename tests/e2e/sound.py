#!/usr/bin/env python3
"""End-to-end sound: the installed program on a private X server and a
private PulseAudio whose only sink is a null sink; the sink's monitor is
recorded while a sale is finished by keys, and the recording is listened to:
the item announcer says "+" and the item's amount, the change announcer the
change expression, one clip every 618 ms.

usage: sound.py INSTALL_DIR ARTIFACT_DIR [--probe SOUND_PROBE] [--repeat N]"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hearing  # noqa: E402
from reader import on_private_bus, wait_for  # noqa: E402
from till import Display, Till, program_folder  # noqa: E402

TITLE = "Tovrin 找零"
TICK_MS = 618
SLACK_MS = 100  # how far a clip may start from a tick after the one before
SINK = "tovrin_test"
# A quiet this long ends an announcement: longer than the pause that tells
# two announcements apart (hearing.groups), far longer than one between clips.
PAUSE_MS = 2000


class Pulse:
    """A PulseAudio server of its own, in a runtime folder of its own, with a
    null sink at the clips' format."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tovrin-pulse-")
        os.chmod(self.dir, 0o700)
        socket = os.path.join(self.dir, "native")
        self.env = {"PULSE_SERVER": "unix:" + socket, "XDG_RUNTIME_DIR": self.dir,
                    "PULSE_RUNTIME_PATH": self.dir, "PULSE_STATE_PATH": self.dir,
                    "PULSE_COOKIE": os.path.join(self.dir, "cookie")}
        env = dict(os.environ, HOME=self.dir, **self.env)
        self.log = open(os.path.join(self.dir, "pulseaudio.log"), "w")
        self.process = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
             "--use-pid-file=no", "--disable-shm=yes",
             "--load=module-null-sink sink_name=%s rate=%d channels=1" % (SINK, hearing.RATE),
             "--load=module-native-protocol-unix socket=%s auth-anonymous=1" % socket],
            env=env, stdout=self.log, stderr=subprocess.STDOUT)

        def up():
            if self.process.poll() is not None:
                raise AssertionError("the private PulseAudio ended")
            return subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0

        try:
            wait_for("the private PulseAudio", up)
        except AssertionError:
            self.close()
            raise
        subprocess.run(["pactl", "set-default-sink", SINK], env=env, check=True, capture_output=True)

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


class Recording:
    """The sink's monitor, recorded as raw samples into a file."""

    def __init__(self, pulse, path):
        self.path = path
        self.file = open(path, "wb")
        self.process = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--format=s16le", "--rate=%d" % hearing.RATE, "--channels=1",
             "--raw", "--latency-msec=20"],
            env=dict(os.environ, **pulse.env), stdout=self.file, stderr=subprocess.DEVNULL)
        self.frames = []  # the loudness heard so far (hearing.envelope)
        self.read = 0
        # The monitor of a running null sink gives samples from the start:
        # once some have come, nothing that sounds from now on is missed.
        wait_for("parec to record the null sink's monitor",
                 lambda: self.process.poll() is None and os.path.getsize(path) >= hearing.RATE // 5)

    def listen(self):
        """The loudness of the recording so far, read on from where it
        was last read."""
        with open(self.path, "rb") as f:
            f.seek(self.read)
            data = f.read()
        whole = len(data) // (2 * hearing.FRAME) * (2 * hearing.FRAME)
        self.frames += hearing.envelope(hearing.samples(data[:whole]))
        self.read += whole
        return self.frames

    def announcement(self, what, before):
        """Waits until clips beyond the first `before` have sounded and then
        a pause of PAUSE_MS; gives the number of clips heard."""
        pause = PAUSE_MS // hearing.FRAME_MS

        def over():
            frames = self.listen()
            heard = len(hearing.onsets(frames))
            quiet = len(frames) >= pause and all(level < hearing.OFF for level, _ in frames[-pause:])
            return heard if heard > before and quiet else None

        return wait_for(what, over)

    def stop(self):
        self.process.terminate()
        self.process.wait(5)
        self.file.close()
        with open(self.path, "rb") as f:
            return f.read()


def check_group(group, said):
    """One announcement: its clips say `said`, each a tick after the one before."""
    names = "".join(name for _, name, _ in group)
    if names != said:
        raise AssertionError("heard %r instead of %r" % (names, said))
    for (before, _, _), (after, name, _) in zip(group, group[1:]):
        if abs(after - before - TICK_MS) > SLACK_MS:
            raise AssertionError("%s started %.0f ms after the clip before it, not %d ± %d ms" %
                                 (name, after - before, TICK_MS, SLACK_MS))


def one_sale(install, artifacts, run):
    clips = hearing.load_clips(install)
    pulse = Pulse()
    display = Display(artifacts)
    display.env.update(pulse.env)
    try:
        with Till(display, program_folder(install)) as till:
            recording = Recording(pulse, os.path.join(artifacts, "sale-%d.raw" % run))
            try:
                till.fill("Text1", "100")
                till.fill("Text2", "35.5")
                till.keys("Return")  # "+", then 3 5 点 5
                item = recording.announcement("the item announced", 0)
                till.press("Command1(0)")
                till.answer(TITLE, "y")  # 1 0 0 减 3 5 点 5 等于 6 4 点 5
                recording.announcement("the change announced", item)
            finally:
                data = recording.stop()
            # Closing the window with the sound server there ends the
            # program cleanly (Qt's sound engine must not abort it on exit).
            till.close_window()
            till.answer(TITLE, "y")
            till.wait_exit()
            if till.process.returncode != 0:
                raise AssertionError("the program ended with %d after closing" % till.process.returncode)
    finally:
        display.close()
        pulse.close()
    heard = hearing.hear(data, clips)
    announcements = hearing.groups(heard)
    for group in announcements:
        steps = " ".join("%.0f" % (b[0] - a[0]) for a, b in zip(group, group[1:]))
        print("  heard %s  (steps %s ms)" % (hearing.describe(group), steps), flush=True)
    if len(announcements) != 2:
        raise AssertionError("heard %d announcements instead of 2 (the item, then the change)" % len(announcements))
    check_group(announcements[0], "+35.5")
    check_group(announcements[1], "100j35.5=64.5")


# A clip started while another sounds cuts it off: "1" starts 200 ms into
# "减" (499 ms long), "3" 150 ms into "点" (500 ms). Each: the clip, its time
# after the first, and whether it cuts another off. A clip after a quiet is
# known from its start; one that cuts in, from a little after its time (past
# the end of the clip it cuts off) to the quiet after it.
CUTS = [("j", 0, False), ("1", 200, True), (".", 1000, False), ("3", 1150, True)]
# Where it must be quiet: after each clip that cut in (its own sound lasts
# 386 and 478 ms), where the clip it cut off would have gone on.
QUIET = [(200 + 386, 1000), (1150 + 478, 2000)]
START_SLACK_MS = 50


def cut_off(install, probe, artifacts, run):
    clips = hearing.load_clips(install)
    pulse = Pulse()
    try:
        recording = Recording(pulse, os.path.join(artifacts, "cut-%d.raw" % run))
        try:
            names = {name: file[:-4] for file, name in hearing.CLIPS.items()}
            subprocess.run([probe, install] + ["%s@%d" % (names[name], ms) for name, ms, _ in CUTS],
                           env=dict(os.environ, QT_QPA_PLATFORM="offscreen", **pulse.env), timeout=60, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            data = recording.stop()
    finally:
        pulse.close()
    env = hearing.envelope(hearing.samples(data))
    starts = [frame * hearing.FRAME_MS for frame in hearing.onsets(env)]
    if not starts:
        raise AssertionError("heard nothing")
    zero = None
    report = []
    for k, (expected, ms, cuts_in) in enumerate(CUTS):
        cut_by = CUTS[k + 1][1] - ms - 20 if k + 1 < len(CUTS) and CUTS[k + 1][2] else None
        if cuts_in:
            name, at, _ = hearing.heard_from(env, zero + ms + 40, clips)
        else:
            near = [t for t in starts if zero is None or abs(t - zero - ms) <= START_SLACK_MS + 80]
            name, at, _ = hearing.heard_from(env, near[0], clips, for_ms=cut_by) if near else ("nothing", -1, 0)
        if zero is None:
            zero = at
        report.append("%s@%.0f" % (name, at - zero))
        if name != expected or abs(at - zero - ms) > START_SLACK_MS:
            print("  heard " + " ".join(report), flush=True)
            raise AssertionError("at %d ms heard %r begun at %.0f ms instead of %r (within %d ms)" %
                                 (ms, name, at - zero, expected, START_SLACK_MS))
    print("  heard " + " ".join(report), flush=True)
    for begin, end in QUIET:
        level = hearing.loudest(env, zero + begin + 40, zero + end - 40)
        if level >= hearing.OFF:
            raise AssertionError("sound (RMS %.0f) between %d and %d ms, where a clip cut off would have gone on" %
                                 (level, begin, end))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("install")
    parser.add_argument("artifacts")
    parser.add_argument("--probe", help="the sound_probe program: also checks that a clip cuts off the last")
    parser.add_argument("--repeat", type=int, default=1)
    args = parser.parse_args()
    on_private_bus(sys.argv)
    for tool in ("pulseaudio", "pactl", "parec"):
        if not shutil.which(tool):
            print("FAIL sound: %s is missing (tools/install-deps.sh installs it)" % tool)
            return 1
    shutil.rmtree(args.artifacts, ignore_errors=True)
    os.makedirs(args.artifacts)
    scenarios = [("sound_of_a_sale", lambda run: one_sale(args.install, args.artifacts, run))]
    if args.probe:
        scenarios.append(("clip_cuts_off_the_last",
                          lambda run: cut_off(args.install, args.probe, args.artifacts, run)))
    failed = 0
    for run in range(1, args.repeat + 1):
        for name, scenario in scenarios:
            try:
                scenario(run)
                print("PASS", name, flush=True)
            except (AssertionError, subprocess.SubprocessError) as e:
                failed += 1
                print("FAIL %s: %s" % (name, e), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
