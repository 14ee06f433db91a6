#!/usr/bin/python3
"""Writes the workbooks the import tests read, into tests/data/import/.

goods.xls and goods.xlsx hold the same three worksheets (a chart sheet in the
.xlsx is skipped), so both import into the same collector.txt. troubles.xls
holds rows of every kind a scan at the counter cannot sell from, clean.xls
none. The files under bad/ are damaged or hostile on purpose.

Needs python3-xlwt (Debian package). Run from anywhere:
    /usr/bin/python3 tools/make_import_testdata.py
"""

import datetime
import io
import os
import struct
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xlwt  # noqa: E402

import workbooks  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, 'tests', 'data', 'import')
BAD = os.path.join(OUT, 'bad')

DATE = datetime.date(2018, 5, 12)
DATETIME = datetime.datetime(2018, 5, 12, 9, 5, 7)
DATE_SERIAL = 43232
DATETIME_SERIAL = 43232 + (9 * 3600 + 5 * 60 + 7) / 86400.0

TITLES = [u'条码', u'商品名称', u'规格', u'单位', u'销售价', u'进价', u'库存', u'在售', u'上架日期', u'盘点时间', u'备注',
          u'超出K列']


# ---------------------------------------------------------------------------
# goods.xls

def goods_xls(path):
    book = xlwt.Workbook(encoding='utf-8')
    date = workbooks.style('yyyy-mm-dd')
    datetime_style = workbooks.style('yyyy-mm-dd hh:mm:ss')
    time_style = workbooks.style('h:mm:ss')
    two_places = workbooks.style('0.00')

    s = book.add_sheet(u'饮料')
    for col, title in enumerate(TITLES):
        s.write(0, col, title)
    row = [6901234567890, u'  可口可乐 ', u'330ml', u'罐', 3.5, 2.8, 120, True]
    for col, value in enumerate(row):
        s.write(1, col, value)
    s.write(1, 8, DATE, date)
    s.write(1, 9, DATETIME, datetime_style)
    s.write(1, 10, u'  两边有空格  ')
    s.write(1, 11, u'不导出')
    s.write(2, 0, u'6920152400012')
    s.write(2, 1, u'农夫山泉 550ml')
    s.write(2, 2, u'500ml')
    s.write(2, 4, 2)
    s.write(2, 5, 1.25)
    s.write(2, 6, 1 / 3.0)
    s.write(2, 7, False)
    s.row(2).set_cell_error(10, 0x2A)  # #N/A
    s.write(3, 0, 1234567890123456789)
    s.write(3, 1, u'长条码')
    s.write(3, 4, 12.5, two_places)
    s.write(3, 5, -0.5)
    s.write(3, 6, 1e20)
    s.write(7, 0, u'a-100')
    s.write(7, 1, u'康师傅 红烧牛肉面')
    for col in (4, 5, 6, 7):
        s.write(7, col, xlwt.Formula('1+1'))
    s.write(7, 8, datetime.time(12, 0, 0), time_style)
    s.write(8, 1, u'只有名称的行')
    s.write(9, 0, u'   ')
    s.write(9, 1, u'A列只有空格')
    s.write(10, 1, u'最后一行只有名称')

    book.add_sheet(u'空表')

    s = book.add_sheet(u'日用品')
    s.write(0, 0, u'条码')
    s.write(0, 1, u'商品名称')
    s.write(0, 4, u'销售价')
    for r in range(17, 30):
        s.write(r - 1, 0, u'69000000000%02d' % r)
        s.write(r - 1, 1, u'商品%d' % r)
        s.write(r - 1, 4, r + 0.5)
    s.write(29, 1, u'没有条码')

    stream = book.get_biff_data()
    stream = workbooks.patch_formulas(stream, {
        (0, 7, 4): 3.0,
        (0, 7, 5): u'特价',
        (0, 7, 6): True,
        (0, 7, 7): ('error', 0x07),
    })
    workbooks.save_xlwt_stream(path, stream)
    return stream


# ---------------------------------------------------------------------------
# goods.xlsx

NS_MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
NS_REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
NS_PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'
T_DOC = NS_REL + '/officeDocument'
T_SHEET = NS_REL + '/worksheet'
T_CHART = NS_REL + '/chartsheet'
T_SST = NS_REL + '/sharedStrings'
T_STYLES = NS_REL + '/styles'

XML_HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def rels(items):
    body = ''.join('<Relationship Id="%s" Type="%s" Target="%s"/>' % item for item in items)
    return XML_HEAD + '<Relationships xmlns="%s">%s</Relationships>' % (NS_PKG, body)


