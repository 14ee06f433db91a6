#!/usr/bin/env python3
"""End-to-end scenarios: the installed program in a fresh program folder,
driven by keys on a private X server; the journals are checked byte for byte.
What the program shows is read through AT-SPI on a private session bus, and
each step waits for the state it brings about.

usage: e2e.py INSTALL_DIR ARTIFACT_DIR"""

import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile
import traceback
from decimal import Decimal

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reader import MAIN_TITLE, on_private_bus, wait_for  # noqa: E402
from till import Display, Till, gbk, normalised, program_folder  # noqa: E402

TITLE = "Tovrin 找零"       # questions
APP_TITLE = "Tovrin找零"    # OK boxes

T = "\t"
CRLF = "\r\n"


def sale_line(received, total, quantity, change, discount="0", one_item=True):
    line = ("DT" + T + "折扣：   " + T + discount + T + "实收金额：  " + T + received + T + "商品价格累计：  " + T +
            total + T + "  商品 数量累计：  " + T + quantity + T + "找零：  " + T + change)
    return gbk(line + (T if one_item else "") + CRLF)


def item_line(number, discount, total, quantity):
    return ("商品:  " + number + T + "   折扣：   " + T + discount + T + "商品总价格：  " + T + total + T +
            "  商品 数量：  " + T + quantity + T + CRLF + CRLF)


def block(due, count, discount, total, quantity, items, one_item=False):
    # A one-item block ends with its item line; an accumulated one adds a
    # line end after the content of the item file.
    return gbk("DT" + T + "   应收金额累计：   " + T + due + CRLF + "商品序号:  " + count + T + "   折扣累计：   " + T +
               discount + T + "商品价格累计：  " + T + total + T + "  商品 数量累计：  " + T + quantity + CRLF +
               CRLF + items + ("" if one_item else CRLF) + CRLF)


def expect_file(till, name, expected):
    """A journal that must hold these bytes now (one that must not have
    changed); one that is being written is waited for with wait_file."""
    actual = normalised(till.file(name))
    if actual != expected:
        raise AssertionError("%s differs:\n  expected %r\n  actual   %r" % (name, expected, actual))


def finish_sale(till, change, shot=None):
    """找零, Yes to its question, and the change in the display."""
    till.press("Command1(0)")
    till.answer(TITLE, "y", shot=shot)
    till.focus()  # the sale is finished once the keyboard is back in the window
    till.shows("the change " + change, lambda text: text == change)


def one_item_sale(till, received="100", price="35.5"):
    till.fill("Text1", received)
    till.fill("Text2", price)
    finish_sale(till, str(Decimal(received) - Decimal(price)), shot="one-item-confirmation")


def period_report(till, first, second, shot, sales):
    """统计: a period's sales (Yes), the day (Yes) or the month (No); the
    window's caption counts the sales."""
    till.press("Command1(1)")
    till.answer(TITLE, first)
    till.answer(TITLE, second)
    till.wait_window("Tovrin 找零     %d   " % sales)
    till.focus()  # the report is made once the keyboard is back in the window
    till.display.screenshot(shot)


def goods_report(till, notice_shot, shot):
    """统计: the goods (No), this month (Yes); a notice that only barcode
    goods are counted, then the report with its totals last."""
    till.press("Command1(1)")
    till.answer(TITLE, "n")
    till.answer(TITLE, "y")
    till.answer(TITLE, "Return", shot=notice_shot)
    till.focus()
    till.shows("the goods report", lambda text: text.rstrip("\n").rsplit("\n", 1)[-1].startswith("商品应收金额总计:"))
    till.display.screenshot(shot)


def barcode_settlement(till):
    till.press("Command3")
    wait_for("the barcode settlement", lambda: till.caption("Command3") == "条码结算")


ONE_ITEM_LINE = sale_line("100", "35.5", "1", "64.5")
ONE_ITEM_BLOCK = block("35.5", "1", "0", "35.5", "1", item_line("1", "0", "35.5", "1"), one_item=True)


