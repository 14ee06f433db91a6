// The barcode table import of workbooks of 50,000 and of 500,000 goods
// (eleven columns, text and numbers mixed), as .xlsx and as .xls, and of
// 50,000 goods as .ods and .csv (GBK), into collector.txt. Targets: at most 3 s
// each for 50,000 goods, peak memory under 200 MB. Every import is checked to
// have written one line per row read, the last goods row included; the
// resident memory after the import is printed beside the peak.
//
// The XML readers (.xlsx and .ods) are also measured alone, reading into a
// receiver that only checks the rows (their count, and the barcode and price
// of the last one), against a floor measured on the same file in the same
// run: inflating the sheet's XML (xl/worksheets/sheet1.xml, content.xml) and
// tokenizing it with expat, no handlers set. Target: the reader at most 1.5 x
// that floor. Floor and reader take turns, and the fastest of each is
// compared, by the thread's CPU time (wall-clock time beside), so that other
// work on the machine weighs on both alike. An .xlsx reader also reads the
// shared strings: the floor over both parts together is printed beside.
//
// The .xlsx, .ods and .csv are written here; the .xls by
// tools/make_bench_xls.py (python3-xlwt), run once per benchmark run. Each run
// checks that the table got one line per row of the workbook. The imports are
// also given as a multiple of floors measured in the same run: for .xlsx and
// .ods the expat floor above, for .ods also unpacking content.xml alone, for
// .csv reading the file. Peak memory is the process's peak resident size
// since the measured step began (Linux: /proc/self/status VmHWM, reset
// through /proc/self/clear_refs after the workbook was made).

#include <benchmark/benchmark.h>
#include <expat.h>
#include <malloc.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "barcode/import.h"
#include "barcode/lookup.h"
#include "platform/qt/gbk_text_files.h"
#include "support/fakes.h"
#include "support/memory.h"
#include "workbook/workbook_reader.h"

namespace {

constexpr int kSheetGoods = 60000;  // goods per .xls sheet (tools/make_bench_xls.py)

using namespace tovrin;

// Runs each work in place and adds up its time by what it is called (the
// import "正在导入 …", the check after it).
class TimingRunner : public ProgressRunner {
public:
    void run(const QString& what, const std::function<void(Progress&)>& work) override {
        const QString name = what.startsWith(BarcodeImport::kChecking) ? what : QStringLiteral("import");
        QElapsedTimer timer;
        timer.start();
        inPlace_.run(what, work);
        ms[name] += double(timer.nsecsElapsed()) / 1e6;
    }
    std::map<QString, double> ms;

private:
    InPlaceRunner inPlace_;
};

// The generated workbooks; TOVRIN_BENCH_KEEP=1 keeps them after the run.
QTemporaryDir& folder() {
    static QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("TOVRIN_BENCH_KEEP"));
    return dir;
}

bool addEntry(QuaZip& zip, const QString& name, const QByteArray& bytes) {
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name))) return false;
    file.write(bytes);
    file.close();
    return file.getZipError() == UNZ_OK;
}

