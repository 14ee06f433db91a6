#!/usr/bin/python3
"""Writes the template workbook assets/商品条码价格表.xls that the import's
question names: column A 条码, B 商品名称, E 销售价 (the columns the lookup
reads), other titles for the shop's own use, and a few example rows.

Needs python3-xlwt (Debian package):
    /usr/bin/python3 tools/make_template.py
"""

import os

import xlwt

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, 'assets', u'商品条码价格表.xls')

TITLES = [u'条码', u'商品名称', u'规格', u'单位', u'销售价', u'进价', u'类别', u'供应商', u'备注']
WIDTHS = [18, 24, 10, 6, 10, 10, 10, 16, 20]

# Barcodes are text: a 13-digit number would show as 6.90123E+12 in Excel.
EXAMPLES = [
    (u'6901234567890', u'示例：矿泉水', u'550ml', u'瓶', 2.0, 1.2, u'饮料', u'', u'示例行，可删除'),
    (u'6902345678901', u'示例：方便面', u'105g', u'袋', 4.5, 3.1, u'食品', u'', u'示例行，可删除'),
    (u'6903456789012', u'示例：洗衣皂', u'238g', u'块', 3.8, 2.5, u'日用品', u'', u'示例行，可删除'),
]


def main():
    book = xlwt.Workbook(encoding='utf-8')
    sheet = book.add_sheet(u'商品条码价格表')
    font = u'font: name 宋体, height 240'
    title = xlwt.easyxf(font + u', bold on; align: horiz center; pattern: pattern solid, fore_colour light_green')
    text = xlwt.easyxf(font, num_format_str='@')
    price = xlwt.easyxf(font, num_format_str='0.00')
    plain = xlwt.easyxf(font)
    for col, (name, width) in enumerate(zip(TITLES, WIDTHS)):
        sheet.write(0, col, name, title)
        sheet.col(col).width = 256 * width
    for row, values in enumerate(EXAMPLES, start=1):
        for col, value in enumerate(values):
            style = text if col == 0 else price if col in (4, 5) else plain
            sheet.write(row, col, value, style)
    sheet.set_panes_frozen(True)
    sheet.set_horz_split_pos(1)
    book.save(OUT)


if __name__ == '__main__':
    main()