def scenario_one_item(display, install):
    with Till(display, program_folder(install)) as till:
        one_item_sale(till)
        display.screenshot("one-item-change")
        till.wait_file("tovrincalculate.txt", ONE_ITEM_LINE)
        till.wait_file("tovrinback.txt", ONE_ITEM_BLOCK)


def scenario_three_items(display, install):
    with Till(display, program_folder(install)) as till:
        first, second = item_line("1", "0", "10", "1"), item_line("2", "1.8", "9", "2")
        till.fill("Text2", "10")
        till.keys("Return")
        till.wait_file("tovrincomm.txt", gbk(first))
        till.fill("Text4", "2")
        till.fill("Text3", "80")
        till.fill("Text2", "4.5")
        till.keys("Return")
        till.wait_file("tovrincomm.txt", gbk(first + second))
        till.fill("Text2", "-4.5")
        till.keys("Return")
        till.answer(TITLE, "y")  # the negative price takes the item back
        items = first + second + item_line("3", "-1.8", "-9", "2")
        till.wait_file("tovrincomm.txt", gbk(items))
        till.shows("the third item", lambda text: "商品:  3\t" in text)
        display.screenshot("three-items-list")

        till.fill("Text1", "5")
        till.press("Command1(0)")
        till.answer(TITLE, "y")
        till.answer(APP_TITLE, "Return", shot="three-items-not-enough")
        till.focus()
        expect_file(till, "tovrincalculate.txt", b"")

        till.fill("Text1", "20")
        finish_sale(till, "10")
        display.screenshot("three-items-change")
        till.wait_file("tovrincalculate.txt", sale_line("20", "10", "5", "10", one_item=False))
        till.wait_file("tovrinback.txt", block("10", "3", "0", "10", "5", items))


def scenario_exit_and_restart(display, install):
    folder = program_folder(install)
    with Till(display, folder) as till:
        one_item_sale(till)
        till.close_window()
        till.answer(TITLE, "n", shot="exit-question")
        till.focus()  # the keyboard back in the window
        assert till.running(), "No must keep the program running"
        till.close_window()
        till.answer(TITLE, "y")
        till.wait_exit()
    # A new run appends to the journals of the first.
    with Till(display, folder) as till:
        one_item_sale(till)
        display.screenshot("restart")
        till.wait_file("tovrincalculate.txt", ONE_ITEM_LINE * 2)
        till.wait_file("tovrinback.txt", ONE_ITEM_BLOCK * 2)


def scenario_reports(display, install):
    with Till(display, program_folder(install)) as till:
        one_item_sale(till)
        one_item_sale(till, "50", "10")
        lines = [ONE_ITEM_LINE, sale_line("50", "10", "1", "40")]
        listed = b"".join(b"\t" + line[:-2] + b"\t\r\n" for line in lines) + b"\t\t\r\n\r\n\r\n"

        period_report(till, "y", "y", "report-day", 2)
        till.wait_file("betweenp.txt", listed)

        period_report(till, "y", "n", "report-month", 2)
        till.wait_file("betweenp.txt", listed)

        goods_report(till, "report-goods-notice", "report-goods")  # only barcode goods are counted
        till.wait_file("betweensum.txt", b"")
        till.no_box(APP_TITLE)


def choose_workbook(till, path, shot=None):
    """更新条码价格, Yes, and the workbook's path typed into the file dialog."""
    till.press("Command2")
    till.answer(TITLE, "y")
    till.box("打开")
    till.type(path)
    wait_for("the path in the file dialog", lambda: till.dialog_text("打开", "文件名称(N)：") == path)
    if shot:
        till.display.screenshot(shot)
    till.keys("Return")


def import_workbook(till, path, shot, troubles=None):
    choose_workbook(till, path, shot)
    till.answer(TITLE, "Return")  # the table has been updated
    if troubles:
        till.answer(TITLE, "Return", shot=troubles)  # the rows no scan can sell
    till.focus()
    till.no_box(TITLE)


