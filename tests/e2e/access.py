#!/usr/bin/env python3
"""The checkout as a screen reader finds it: the installed program on a
1024x768 screen, read and worked through AT-SPI on a private accessibility
bus. Every control has its role and name, the window is a frame, the display
reads as the text it shows (the usage notes, a change, a month's goods
report of millions of characters), Qt's own dialogs speak Chinese, a change
too wide for 200 pt still shows whole, and reading the long report does not
make the program hold a second copy of it.

usage: access.py INSTALL_DIR ARTIFACT_DIR"""

import datetime
import os
import re
import shutil
import sys
from decimal import Decimal

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reader import Program, on_private_bus, shown, wait_for  # noqa: E402
from till import Display, gbk, program_folder  # noqa: E402

T = "\t"
CRLF = "\r\n"
QUESTION = "Tovrin 找零"

# The window's controls in their order, as a screen reader lists them.
CONTROLS = [
    ("label", "实收金额"), ("text", "实收金额"),
    ("label", "商品价格："), ("text", "商品价格："),
    ("push button", "找零"),
    ("text", "显示区"),
    ("push button", "统计"),
    ("label", "折扣比率百分之："), ("text", "折扣比率百分之："),
    ("label", "商品数量："), ("text", "商品数量："),
    ("push button", "更新条码价格"),
    ("push button", "价格结算"),
]

# What each box holds at start-up.
BOX_TEXTS = {"实收金额": "0", "商品价格：": "0", "折扣比率百分之：": "100", "商品数量：": "1"}

# The usage notes: blanks before, text, blanks after, line ends after.
NOTES = [
    (38, "自带语音提示—Tovrin找零软件使用说明", 48, 2),
    (10, "Tovrin找零软件是一款简单易用的找零软件，当商品只有一个时，输入实收金额，商品价格，数量，折扣率，", 0, 1),
    (4, "再单击“找零”按钮，即可自动计算出找零金额，其中商品数量默认为：1个，折扣率默认为：100%，即没有折扣，", 1, 1),
    (4, "如果折扣为八五折，则应输入：85，表明折扣率为：85%。", 0, 2),
    (9, "如果商品不止一个，在输入商品价格后，在该文本框中，再按回车键Enter ,可以将商品一起结账后，再找零！", 0, 2),
    (4, "在商品累计的过程中，会有这一过程的跟踪显示，用户可以亲自核算一下。", 0, 2),
    (9, "当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正金额累计！", 0, 2),
    (9, "单击”更新条码价格“按钮之前，请按照{folder}/商品条形码价格表.xls的格式，", 0, 1),
    (4, "更新商品的（条码，商品名称，销售价）3列条目即可，以便通过扫描条码结算商品金额！", 0, 2),
    (9, "单击”价格结算“按钮，可以更改商品结算的方式为：条码结算，同时按钮显示为“条码结算”，再次单击按钮，", 0, 1),
    (4, "则会恢复到“价格结算”方式！", 0, 2),
    (9, "单击”统计“按钮，在弹出的对话框中，选择“是”，可以将当天或当月的交易金额明细统计显示出来，选择“否”，可以", 0, 1),
    (4, "将当天或当月的商品销售明细统计出来！这一点，留给用户再次核算是否正确。", 0, 2),
]

# The month's journal: ten barcode goods, three in every sale.
GOODS = [("纯牛奶250ml", "2.5"), ("矿泉水", "1.5"), ("方便面", "4.5"), ("可乐", "3"), ("面包", "6.8"),
         ("鸡蛋", "12"), ("食用油5L", "59.9"), ("大米10kg", "45"), ("酱油", "8.5"), ("洗衣粉", "19.9")]
SALES = 9000

# English texts of Qt's file dialog that must not be left untranslated.
ENGLISH = {"Look in:", "File name:", "Files of type:", "Open", "&Open", "Cancel", "Back", "Forward", "Parent Directory",
           "Create New Folder", "List View", "Detail View", "Name", "Size", "Type", "Date Modified"}


def width(text):
    """Display columns: two for a character outside ASCII."""
    return sum(1 if ord(c) < 128 else 2 for c in text)


def pad(text, columns):
    text = text.strip(" ")
    return text + " " * (columns - width(text) + 1) if width(text) < columns else text


def money(amount):
    text = format(amount.quantize(Decimal("0.01")), "f")
    return text.rstrip("0").rstrip(".") if "." in text else text


def date_time(when):
    return "%d-%d-%d %d:%02d:%02d" % (when.year, when.month, when.day, when.hour, when.minute, when.second)


def block(when, goods):
    total = sum(Decimal(price) for _, price, _ in goods)
    items = "".join("商品:  " + pad(name, 39) + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + price + T +
                    "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + code + T + CRLF + CRLF
                    for name, price, code in goods)
    return (date_time(when) + T + "   应收金额累计：   " + T + money(total) + CRLF + "商品序号:  " + str(len(goods)) + T +
            "   折扣累计：   " + T + "0" + T + "商品价格累计：  " + T + money(total) + T + "  商品 数量累计：  " + T +
            str(len(goods)) + CRLF + CRLF + items + CRLF + CRLF)