QString makeXlsx(int goods) {
    const QString path = folder().filePath(QStringLiteral("bench%1.xlsx").arg(goods));
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate)) return {};
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QByteArray pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
    bool ok =
        addEntry(zip, QStringLiteral("[Content_Types].xml"),
                 head + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>");
    ok = ok && addEntry(zip, QStringLiteral("_rels/.rels"),
                        head + "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" +
                            rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    ok = ok &&
         addEntry(zip, QStringLiteral("xl/workbook.xml"),
                  head + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                      "\"><sheets><sheet name=\"商品\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    ok = ok &&
         addEntry(zip, QStringLiteral("xl/_rels/workbook.xml.rels"),
                  head + "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" + rel +
                      "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
                      rel +
                      "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId3\" Type=\"" +
                      rel + "/styles\" Target=\"styles.xml\"/></Relationships>");
    ok = ok &&
         addEntry(zip, QStringLiteral("xl/styles.xml"),
                  head + "<styleSheet xmlns=\"" + main +
                      "\"><cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"2\"/>"
                      "</cellXfs></styleSheet>");

    // Shared strings: the titles, then per row its barcode, name and note;
    // the small sets of units, categories and suppliers come first.
    QByteArray strings = head + "<sst xmlns=\"" + main + "\">";
    int count = 0;
    auto si = [&](const QString& text) {
        strings += "<si><t xml:space=\"preserve\">" + text.toUtf8() + "</t></si>";
        return count++;
    };
    for (const char* t : {"条码", "商品名称", "规格", "单位", "销售价", "进价", "库存", "类别", "上架日期",
                          "供应商", "备注", "瓶"}) {
        si(QString::fromUtf8(t));
    }
    const int kCategories = count;
    for (int i = 0; i < 20; ++i) si(QStringLiteral("类别%1").arg(i));
    const int kSuppliers = count;
    for (int i = 0; i < 50; ++i) si(QStringLiteral("供应商%1").arg(i));
    const int kPerRow = count;
    for (int r = 1; r <= goods; ++r) {
        si(QStringLiteral("69%1").arg(r, 11, 10, QLatin1Char('0')));
        si(QStringLiteral("商品名称%1").arg(r));
        si(QStringLiteral("  备注 %1  ").arg(r));
    }
    strings += "</sst>";
    ok = ok && addEntry(zip, QStringLiteral("xl/sharedStrings.xml"), strings);
    strings.clear();

    QuaZipFile sheet(&zip);
    ok = ok && sheet.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("xl/worksheets/sheet1.xml")));
    sheet.write(head + "<worksheet xmlns=\"" + main + "\"><sheetData><row r=\"1\">");
    for (int c = 0; c < 11; ++c) {
        sheet.write("<c r=\"" + QByteArray(1, char('A' + c)) + "1\" t=\"s\"><v>" + QByteArray::number(c) +
                    "</v></c>");
    }
    sheet.write("</row>");
    QByteArray chunk;
    for (int r = 1; r <= goods; ++r) {
        const int row = r + 1;
        const int base = kPerRow + 3 * (r - 1);
        chunk += QStringLiteral(
                     "<row r=\"%1\"><c r=\"A%1\" t=\"s\"><v>%2</v></c><c r=\"B%1\" t=\"s\"><v>%3</v></c>"
                     "<c r=\"C%1\" t=\"inlineStr\"><is><t>%4ml</t></is></c><c r=\"D%1\" t=\"s\"><v>11</v></c>"
                     "<c r=\"E%1\" s=\"2\"><v>%5</v></c><c r=\"F%1\"><v>%6</v></c><c r=\"G%1\"><v>%7</v></c>"
                     "<c r=\"H%1\" t=\"s\"><v>%8</v></c><c r=\"I%1\" s=\"1\"><v>43232</v></c>"
                     "<c r=\"J%1\" t=\"s\"><v>%9</v></c>")
                     .arg(row)
                     .arg(base)
                     .arg(base + 1)
                     .arg(100 + r % 900)
                     .arg(1 + (r % 1000) / 100.0)
                     .arg(0.5 + (r % 700) / 100.0)
                     .arg(r % 500)
                     .arg(kCategories + r % 20)
                     .arg(kSuppliers + r % 50)
                     .toUtf8() +
                 QStringLiteral("<c r=\"K%1\" t=\"s\"><v>%2</v></c></row>").arg(row).arg(base + 2).toUtf8();
        if (chunk.size() > (1 << 20)) {
            sheet.write(chunk);
            chunk.clear();
        }
    }
    sheet.write(chunk + "</sheetData></worksheet>");
    sheet.close();
    ok = ok && sheet.getZipError() == UNZ_OK;
    zip.close();
    return ok ? path : QString();
}

// The goods of row r (1-based, below the titles), as texts and numbers.
struct Goods {
    QString barcode, name, size, unit, category, supplier, note;
    double price, cost, stock;
};

Goods goodsOf(int r) {
    return {QStringLiteral("69%1").arg(r, 11, 10, QLatin1Char('0')),
            QStringLiteral("商品名称%1").arg(r),
            QStringLiteral("%1ml").arg(100 + r % 900),
            QStringLiteral("瓶"),
            QStringLiteral("类别%1").arg(r % 20),
            QStringLiteral("供应商%1").arg(r % 50),
            QStringLiteral("  备注 %1  ").arg(r),
            1 + (r % 1000) / 100.0,
            0.5 + (r % 700) / 100.0,
            double(r % 500)};
}

const char* const kTitles[] = {"条码", "商品名称", "规格",     "单位",   "销售价", "进价",
                               "库存", "类别",     "上架日期", "供应商", "备注"};

