#!/usr/bin/python3
"""Time, peak memory and outcome of the reports and the lookup over data files
with CR LF and with LF line ends, one probe process per case:

    tools/measure_line_ends.py PROBE [PROBE ...]

PROBE is build/bench/bench_hostile_probe (several: one per build, to compare
them on the same files). The reports read the journals of 2018-12-28. Each
run is cut after 60 s and at 4 GB of address space."""

import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

T, CRLF = "\t", "\r\n"
TODAY = "2018-12-28"


def sale(when, received=100, change=64.5):
    return (when + T + "折扣：   " + T + "0" + T + "实收金额：  " + T + str(received) + T + "商品价格累计：  " + T +
            "35.5" + T + "  商品 数量累计：  " + T + "1" + T + "找零：  " + T + str(change) + T + CRLF)


def block(when, items):
    text = (when + T + "   应收金额累计：   " + T + "10" + CRLF + "商品序号:  " + str(len(items)) + T +
            "   折扣累计：   " + T + "0" + T + "商品价格累计：  " + T + "10" + T + "  商品 数量累计：  " + T +
            str(len(items)) + CRLF + CRLF)
    for name, code in items:
        text += ("商品:  " + name.ljust(39) + T + "   折扣：   " + T + "0" + T + "商品总价格：  " + T + "5" + T +
                 "  商品 数量：  " + T + "1" + T + "  商品 条码：  " + T + code + T + CRLF + CRLF)
    return text + CRLF + CRLF


def earlier(i):
    return "2018-%d-%d %d:%02d:%02d" % (1 + i % 11, 1 + i % 28, 8 + i % 12, i % 60, (i // 60) % 60)


def row(code, name, price):
    return T + T.join([code, name, "", "", price, "", "", "", "", "", ""]) + CRLF


def cases():
    """(name, files, probe arguments after the folder)"""
    amounts = "".join(sale(earlier(i), received=100 + i) for i in range(20000))
    amounts += "".join(sale("%s %d:%02d:%02d" % (TODAY, 9 + i // 3600, i // 60 % 60, i % 60), received=i)
                       for i in range(300))
    goods = "".join(block(earlier(i), [("牛奶", "6901"), ("可乐", "6902")]) for i in range(3000))
    goods += "".join(block("%s 9:%02d:%02d" % (TODAY, i // 60, i % 60), [("牛奶", "6901"), ("面包%d" % (i % 7), "69%02d" % i)])
                     for i in range(60))
    table = row("条码", "商品名称", "销售价") + "".join(row("69%08d" % i, "商品%d" % i, str(1 + i % 50)) for i in range(5000))
    for ends, convert in (("CR LF", lambda t: t), ("LF", lambda t: t.replace(CRLF, "\n"))):
        yield ("amount day, 20,000 + 300 (%s)" % ends, {"tovrincalculate.txt": convert(amounts)}, ["report", "amount-day"])
        yield ("goods day, 3,000 + 60 (%s)" % ends, {"tovrinback.txt": convert(goods)}, ["report", "goods-day"])
        yield ("scan middle of 5,000 (%s)" % ends, {"collector.txt": convert(table)}, ["lookup", "6900002500"])
    appended = row("6901", "可乐", "3.5") + T + "6905\tX\t\t\t\n" + T + "6906\tY\t\t\t7\t\t\t\t\t\t\n"
    yield ("CR LF table + 2 LF lines, no price", {"collector.txt": appended}, ["lookup", "6905"])
    piece = ("%s 9:30:00\t0\t|\t1\t|\t1\t|\t1\t|\t0\t" % TODAY)
    piece += "." * (100 - len(piece))
    huge = piece * 500000
    yield ("one 50 MB line, amount day", {"tovrincalculate.txt": huge}, ["report", "amount-day"])
    yield ("one 50 MB line, goods day", {"tovrinback.txt": huge}, ["report", "goods-day"])
    many = "".join(sale("%s %d:%02d:%02d" % (TODAY, 8 + i // 3600 % 12, i // 60 % 60, i % 60), received=i)
                   for i in range(100005))
    yield ("100,005 sales today", {"tovrincalculate.txt": many}, ["report", "amount-day"])


def limit():
    resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))


def run(probe, folder, args):
    start = time.time()
    out = subprocess.run(["/usr/bin/time", "-v", "timeout", "60", probe, args[0], folder] + args[1:],
                         capture_output=True, text=True, preexec_fn=limit)
    wall = time.time() - start
    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", out.stderr)
    said = [l.strip() for l in out.stdout.splitlines() if l.startswith(("report", "lookup", "  said"))]
    sizes = []
    for name in ("betweenp.txt", "betweensum.txt"):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            sizes.append("%s %d B" % (name, os.path.getsize(path)))
    return wall, int(peak.group(1)) // 1024 if peak else -1, out.returncode, said, sizes


def main():
    probes = sys.argv[1:]
    if not probes:
        print(__doc__)
        return 2
    for name, files, args in cases():
        print("== " + name)
        for probe in probes:
            folder = tempfile.mkdtemp(prefix="tovrin-line-ends-")
            try:
                for file, text in files.items():
                    with open(os.path.join(folder, file), "wb") as f:
                        f.write(text.encode("gbk"))
                wall, peak, rc, said, sizes = run(probe, folder, args)
                print("  %-50s rc=%d %6.2f s %6d MB  %s" % (probe[-50:], rc, wall, peak, ", ".join(sizes)))
                for line in said[:4]:
                    print("      " + line[:160])
            finally:
                shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