COLA_ITEM = ("商品:  可口可乐" + " " * 32 + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + "3.5" + T +
             "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + "6901234567890" + T + CRLF + CRLF)


def sell_a_cola(till, display, enter, shot):
    """The cola's barcode typed and ended with `enter`, its item shown, and
    the sale finished with 10 received."""
    till.fill("Text2", "6901234567890")
    till.keys(enter)
    till.wait_file("tovrincomm.txt", gbk(COLA_ITEM))
    till.shows("the item", lambda text: "可口可乐" in text)
    display.screenshot(shot)
    till.fill("Text1", "10")
    finish_sale(till, "6.5")
    till.wait_file("tovrincalculate.txt", sale_line("10", "3.5", "1", "6.5", one_item=False))


def scenario_barcode_sale(display, install, data):
    with Till(display, program_folder(install)) as till:
        # The barcode "a-100" cannot be typed into the price box: a box names it.
        import_workbook(till, os.path.join(data, "import", "goods.xlsx"), "import-xlsx-dialog",
                        troubles="import-xlsx-troubles")
        from_xlsx = till.file("collector.txt")
        cola = gbk(T + T.join(["6901234567890", "可口可乐", "330ml", "罐", "3.5", "2.8", "120", "True", "2018-5-12",
                               "2018-5-12 9:05:07", "两边有空格"]) + CRLF)
        assert cola in from_xlsx, "the cola row is missing from collector.txt"
        import_workbook(till, os.path.join(data, "import", "goods.xls"), "import-xls-dialog",
                        troubles="import-xls-troubles")
        if till.file("collector.txt") != from_xlsx:
            raise AssertionError("the .xls and the .xlsx of the same goods give different tables")

        barcode_settlement(till)
        sell_a_cola(till, display, "Return", "barcode-item")
        till.wait_file("tovrinback.txt", block("3.5", "1", "0", "3.5", "1", COLA_ITEM))

        goods_report(till, None, "barcode-goods-report")
        till.wait_file("betweensum.txt",
                       gbk(T + CRLF + "商品:  可口可乐" + " " * 23 + T + "6901234567890 销售量：1" + T + " 原价总额：3.5" +
                           T + " 折扣总额：0" + T + " 应收金额：3.5" + CRLF))


def scenario_scanner_keypad_enter(display, install):
    """A scanner that ends each barcode with keypad Enter; after the sale,
    Delete in the price box (X11 gives it the text DEL) keeps the item file
    until a key that types something starts the next sale."""
    folder = program_folder(install)
    with open(os.path.join(folder, "collector.txt"), "wb") as f:
        f.write(gbk(T + T.join(["条码", "商品名称", "规格", "单位", "销售价"]) + CRLF +
                    T + T.join(["6901234567890", "可口可乐", "330ml", "罐", "3.5"]) + CRLF))
    with Till(display, folder) as till:
        barcode_settlement(till)
        sell_a_cola(till, display, "KP_Enter", "scanned-item")

        till.go("Text2")
        till.keys("Delete", "Left", "End")
        # Tab to the next control: once it has the keyboard, the keys before
        # it have been handled.
        till.go("Command1(0)")
        display.screenshot("change-kept-after-delete")
        expect_file(till, "tovrincomm.txt", gbk(COLA_ITEM))
        till.go("Text2")
        till.keys("BackSpace")
        till.wait_file("tovrincomm.txt", b"")
        till.no_box(APP_TITLE)


# --- keys and focus at the counter ------------------------------------------
# These wait on what the program shows or writes: a window that has the
# keyboard, a file with the expected bytes, the selection on the screen.

SPRITE_ITEM = ("商品:  雪碧" + " " * 36 + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + "3" + T +
               "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + "6900000000007" + T + CRLF + CRLF)


def screen(display):
    """The screen's width, height and pixels (red, green, blue bytes, row
    after row), read from a binary PPM of it."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=display.env,
                          capture_output=True, check=True).stdout
    fields, at = [], 0
    while len(fields) < 4:  # P6, width, height, maximum, each after blanks
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:]
    return width, height, pixels


# The selection colour of Qt's own style on a desktop without a theme.
SELECTION_COLOUR = (48, 140, 198)


def selection_shown(display, least=2000):
    """True when a block of the selection colour shows: the selected text
    of a box (its frame alone, also drawn in that colour, is far smaller)."""
    width, height, pixels = screen(display)
    if len(pixels) != width * height * 3:
        return False
    return pixels.count(bytes(SELECTION_COLOUR)) >= least


def scenario_scans_after_a_refused_scan(display, install):
    """A scanner at the counter: a refused scan stays selected and the next
    scan replaces it; Tab, Return finish the sale (Esc and Alt+F4 do not
    answer its question); the next customer's scan lands in the price box."""
    folder = program_folder(install)
    with open(os.path.join(folder, "collector.txt"), "wb") as f:
        f.write(gbk(T + T.join(["条码", "商品名称", "规格", "单位", "销售价"]) + CRLF +
                    T + T.join(["6901234567890", "可口可乐", "330ml", "罐", "3.5"]) + CRLF +
                    T + T.join(["6900000000007", "雪碧", "330ml", "罐", "3"]) + CRLF))
    with Till(display, folder) as till:
        till.fill("Text1", "20")
        barcode_settlement(till)
        till.go("Text2")
        till.scan("6900000000014")  # not in the table
        till.answer(TITLE, "Return")  # 没有此商品条形码！
        till.answer(APP_TITLE, "Return")  # 没有该商品条码对应价格！
        till.display.keyboard_in(till.window, "the window")
        wait_for("the refused barcode to show selected", lambda: selection_shown(display))
        display.screenshot("refused-scan-selected")

        till.scan("6901234567890")
        till.wait_file("tovrincomm.txt", gbk(COLA_ITEM))
        till.scan("6900000000007", enter="Return")
        till.wait_file("tovrincomm.txt", gbk(COLA_ITEM + SPRITE_ITEM))

        till.keys("Tab", "Return")  # 找零
        question = till.box(TITLE)
        display.screenshot("change-confirmation")
        till.keys("Escape", "alt+F4", "Return")
        till.wait_file("tovrincalculate.txt", sale_line("20", "6.5", "2", "13.5", one_item=False))
        till.wait_file("tovrinback.txt", block("6.5", "2", "0", "6.5", "2", COLA_ITEM + SPRITE_ITEM))
        till.wait_closed(question)

        # The keyboard is back in the price box: the next customer's scan
        # starts the next sale there.
        wait_for("the keyboard in the price box", lambda: till.focus() == "Text2")
        till.scan("6901234567890")
        till.wait_file("tovrincomm.txt", gbk(COLA_ITEM))
        display.screenshot("next-customer-scanned")
        till.no_box(APP_TITLE)
        assert till.running()


def scenario_large_import(display, install, data):
    """A 500,000-row .xls: the progress dialog shows while it is read; 取消
    keeps the old table, and then the whole workbook imports."""
    work = tempfile.mkdtemp(prefix="tovrin-e2e-rows-")
    try:
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                              "make_hostile_testdata.py")
        subprocess.run(["/usr/bin/python3", script, work, "rows.xls=500000"], check=True)
        rows = os.path.join(work, "rows.xls")
        with Till(display, program_folder(install)) as till:
            old = till.file("collector.txt")

            choose_workbook(till, rows)
            # Esc reaches the dialog once it has the keyboard; it is taken
            # once rows are being read.
            till.box(PROGRESS_TITLE)
            wait_for("rows read", lambda: till.dialog_label(PROGRESS_TITLE, re.compile(r"已读取 [1-9][0-9]* 行")))
            display.screenshot("import-progress")
            till.keys("Escape")  # 取消
            box = till.answer(TITLE, "Return", shot="import-cancelled")
            assert box, "no message after cancelling"
            till.focus()
            if till.file("collector.txt") != old:
                raise AssertionError("cancelling the import changed collector.txt")

            choose_workbook(till, rows)
            till.wait_window(PROGRESS_TITLE)
            # The import and then the check of the new table, each with its
            # own progress; the success box follows.
            till.wait_window(TITLE, timeout=600)
            till.answer(TITLE, "Return", shot="import-done")  # the table has been updated
            till.focus()
            till.no_box(TITLE)  # every row can be sold
            table = till.file("collector.txt")
            lines = table.count(b"\r\n")
            if lines != 500000:
                raise AssertionError("collector.txt holds %d lines, not 500000" % lines)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def scenario_reports_over_lf_journals(display, install):
    """Journals an editor saved with LF line ends report as the till's own
    CR LF journals do."""
    folder = program_folder(install)
    with Till(display, folder) as till:
        one_item_sale(till)
        one_item_sale(till, "50", "10")
    for name in ("tovrincalculate.txt", "tovrinback.txt"):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data.replace(b"\r\n", b"\n"))
    with Till(display, folder) as till:
        lines = [ONE_ITEM_LINE, sale_line("50", "10", "1", "40")]
        listed = b"".join(b"\t" + line[:-2] + b"\t\r\n" for line in lines) + b"\t\t\r\n\r\n\r\n"
        period_report(till, "y", "y", "lf-report-day", 2)
        till.wait_file("betweenp.txt", listed)
        till.no_box(APP_TITLE)

        goods_report(till, "lf-report-goods-notice", "lf-report-goods")
        till.wait_file("betweensum.txt", b"")
        till.no_box(APP_TITLE)


