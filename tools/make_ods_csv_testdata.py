#!/usr/bin/python3
"""Writes the .ods and .csv files the import tests read, into tests/data/import/.

goods.ods holds the same three worksheets as goods.xls and goods.xlsx (written
by make_import_testdata.py), cell for cell, in the XML that LibreOffice Calc
writes: the package starts with the stored "mimetype" entry, then
META-INF/manifest.xml, then content.xml (deflated), with the number values in
office:value, dates in office:date-value, times as durations, blanks as
text:s, error results as calcext error strings and a repeated empty row down
to row 1,048,576 after the data.

goods_utf8.csv (UTF-8 with a byte order mark, commas), goods_utf8_tab.csv
(UTF-8 without one, TABs) and goods_gbk.csv (GBK, semicolons) hold the texts
of the same goods list as one sheet, so all of them import into the same
collector.txt. goods_mimetype_last.ods is goods.ods with its mimetype entry
last, as some tools write it. features.ods and the files under bad/ are read
by the reader tests.

Needs nothing beyond the standard library. Run from anywhere:
    /usr/bin/python3 tools/make_ods_csv_testdata.py
"""

import os
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, 'tests', 'data', 'import')
BAD = os.path.join(OUT, 'bad')

MIME = 'application/vnd.oasis.opendocument.spreadsheet'
NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" '
      'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" '
      'xmlns:dc="http://purl.org/dc/elements/1.1/" '
      'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0"')
HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n'
MANIFEST = (HEAD + '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" '
            'manifest:version="1.3">\n'
            ' <manifest:file-entry manifest:full-path="/" manifest:version="1.3" manifest:media-type="%s"/>\n'
            ' <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>\n'
            '%s</manifest:manifest>\n')
LAST_ROW = 1048576


def esc(text):
    return text.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace('"', '&quot;')


def para_text(text):
    """A cell text as LibreOffice writes it in text:p: a run of blanks at the
    start, or of more than one blank inside, becomes text:s."""
    out = ''
    i = 0
    while i < len(text):
        if text[i] == ' ':
            j = i
            while j < len(text) and text[j] == ' ':
                j += 1
            run = j - i
            if i == 0:
                out += '<text:s/>' if run == 1 else '<text:s text:c="%d"/>' % run
            else:
                out += ' '
                if run > 1:
                    out += '<text:s/>' if run == 2 else '<text:s text:c="%d"/>' % (run - 1)
            i = j
        else:
            out += esc(text[i])
            i += 1
    return out


def s(text):
    return ('<table:table-cell office:value-type="string" calcext:value-type="string"><text:p>%s</text:p>'
            '</table:table-cell>' % para_text(text))


def f(value, shown=None, formula=None):
    attr = ' table:formula="%s"' % esc(formula) if formula else ''
    return ('<table:table-cell%s office:value-type="float" office:value="%s" calcext:value-type="float">'
            '<text:p>%s</text:p></table:table-cell>' % (attr, value, shown if shown is not None else value))


def b(value, formula=None):
    attr = ' table:formula="%s"' % esc(formula) if formula else ''
    return ('<table:table-cell%s table:style-name="ce2" office:value-type="boolean" office:boolean-value="%s" '
            'calcext:value-type="boolean"><text:p>%s</text:p></table:table-cell>'
            % (attr, 'true' if value else 'false', 'TRUE' if value else 'FALSE'))


def d(value, shown):
    return ('<table:table-cell table:style-name="ce3" office:value-type="date" office:date-value="%s" '
            'calcext:value-type="date"><text:p>%s</text:p></table:table-cell>' % (value, shown))


def t(value, shown):
    return ('<table:table-cell table:style-name="ce4" office:value-type="time" office:time-value="%s" '
            'calcext:value-type="time"><text:p>%s</text:p></table:table-cell>' % (value, shown))


def err(text, formula):
    return ('<table:table-cell table:formula="%s" office:value-type="string" office:string-value="" '
            'calcext:value-type="error"><text:p>%s</text:p></table:table-cell>' % (esc(formula), text))


def empty(n=1):
    return '<table:table-cell/>' if n == 1 else '<table:table-cell table:number-columns-repeated="%d"/>' % n