def sheet_xml(rows):
    return (XML_HEAD + '<worksheet xmlns="%s" xmlns:r="%s"><dimension ref="A1:L30"/><sheetData>%s</sheetData>'
            '<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
            '</worksheet>' % (NS_MAIN, NS_REL, ''.join(rows)))


class Strings:
    def __init__(self):
        self.items = []

    def add(self, si):
        self.items.append(si)
        return len(self.items) - 1

    def text(self, text):
        return self.add('<si><t xml:space="preserve">%s</t></si>' % esc(text))

    def xml(self):
        return (XML_HEAD + '<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>' %
                (NS_MAIN, len(self.items), len(self.items), ''.join(self.items)))


def esc(text):
    return text.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace('"', '&quot;')


def xlsx_package(path, files):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, data in files:
            z.writestr(name, data if isinstance(data, bytes) else data.encode('utf-8'))


CONTENT_TYPES = (XML_HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 '<Default Extension="xml" ContentType="application/xml"/></Types>')

STYLES = (XML_HEAD + '<styleSheet xmlns="%s"><numFmts count="3">'
          '<numFmt numFmtId="164" formatCode="yyyy\\-mm\\-dd\\ hh:mm:ss"/>'
          '<numFmt numFmtId="165" formatCode="[$-F400]h:mm:ss\\ AM/PM"/>'
          '<numFmt numFmtId="166" formatCode="&quot;数量&quot;0"/></numFmts>'
          '<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>'
          '<cellXfs count="6"><xf numFmtId="0"/><xf numFmtId="14" applyNumberFormat="1"/>'
          '<xf numFmtId="164" applyNumberFormat="1"/><xf numFmtId="165" applyNumberFormat="1"/>'
          '<xf numFmtId="2" applyNumberFormat="1"><alignment horizontal="left"/></xf>'
          '<xf numFmtId="166" applyNumberFormat="1"/></cellXfs></styleSheet>' % NS_MAIN)