QString makeOds(int goods) {
    const QString path = folder().filePath(QStringLiteral("bench.ods"));
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate)) return {};
    // The mimetype first and stored, as the format has it.
    QuaZipFile mime(&zip);
    bool ok = mime.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("mimetype")), nullptr, 0, 0, 0);
    mime.write("application/vnd.oasis.opendocument.spreadsheet");
    mime.close();
    ok = ok && mime.getZipError() == UNZ_OK;
    ok = ok && addEntry(zip, QStringLiteral("META-INF/manifest.xml"),
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
                        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"/>");
    QuaZipFile content(&zip);
    ok = ok && content.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("content.xml")));
    content.write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
        "office:version=\"1.3\"><office:body><office:spreadsheet><table:table table:name=\"商品\">"
        "<table:table-column table:number-columns-repeated=\"11\"/><table:table-row>");
    const auto text = [](const QString& t) {
        return QStringLiteral(
                   "<table:table-cell office:value-type=\"string\" calcext:value-type=\"string\">"
                   "<text:p>%1</text:p></table:table-cell>")
            .arg(t);
    };
    const auto number = [](double v) {
        return QStringLiteral(
                   "<table:table-cell office:value-type=\"float\" office:value=\"%1\" "
                   "calcext:value-type=\"float\"><text:p>%1</text:p></table:table-cell>")
            .arg(v);
    };
    QString chunk;
    for (const char* t : kTitles) chunk += text(QString::fromUtf8(t));
    chunk += QStringLiteral("</table:table-row>");
    for (int r = 1; r <= goods; ++r) {
        const Goods g = goodsOf(r);
        chunk +=
            QStringLiteral("<table:table-row>") + text(g.barcode) + text(g.name) + text(g.size) +
            text(g.unit) + number(g.price) + number(g.cost) + number(g.stock) + text(g.category) +
            QStringLiteral(
                "<table:table-cell office:value-type=\"date\" office:date-value=\"2018-05-12\" "
                "calcext:value-type=\"date\"><text:p>2018-05-12</text:p></table:table-cell>") +
            text(g.supplier) + text(QStringLiteral("<text:s text:c=\"2\"/>备注 %1 <text:s/>").arg(r)) +
            QStringLiteral("<table:table-cell table:number-columns-repeated=\"1013\"/></table:table-row>");
        if (chunk.size() > (1 << 19)) {
            content.write(chunk.toUtf8());
            chunk.clear();
        }
    }
    chunk +=
        QStringLiteral(
            "<table:table-row table:number-rows-repeated=\"%1\"><table:table-cell "
            "table:number-columns-repeated=\"1024\"/></table:table-row></table:table></office:spreadsheet>"
            "</office:body></office:document-content>")
            .arg(1048576 - goods - 1);
    content.write(chunk.toUtf8());
    content.close();
    ok = ok && content.getZipError() == UNZ_OK;
    zip.close();
    return ok ? path : QString();
}

QString makeCsv(int goods) {
    const QString path = folder().filePath(QStringLiteral("bench.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    QStringList titles;
    for (const char* t : kTitles) titles << QString::fromUtf8(t);
    QString chunk = titles.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (int r = 1; r <= goods; ++r) {
        const Goods g = goodsOf(r);
        chunk += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,2018-5-12,%9,")
                     .arg(g.barcode, g.name, g.size, g.unit)
                     .arg(g.price)
                     .arg(g.cost)
                     .arg(g.stock)
                     .arg(g.category, g.supplier) +
                 QLatin1Char('"') + g.note + QStringLiteral("\"\r\n");
        if (chunk.size() > (1 << 19)) {
            file.write(encodeGbk(chunk));
            chunk.clear();
        }
    }
    file.write(encodeGbk(chunk));
    return file.error() == QFileDevice::NoError ? path : QString();
}

// Wall-clock and thread CPU time since it was made. The CPU time is what the
// reader and the floor are compared by: other work on a shared machine
// stretches the wall-clock time of both, unevenly.
class Stopwatch {
public:
    Stopwatch() : cpuStart_(cpuNs()) { wall_.start(); }
    double wallMs() const { return double(wall_.nsecsElapsed()) / 1e6; }
    double cpuMs() const { return double(cpuNs() - cpuStart_) / 1e6; }

private:
    static qint64 cpuNs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    QElapsedTimer wall_;
    qint64 cpuStart_;
};

struct Times {
    double wall = -1, cpu = -1;  // milliseconds; -1 where it failed
};

// The floors the imports are measured against, in milliseconds: inflating
// one part of the package, and inflating it while expat tokenizes it with no
// handlers set (what any reader of the XML pays).
enum class Floor { Unpack, Expat };

Times floorTimes(const QString& path, const QString& part, Floor floor) {
    constexpr int kChunk = 1 << 16;
    const Stopwatch watch;
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip) || !zip.setCurrentFile(part)) return {};
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly)) return {};
    if (floor == Floor::Expat) {
        const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                                  XML_ParserFree);
        for (;;) {
            void* buffer = XML_GetBuffer(parser.get(), kChunk);
            const qint64 got = buffer ? file.read(static_cast<char*>(buffer), kChunk) : -1;
            if (got < 0 || XML_ParseBuffer(parser.get(), int(got), got == 0) != XML_STATUS_OK) return {};
            if (got == 0) break;
        }
    } else {
        char buffer[kChunk];
        while (file.read(buffer, sizeof buffer) > 0) {
        }
    }
    return {watch.wallMs(), watch.cpuMs()};
}