def row(*cells, repeat=None):
    attr = ' table:number-rows-repeated="%d"' % repeat if repeat else ''
    return '<table:table-row table:style-name="ro1"%s>%s</table:table-row>' % (attr, ''.join(cells))


def table(name, rows, columns=12):
    return ('<table:table table:name="%s" table:style-name="ta1">'
            '<table:table-column table:style-name="co1" table:number-columns-repeated="%d" '
            'table:default-cell-style-name="Default"/>%s</table:table>' % (esc(name), columns, ''.join(rows)))


def content(tables):
    return (HEAD + '<office:document-content %s office:version="1.3"><office:scripts/>'
            '<office:font-face-decls/><office:automatic-styles>'
            '<style:style style:name="ce2" style:family="table-cell"/></office:automatic-styles>'
            '<office:body><office:spreadsheet><table:calculation-settings table:automatic-find-labels="false"/>'
            '%s<table:named-expressions/></office:spreadsheet></office:body></office:document-content>'
            % (NS, ''.join(tables)))


def put(z, name, data, compress_type=zipfile.ZIP_DEFLATED):
    # A fixed time, so that the script makes the same bytes each time.
    info = zipfile.ZipInfo(name, date_time=(2018, 5, 12, 9, 5, 6))
    info.compress_type = compress_type
    z.writestr(info, data)


def ods(path, content_xml, manifest_extra='', mimetype_first=True):
    with zipfile.ZipFile(path, 'w') as z:
        # The mimetype first and stored, as the format requires (some tools
        # do not keep to it).
        if mimetype_first:
            put(z, 'mimetype', MIME, zipfile.ZIP_STORED)
        put(z, 'META-INF/manifest.xml', MANIFEST % (MIME, manifest_extra))
        put(z, 'content.xml', content_xml.encode('utf-8'))
        if not mimetype_first:
            put(z, 'mimetype', MIME)


TITLES = [u'条码', u'商品名称', u'规格', u'单位', u'销售价', u'进价', u'库存', u'在售', u'上架日期', u'盘点时间', u'备注',
          u'超出K列']


def goods_ods(path, mimetype_first=True):
    drinks = [
        row(*[s(x) for x in TITLES]),
        row(f('6901234567890'), s(u'  可口可乐 '), s('330ml'), s(u'罐'), f('3.5'), f('2.8'), f('120', u'数量120'),
            b(True), d('2018-05-12', '2018-05-12'), d('2018-05-12T09:05:07', '2018-05-12 09:05:07'),
            s(u'  两边有空格  '), s(u'不导出')),
        row(s('6920152400012'), s(u'农夫山泉 550ml'), s('500ml'), empty(), f('2'), f('1.25'),
            f('0.333333333333333'), b(False), empty(2), err('#N/A', 'of:=NA()'), empty()),
        row(f('1.23456789012346E+018', '1.23457E+18'), s(u'长条码'), empty(2), f('12.5', '12.50'), f('-0.5'),
            f('1E+020', '1E+20'), empty(5)),
        row(empty(12), repeat=3),
        row(s('a-100'), s(u'康师傅 红烧牛肉面'), empty(2), f('3', formula='of:=2*1.5'),
            '<table:table-cell table:formula="of:=&quot;特价&quot;" office:value-type="string" '
            'office:string-value="特价" calcext:value-type="string"><text:p>特价</text:p></table:table-cell>',
            b(True, 'of:=TRUE()'), err('#DIV/0!', 'of:=1/0'), t('PT12H00M00S', '12:00:00'), empty(3)),
        row(empty(), s(u'只有名称的行'), empty(10)),
        row(s('   '), s(u'A列只有空格'), empty(10)),
        row(empty(), s(u'最后一行只有名称'), empty(10)),
        row(empty(12), repeat=LAST_ROW - 11),
    ]
    blank = [row(empty(1024), repeat=LAST_ROW)]
    daily = [row(s(u'条码'), s(u'商品名称'), empty(2), s(u'销售价')), row(empty(5), repeat=15)]
    for r in range(17, 30):
        daily.append(row(s(u'69000000000%02d' % r), s(u'商品%d' % r), empty(2), f(repr(r + 0.5))))
    daily.append(row(empty(), s(u'没有条码'), empty(3)))
    ods(path, content([table(u'饮料', drinks), table(u'空表', blank, 1024), table(u'日用品', daily, 5)]),
        mimetype_first=mimetype_first)