def goods_xlsx(path, sheet_overrides=None, extra_files=()):
    st = Strings()
    s = lambda text: st.text(text)  # noqa: E731

    def c(ref, value, t=None, style=None):
        attrs = ' r="%s"' % ref if ref else ''
        if t:
            attrs += ' t="%s"' % t
        if style is not None:
            attrs += ' s="%d"' % style
        return '<c%s>%s</c>' % (attrs, value)

    def v(x):
        return '<v>%s</v>' % x

    titles = ''.join(c('%s1' % chr(65 + i), v(s(t)), 's') for i, t in enumerate(TITLES))
    cola = st.add('<si><r><t xml:space="preserve">  可口</t></r><r><rPr><b/></rPr><t xml:space="preserve">可乐 </t></r>'
                  '<rPh sb="0" eb="2"><t>ke kou</t></rPh><phoneticPr fontId="1"/></si>')
    drinks = [
        '<row r="1" spans="1:12">%s</row>' % titles,
        '<row r="2">' + ''.join([
            c('A2', v('6901234567890')), c('B2', v(cola), 's'), c('C2', v(s('330ml')), 's'),
            c('D2', v(s(u'罐')), 's'), c('E2', v('3.5')), c('F2', v('2.8')), c('G2', v('120'), None, 5),
            c('H2', v('1'), 'b'), c('I2', v(DATE_SERIAL), None, 1), c('J2', v(repr(DATETIME_SERIAL)), None, 2),
            c('K2', v(s(u'  两边有空格  ')), 's'), c('L2', v(s(u'不导出')), 's')]) + '</row>',
        # Neither the row nor its first cells carry their positions.
        '<row>' + ''.join([
            c(None, v(s('6920152400012')), 's'), c(None, v(s(u'农夫山泉 550ml')), 's'),
            c('C3', '<is><t>500ml</t></is>', 'inlineStr'), c('D3', ''), c('E3', v('2')), c('F3', v('1.25')),
            c('G3', v('0.33333333333333331')), c('H3', v('0'), 'b'), c('K3', v('#N/A'), 'e')]) + '</row>',
        '<row r="4">' + ''.join([
            c('A4', v('1.2345678901234568E+18')), c('B4', v(s(u'长条码')), 's'), c('E4', v('12.5'), None, 4),
            c('F4', v('-0.5')), c('G4', v('1E+20'))]) + '</row>',
        '<row r="6" customHeight="1" ht="30"/>',
        '<row r="8">' + ''.join([
            c('A8', '<is><t>a-100</t></is>', 'inlineStr'), c('B8', v(s(u'康师傅 红烧牛肉面')), 's'),
            c('E8', '<f>2*1.5</f>' + v('3')), c('F8', '<f>"特价"</f>' + v(u'特价'), 'str'),
            c('G8', '<f>TRUE()</f>' + v('1'), 'b'), c('H8', '<f>1/0</f>' + v('#DIV/0!'), 'e'),
            c('I8', v('0.5'), None, 3)]) + '</row>',
        '<row r="9">%s</row>' % c('B9', v(s(u'只有名称的行')), 's'),
        '<row r="10">%s%s</row>' % (c('A10', v(s('   ')), 's'), c('B10', v(s(u'A列只有空格')), 's')),
        '<row r="11">%s</row>' % c('B11', v(s(u'最后一行只有名称')), 's'),
    ]
    daily = ['<row r="1">%s%s%s</row>' % (c('A1', v(s(u'条码')), 's'), c('B1', v(s(u'商品名称')), 's'),
                                          c('E1', v(s(u'销售价')), 's'))]
    for r in range(17, 30):
        daily.append('<row r="%d">%s%s%s</row>' % (r, c('A%d' % r, v(s('69000000000%02d' % r)), 's'),
                                                   c('B%d' % r, v(s(u'商品%d' % r)), 's'),
                                                   c('E%d' % r, v(repr(r + 0.5)))))
    daily.append('<row r="30">%s</row>' % c('B30', v(s(u'没有条码')), 's'))

    sheets = {
        'xl/worksheets/sheet3.xml': sheet_xml(drinks),
        'xl/worksheets/sheet1.xml': sheet_xml([]),
        'xl/worksheets/sheet2.xml': sheet_xml(daily),
    }
    if sheet_overrides:
        sheets.update(sheet_overrides)
    workbook = (XML_HEAD + '<workbook xmlns="%s" xmlns:r="%s"><workbookPr defaultThemeVersion="124226"/>'
                '<bookViews><workbookView/></bookViews><sheets>'
                '<sheet name="饮料" sheetId="3" r:id="rId7"/>'
                '<sheet name="图表" sheetId="4" r:id="rId9"/>'
                '<sheet name="空表" sheetId="1" r:id="rId2"/>'
                '<sheet name="日用品" sheetId="2" state="hidden" r:id="rId1"/>'
                '</sheets><calcPr calcId="145621"/></workbook>' % (NS_MAIN, NS_REL))
    files = [
        ('[Content_Types].xml', CONTENT_TYPES),
        ('_rels/.rels', rels([('rId1', T_DOC, 'xl/workbook.xml')])),
        ('xl/workbook.xml', workbook),
        ('xl/_rels/workbook.xml.rels', rels([
            ('rId1', T_SHEET, 'worksheets/sheet2.xml'), ('rId2', T_SHEET, '/xl/worksheets/sheet1.xml'),
            ('rId7', T_SHEET, './worksheets/../worksheets/sheet3.xml'), ('rId9', T_CHART, 'chartsheets/sheet1.xml'),
            ('rId3', T_SST, 'sharedStrings.xml'), ('rId4', T_STYLES, 'styles.xml')])),
        ('xl/chartsheets/sheet1.xml', XML_HEAD + '<chartsheet xmlns="%s"/>' % NS_MAIN),
        ('xl/styles.xml', STYLES),
    ] + list(sheets.items()) + [('xl/sharedStrings.xml', st.xml())] + list(extra_files)
    xlsx_package(path, files)


def small_xlsx(path, sheet_body, shared=None, workbook_extra=''):
    """A one-sheet workbook with the given sheet XML (whole document)."""
    files = [
        ('[Content_Types].xml', CONTENT_TYPES),
        ('_rels/.rels', rels([('rId1', T_DOC, 'xl/workbook.xml')])),
        ('xl/workbook.xml', XML_HEAD + '<workbook xmlns="%s" xmlns:r="%s">%s<sheets>'
         '<sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>' % (NS_MAIN, NS_REL, workbook_extra)),
        ('xl/_rels/workbook.xml.rels', rels([('rId1', T_SHEET, 'worksheets/sheet1.xml'),
                                             ('rId2', T_SST, 'sharedStrings.xml'), ('rId3', T_STYLES, 'styles.xml')])),
        ('xl/styles.xml', STYLES),
        ('xl/worksheets/sheet1.xml', sheet_body),
    ]
    if shared is not None:
        files.append(('xl/sharedStrings.xml', shared))
    xlsx_package(path, files)


# ---------------------------------------------------------------------------
# troubles.xls and clean.xls: the check after an import.