double floorMs(const QString& path, const QString& part, Floor floor) {
    return floorTimes(path, part, floor).wall;
}

const QString kSheetPart = QStringLiteral("xl/worksheets/sheet1.xml");
const QString kContentPart = QStringLiteral("content.xml");

double readMs(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.readAll();
    return bytes.isEmpty() ? -1 : double(timer.nsecsElapsed()) / 1e6;
}

QString makeXls(int goods) {
    const QString path = folder().filePath(QStringLiteral("bench%1.xls").arg(goods));
    QProcess python;
    python.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(TOVRIN_SOURCE_DIR "/tools/make_bench_xls.py"), path, QString::number(goods + 1)});
    if (!python.waitForFinished(600000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        std::fprintf(stderr, "tools/make_bench_xls.py failed: %s\n",
                     python.readAllStandardError().constData());
        return {};
    }
    return path;
}

// The import wrote a line for each row: the titles of each sheet and every
// goods row, in order, the last one last.
QString checkTable(const QString& table, int rows, int sheets) {
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("no table written");
    const QByteArray bytes = file.readAll();
    const qsizetype lines = bytes.count("\r\n");
    if (lines != rows + sheets) return QStringLiteral("%1 lines instead of %2").arg(lines).arg(rows + sheets);
    const QByteArray last = QStringLiteral("\t69%1\t").arg(rows, 11, 10, QLatin1Char('0')).toUtf8();
    const qsizetype lastLine = bytes.lastIndexOf("\r\n", bytes.size() - 3);
    if (bytes.indexOf(last, lastLine) < 0) return QStringLiteral("the last goods row is not the last line");
    return {};
}

// Floors of one workbook, in milliseconds; 0 where not measured.
struct Floors {
    double unpack = 0;  // inflating the part read, or reading the .csv file
    double expat = 0;   // inflating the sheet's XML and tokenizing it with expat
    QString part;       // the part they were measured on
};