def features_ods(path):
    """The less common things a cell or row can be, each on a row of its own."""
    rows = [
        # Repeated cells and a repeated row that hold something are copies.
        row('<table:table-cell table:number-columns-repeated="3" office:value-type="float" office:value="7" '
            'calcext:value-type="float"><text:p>7</text:p></table:table-cell>', s('x'), repeat=2),
        # Paragraphs, spans, a link, a tab, a line break, a comment and
        # white space in the XML.
        row('<table:table-cell office:value-type="string" calcext:value-type="string">'
            '<office:annotation><dc:creator>店长</dc:creator><text:p>批注不导出</text:p></office:annotation>'
            '<text:p>第一段<text:span text:style-name="T1">加粗</text:span></text:p>'
            '<text:p><text:a xlink:href="http://example.com" xmlns:xlink="http://www.w3.org/1999/xlink">'
            '链接</text:a><text:tab/>制表<text:line-break/>换行</text:p></table:table-cell>',
            '<table:table-cell office:value-type="string" calcext:value-type="string"><text:p>\n   a \t\n  b   '
            '<text:s text:c="2"/> c</text:p></table:table-cell>',
            # A merged cell: the covered cell after it still takes a column.
            '<table:table-cell table:number-columns-spanned="2" office:value-type="string" '
            'calcext:value-type="string"><text:p>合并</text:p></table:table-cell><table:covered-table-cell/>',
            s('D')),
        # Percentages, currencies, a duration beyond a day, a date-time
        # with fractions of a second, a string given only by its value.
        row('<table:table-cell office:value-type="percentage" office:value="0.05" calcext:value-type="percentage">'
            '<text:p>5%</text:p></table:table-cell>',
            '<table:table-cell office:value-type="currency" office:currency="CNY" office:value="12.3" '
            'calcext:value-type="currency"><text:p>¥12.30</text:p></table:table-cell>',
            t('PT36H30M00S', '36:30:00'), d('2018-05-12T09:05:07.5', '2018-05-12'),
            '<table:table-cell office:value-type="string" office:string-value="只有值"/>'),
        # Rows inside groups and header rows still count.
        '<table:table-header-rows>%s</table:table-header-rows>' % row(s('表头')),
        '<table:table-row-group>%s</table:table-row-group>' % row(s('组内')),
        # Cells far to the right cost nothing and are not delivered.
        row(empty(11), '<table:table-cell table:number-columns-repeated="1000000" office:value-type="float" '
            'office:value="1"><text:p>1</text:p></table:table-cell>'),
        row(s('last')),
    ]
    ods(path, content([table(u'特别', rows, 16)]))


def bad_ods():
    # content.xml of 40 MB of empty elements: a small file that unpacks large.
    with zipfile.ZipFile(os.path.join(BAD, 'bomb.ods'), 'w') as z:
        put(z, 'mimetype', MIME, zipfile.ZIP_STORED)
        put(z, 'content.xml', (HEAD + '<office:document-content %s><office:body><office:spreadsheet>'
                               '<table:table table:name="a"><table:table-row>%s</table:table-row>'
                               % (NS, s('1')) + '<x/>' * (10 << 20)).encode('utf-8'))
    # One row of content repeated a million times on each of many sheets:
    # a few kilobytes that would give billions of cells.
    many = [table('s%d' % i, [row(s('6901234567890'), s(u'可乐'), repeat=LAST_ROW)]) for i in range(50)]
    ods(os.path.join(BAD, 'repeat_bomb.ods'), content(many))
    # A cell of 40,000 blanks through one text:s.
    ods(os.path.join(BAD, 'long_cell.ods'),
        content([table('a', [row('<table:table-cell office:value-type="string"><text:p>x<text:s text:c="40000"/>'
                                 '</text:p></table:table-cell>')])]))
    # Content after row 1,048,576.
    ods(os.path.join(BAD, 'too_many_rows.ods'),
        content([table('a', [row(empty(), repeat=LAST_ROW), row(s('1'))])]))
    # Saved with a password: the manifest names the encryption of content.xml.
    ods(os.path.join(BAD, 'password.ods'), content([table('a', [row(s('1'))])]),
        ' <manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml">'
        '<manifest:encryption-data manifest:checksum-type="SHA1/1K" manifest:checksum="AAAA">'
        '<manifest:algorithm manifest:algorithm-name="Blowfish CFB" manifest:initialisation-vector="AAAA"/>'
        '</manifest:encryption-data></manifest:file-entry>\n')
    # A number that is no number, and XML cut off in the middle.
    ods(os.path.join(BAD, 'bad_number.ods'),
        content([table('a', [row('<table:table-cell office:value-type="float" office:value="abc"/>')])]))
    ods(os.path.join(BAD, 'malformed.ods'), content([table('a', [row(s('1'))])])[:-200])


