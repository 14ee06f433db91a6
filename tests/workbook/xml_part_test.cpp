#include "workbook/xml_part.h"

#include <gtest/gtest.h>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/unzip.h>

#include <QBuffer>
#include <QRegularExpression>
#include <QStringList>

#include "workbook/workbook_reasons.h"
#include "workbook/xml_namespaces.h"

namespace tovrin {
namespace {

using Result = SpreadsheetReader::Result;

// A package holding `xml` as its one part, "part.xml".
QByteArray packageOf(const QByteArray& xml) {
    QBuffer buffer;
    QuaZip zip(&buffer);
    EXPECT_TRUE(zip.open(QuaZip::mdCreate));
    QuaZipFile file(&zip);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("part.xml"))));
    file.write(xml);
    file.close();
    zip.close();
    return buffer.data();
}

// Writes down what the parser hands on: "<name", ">", "text", "|" for a
// text made whole.
struct Recorder {
    void start(const char* name, const char**) { events << QStringLiteral("<") + QString::fromUtf8(name); }
    void end(const char*) { events << QStringLiteral(">"); }
    void text(const char* data, int size) {
        if (events.isEmpty() || !events.last().startsWith(u'"')) events << QStringLiteral("\"");
        events.last() += QString::fromUtf8(data, size);
        ++pieces;
    }
    void textDone() { events << QStringLiteral("|"); }
    QStringList events;
    int pieces = 0;
};

// Reads the one part of `package` with `handler`, which gets the XmlPart
// through `attach`.
template <typename Handler>
Result readPackage(QByteArray package, Handler& handler, const XmlLimits& limits = {}) {
    QBuffer buffer(&package);
    QuaZip zip(&buffer);
    EXPECT_TRUE(zip.open(QuaZip::mdUnzip));
    EXPECT_TRUE(zip.setCurrentFile(QStringLiteral("part.xml")));
    QuaZipFile file(&zip);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    qint64 unpacked = 0;
    XmlPart part(file, QStringLiteral("part.xml"), limits, unpacked);
    if constexpr (requires { handler.attach(part); }) handler.attach(part);
    return part.read(handler);
}

// Reads `xml` as the part of a package with `handler`.
template <typename Handler>
Result readXml(const QByteArray& xml, Handler& handler, const XmlLimits& limits = {}) {
    return readPackage(packageOf(xml), handler, limits);
}

TEST(XmlPart, ATextComesInPiecesAndIsMadeWholeOnce) {
    // Past the pieces the part is unpacked in, across references and line
    // ends; comments, CDATA sections and elements end a text.
    const QByteArray long_(200000, 'a');
    Recorder r;
    const Result result = readXml("<r>" + long_ + "&amp;b\r\nc<!--x-->d<![CDATA[<e>]]>f<s/></r>", r);
    ASSERT_TRUE(result.isDone()) << result.reason.toStdString();
    EXPECT_EQ(
        r.events,
        QStringList({QStringLiteral("<r"),
                     QStringLiteral("\"") + QString::fromLatin1(long_) + QStringLiteral("&b\nc"),
                     QStringLiteral("|"), QStringLiteral("\"d"), QStringLiteral("|"), QStringLiteral("\"<e>"),
                     QStringLiteral("|"), QStringLiteral("\"f"), QStringLiteral("|"), QStringLiteral("<s"),
                     QStringLiteral(">"), QStringLiteral(">")}));
    EXPECT_GT(r.pieces, 5);
}

struct BadXml {
    const char* name;
    QByteArray xml;
    const char* reason;  // a part of the message
};

TEST(XmlPart, BoundsAndFaultsEndTheReadingWithAReason) {
    XmlLimits limits;
    limits.maxTokenBytes = 2048;
    limits.maxDepth = 5;
    limits.maxUnpackedBytes = 1 << 20;
    const QByteArray tooLong = "part.xml：单元格内容或标记超过 2 KB";
    const QList<BadXml> cases = {
        {"a text of many pieces", "<r>" + QByteArray(1500, 'a') + QByteArray(1000, '\n') + "</r>", tooLong},
        // The references' bytes count, not the characters they stand for.
        {"a text of references", "<r>" + QByteArray("&amp;").repeated(500) + "</r>", tooLong},
        {"a long tag", "<r a='" + QByteArray(2100, 'x') + "'/>", tooLong},
        {"a long comment", "<r><!--" + QByteArray(2100, 'x') + "--></r>", tooLong},
        {"deep", "<a><a><a><a><a><a></a></a></a></a></a></a>", "part.xml：标记嵌套超过 5 层"},
        {"a document type", "<!DOCTYPE r [<!ENTITY e 'x'>]><r>&e;</r>", "part.xml：含有文档类型声明（DTD）"},
        {"an undeclared entity", "<r>&e;</r>", "文件已损坏：part.xml 不是有效的 XML（第 1 行）"},
        {"not closed", "<r>\n<s>", "文件已损坏：part.xml 不是有效的 XML（第 2 行）"},
        {"too much", "<r>" + QByteArray("<s>x</s>").repeated(200000) + "</r>",
         "part.xml：解压后的内容超过 1 MB，不像是商品表"},
    };
    for (const BadXml& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder r;
        const Result result = readXml(c.xml, r, limits);
        ASSERT_EQ(result.status, Result::Status::Failed);
        EXPECT_EQ(result.reason, QString::fromUtf8(c.reason));
    }
}