def write_journal(folder, today):
    """Sales of last month's last day and of every day of this month up to
    today; gives the barcode goods' amount of this month."""
    goods = [(name, price, "690123456%04d" % k) for k, (name, price) in enumerate(GOODS)]
    first = today.replace(day=1)
    text = "".join(block(datetime.datetime.combine(first - datetime.timedelta(days=1), datetime.time(20, k)),
                         goods[:3]) for k in range(50))
    days = today.day
    amount = Decimal(0)
    for n in range(SALES):
        when = datetime.datetime.combine(first + datetime.timedelta(days=n * days // SALES), datetime.time(8)) + \
            datetime.timedelta(seconds=(n * 7) % 36000)
        sold = [goods[(n + k * 3) % len(goods)] for k in range(3)]
        amount += sum(Decimal(price) for _, price, _ in sold)
        text += block(when, sold)
    with open(os.path.join(folder, "tovrinback.txt"), "wb") as f:
        f.write(gbk(text))
    return amount


def expected_report(folder, today, barcode_amount, price_amount, heading_time):
    """The month's goods report as the display holds it, from the journal
    and betweensum.txt on disk, and its totals block."""
    with open(os.path.join(folder, "tovrinback.txt"), "rb") as f:
        journal = (f.read().decode("gbk") + CRLF).upper()
    with open(os.path.join(folder, "betweensum.txt"), "rb") as f:
        goods = f.read().decode("gbk")
    start = journal.index("%d-%d-" % (today.year, today.month))
    section = journal[start:-1]
    totals = (pad("条码结算的商品种类合计:", 28) + T * 3 + str(len(GOODS)) + T + CRLF +
              pad("条码结算的商品应收金额合计:", 28) + T * 3 + money(barcode_amount) + CRLF +
              pad("价格结算的商品应收金额合计:", 28) + T * 3 + money(price_amount) + CRLF +
              pad("商品应收金额总计:", 28) + T * 3 + money(barcode_amount + price_amount) + CRLF)
    return (section + CRLF + CRLF + heading_time + CRLF + CRLF + "条码结算的商品数量统计：" + CRLF + CRLF + goods + CRLF +
            totals), totals


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def check_controls(program):
    Atspi = program.Atspi
    check(program.window.get_role_name() == "frame", "the window is a %s" % program.window.get_role_name())
    found = [(c.get_role_name(), c.get_name()) for c in program.children(program.window)]
    check(found == CONTROLS, "the window's controls are %r" % found)
    boxes = [c for c in program.children(program.window) if c.get_role_name() == "text" and c.get_name() != "显示区"]
    held = {box.get_name(): program.text(box) for box in boxes}
    check(held == BOX_TEXTS, "the boxes hold %r" % held)
    # Each box is labelled by its label.
    for box in boxes:
        labels = [r.get_target(0).get_name() for r in box.get_relation_set()
                  if r.get_relation_type() == Atspi.RelationType.LABELLED_BY]
        check(labels == [box.get_name()], "%r is labelled by %r" % (box.get_name(), labels))
    display = program.control("显示区", "text")
    states = display.get_state_set()
    check(states.contains(Atspi.StateType.READ_ONLY) and states.contains(Atspi.StateType.MULTI_LINE),
          "the display is not read-only text of many lines")
    return display


def check_notes(program, display, folder):
    notes = CRLF + "".join(" " * before + text.format(folder=folder) + " " * after + CRLF * breaks
                           for before, text, after, breaks in NOTES)
    wait_for("the usage notes in the display", lambda: program.text(display) == shown(notes))
    check(program.count(display) == len(shown(notes)), "the notes' character count")
    line8 = shown(notes).index("单击”更新条码价格“")
    content, start, end = program.line_at(display, line8 + 3)
    check(content == " " * 9 + NOTES[7][1].format(folder=folder) + "\n" and start == line8 - 9,
          "line 8 of the notes reads %r from %d" % (content, start))
    return shown(notes)


def listen_to_text_changes(program):
    """Records the text changes of the window once the program sends them
    (the registry tells it of a new listener in its own time): the amount
    box is filled until the program tells of it."""
    program.listen("object:text-changed")
    box = program.control("实收金额", "text")

    def told():
        program.type_into(box, "10000" if program.text(box) != "10000" else "1000")
        try:
            return wait_for("", lambda: any(source.path == box.path for _, source, _, _, _ in program.events), 3)
        except AssertionError:
            return False

    wait_for("the program to send text changes", told)


def check_change(program, screen, display, notes):
    """A change too wide for 200 pt on this screen: every digit inside the
    display. The reader hears the notes go and the change come."""
    program.type_into(program.control("实收金额", "text"), "10000")
    program.type_into(program.control("商品价格：", "text"), "1.11")
    program.press(program.control("找零", "push button"))
    program.answer(QUESTION, "是(Y)")
    wait_for("the change in the display", lambda: program.text(display) == "9998.89")
    program.event("the notes going", display, "object:text-changed:delete", 0, notes)
    program.event("the change coming", display, "object:text-changed:insert", 0, "9998.89")
    Atspi = program.Atspi
    size = Atspi.Text.get_attribute_run(display, 3, False)[0].get("size")
    check(size == "200", "the change is in %r pt, not 200" % size)
    box = program.extents(display)
    for k in range(len("9998.89")):
        r = program.character_extents(display, k)
        check(r.width > 0 and box.x <= r.x and r.x + r.width <= box.x + box.width and
              box.y <= r.y and r.y + r.height <= box.y + box.height,
              "digit %d of the change lies at %d..%d, the display spans %d..%d" %
              (k, r.x, r.x + r.width, box.x, box.x + box.width))
    last = program.character_extents(display, 6)
    check(last.x + last.width > box.x + box.width * 0.6, "the change is drawn smaller than it needs to be")
    screen.screenshot("change-9998.89-1024x768")


def check_file_dialog(program, screen):
    """The import's file dialog in Qt's Chinese, cancelled."""
    program.press(program.control("更新条码价格", "push button"))
    program.answer(QUESTION, "是(Y)")
    dialog = program.top_level("打开")
    cancel = wait_for("the dialog's cancel button", lambda: program.find(dialog, "取消", "push button"))
    names = {c.get_name() for c in program.descendants(dialog)}
    english = sorted(names & ENGLISH)
    check(not english, "the file dialog still says %r" % english)
    check({"查找范围：", "文件名称(N)：", "文件类型："} <= names, "the file dialog's labels are %r" % sorted(names))
    screen.screenshot("file-dialog")
    program.press(cancel)
    program.gone(dialog)


def check_month_report(program, display, folder, today, barcode_amount):
    """The month's goods report: its text, its first and last lines, its
    length; the reader hears only the totals come at its end (the report
    sets the whole text anew, the same text with the totals after it). Read
    through a piece at a time, as a reader goes through a long text, the
    report takes the program no more memory than twice its text (in UTF-16,
    as the program holds it): its text and its line index, and no copy."""
    before = program.memory("VmRSS")
    program.press(program.control("统计", "push button"))
    program.answer(QUESTION, "否(N)")
    program.answer(QUESTION, "否(N)")
    program.answer(QUESTION, "确定")  # only barcode goods are counted

    def finished():
        count = program.count(display)
        return count > 0 and program.line_at(display, count - 1)[0].startswith("商品应收金额总计:")

    wait_for("the month's goods report", finished, timeout=120)
    count = program.count(display)
    text_bytes = 2 * count
    shown_report = program.memory("VmRSS")
    program.reset_peak()
    read = program.read_all(display)
    held = program.memory("VmHWM") - before
    print("month goods report: %d characters (%.1f MB in UTF-16); the program's resident memory %.1f MB before it, "
          "%.1f MB with it shown, %.1f MB at most while it was read through" %
          (count, text_bytes / 2**20, before / 2**20, shown_report / 2**20, (before + held) / 2**20))

    heading = re.search(r"\n\n(\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{2}:\d{2})\n\n条码结算的商品数量统计：", read)
    check(heading is not None, "no heading before the goods lines")
    expected, totals = expected_report(folder, today, barcode_amount, Decimal("1.11"), heading.group(1))
    expected, totals = shown(expected), shown(totals)
    check(count == len(expected), "the report has %d characters, not %d" % (count, len(expected)))
    check(read == expected, "the report read through AT-SPI differs from the one written")
    first_end = expected.index("\n") + 1
    check(program.line_at(display, 0) == (expected[:first_end], 0, first_end), "the first line differs")
    last_start = expected.rindex("\n", 0, count - 1) + 1
    check(program.line_at(display, count - 1) == (expected[last_start:], last_start, count), "the last line differs")
    program.event("the totals coming", display, "object:text-changed:insert", count - len(totals), totals)
    check(held <= 2 * text_bytes, "the program held %.1f MB for a report of %.1f MB" % (held / 2**20, text_bytes / 2**20))


def main():
    on_private_bus(sys.argv)
    install, artifacts = sys.argv[1], os.path.join(sys.argv[2], "accessibility")
    folder = os.path.realpath(program_folder(install))
    today = datetime.date.today()
    barcode_amount = write_journal(folder, today)
    screen = Display(artifacts, "1024x768")
    program = None
    try:
        # A fixed threshold gives every large block back to the system when it
        # is freed, so the memory figures show what the program holds, not
        # what its allocator keeps for later.
        program = Program(folder, dict(screen.env, MALLOC_MMAP_THRESHOLD_="131072"))
        display = check_controls(program)
        notes = check_notes(program, display, folder)
        listen_to_text_changes(program)
        check_change(program, screen, display, notes)
        check_file_dialog(program, screen)
        check_month_report(program, display, folder, today, barcode_amount)
        print("PASS accessibility")
        return 0
    except Exception:
        screen.screenshot("failure")
        raise
    finally:
        if program:
            program.kill()
        screen.close()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
