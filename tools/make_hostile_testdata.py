#!/usr/bin/python3
"""Writes hostile and large workbooks and journals for the import and report
tests, into OUTDIR. Nothing here needs more than the standard library; the
big files are built in seconds (a deflate block is compressed once and
repeated), so they are made at test time rather than kept in the repository.

    /usr/bin/python3 tools/make_hostile_testdata.py OUTDIR [NAME[=COUNT] ...]

Without names every file is written with its default size. NAME is one of:

  inline_runs.xlsx    one inline-string cell of COUNT runs of 10^6 a (900)
  comment_split.xlsx  one cell value split by COUNT comments, 10^6 a between (900)
  shared_runs.xlsx    one shared string of COUNT runs of 10^6 a (900)
  sheet_bomb.xlsx     a sheet of COUNT MiB of empty cells, highly compressed (1100)
  shared_bomb.xlsx    shared strings of COUNT MiB of unknown elements (1100)
  many_sheets.xls     COUNT sheet records all naming one 20,000-row sheet (1000)
  rows.xls            COUNT goods rows, 11 columns, over sheets of 62,500 rows (500000)
  rows.xlsx           COUNT goods rows, 11 columns, one sheet (500000)
  cells_bomb.ods      one row of a text cell and COUNT MiB of empty cells (1100)
  rows_bomb.ods       COUNT MiB of empty rows after a goods row (1100)
  text_bomb.ods       one cell whose paragraph holds COUNT MiB of empty spans (1000)
  prefixes.ods        45,000 namespace prefixes declared, COUNT thousand elements using them (400)
  long_line           tovrincalculate.txt and tovrinback.txt of 2018-12-28 whose
                      middle line is COUNT MB long, the day key every ~100 bytes (50)
"""

import array
import os
import random
import struct
import sys
import zlib

MIB = 1 << 20
DAY = '2018-12-28'

# ---------------------------------------------------------------------------
# Zip packages with parts given as (bytes, repeat) pieces.


def deflate(pieces):
    """Raw deflate data, CRC-32 and size of the concatenated pieces; a piece
    repeated many times is compressed once, behind a full flush, and its
    compressed block repeated."""
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    out = []
    crc = 0
    size = 0
    for data, count in pieces:
        if count == 1:
            out.append(c.compress(data))
        else:
            out.append(c.flush(zlib.Z_FULL_FLUSH))
            block = c.compress(data) + c.flush(zlib.Z_FULL_FLUSH)
            out.append(block * count)
        for _ in range(count):
            crc = zlib.crc32(data, crc)
        size += len(data) * count
    out.append(c.flush())
    return b''.join(out), crc & 0xFFFFFFFF, size


def write_zip(path, parts):
    """parts: list of (name, pieces) or (name, pieces, stored); a stored part
    is written as it is (the .ods mimetype)."""
    central = []
    with open(path, 'wb') as f:
        for part in parts:
            name, pieces = part[0], part[1]
            stored = len(part) > 2 and part[2]
            if isinstance(pieces, (bytes, str)):
                pieces = [(pieces, 1)]
            pieces = [(p.encode('utf-8') if isinstance(p, str) else p, n) for p, n in pieces]
            if stored:
                data = b''.join(p * n for p, n in pieces)
                crc, size, method = zlib.crc32(data) & 0xFFFFFFFF, len(data), 0
            else:
                data, crc, size = deflate(pieces)
                method = 8
            raw = name.encode('utf-8')
            offset = f.tell()
            head = struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, 0x0800, method, 0, 0x21, crc, len(data), size,
                               len(raw), 0)
            f.write(head + raw + data)
            central.append(struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 20, 20, 0x0800, method, 0, 0x21, crc,
                                       len(data), size, len(raw), 0, 0, 0, 0, 0, offset) + raw)
        start = f.tell()
        cd = b''.join(central)
        f.write(cd)
        f.write(struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, len(parts), len(parts), len(cd), start, 0))