TEST(XmlPart, PackedDataThatCannotBeUnpackedIsToldInChinese) {
    // The first block of the packed part made of the block type that does
    // not exist.
    QByteArray package = packageOf("<r>" + QByteArray(4000, 'a') + "</r>");
    const auto u16 = [&](int at) { return int(quint8(package[at])) | int(quint8(package[at + 1])) << 8; };
    ASSERT_EQ(u16(8), 8);  // deflated
    const int data = 30 + u16(26) + u16(28);
    package[data] = char(package[data] | 0x06);
    Recorder r;
    const Result result = readPackage(package, r);
    ASSERT_EQ(result.status, Result::Status::Failed);
    EXPECT_EQ(result.reason, QStringLiteral("part.xml：解压失败（压缩数据已损坏）"));

    // Nor does any other fault of the unzip layer reach the owner in English.
    for (int code : {UNZ_ERRNO, Z_STREAM_ERROR, Z_DATA_ERROR, Z_MEM_ERROR, Z_BUF_ERROR, UNZ_PARAMERROR,
                     UNZ_BADZIPFILE, UNZ_INTERNALERROR, UNZ_CRCERROR, -6}) {
        const QString reason = workbook_reasons::unpackFailed(code);
        EXPECT_FALSE(reason.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << reason.toStdString();
    }
}

TEST(XmlPart, AHandlerThatStopsIsCalledNoMore) {
    struct Stopper : Recorder {
        void attach(XmlPart& part) { xml = &part; }
        void start(const char* name, const char** attributes) {
            Recorder::start(name, attributes);
            if (events.size() == 2) xml->stop(Result::stopped());
        }
        XmlPart* xml = nullptr;
    };
    Stopper s;
    const Result result = readXml("<r><a/><b/>text</r>", s);
    EXPECT_EQ(result.status, Result::Status::Stopped);
    EXPECT_EQ(s.events, QStringList({QStringLiteral("<r"), QStringLiteral("<a")}));
}

// Writes down each element's and attribute's namespace number and name.
struct NameRecorder {
    void attach(XmlPart& part) { xml = &part; }
    void start(const char* name, const char** attributes) {
        if (!names.enter(name, attributes)) return xml->malformed();
        QString line = QString::number(names.ns()) + QLatin1Char(':') + QString::fromUtf8(names.name());
        for (const XmlNamespaces::Attribute& a : names.attributes()) {
            line += QLatin1Char(' ') + QString::number(a.ns) + QLatin1Char(':') + QString::fromUtf8(a.name) +
                    QLatin1Char('=') + QString::fromUtf8(a.value);
        }
        lines << line;
    }
    void end(const char*) { names.leave(); }
    void text(const char*, int) {}
    void textDone() {}
    XmlPart* xml = nullptr;
    XmlNamespaces names{"urn:t", "urn:x"};  // numbered 2 and 3
    QStringList lines;
};

TEST(XmlNamespaces, PrefixesAreResolvedByTheDeclarationsInScope) {
    NameRecorder r;
    const Result result = readXml(
        "<t:a xmlns:t='urn:t' xmlns:o='urn:other' t:k='1' k='2' o:k='3' xml:lang='zh'>"
        "<b xmlns='urn:x'><t:c xmlns:t='urn:x' t:k='4'/><d xmlns=''/></b>"
        "<t:c t:k='5'/></t:a>",
        r);
    ASSERT_TRUE(result.isDone()) << result.reason.toStdString();
    EXPECT_EQ(r.lines,
              QStringList({QStringLiteral("2:a 2:k=1 0:k=2 1:k=3 1:lang=zh"), QStringLiteral("3:b"),
                           QStringLiteral("3:c 3:k=4"), QStringLiteral("0:d"), QStringLiteral("2:c 2:k=5")}));
}

TEST(XmlNamespaces, AnUnboundPrefixOrASecondColonIsNotWellFormed) {
    for (const QByteArray& xml : {QByteArray("<t:a/>"), QByteArray("<a t:k='1'/>"),
                                  QByteArray("<a><b xmlns:t='urn:t'/><t:c/></a>")}) {
        SCOPED_TRACE(xml.toStdString());
        NameRecorder r;
        const Result result = readXml(xml, r);
        ASSERT_EQ(result.status, Result::Status::Failed);
        EXPECT_TRUE(result.reason.contains(QStringLiteral("不是有效的 XML"))) << result.reason.toStdString();
    }
}

}  // namespace
}  // namespace tovrin