void importWorkbook(benchmark::State& state, const QString& path, int goods, int sheets,
                    const Floors& floors = {}) {
    if (path.isEmpty()) {
        state.SkipWithError("the workbook could not be made");
        return;
    }
    test::FakePrompts prompts;
    prompts.otherwise = true;
    test::FakeChooser chooser(path);
    WorkbookReader reader;
    SystemClock clock;
    NumberFormat numbers;
    QTemporaryDir out;
    GbkTextFiles files;
    TimingRunner runner;
    BarcodeImport import(files, prompts, chooser, reader, clock, numbers, out.path(), &runner);
    const double before = bench::residentMb();
    bench::resetPeak();
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        if (!import.qqrs()) {
            state.SkipWithError(prompts.texts().value(prompts.texts().size() - 1).toUtf8().constData());
            return;
        }
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6 / double(state.iterations());
    const double peak = bench::peakMb();
    const double after = bench::residentMb();
    const QString table = out.filePath(BarcodeLookup::kTableFile);
    const QString fault = checkTable(table, goods, sheets);
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    if (!fault.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", name.constData(), qPrintable(fault));
        std::exit(2);
    }
    state.counters["rows"] = goods + sheets;
    if (floors.unpack > 0) {
        state.counters["floor_ms"] = floors.unpack;
        state.counters["x_floor"] = ms / floors.unpack;
        std::printf("%s: import %.0f ms, %.1f x the floor (%s: %.1f ms)\n", name.constData(), ms,
                    ms / floors.unpack, floors.part.isEmpty() ? "reading the file" : "unpacking the part",
                    floors.unpack);
    }
    if (floors.expat > 0) {
        state.counters["expat_ms"] = floors.expat;
        state.counters["x_expat"] = ms / floors.expat;
        std::printf("%s: import %.0f ms, %.2f x the expat floor over %s (%.0f ms)\n", name.constData(), ms,
                    ms / floors.expat, qPrintable(floors.part), floors.expat);
    }
    // The check of the new table, run after every import, as part of it.
    const double checkMs = runner.ms[BarcodeImport::kChecking] / double(state.iterations());
    if (checkMs <= 0) {
        std::fprintf(stderr, "%s: the new table was not checked\n", qPrintable(QFileInfo(path).fileName()));
        std::exit(2);
    }
    state.counters["check_ms"] = checkMs;
    std::printf("%s: the check of the new table took %.0f ms of the %.0f ms\n",
                QFileInfo(path).fileName().toUtf8().constData(), checkMs, ms);
    state.counters["peak_MB"] = peak;
    state.counters["after_MB"] = after;
    state.counters["table_MB"] = double(QFile(table).size()) / (1 << 20);
    std::printf(
        "%s: %d rows written (checked); peak memory %.1f MB (process peak by getrusage %.1f MB), "
        "resident %.1f MB before, %.1f MB after\n",
        name.constData(), goods + sheets, peak, bench::processPeakMb(), before, after);
}

// Takes the rows of the one sheet of the generated workbooks and checks them:
// the titles and every goods row, the last one with its barcode, its price and
// its date.
class RowCheck : public SheetRows {
public:
    bool beginSheet(const QString&) override { return true; }
    bool row(int number, std::span<const Cell> cells) override {
        ++rows_;
        last_ = number;
        columns_ = cells.size();
        if (cells.size() == 11) {
            barcode_ = cells[0].text;
            price_ = cells[4];
            date_ = cells[8];
        }
        return true;
    }
    bool endSheet() override { return true; }

    QString fault(int goods) const {
        if (rows_ != goods + 1) return QStringLiteral("%1 rows read instead of %2").arg(rows_).arg(goods + 1);
        const Goods g = goodsOf(goods);
        if (last_ != goods + 1 || columns_ != 11 || barcode_ != g.barcode ||
            price_.kind != Cell::Kind::Number || std::abs(price_.number - g.price) > 1e-9 ||
            date_.kind != Cell::Kind::Date || date_.number != 43232) {
            return QStringLiteral("the last row is not goods row %1").arg(goods);
        }
        return {};
    }

private:
    int rows_ = 0;
    int last_ = 0;
    size_t columns_ = 0;
    // Of the last row: its barcode, price and date.
    QString barcode_;
    Cell price_, date_;
};

