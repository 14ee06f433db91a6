"""Listens to a recording of the program's sound: finds where each clip
starts and tells which of the fifteen clips it is.

A recording is raw signed 16-bit little-endian mono samples. The loudness is
followed in frames of FRAME_MS; a clip starts where the loudness rises above
ON after at least GAP_MS below OFF. Which clip it is comes from comparing its
loudness and zero crossings, frame by frame, with those of the clip files."""

import array
import math
import os
import wave

RATE = 22050
FRAME_MS = 5
FRAME = RATE * FRAME_MS // 1000
ON = 400      # RMS of a sounding clip (the clips are made at about 4000)
OFF = 150     # RMS below which a frame counts as quiet
GAP_MS = 80   # the quiet before a new clip (within a clip: at most 41 ms; between: 118)
MATCH = 0.7   # least likeness of a sound to the clip it is taken for (seen: 0.87 and up)

# The clip files and what each says, as written in the expected sequences.
CLIPS = {"0.wav": "0", "1.wav": "1", "2.wav": "2", "3.wav": "3", "4.wav": "4", "5.wav": "5", "6.wav": "6",
         "7.wav": "7", "8.wav": "8", "9.wav": "9", "dot.wav": ".", "fushu.wav": "-", "jia.wav": "+",
         "jian.wav": "j", "dengyu.wav": "="}


def samples(data):
    pcm = array.array("h")
    pcm.frombytes(data[:len(data) // 2 * 2])
    return pcm


def envelope(pcm):
    """(RMS, zero crossings) of each frame."""
    out = []
    for start in range(0, len(pcm) - FRAME + 1, FRAME):
        chunk = pcm[start:start + FRAME]
        rms = math.sqrt(sum(x * x for x in chunk) / FRAME)
        crossings = sum(1 for a, b in zip(chunk, chunk[1:]) if (a < 0) != (b < 0))
        out.append((rms, crossings))
    return out


def onsets(env):
    """Frame numbers where a clip starts: the first frame above OFF after a
    quiet of GAP_MS, of a sound that reaches ON."""
    found = []
    gap = GAP_MS // FRAME_MS
    quiet, start = gap, None  # the recording starts in quiet
    for i, (level, _) in enumerate(env):
        if level < OFF:
            quiet += 1
            if quiet >= gap:
                start = None
            continue
        if quiet >= gap:
            start = i
        quiet = 0
        if start is not None and level >= ON:
            found.append(start)
            start = None
            quiet = 0
    return found


# A clip's recording may begin up to LEAD_MS before the clip (the onset frame
# holds quiet before it) or up to SKIP_MS into it (a null sink's monitor can
# miss the first milliseconds of a stream that starts while it is recorded).
LEAD_MS = 10
SKIP_MS = 80
PHASE = FRAME // 10  # how finely a clip is lined up with the recording's frames


def read_clip(path):
    """The frames of a clip started at each phase, with LEAD_MS of quiet before it."""
    with wave.open(path, "rb") as w:
        assert w.getnchannels() == 1 and w.getsampwidth() == 2, path
        assert w.getframerate() == RATE, path
        pcm = samples(w.readframes(w.getnframes()))
    pcm = array.array("h", bytes(2 * (LEAD_MS * RATE // 1000))) + pcm
    return [envelope(pcm[phase:]) for phase in range(0, FRAME, PHASE)]


def load_clips(folder):
    return {name: read_clip(os.path.join(folder, file)) for file, name in CLIPS.items()}


def likeness(a, b):
    """Normalised correlation of two curves over their common length."""
    n = min(len(a), len(b))
    if n < 4:
        return 0.0
    a, b = a[:n], b[:n]
    ma, mb = sum(a) / n, sum(b) / n
    da = [x - ma for x in a]
    db = [x - mb for x in b]
    den = math.sqrt(sum(x * x for x in da) * sum(x * x for x in db))
    return sum(x * y for x, y in zip(da, db)) / den if den else 0.0


def alike(a, b):
    """How alike two stretches of frames are: loudness and crossings both."""
    return min(likeness([f[0] for f in a], [f[0] for f in b]), likeness([f[1] for f in a], [f[1] for f in b]))


def identify(curve, clips):
    """The clip a stretch of frames is most like, where in the clip (in
    samples, from LEAD_MS before its start) the stretch begins, and how alike;
    "?" when it is like none."""
    best, offset, score = "?", 0, -1.0
    lead = LEAD_MS * RATE // 1000
    for name, phases in clips.items():
        for phase, env in enumerate(phases):
            for skip in range((lead + SKIP_MS * RATE // 1000) // FRAME + 1):
                s = alike(curve, env[skip:])
                if s > score:
                    best, offset, score = name, skip * FRAME + phase * PHASE - lead, s
    return (best if score >= MATCH else "?"), offset, score


def hear(data, clips):
    """[(start in ms, clip name, likeness)] of a recording; the start is where
    the clip began, its unrecorded first samples counted in."""
    env = envelope(samples(data))
    starts = onsets(env)
    heard = []
    for k, start in enumerate(starts):
        end = starts[k + 1] if k + 1 < len(starts) else len(env)
        # Up to the quiet that ends it, or the next clip that cuts it off.
        curve = env[start:end]
        last = max((i for i, (level, _) in enumerate(curve) if level >= OFF), default=0)
        name, offset, score = identify(curve[:last + 1], clips)
        heard.append(((start * FRAME - offset) * 1000 / RATE, name, score))
    return heard


def heard_from(env, ms, clips, for_ms=None):
    """(clip name, start in ms, likeness) of the sound that goes on at `ms`
    (for `for_ms` or up to a quiet): the clip it is most like, begun at most
    SKIP_MS before or LEAD_MS after."""
    start = int(ms) // FRAME_MS
    curve = env[start:start + int(for_ms) // FRAME_MS] if for_ms else env[start:]
    quiet = 0
    for i, (level, _) in enumerate(curve):
        quiet = quiet + 1 if level < OFF else 0
        if quiet >= GAP_MS // FRAME_MS:
            curve = curve[:i + 1 - quiet]
            break
    name, offset, score = identify(curve, clips)
    return name, (start * FRAME - offset) * 1000 / RATE, score


def loudest(env, from_ms, to_ms):
    """The highest frame RMS between two times."""
    return max((level for level, _ in env[int(from_ms) // FRAME_MS:int(to_ms) // FRAME_MS]), default=0.0)


def groups(heard, pause_ms=1500):
    """The clips split where the sound pauses for longer than pause_ms."""
    out = []
    for clip in heard:
        if out and clip[0] - out[-1][-1][0] <= pause_ms:
            out[-1].append(clip)
        else:
            out.append([clip])
    return out


def describe(group):
    return " ".join("%s@%.0f" % (name, ms) for ms, name, _ in group)