# ---------------------------------------------------------------------------
# The same goods list as text tables.

# The texts the import makes of goods.xls, row by row, as one sheet: the rows
# of 饮料 up to its last barcode, the one row of 空表, then 日用品.
def goods_texts():
    rows = [
        TITLES,
        ['6901234567890', u'  可口可乐 ', '330ml', u'罐', '3.5', '2.8', '120', 'True', '2018-5-12',
         '2018-5-12 9:05:07', u'  两边有空格  ', u'不导出'],
        ['6920152400012', u'农夫山泉 550ml', '500ml', '', '2', '1.25', '0.333333333333333', 'False', '', '',
         '#N/A'],
        ['1.23456789012346E+18', u'长条码', '', '', '12.5', '-0.5', '1E+20'],
        [], [], [],
        ['a-100', u'康师傅 红烧牛肉面', '', '', '3', u'特价', 'True', '#DIV/0!', '12:00:00'],
        ['', u'只有名称的行'],
        ['   ', u'A列只有空格'],
        [],
        [u'条码', u'商品名称', '', '', u'销售价'],
    ] + [[]] * 15
    for r in range(17, 30):
        rows.append([u'69000000000%02d' % r, u'商品%d' % r, '', '', '%d.5' % r])
    rows.append(['', u'没有条码'])
    return rows


def csv_text(rows, sep, newline):
    def field(text):
        # Quoted when it must be, and when it has blanks at its ends.
        if any(ch in text for ch in (sep, '"', '\r', '\n')) or text != text.strip(' '):
            return '"%s"' % text.replace('"', '""')
        return text
    return ''.join(sep.join(field(x) for x in r) + newline for r in rows)


def goods_csv():
    rows = goods_texts()
    with open(os.path.join(OUT, 'goods_utf8.csv'), 'wb') as out:
        out.write(b'\xef\xbb\xbf' + csv_text(rows, ',', '\r\n').encode('utf-8'))
    with open(os.path.join(OUT, 'goods_utf8_tab.csv'), 'wb') as out:
        out.write(csv_text(rows, '\t', '\n').encode('utf-8'))
    with open(os.path.join(OUT, 'goods_gbk.csv'), 'wb') as out:
        out.write(csv_text(rows, ';', '\r\n').encode('gbk'))


def bad_csv():
    def put(name, data):
        with open(os.path.join(BAD, name), 'wb') as out:
            out.write(data)
    put('unclosed_quote.csv', u'条码,商品名称,销售价\r\n6901234567890,"可乐,3.5\r\n6920152400012,雪碧,3\r\n'
        .encode('utf-8'))
    put('binary.csv', b'PK\x05\x06' + b'\0' * 100)


def main():
    os.makedirs(BAD, exist_ok=True)
    goods_ods(os.path.join(OUT, 'goods.ods'))
    goods_ods(os.path.join(OUT, 'goods_mimetype_last.ods'), mimetype_first=False)
    features_ods(os.path.join(OUT, 'features.ods'))
    bad_ods()
    goods_csv()
    bad_csv()


if __name__ == '__main__':
    main()