// The reader alone against the expat floor over `part`, taking turns; the
// fastest of each is kept. `others` are the other large parts the reader
// reads (the shared strings): the floor over all of them is printed beside.
void readXml(benchmark::State& state, const QString& path, const QString& part, int goods,
             const QStringList& others = {}) {
    if (path.isEmpty()) {
        state.SkipWithError("the workbook could not be made");
        return;
    }
    WorkbookReader reader;
    Times best{1e300, 1e300}, floor{1e300, 1e300};
    double allFloor = 1e300;  // CPU
    double peak = 0, before = 0;
    for (auto _ : state) {
        const Times f = floorTimes(path, part, Floor::Expat);
        double all = f.cpu;
        for (const QString& other : others) all += floorTimes(path, other, Floor::Expat).cpu;
        if (f.wall < 0 || all < f.cpu) {
            state.SkipWithError("expat could not read the part");
            return;
        }
        floor = {std::min(floor.wall, f.wall), std::min(floor.cpu, f.cpu)};
        allFloor = std::min(allFloor, all);
        RowCheck rows;
        malloc_trim(0);
        before = bench::residentMb();
        bench::resetPeak();
        const Stopwatch watch;
        const SpreadsheetReader::Result result = reader.read(path, 11, rows);
        const Times t{watch.wallMs(), watch.cpuMs()};
        peak = std::max(peak, bench::peakMb());
        if (!result.isDone()) {
            state.SkipWithError(result.reason.toUtf8().constData());
            return;
        }
        const QString fault = rows.fault(goods);
        if (!fault.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(QFileInfo(path).fileName()), qPrintable(fault));
            std::exit(2);
        }
        state.SetIterationTime(t.wall / 1000);
        best = {std::min(best.wall, t.wall), std::min(best.cpu, t.cpu)};
    }
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    state.counters["rows"] = goods + 1;
    state.counters["cpu_ms"] = best.cpu;
    state.counters["expat_cpu_ms"] = floor.cpu;
    state.counters["x_expat"] = best.cpu / floor.cpu;
    state.counters["peak_MB"] = peak;
    std::printf(
        "%s: reader %.0f ms CPU (%.0f ms wall), %.2f x the expat floor over %s (%.0f ms CPU, %.0f ms wall; "
        "%.2f x by wall time), fastest of %lld each; %d rows read (checked); peak memory %.1f MB from %.1f "
        "MB "
        "resident before\n",
        name.constData(), best.cpu, best.wall, best.cpu / floor.cpu, qPrintable(part), floor.cpu, floor.wall,
        best.wall / floor.wall, static_cast<long long>(state.iterations()), goods + 1, peak, before);
    if (!others.isEmpty()) {
        state.counters["x_expat_all"] = best.cpu / allFloor;
        std::printf("%s: reader %.2f x the expat floor over %s and %s together (%.0f ms CPU)\n",
                    name.constData(), best.cpu / allFloor, qPrintable(part),
                    qPrintable(others.join(QStringLiteral(", "))), allFloor);
    }
}

const QString& xlsxFile(int goods) {
    static std::map<int, QString> paths;
    if (!paths.count(goods)) paths[goods] = makeXlsx(goods);
    return paths[goods];
}

const QString& odsFile() {
    static const QString path = makeOds(50000);
    return path;
}

void BM_ReadXlsx(benchmark::State& state) {
    const int goods = int(state.range(0));
    readXml(state, xlsxFile(goods), kSheetPart, goods, {QStringLiteral("xl/sharedStrings.xml")});
}

void BM_ReadOds(benchmark::State& state) { readXml(state, odsFile(), kContentPart, 50000); }

void BM_ImportXlsx(benchmark::State& state) {
    const int goods = int(state.range(0));
    const QString& path = xlsxFile(goods);
    Floors floors;
    floors.part = kSheetPart;
    if (!path.isEmpty()) floors.expat = floorMs(path, kSheetPart, Floor::Expat);
    importWorkbook(state, path, goods, 1, floors);
}

void BM_ImportXls(benchmark::State& state) {
    const int rows = int(state.range(0));
    static std::map<int, QString> paths;
    if (!paths.count(rows)) paths[rows] = makeXls(rows);
    importWorkbook(state, paths[rows], rows, (rows + kSheetGoods - 1) / kSheetGoods);
}

void BM_ImportOds(benchmark::State& state) {
    const QString& path = odsFile();
    Floors floors;
    floors.part = kContentPart;
    if (!path.isEmpty()) {
        floors.unpack = floorMs(path, kContentPart, Floor::Unpack);
        floors.expat = floorMs(path, kContentPart, Floor::Expat);
    }
    importWorkbook(state, path, 50000, 1, floors);
}

void BM_ImportCsv(benchmark::State& state) {
    static const QString path = makeCsv(50000);
    Floors floors;
    if (!path.isEmpty()) floors.unpack = readMs(path);
    importWorkbook(state, path, 50000, 1, floors);
}

BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond)->Arg(50000)->Iterations(5)->UseManualTime();
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond)->Arg(500000)->Iterations(3)->UseManualTime();
BENCHMARK(BM_ReadOds)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_ImportXlsx)->Unit(benchmark::kMillisecond)->Arg(50000)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ImportXls)->Unit(benchmark::kMillisecond)->Arg(50000)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ImportXlsx)->Unit(benchmark::kMillisecond)->Arg(500000)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ImportXls)->Unit(benchmark::kMillisecond)->Arg(500000)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ImportOds)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf(
        "Barcode table import, 50,000 and 500,000 goods x 11 columns; target for 50,000: <= 3000 ms each, "
        "peak < 200 MB; the XML readers alone <= 1.5 x the expat floor\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
