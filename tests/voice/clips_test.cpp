// The committed clip set: the fifteen files the announcer plays, all valid
// PCM wave files of one format, each short enough for one 618 ms tick.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <optional>

namespace {

const QStringList kNames{
    QStringLiteral("0.wav"),   QStringLiteral("1.wav"),    QStringLiteral("2.wav"),
    QStringLiteral("3.wav"),   QStringLiteral("4.wav"),    QStringLiteral("5.wav"),
    QStringLiteral("6.wav"),   QStringLiteral("7.wav"),    QStringLiteral("8.wav"),
    QStringLiteral("9.wav"),   QStringLiteral("dot.wav"),  QStringLiteral("fushu.wav"),
    QStringLiteral("jia.wav"), QStringLiteral("jian.wav"), QStringLiteral("dengyu.wav"),
};

struct Wave {
    quint16 format = 0;
    quint16 channels = 0;
    quint32 rate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
    quint32 dataBytes = 0;

    double milliseconds() const { return 1000.0 * dataBytes / byteRate; }
    bool sameFormat(const Wave& o) const {
        return format == o.format && channels == o.channels && rate == o.rate && bits == o.bits;
    }
};

// Reads the RIFF chunks of a wave file; nullopt with `why` set when the
// structure is broken.
std::optional<Wave> parseWave(const QByteArray& bytes, std::string& why) {
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    if (bytes.size() < 12 || bytes.left(4) != "RIFF" || bytes.mid(8, 4) != "WAVE") {
        why = "no RIFF/WAVE header";
        return std::nullopt;
    }
    if (u32(4) != quint32(bytes.size() - 8)) {
        why = "RIFF size does not match the file";
        return std::nullopt;
    }
    Wave w;
    bool haveFormat = false, haveData = false;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = u32(at + 4);
        const qsizetype body = at + 8;
        if (body + qsizetype(size) > bytes.size()) {
            why = "chunk " + id.toStdString() + " runs past the end";
            return std::nullopt;
        }
        if (id == "fmt ") {
            if (size < 16) {
                why = "short fmt chunk";
                return std::nullopt;
            }
            w.format = u16(body);
            w.channels = u16(body + 2);
            w.rate = u32(body + 4);
            w.byteRate = u32(body + 8);
            w.blockAlign = u16(body + 12);
            w.bits = u16(body + 14);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                why = "data before fmt";
                return std::nullopt;
            }
            w.dataBytes = size;
            haveData = true;
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData) {
        why = "fmt or data chunk missing";
        return std::nullopt;
    }
    if (w.blockAlign != w.channels * w.bits / 8 || w.byteRate != w.rate * w.blockAlign) {
        why = "inconsistent fmt chunk";
        return std::nullopt;
    }
    return w;
}

TEST(Clips, TheFolderHoldsExactlyTheFifteenClips) {
    QStringList found = QDir(QStringLiteral(TOVRIN_ASSETS)).entryList({QStringLiteral("*.wav")}, QDir::Files);
    QStringList expected = kNames;
    found.sort();
    expected.sort();
    EXPECT_EQ(found, expected);
}

TEST(Clips, EveryClipIsShortPcmWaveInOneFormat) {
    std::optional<Wave> first;
    for (const QString& name : kNames) {
        SCOPED_TRACE(name.toStdString());
        QFile file(QStringLiteral(TOVRIN_ASSETS "/") + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        std::string why;
        const std::optional<Wave> w = parseWave(file.readAll(), why);
        ASSERT_TRUE(w) << why;
        EXPECT_EQ(w->format, 1) << "PCM";
        EXPECT_EQ(w->channels, 1);
        EXPECT_EQ(w->bits, 16);
        EXPECT_TRUE(w->rate == 22050 || w->rate == 44100) << w->rate;
        EXPECT_EQ(w->dataBytes % w->blockAlign, 0u);
        EXPECT_LE(w->milliseconds(), 550.0);
        EXPECT_GE(w->milliseconds(), 100.0) << "too short to be a spoken word";
        if (!first) first = w;
        EXPECT_TRUE(w->sameFormat(*first));
    }
}

TEST(Clips, TheParserRefusesBrokenFiles) {
    QFile file(QStringLiteral(TOVRIN_ASSETS "/5.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    std::string why;
    ASSERT_TRUE(parseWave(good, why));

    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"truncated", good.left(good.size() - 10)},
        {"not RIFF", QByteArray("RIFX") + good.mid(4)},
        {"no data chunk",
         [&] {
             QByteArray b = good;
             b.replace(b.indexOf("data"), 4, "dat_");
             return b;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(parseWave(c.bytes, why));
    }
}

}  // namespace