NS_MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
NS_REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
NS_PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def xlsx(path, sheet, shared=None):
    """A one-sheet package; sheet and shared are lists of (text, repeat)."""
    rels = ('<Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/>' % NS_REL)
    if shared is not None:
        rels += '<Relationship Id="rId2" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % NS_REL
    parts = [
        ('[Content_Types].xml',
         HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'),
        ('_rels/.rels', HEAD + '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/officeDocument" '
         'Target="xl/workbook.xml"/></Relationships>' % (NS_PKG, NS_REL)),
        ('xl/workbook.xml', HEAD + '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="商品" sheetId="1" '
         'r:id="rId1"/></sheets></workbook>' % (NS_MAIN, NS_REL)),
        ('xl/_rels/workbook.xml.rels', HEAD + '<Relationships xmlns="%s">%s</Relationships>' % (NS_PKG, rels)),
    ]
    if shared is not None:
        parts.append(('xl/sharedStrings.xml', shared))
    parts.append(('xl/worksheets/sheet1.xml', sheet))
    write_zip(path, parts)


def sheet_of(cells):
    return [(HEAD + '<worksheet xmlns="%s"><sheetData><row r="1">' % NS_MAIN, 1)] + cells + \
        [('</row></sheetData></worksheet>', 1)]


# Runs and stretches of a million characters: each token stays below the
# XML token limit, only their sum is too long for a cell.
RUN = 1000000


def inline_runs(path, count):
    run = '<r><t>' + 'a' * RUN + '</t></r>'
    xlsx(path, sheet_of([('<c r="A1" t="inlineStr"><is>', 1), (run, count), ('</is></c>', 1)]))


def comment_split(path, count):
    xlsx(path, sheet_of([('<c r="A1" t="str"><v>', 1), ('a' * RUN + '<!--x-->', count), ('</v></c>', 1)]))


def shared_runs(path, count):
    run = '<r><t>' + 'a' * RUN + '</t></r>'
    shared = [(HEAD + '<sst xmlns="%s"><si>' % NS_MAIN, 1), (run, count), ('</si></sst>', 1)]
    xlsx(path, sheet_of([('<c r="A1" t="s"><v>0</v></c>', 1)]), shared)


def sheet_bomb(path, count):
    cell = '<c r="B1"/>'
    chunk = cell * (MIB // len(cell))
    xlsx(path, sheet_of([('<c r="A1"><v>1</v></c>', 1), (chunk, count)]))


def shared_bomb(path, count):
    chunk = '<x/>' * (MIB // 4)
    shared = [(HEAD + '<sst xmlns="%s"><si><t>a</t></si>' % NS_MAIN, 1), (chunk, count), ('</sst>', 1)]
    xlsx(path, sheet_of([('<c r="A1" t="s"><v>0</v></c>', 1)]), shared)


def rows_xlsx(path, count):
    shared = [HEAD + '<sst xmlns="%s">' % NS_MAIN]
    for t in ['条码', '商品名称', '规格', '单位', '销售价', '进价', '库存', '类别', '上架日期', '供应商', '备注', '瓶']:
        shared.append('<si><t>%s</t></si>' % t)
    shared.append('</sst>')
    out = [HEAD + '<worksheet xmlns="%s"><sheetData><row r="1">' % NS_MAIN]
    out += ['<c r="%s1" t="s"><v>%d</v></c>' % (chr(65 + c), c) for c in range(11)]
    out.append('</row>')
    for r in range(2, count + 2):
        out.append('<row r="%d"><c r="A%d" t="inlineStr"><is><t>69%011d</t></is></c>'
                   '<c r="B%d" t="inlineStr"><is><t>商品名称%d</t></is></c><c r="C%d"><v>%d</v></c>'
                   '<c r="D%d" t="s"><v>11</v></c><c r="E%d"><v>%.2f</v></c><c r="F%d"><v>%.2f</v></c>'
                   '<c r="G%d"><v>%d</v></c><c r="H%d" t="s"><v>7</v></c><c r="I%d"><v>43232</v></c>'
                   '<c r="J%d" t="s"><v>9</v></c><c r="K%d" t="inlineStr"><is><t>  备注 %d  </t></is></c></row>'
                   % (r, r, r, r, r, r, 100 + r % 900, r, r, 1 + (r % 1000) / 100.0, r, 0.5 + (r % 700) / 100.0,
                      r, r % 500, r, r, r, r, r))
    out.append('</sheetData></worksheet>')
    xlsx(path, ''.join(out), ''.join(shared))


# ---------------------------------------------------------------------------
# OpenDocument spreadsheets whose content.xml unpacks to about a gigabyte from
# a few megabytes: each MiB is mostly one element repeated, behind a comment
# of noise that keeps it from packing a thousandfold.

NS_OFFICE = 'urn:oasis:names:tc:opendocument:xmlns:office:1.0'
NS_TABLE = 'urn:oasis:names:tc:opendocument:xmlns:table:1.0'
NS_TEXT = 'urn:oasis:names:tc:opendocument:xmlns:text:1.0'
ODS_MIME = 'application/vnd.oasis.opendocument.spreadsheet'
ODS_NOISE = 600  # hex digits per MiB: the MiB packs about four hundredfold


def mib_of(unit, seed):
    """A MiB of `unit` repeated, behind a comment of noise."""
    rng = random.Random(seed)
    noise = '<!--%s-->' % ''.join(rng.choice('0123456789abcdef') for _ in range(ODS_NOISE))
    return noise + unit * ((MIB - len(noise)) // len(unit))


def ods(path, pieces):
    """A one-table document; pieces are the table's content as (text, repeat)."""
    head = ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content xmlns:office="%s" '
            'xmlns:table="%s" xmlns:text="%s" office:version="1.3"><office:body><office:spreadsheet>'
            '<table:table table:name="商品">' % (NS_OFFICE, NS_TABLE, NS_TEXT))
    tail = '</table:table></office:spreadsheet></office:body></office:document-content>'
    manifest = ('<?xml version="1.0" encoding="UTF-8"?>\n<manifest:manifest '
                'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"/>')
    write_zip(path, [('mimetype', ODS_MIME, True), ('META-INF/manifest.xml', manifest),
                     ('content.xml', [(head, 1)] + pieces + [(tail, 1)])])


TEXT_CELL = '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'


def cells_bomb(path, count):
    ods(path, [('<table:table-row>' + TEXT_CELL % '6901234567890', 1),
               (mib_of('<table:table-cell/>', 1), count), ('</table:table-row>', 1)])


def rows_bomb(path, count):
    ods(path, [('<table:table-row>' + TEXT_CELL % '6901234567890' + '</table:table-row>', 1),
               (mib_of('<table:table-row><table:table-cell/></table:table-row>', 2), count)])


def prefixes(path, count):
    n = 45000
    declarations = ''.join(' xmlns:p%d="urn:u%d"' % (i, i % 7) for i in range(n))
    head = ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content xmlns:office="%s" '
            'xmlns:table="%s" xmlns:text="%s"%s><office:body><office:spreadsheet><table:table table:name="商品">'
            % (NS_OFFICE, NS_TABLE, NS_TEXT, declarations))
    body = ''.join('<p%d:x p%d:a="1"/>' % (i % n, i * 7 % n) for i in range(count * 1000))
    tail = '</table:table></office:spreadsheet></office:body></office:document-content>'
    write_zip(path, [('mimetype', ODS_MIME, True),
                     ('content.xml', head + '<table:table-row>' + TEXT_CELL % '6901234567890' +
                      '</table:table-row>' + body + tail)])


def text_bomb(path, count):
    ods(path, [('<table:table-row><table:table-cell office:value-type="string"><text:p>a', 1),
               (mib_of('<text:span/>', 3), count), ('</text:p></table:table-cell></table:table-row>', 1)])


# ---------------------------------------------------------------------------
# Compound files with one large stream, and BIFF8 records.

SECTOR = 512
END, FREE, FATSECT, DIFSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFC


def write_compound(path, stream):
    """A version 3 compound file whose only stream is the workbook stream
    (at least 4096 bytes), the allocation table extended past 109 sectors
    by DIFAT sectors as needed."""
    assert len(stream) >= 4096
    n = (len(stream) + SECTOR - 1) // SECTOR
    per = SECTOR // 4
    fat_secs, dif_secs = 1, 0
    while True:
        total = fat_secs + dif_secs + 1 + n
        need_fat = (total + per - 1) // per
        need_dif = max(0, (need_fat - 109 + per - 2) // (per - 1))
        if need_fat == fat_secs and need_dif == dif_secs:
            break
        fat_secs, dif_secs = need_fat, need_dif
    fat = array.array('I', [FATSECT] * fat_secs + [DIFSECT] * dif_secs + [END])
    first = len(fat)
    fat.extend(range(first + 1, first + n))
    fat.append(END)
    fat.extend([FREE] * (fat_secs * per - len(fat)))
    ids = list(range(fat_secs))
    head_ids = ids[:109] + [FREE] * (109 - min(109, len(ids)))
    difat = array.array('I')
    rest = ids[109:]
    for d in range(dif_secs):
        chunk = rest[d * (per - 1):(d + 1) * (per - 1)]
        difat.extend(chunk + [FREE] * (per - 1 - len(chunk)))
        difat.append(fat_secs + d + 1 if d + 1 < dif_secs else END)
    dir_sector = fat_secs + dif_secs

    def entry(name, etype, start, size, child):
        raw = (name + '\0').encode('utf-16-le')
        return struct.pack('<64sHBBIII16sIQQIII', raw, len(raw), etype, 1, FREE, FREE, child, b'\0' * 16, 0, 0,
                           0, start, size, 0)

    directory = entry('Root Entry', 5, END, 0, 1) + entry('Workbook', 2, first, len(stream), FREE)
    directory += b'\0' * (SECTOR - len(directory))
    header = (bytes.fromhex('D0CF11E0A1B11AE1') + b'\0' * 16 +
              struct.pack('<HHHHH6sIIIIIIIII', 0x3E, 3, 0xFFFE, 9, 6, b'\0' * 6, 0, fat_secs, dir_sector, 0,
                          4096, END, 0, fat_secs if dif_secs else END, dif_secs) +
              array.array('I', head_ids).tobytes())
    assert len(header) == SECTOR
    with open(path, 'wb') as f:
        f.write(header)
        f.write(fat.tobytes())
        f.write(difat.tobytes())
        f.write(directory)
        f.write(stream)
        f.write(b'\0' * (n * SECTOR - len(stream)))


def rec(rtype, data):
    return struct.pack('<HH', rtype, len(data)) + data


def bof(kind):
    return rec(0x0809, struct.pack('<HHHHII', 0x0600, kind, 0x0DBB, 0x07CC, 0, 0x06))


EOF = rec(0x000A, b'')


def xl_string(text):
    """A BIFF8 string with a 16-bit count; 8-bit characters where they fit."""
    try:
        return struct.pack('<HB', len(text), 0) + text.encode('latin-1')
    except UnicodeEncodeError:
        return struct.pack('<HB', len(text), 1) + text.encode('utf-16-le')


def sst(strings):
    """SST and CONTINUE records, split between strings."""
    out = []
    body = bytearray(struct.pack('<II', len(strings), len(strings)))
    first = True
    for s in strings:
        piece = xl_string(s)
        if len(body) + len(piece) > 8224:
            out.append(rec(0x00FC if first else 0x003C, bytes(body)))
            first = False
            body = bytearray()
        body += piece
    out.append(rec(0x00FC if first else 0x003C, bytes(body)))
    return b''.join(out)


def boundsheet(offset, name):
    return rec(0x0085, struct.pack('<IBB', offset, 0, 0) + struct.pack('<BB', len(name), 0) +
               name.encode('latin-1'))


LABELSST = struct.Struct('<HHHHHI')  # type, length, row, col, xf, index
NUMBER = struct.Struct('<HHHHHd')


def goods_rows(first, count, string_base):
    """Cell records of `count` goods rows from row `first` (0-based); the two
    texts of each row are shared strings from `string_base` on. The other
    texts are the shared strings 0 to 3 (titles and small sets)."""
    out = []
    for i in range(count):
        r = first + i
        k = string_base + 2 * i
        out.append(b''.join((
            LABELSST.pack(0x00FD, 10, r, 0, 15, k),
            LABELSST.pack(0x00FD, 10, r, 1, 15, k + 1),
            NUMBER.pack(0x0203, 14, r, 2, 15, 100 + r % 900),
            LABELSST.pack(0x00FD, 10, r, 3, 15, 0),
            NUMBER.pack(0x0203, 14, r, 4, 15, 1 + (r % 1000) / 100.0),
            NUMBER.pack(0x0203, 14, r, 5, 15, 0.5 + (r % 700) / 100.0),
            NUMBER.pack(0x0203, 14, r, 6, 15, r % 500),
            LABELSST.pack(0x00FD, 10, r, 7, 15, 1),
            NUMBER.pack(0x0203, 14, r, 8, 15, 43232),
            LABELSST.pack(0x00FD, 10, r, 9, 15, 2),
            LABELSST.pack(0x00FD, 10, r, 10, 15, 3),
        )))
    return b''.join(out)


def workbook_stream(sheet_bodies, strings, names):
    """Globals with one BOUNDSHEET per entry of `names` (index of its sheet
    body) and the sheet bodies behind them."""
    head = bof(0x0005) + rec(0x0042, struct.pack('<H', 1200))
    tail = sst(strings) + EOF
    bound_sizes = sum(len(boundsheet(0, 'S%d' % s)) for s in names)
    offset = len(head) + bound_sizes + len(tail)
    offsets = []
    for body in sheet_bodies:
        offsets.append(offset)
        offset += len(body)
    bounds = b''.join(boundsheet(offsets[s], 'S%d' % s) for s in names)
    return head + bounds + tail + b''.join(sheet_bodies)


def rows_xls(path, count, per_sheet=62500):
    strings = ['瓶', '类别1', '供应商1', '  备注  ']
    bodies = []
    r = 0
    while r < count or not bodies:
        n = min(per_sheet, count - r)
        base = len(strings)
        for i in range(n):
            strings.append('69%011d' % (r + i + 1))
            strings.append('商品名称%d' % (r + i + 1))
        bodies.append(bof(0x0010) + goods_rows(0, n, base) + EOF)
        r += n
    write_compound(path, workbook_stream(bodies, strings, list(range(len(bodies)))))


def many_sheets(path, count):
    strings = ['瓶', '类别1', '供应商1', '  备注  ']
    for i in range(20000):
        strings.append('69%011d' % (i + 1))
        strings.append('商品名称%d' % (i + 1))
    body = bof(0x0010) + goods_rows(0, 20000, 4) + EOF
    write_compound(path, workbook_stream([body], strings, [0] * count))


# ---------------------------------------------------------------------------
# Journals with one very long line.


def long_line(outdir, megabytes):
    sale = '%s 9:05:07\t0.00\t|\t20.00\t|\t15.50\t|\t3\t|\t4.50\t\r\n'
    piece = '%s 9:%%02d:00\t0.00\t|\t1.00\t|\t1.00\t|\t1\t|\t0.00\t|\t' % DAY
    count = megabytes * 1000000 // 100
    body = ''.join((piece % (i % 60)).ljust(100, 'x') for i in range(60))
    line = (body * (count // 60 + 1))[:count * 100]
    text = (sale % DAY) + line + '\r\n' + (sale % DAY).replace('9:05', '9:06')
    with open(os.path.join(outdir, 'tovrincalculate.txt'), 'wb') as f:
        f.write(text.encode('gbk'))
    item = '\t商品:  可乐\t|\t0.00\t|\t3.00\t|\t1\t|\t6901234567890\t|\t商品总价格：  \t'
    block = DAY + ' 9:05:07\t3.00\r\n' + item + '\r\n\r\n'
    long_item = (item.ljust(100, 'y') * (megabytes * 1000000 // 100))
    text = block + DAY + ' 9:06:00\t' + long_item + '\r\n\r\n' + block.replace('9:05', '9:07')
    with open(os.path.join(outdir, 'tovrinback.txt'), 'wb') as f:
        f.write(text.encode('gbk'))


MAKERS = {
    'inline_runs.xlsx': (inline_runs, 900),
    'comment_split.xlsx': (comment_split, 900),
    'shared_runs.xlsx': (shared_runs, 900),
    'sheet_bomb.xlsx': (sheet_bomb, 1100),
    'shared_bomb.xlsx': (shared_bomb, 1100),
    'many_sheets.xls': (many_sheets, 1000),
    'rows.xls': (rows_xls, 500000),
    'rows.xlsx': (rows_xlsx, 500000),
    'cells_bomb.ods': (cells_bomb, 1100),
    'rows_bomb.ods': (rows_bomb, 1100),
    'text_bomb.ods': (text_bomb, 1000),
    'prefixes.ods': (prefixes, 400),
    'long_line': (long_line, 50),
}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    wanted = sys.argv[2:] or list(MAKERS)
    for item in wanted:
        name, _, count = item.partition('=')
        make, default = MAKERS[name]
        n = int(count) if count else default
        make(outdir if name == 'long_line' else os.path.join(outdir, name), n)


if __name__ == '__main__':
    main()