def goods_sheet(book, name, rows):
    """A sheet with the template's titles in row 1 and the given rows
    (barcode, name, price; None leaves a cell empty) from row 2 on."""
    s = book.add_sheet(name)
    for col, title in enumerate(TITLES[:11]):
        s.write(0, col, title)
    for r, row in enumerate(rows, start=1):
        for col, value in zip((0, 1, 4), row):
            if value is not None:
                s.write(r, col, value)


def troubles_xls(path):
    book = xlwt.Workbook(encoding='utf-8')
    goods_sheet(book, u'饮料', [
        (6901234567890, u'可口可乐', 3.5),
        (u'6901234567890', u'可口可乐 又一行', 3.5),  # the same barcode again
        (u'6920152400012', u'农夫山泉', None),  # no price
        (u'6920152400029', u'雪碧', u'两元'),  # a price that is not a number
        (None, u'散装糖果', 12),  # a price without a barcode
        (u'6920152400036', u'退货测试', -2.5),  # a negative price
        (u'690123', u'短条码', 1),  # the beginning of another barcode
    ])
    goods_sheet(book, u'日用品', [
        (u'6900000000017', u'毛巾', 15),
        (u'6900000000024', u'牙刷', 8),
        (u'AB-12', u'字母条码', 5),  # letters: the price box takes numbers only
        (u'6900000000031', u'洗衣粉', -1),
    ])
    book.save(path)


def clean_xls(path):
    book = xlwt.Workbook(encoding='utf-8')
    goods_sheet(book, u'饮料', [
        (6901234567890, u'可口可乐', 3.5),
        (u'6920152400012', u'农夫山泉', 2),
        (None, u'以下是日用品', None),  # a heading without barcode or price
        (u'6900000000017', u'毛巾', 15),
    ])
    book.save(path)


# ---------------------------------------------------------------------------
# Special cases read by the reader tests.

def biff5(path):
    stream = workbooks.biff5_workbook([
        (u'商品', [(0, 0, u'条码'), (0, 1, u'商品名称'), (0, 4, u'销售价'),
                 (1, 0, 6901234567890.0), (1, 1, u'  可乐 '), (1, 4, ('rk', 3.5)),
                 (2, 0, u'6920152400012'), (2, 1, u'雪碧'), (2, 4, ('rk', 12.25)), (2, 5, True)]),
    ])
    with open(path, 'wb') as f:
        f.write(workbooks.compound_file({u'Book': stream}))


def escapes_xlsx(path):
    shared = (XML_HEAD + '<sst xmlns="%s"><si><t>a_x000D_b_x0009_c_x005F_x0041_</t></si><si><t>_xZZZZ_</t></si>'
              '</sst>' % NS_MAIN)
    body = sheet_xml(['<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>'
                      '<c r="C1" t="d"><v>2018-05-12T09:05:07</v></c><c r="D1" s="1"><v>1</v></c></row>'])
    small_xlsx(path, body, shared, '<workbookPr date1904="1"/>')


