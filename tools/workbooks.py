"""Small writers for the workbooks the tools make: a compound-file writer that
puts small streams into the mini stream, BIFF record helpers, and patches of
xlwt's workbook stream (cached formula results, which xlwt leaves empty)."""

import struct

import xlwt
from xlwt.CompoundDoc import XlsDoc

SECTOR = 512
MINI = 64
CUTOFF = 4096
END = 0xFFFFFFFE
FREE = 0xFFFFFFFF
FATSECT = 0xFFFFFFFD


def record(rtype, data):
    return struct.pack('<HH', rtype, len(data)) + data


def records(stream):
    """(offset, type, data) of every record of a BIFF stream."""
    pos = 0
    while pos + 4 <= len(stream):
        rtype, length = struct.unpack_from('<HH', stream, pos)
        yield pos, rtype, stream[pos + 4:pos + 4 + length]
        pos += 4 + length


def compound_file(streams):
    """A version 3 compound file holding the named streams (name -> bytes)."""
    def sectors(n):
        return (n + SECTOR - 1) // SECTOR

    mini_data = b''
    minifat = []
    placed = []  # (name, start, size, in_mini)
    regular = []
    for name, data in streams.items():
        if len(data) < CUTOFF:
            start = len(mini_data) // MINI
            count = (len(data) + MINI - 1) // MINI
            minifat += [start + i + 1 for i in range(count - 1)] + ([END] if count else [])
            mini_data += data + b'\0' * (count * MINI - len(data))
            placed.append((name, start if count else END, len(data), True))
        else:
            regular.append((name, data))

    dir_secs = sectors(128 * (1 + len(streams)))
    minifat_secs = sectors(4 * len(minifat))
    mini_secs = sectors(len(mini_data))
    regular_secs = sum(sectors(len(d)) for _, d in regular)
    others = dir_secs + minifat_secs + mini_secs + regular_secs
    fat_secs = 1
    while fat_secs * (SECTOR // 4) < others + fat_secs:
        fat_secs += 1
    assert fat_secs <= 109

    fat = [FATSECT] * fat_secs
    body = b''

    def chain(data_len_secs, payload):
        nonlocal body, fat
        start = len(fat)
        for i in range(data_len_secs):
            fat.append(start + i + 1 if i + 1 < data_len_secs else END)
        body += payload + b'\0' * (data_len_secs * SECTOR - len(payload))
        return start if data_len_secs else END

    names = list(streams)
    dir_payload_placeholder = len(body)
    dir_start = chain(dir_secs, b'\0' * (dir_secs * SECTOR))
    minifat_start = chain(minifat_secs, b''.join(struct.pack('<I', x) for x in minifat))
    mini_start = chain(mini_secs, mini_data)
    starts = {}
    for name, start, size, _ in placed:
        starts[name] = (start, size)
    for name, data in regular:
        starts[name] = (chain(sectors(len(data)), data), len(data))

    def dir_entry(name, etype, start, size, child, right):
        raw = (name + u'\0').encode('utf-16-le')
        return struct.pack('<64sHBBIII16sIQQIII', raw, len(raw), etype, 1, FREE, right, child,
                           b'\0' * 16, 0, 0, 0, start, size, 0)

    directory = dir_entry(u'Root Entry', 5, mini_start if mini_data else END, len(mini_data),
                          1 if names else FREE, FREE)
    for i, name in enumerate(names):
        start, size = starts[name]
        directory += dir_entry(name, 2, start, size, FREE, i + 2 if i + 1 < len(names) else FREE)
    directory += b'\0' * (dir_secs * SECTOR - len(directory))
    body = body[:dir_payload_placeholder] + directory + body[dir_payload_placeholder + len(directory):]

    fat += [FREE] * (fat_secs * (SECTOR // 4) - len(fat))
    fat_bytes = b''.join(struct.pack('<I', x) for x in fat)
    difat = list(range(fat_secs)) + [FREE] * (109 - fat_secs)
    header = (bytes.fromhex('D0CF11E0A1B11AE1') + b'\0' * 16 +
              struct.pack('<HHHHH6sIIIIIIIII', 0x3E, 3, 0xFFFE, 9, 6, b'\0' * 6, 0, fat_secs, dir_start, 0,
                          CUTOFF, minifat_start if minifat else END, minifat_secs, END, 0) +
              b''.join(struct.pack('<I', x) for x in difat))
    assert len(header) == SECTOR
    return header + fat_bytes + body


def save_xlwt_stream(path, stream):
    XlsDoc().save(path, stream)


def patch_formulas(stream, results):
    """Sets cached formula results in an xlwt workbook stream.

    results maps (sheet index, row, col) to a number, a str, a bool or
    ('error', code). A text result is followed by a STRING record; the sheet
    offsets of the later sheets are moved accordingly."""
    out = bytearray()
    sheet = -1
    depth = 0
    inserted = []  # (offset in the old stream, bytes added)
    for pos, rtype, data in records(stream):
        data = bytearray(data)
        extra = b''
        if rtype == 0x0809:
            depth += 1
            if depth == 1:
                sheet += 1
        elif rtype == 0x000A:
            depth -= 1
        elif rtype == 0x0006:
            row, col = struct.unpack_from('<HH', data, 0)
            key = (sheet - 1, row, col)
            if key in results:
                value = results.pop(key)
                if isinstance(value, bool):
                    data[6:14] = bytes([1, 0, int(value), 0, 0, 0, 0xFF, 0xFF])
                elif isinstance(value, tuple):
                    data[6:14] = bytes([2, 0, value[1], 0, 0, 0, 0xFF, 0xFF])
                elif isinstance(value, str):
                    data[6:14] = bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF])
                    extra = record(0x0207, struct.pack('<HB', len(value), 1) + value.encode('utf-16-le'))
                    inserted.append((pos + 4 + len(data), len(extra)))
                else:
                    data[6:14] = struct.pack('<d', value)
        out += record(rtype, bytes(data)) + extra
    assert not results, results
    # Move the sheet offsets that lie after an insertion.
    for pos, rtype, data in list(records(bytes(out))):
        if rtype == 0x0085:
            offset = struct.unpack_from('<I', data, 0)[0]
            moved = offset + sum(n for at, n in inserted if at <= offset)
            out[pos + 4:pos + 8] = struct.pack('<I', moved)
        if rtype == 0x000A:
            break
    return bytes(out)


def biff5_string(text, codec, short=False):
    raw = text.encode(codec)
    return (struct.pack('<B', len(raw)) if short else struct.pack('<H', len(raw))) + raw


def biff5_workbook(sheets, codepage=936, codec='gbk'):
    """A BIFF5 workbook stream: sheets is a list of (name, cells), cells a list
    of (row, col, value) with value a str, a float, ('rk', float) or bool."""
    def globals_part(offsets):
        g = record(0x0809, struct.pack('<HHHH', 0x0500, 0x0005, 0x0DBB, 0x07CC))
        g += record(0x0042, struct.pack('<H', codepage))
        g += record(0x0022, struct.pack('<H', 0))
        for _ in range(16):
            g += record(0x00E0, struct.pack('<HHHHHHHH', 0, 0, 0xFFF5, 0x20, 0xC0, 0, 0, 0))
        for (name, _), offset in zip(sheets, offsets):
            g += record(0x0085, struct.pack('<IBB', offset, 0, 0) + biff5_string(name, codec, short=True))
        return g + record(0x000A, b'')

    bodies = []
    for _, cells in sheets:
        s = record(0x0809, struct.pack('<HHHH', 0x0500, 0x0010, 0x0DBB, 0x07CC))
        for row, col, value in cells:
            head = struct.pack('<HHH', row, col, 15)
            if isinstance(value, bool):
                s += record(0x0205, head + struct.pack('<BB', int(value), 0))
            elif isinstance(value, str):
                s += record(0x0204, head + biff5_string(value, codec))
            elif isinstance(value, tuple):
                s += record(0x027E, head + struct.pack('<I', rk(value[1])))
            else:
                s += record(0x0203, head + struct.pack('<d', value))
        bodies.append(s + record(0x000A, b''))
    size = len(globals_part([0] * len(sheets)))
    offsets = []
    for body in bodies:
        offsets.append(size)
        size += len(body)
    return globals_part(offsets) + b''.join(bodies)


def rk(value):
    """The RK encoding of a number: an integer (or integer / 100) in 30 bits,
    or the high 30 bits of the double."""
    for scaled, flag in ((value, 0), (value * 100, 1)):
        if scaled == int(scaled) and -(1 << 29) <= int(scaled) < (1 << 29):
            return ((int(scaled) << 2) | 2 | flag) & 0xFFFFFFFF
    bits = struct.unpack('<Q', struct.pack('<d', value))[0]
    assert bits & 0xFFFFFFFF == 0, 'not exact as an RK value'
    return (bits >> 32) & 0xFFFFFFFC


def style(num_format):
    return xlwt.easyxf(num_format_str=num_format)
