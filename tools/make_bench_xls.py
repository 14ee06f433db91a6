#!/usr/bin/python3
"""Writes the .xls workbook the import benchmark reads: ROWS rows (titles
included) by eleven columns, text and numbers mixed, with xlwt. A sheet holds
at most 65,536 rows, so more goods go on further sheets of SHEET_GOODS goods
each, every sheet beginning with the titles.

    /usr/bin/python3 tools/make_bench_xls.py OUT.xls ROWS
"""

import datetime
import sys

import xlwt


SHEET_GOODS = 60000


def main():
    out, rows = sys.argv[1], int(sys.argv[2])
    book = xlwt.Workbook(encoding='utf-8')
    date = xlwt.easyxf(num_format_str='yyyy-mm-dd')
    titles = [u'条码', u'商品名称', u'规格', u'单位', u'销售价', u'进价', u'库存', u'类别', u'上架日期', u'供应商', u'备注']
    day = datetime.date(2018, 5, 12)
    sheet = None
    for r in range(1, rows):
        if (r - 1) % SHEET_GOODS == 0:
            sheet = book.add_sheet(u'商品' if r == 1 else u'商品%d' % ((r - 1) // SHEET_GOODS + 1))
            for col, title in enumerate(titles):
                sheet.write(0, col, title)
        row = sheet.row((r - 1) % SHEET_GOODS + 1)
        row.write(0, u'69%011d' % r)
        row.write(1, u'商品名称%d' % r)
        row.write(2, u'%dml' % (100 + r % 900))
        row.write(3, u'瓶')
        row.write(4, 1 + (r % 1000) / 100.0)
        row.write(5, 0.5 + (r % 700) / 100.0)
        row.write(6, r % 500)
        row.write(7, u'类别%d' % (r % 20))
        row.write(8, day, date)
        row.write(9, u'供应商%d' % (r % 50))
        row.write(10, u'  备注 %d  ' % r)
        if r % 1000 == 0:
            sheet.flush_row_data()
    book.save(out)


if __name__ == '__main__':
    main()