def bad_files(good_xls, good_xls_stream):
    os.makedirs(BAD, exist_ok=True)

    def put(name, data):
        with open(os.path.join(BAD, name), 'wb') as f:
            f.write(data)

    # A text file with a spreadsheet's name.
    put('text.xls', u'条码\t商品名称\t销售价\r\n6901234567890\t可乐\t3.5\r\n'.encode('gbk'))
    put('empty.xlsx', b'')
    with open(good_xls, 'rb') as f:
        xls = f.read()
    put('truncated.xls', xls[:len(xls) // 2])
    good_xlsx = os.path.join(OUT, 'goods.xlsx')
    with open(good_xlsx, 'rb') as f:
        xlsx = f.read()
    put('truncated.xlsx', xlsx[:len(xlsx) // 2])

    # The workbook stream's first sector points back to itself.
    data = bytearray(xls)
    first_fat = struct.unpack_from('<I', data, 0x4C)[0]
    fat_offset = (first_fat + 1) * 512
    # xlwt puts the workbook stream first: sector 0 onwards.
    struct.pack_into('<I', data, fat_offset + 4 * 3, 3)
    put('cyclic.xls', bytes(data))

    # A password-protected .xlsx is a compound file with an encrypted package.
    put('encrypted.xlsx', workbooks.compound_file({u'EncryptionInfo': b'\x04\x00\x04\x00' + b'\0' * 200,
                                                   u'EncryptedPackage': b'\0' * 5000}))

    # FILEPASS in the workbook globals.
    stream = bytearray(good_xls_stream)
    for pos, rtype, _ in workbooks.records(good_xls_stream):
        if rtype == 0x0019:  # WINDOWPROTECT becomes FILEPASS
            struct.pack_into('<H', stream, pos, 0x002F)
            break
    buf = io.BytesIO()
    workbooks.save_xlwt_stream(buf, bytes(stream))
    put('password.xls', buf.getvalue())

    # A cell that refers to a shared string that does not exist.
    stream = bytearray(good_xls_stream)
    for pos, rtype, _ in workbooks.records(good_xls_stream):
        if rtype == 0x00FD:
            struct.pack_into('<I', stream, pos + 4 + 6, 0x7FFFFFF0)
            break
    buf = io.BytesIO()
    workbooks.save_xlwt_stream(buf, bytes(stream))
    put('sst_index.xls', buf.getvalue())

    # Sheet dimensions that claim four billion rows and 256 columns.
    stream = bytearray(good_xls_stream)
    for pos, rtype, _ in workbooks.records(good_xls_stream):
        if rtype == 0x0200:
            struct.pack_into('<IIHH', stream, pos + 4, 0, 0xFFFFFFF0, 0, 256)
    buf = io.BytesIO()
    workbooks.save_xlwt_stream(buf, bytes(stream))
    put('dimension_claim.xls', buf.getvalue())

    # Malformed XML: a cell element that is never closed.
    path = os.path.join(BAD, 'malformed.xlsx')
    small_xlsx(path, sheet_xml(['<row r="1"><c r="A1"><v>1</v></row>']))

    # A document type declaration with nested entities ("billion laughs").
    lol = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol">'
           '<!ENTITY lol2 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">'
           '<!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;">]>'
           '<worksheet xmlns="%s"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>&lol3;</t></is></c>'
           '</row></sheetData></worksheet>' % NS_MAIN)
    small_xlsx(os.path.join(BAD, 'entities.xlsx'), lol)

    # Ten thousand nested elements.
    deep = XML_HEAD + '<worksheet xmlns="%s"><sheetData>%s%s</sheetData></worksheet>' % (
        NS_MAIN, '<x>' * 10000, '</x>' * 10000)
    small_xlsx(os.path.join(BAD, 'deep.xlsx'), deep)

    # One text of 2 MB.
    long_text = sheet_xml(['<row r="1"><c r="A1" t="inlineStr"><is><t>%s</t></is></c></row>' % ('9' * (2 << 20))])
    small_xlsx(os.path.join(BAD, 'long_text.xlsx'), long_text)

    # 40 MB of empty elements: a small file that unpacks large.
    bomb = sheet_xml(['<row r="1"><c r="A1"><v>1</v></c></row>' + '<x/>' * (10 << 20)])
    small_xlsx(os.path.join(BAD, 'bomb.xlsx'), bomb)

    # Entries whose headers claim nearly 4 GB unpacked; the content is small
    # and valid, so the claim must simply not be believed.
    path = os.path.join(BAD, 'size_claim.xlsx')
    small_xlsx(path, sheet_xml(['<row r="1"><c r="A1"><v>42</v></c></row>']))
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    for sig, size_at in ((b'PK\x03\x04', 22), (b'PK\x01\x02', 24)):
        at = data.find(sig)
        while at >= 0:
            struct.pack_into('<I', data, at + size_at, 0xFFFFFF00)
            at = data.find(sig, at + 4)
    with open(path, 'wb') as f:
        f.write(bytes(data))

    # A shared-string index beyond the table, rows out of order.
    small_xlsx(os.path.join(BAD, 'shared_index.xlsx'),
               sheet_xml(['<row r="1"><c r="A1" t="s"><v>5</v></c></row>']),
               XML_HEAD + '<sst xmlns="%s"><si><t>x</t></si></sst>' % NS_MAIN)
    small_xlsx(os.path.join(BAD, 'row_order.xlsx'),
               sheet_xml(['<row r="5"><c r="A5"><v>1</v></c></row><row r="3"><c r="A3"><v>1</v></c></row>']))

    # A zip that holds no workbook.
    xlsx_package(os.path.join(BAD, 'not_workbook.xlsx'), [('readme.txt', 'hello')])


def main():
    os.makedirs(OUT, exist_ok=True)
    good_xls = os.path.join(OUT, 'goods.xls')
    stream = goods_xls(good_xls)
    goods_xlsx(os.path.join(OUT, 'goods.xlsx'))
    biff5(os.path.join(OUT, 'biff5.xls'))
    escapes_xlsx(os.path.join(OUT, 'escapes.xlsx'))
    troubles_xls(os.path.join(OUT, 'troubles.xls'))
    clean_xls(os.path.join(OUT, 'clean.xls'))
    bad_files(good_xls, stream)


if __name__ == '__main__':
    main()
