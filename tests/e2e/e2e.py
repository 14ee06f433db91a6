#!/usr/bin/env python3
"""End-to-end scenarios: the installed program in a fresh program folder,
driven by keys on a private X server; the journals are checked byte for byte.

usage: e2e.py INSTALL_DIR ARTIFACT_DIR"""

import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

from till import Display, Till, gbk, normalised, program_folder

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
    actual = normalised(till.file(name))
    if actual != expected:
        raise AssertionError("%s differs:\n  expected %r\n  actual   %r" % (name, expected, actual))


def one_item_sale(till, received="100", price="35.5"):
    till.fill("Text1", received)
    till.fill("Text2", price)
    till.press("Command1(0)")
    till.answer(TITLE, "y", shot="one-item-confirmation")
    till.focus = "Text2"  # a finished sale gives the price box the keyboard


ONE_ITEM_LINE = sale_line("100", "35.5", "1", "64.5")
ONE_ITEM_BLOCK = block("35.5", "1", "0", "35.5", "1", item_line("1", "0", "35.5", "1"), one_item=True)


def scenario_one_item(display, install):
    with Till(display, program_folder(install)) as till:
        one_item_sale(till)
        time.sleep(0.5)
        display.screenshot("one-item-change")
        expect_file(till, "tovrincalculate.txt", ONE_ITEM_LINE)
        expect_file(till, "tovrinback.txt", ONE_ITEM_BLOCK)


def scenario_three_items(display, install):
    with Till(display, program_folder(install)) as till:
        till.fill("Text2", "10")
        till.keys("Return")
        till.fill("Text4", "2")
        till.fill("Text3", "80")
        till.fill("Text2", "4.5")
        till.keys("Return")
        till.fill("Text2", "-4.5")
        till.keys("Return")
        till.answer(TITLE, "y")  # the negative price takes the item back
        display.screenshot("three-items-list")
        items = item_line("1", "0", "10", "1") + item_line("2", "1.8", "9", "2") + item_line("3", "-1.8", "-9", "2")
        expect_file(till, "tovrincomm.txt", gbk(items))

        till.fill("Text1", "5")
        till.press("Command1(0)")
        till.answer(TITLE, "y")
        till.answer(APP_TITLE, "Return", shot="three-items-not-enough")
        expect_file(till, "tovrincalculate.txt", b"")

        till.fill("Text1", "20")
        till.press("Command1(0)")
        till.answer(TITLE, "y")
        till.focus = "Text2"  # a finished sale gives the price box the keyboard
        time.sleep(0.5)
        display.screenshot("three-items-change")
        expect_file(till, "tovrincalculate.txt", sale_line("20", "10", "5", "10", one_item=False))
        expect_file(till, "tovrinback.txt", block("10", "3", "0", "10", "5", items))


def scenario_exit_and_restart(display, install):
    folder = program_folder(install)
    with Till(display, folder) as till:
        one_item_sale(till)
        till.close_window()
        till.answer(TITLE, "n", shot="exit-question")
        time.sleep(0.5)
        assert till.running(), "No must keep the program running"
        till.close_window()
        till.answer(TITLE, "y")
        till.wait_exit()
    # A new run appends to the journals of the first.
    with Till(display, folder) as till:
        one_item_sale(till)
        time.sleep(0.3)
        display.screenshot("restart")
        expect_file(till, "tovrincalculate.txt", ONE_ITEM_LINE * 2)
        expect_file(till, "tovrinback.txt", ONE_ITEM_BLOCK * 2)


def statistics(till, first, second, shot):
    till.press("Command1(1)")
    till.answer(TITLE, first)
    till.answer(TITLE, second)
    time.sleep(0.5)
    till.display.screenshot(shot)


def scenario_reports(display, install):
    with Till(display, program_folder(install)) as till:
        one_item_sale(till)
        one_item_sale(till, "50", "10")
        lines = [ONE_ITEM_LINE, sale_line("50", "10", "1", "40")]
        listed = b"".join(b"\t" + line[:-2] + b"\t\r\n" for line in lines) + b"\t\t\r\n\r\n\r\n"

        statistics(till, "y", "y", "report-day")
        till.wait_window("Tovrin 找零     2   ")
        expect_file(till, "betweenp.txt", listed)

        statistics(till, "y", "n", "report-month")
        till.wait_window("Tovrin 找零     2   ")
        expect_file(till, "betweenp.txt", listed)

        till.press("Command1(1)")
        till.answer(TITLE, "n")
        till.answer(TITLE, "y")
        till.answer(TITLE, "Return", shot="report-goods-notice")  # only barcode goods are counted
        time.sleep(0.5)
        display.screenshot("report-goods")
        expect_file(till, "betweensum.txt", b"")
        till.no_box(APP_TITLE)