PROGRESS_TITLE = "导入条码价格表"


def minimised(display, window):
    return "_NET_WM_STATE_HIDDEN" in display.xprop("-id", str(window), "_NET_WM_STATE")


def scenario_second_start_raises_the_first(display, install):
    """A second start from the same folder brings the running till's window
    forward, from behind another till's and minimised, and ends without a
    word; only when the running till cannot be reached does it say so."""
    folder = program_folder(install)
    with Till(display, folder) as till:
        first = int(till.window)
        wait_for("the till's window to be active", lambda: display.active_window() == first)
        with Till(display, program_folder(install)) as other:
            # Both windows carry the same title: the other's is the new one.
            others = [int(w) for w in other.windows(MAIN_TITLE) if int(w) != first]
            assert len(others) == 1, "the other till's window is not told apart"
            wait_for("the other till's window to be active", lambda: display.active_window() == others[0])
            display.xdotool("windowminimize", till.window)
            wait_for("the till's window to be minimised", lambda: minimised(display, first))
            display.screenshot("before-second-start")

            with Till(display, folder, window=False) as second:
                second.wait_exit()
                assert second.process.returncode == 0, "the second start did not end with 0"
            wait_for("the till's window to become active", lambda: display.active_window() == first)
            assert not minimised(display, first), "the till's window is still minimised"
            display.screenshot("after-second-start")
            till.no_box(TITLE)
            till.no_box(APP_TITLE)
            assert till.running() and other.running()

    # A till that holds the lock but does not answer: the second start says so.
    with open(os.path.join(folder, "tovrin.lock"), "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        with Till(display, folder, window=False) as second:
            second.answer(TITLE, "Return", shot="already-running")
            second.wait_exit()
            assert second.process.returncode == 0, "the second start did not end with 0"


SCENARIOS = [scenario_one_item, scenario_three_items, scenario_exit_and_restart, scenario_reports,
             scenario_barcode_sale, scenario_scanner_keypad_enter, scenario_large_import,
             scenario_reports_over_lf_journals, scenario_scans_after_a_refused_scan,
             scenario_second_start_raises_the_first]


def main():
    on_private_bus(sys.argv)
    install, artifacts = sys.argv[1], sys.argv[2]
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    shutil.rmtree(artifacts, ignore_errors=True)
    passed = failed = 0
    for scenario in SCENARIOS:
        display = None
        try:
            display = Display(os.path.join(artifacts, scenario.__name__))
            if scenario.__code__.co_argcount == 3:
                scenario(display, install, data)
            else:
                scenario(display, install)
            passed += 1
            print("PASS", scenario.__name__, flush=True)
        except Exception:  # a failed scenario is reported and the next one runs
            failed += 1
            print("FAIL", scenario.__name__, flush=True)
            traceback.print_exc()
        finally:
            if display:
                display.close()
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