def import_workbook(till, path, shot, troubles=None):
    till.press("Command2")
    till.answer(TITLE, "y")
    till.wait_window("打开")
    time.sleep(0.5)
    till.type(path)
    till.display.screenshot(shot)
    till.keys("Return")
    till.answer(TITLE, "Return")  # the table has been updated
    if troubles:
        till.answer(TITLE, "Return", shot=troubles)  # the rows no scan can sell
    till.no_box(TITLE)


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

        till.press("Command3")  # barcode settlement
        till.fill("Text2", "6901234567890")
        till.keys("Return")
        time.sleep(0.3)
        display.screenshot("barcode-item")
        item = ("商品:  可口可乐" + " " * 32 + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + "3.5" + T +
                "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + "6901234567890" + T + CRLF + CRLF)
        expect_file(till, "tovrincomm.txt", gbk(item))
        till.fill("Text1", "10")
        till.press("Command1(0)")
        till.answer(TITLE, "y")
        till.focus = "Text2"  # a finished sale gives the price box the keyboard
        time.sleep(0.3)
        expect_file(till, "tovrincalculate.txt", sale_line("10", "3.5", "1", "6.5", one_item=False))
        expect_file(till, "tovrinback.txt", block("3.5", "1", "0", "3.5", "1", item))

        till.press("Command1(1)")
        till.answer(TITLE, "n")
        till.answer(TITLE, "y")
        till.answer(TITLE, "Return")
        time.sleep(0.5)
        display.screenshot("barcode-goods-report")
        expect_file(till, "betweensum.txt",
                    gbk(T + CRLF + "商品:  可口可乐" + " " * 23 + T + "6901234567890 销售量：1" + T + " 原价总额：3.5" + T +
                        " 折扣总额：0" + T + " 应收金额：3.5" + CRLF))


COLA_ITEM = ("商品:  可口可乐" + " " * 32 + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + "3.5" + T +
             "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + "6901234567890" + T + CRLF + CRLF)


def scenario_scanner_keypad_enter(display, install):
    """A scanner that ends each barcode with keypad Enter; after the sale,
    Delete in the price box (X11 gives it the text DEL) keeps the item file
    until a key that types something starts the next sale."""
    folder = program_folder(install)
    with open(os.path.join(folder, "collector.txt"), "wb") as f:
        f.write(gbk(T + T.join(["条码", "商品名称", "规格", "单位", "销售价"]) + CRLF +
                    T + T.join(["6901234567890", "可口可乐", "330ml", "罐", "3.5"]) + CRLF))
    with Till(display, folder) as till:
        till.press("Command3")  # barcode settlement
        till.fill("Text2", "6901234567890")
        till.keys("KP_Enter")
        time.sleep(0.3)
        display.screenshot("scanned-item")
        expect_file(till, "tovrincomm.txt", gbk(COLA_ITEM))
        till.fill("Text1", "10")
        till.press("Command1(0)")
        till.answer(TITLE, "y")
        till.focus = "Text2"  # a finished sale gives the price box the keyboard
        time.sleep(0.3)
        expect_file(till, "tovrincalculate.txt", sale_line("10", "3.5", "1", "6.5", one_item=False))

        till.go("Text2")
        till.keys("Delete", "Left", "End")
        time.sleep(0.3)
        display.screenshot("change-kept-after-delete")
        expect_file(till, "tovrincomm.txt", gbk(COLA_ITEM))
        till.keys("BackSpace")
        time.sleep(0.3)
        expect_file(till, "tovrincomm.txt", b"")
        till.no_box(APP_TITLE)



# --- keys and focus at the counter ------------------------------------------
# These wait on what the program shows or writes: a window that has the
# keyboard, a file with the expected bytes, the selection on the screen.

SPRITE_ITEM = ("商品:  雪碧" + " " * 36 + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + "3" + T +
               "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + "6900000000007" + T + CRLF + CRLF)


def wait_for(what, test, timeout=30):
    end = time.monotonic() + timeout
    while True:
        found = test()
        if found:
            return found
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def active_window(display):
    """The window the window manager has made active (0: none)."""
    out = subprocess.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"], env=display.env, capture_output=True,
                         text=True).stdout
    found = re.search(r"#\s*(0x[0-9a-fA-F]+)", out)
    return int(found.group(1), 16) if found else 0


def keyboard_in(till, window, what):
    """Waits until the window has the keyboard, so that keys reach it."""
    wait_for(what + " to have the keyboard", lambda: active_window(till.display) == int(window))


def box(till, title):
    """Waits for a box with the title and for the keyboard in it."""
    found = till.wait_window(title, timeout=30)
    keyboard_in(till, found, "the box %r" % title)
    return found


def press_keys(till, *names):
    for name in names:
        till.display.xdotool("key", "--clearmodifiers", name)


def scan(till, barcode, enter="KP_Enter"):
    """A scanner: the digits, then Enter, as fast as X takes them."""
    till.display.xdotool("type", "--delay", "5", "--", barcode)
    press_keys(till, enter)


def wait_file(till, name, expected):
    last = []

    def same():
        last[:] = [normalised(till.file(name))]
        return last[0] == expected

    try:
        wait_for(name, same)
    except AssertionError:
        raise AssertionError("%s differs:\n  expected %r\n  actual   %r" % (name, expected, last[0]))


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
        keyboard_in(till, till.window, "the window")
        till.fill("Text1", "20")
        till.press("Command3")  # barcode settlement
        till.go("Text2")
        scan(till, "6900000000014")  # not in the table
        box(till, TITLE)  # 没有此商品条形码！
        press_keys(till, "Return")
        box(till, APP_TITLE)  # 没有该商品条码对应价格！
        press_keys(till, "Return")
        keyboard_in(till, till.window, "the window")
        wait_for("the refused barcode to show selected", lambda: selection_shown(display))
        display.screenshot("refused-scan-selected")

        scan(till, "6901234567890")
        wait_file(till, "tovrincomm.txt", gbk(COLA_ITEM))
        scan(till, "6900000000007", enter="Return")
        wait_file(till, "tovrincomm.txt", gbk(COLA_ITEM + SPRITE_ITEM))

        press_keys(till, "Tab", "Return")  # 找零
        box(till, TITLE)
        display.screenshot("change-confirmation")
        press_keys(till, "Escape", "alt+F4", "Return")
        wait_file(till, "tovrincalculate.txt", sale_line("20", "6.5", "2", "13.5", one_item=False))
        wait_file(till, "tovrinback.txt", block("6.5", "2", "0", "6.5", "2", COLA_ITEM + SPRITE_ITEM))
        till.wait_gone(TITLE, timeout=30)

        # The keyboard is back in the price box: the next customer's scan
        # starts the next sale there.
        keyboard_in(till, till.window, "the window")
        till.focus = "Text2"
        scan(till, "6901234567890")
        wait_file(till, "tovrincomm.txt", gbk(COLA_ITEM))
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

            def start():
                till.press("Command2")
                till.answer(TITLE, "y")
                till.wait_window("打开")
                time.sleep(0.5)
                till.type(rows)
                till.keys("Return")

            start()
            till.wait_window(PROGRESS_TITLE, timeout=20)
            time.sleep(0.8)
            display.screenshot("import-progress")
            till.keys("Escape")  # 取消
            box = till.answer(TITLE, "Return", shot="import-cancelled")
            assert box, "no message after cancelling"
            if till.file("collector.txt") != old:
                raise AssertionError("cancelling the import changed collector.txt")

            start()
            till.wait_window(PROGRESS_TITLE, timeout=20)
            # The import and then the check of the new table, each with its
            # own progress; the success box follows.
            till.wait_window(TITLE, timeout=180)
            till.answer(TITLE, "Return", shot="import-done")  # the table has been updated
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
        statistics(till, "y", "y", "lf-report-day")
        till.wait_window("Tovrin 找零     2   ")
        expect_file(till, "betweenp.txt", listed)
        till.no_box(APP_TITLE)

        till.press("Command1(1)")
        till.answer(TITLE, "n")
        till.answer(TITLE, "y")
        till.answer(TITLE, "Return", shot="lf-report-goods-notice")
        time.sleep(0.5)
        display.screenshot("lf-report-goods")
        expect_file(till, "betweensum.txt", b"")
        till.no_box(APP_TITLE)


PROGRESS_TITLE = "导入条码价格表"


def minimised(display, window):
    out = subprocess.run(["xprop", "-id", str(window), "_NET_WM_STATE"], env=display.env, capture_output=True,
                         text=True).stdout
    return "_NET_WM_STATE_HIDDEN" in out


def scenario_second_start_raises_the_first(display, install):
    """A second start from the same folder brings the running till's window
    forward, from behind another till's and minimised, and ends without a
    word; only when the running till cannot be reached does it say so."""
    folder = program_folder(install)
    with Till(display, folder) as till:
        first = int(till.window)
        wait_for("the till's window to be active", lambda: active_window(display) == first)
        with Till(display, program_folder(install)) as other:
            # Both windows carry the same title: the other's is the new one.
            others = [int(w) for w in other.windows("Tovrin  找零软件 ") if int(w) != first]
            assert len(others) == 1, "the other till's window is not told apart"
            wait_for("the other till's window to be active", lambda: active_window(display) == others[0])
            display.xdotool("windowminimize", "--sync", till.window)
            wait_for("the till's window to be minimised", lambda: minimised(display, first))
            display.screenshot("before-second-start")

            with Till(display, folder, window=False) as second:
                second.wait_exit(30)
                assert second.process.returncode == 0, "the second start did not end with 0"
            wait_for("the till's window to become active", lambda: active_window(display) == first)
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
            second.wait_exit(30)
            assert second.process.returncode == 0, "the second start did not end with 0"


SCENARIOS = [scenario_one_item, scenario_three_items, scenario_exit_and_restart, scenario_reports,
             scenario_barcode_sale, scenario_scanner_keypad_enter, scenario_large_import,
             scenario_reports_over_lf_journals, scenario_scans_after_a_refused_scan,
             scenario_second_start_raises_the_first]


def main():
    install, artifacts = sys.argv[1], sys.argv[2]
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    shutil.rmtree(artifacts, ignore_errors=True)
    passed = failed = 0
    for scenario in SCENARIOS:
        display = Display(os.path.join(artifacts, scenario.__name__))
        try:
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
            display.close()
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
