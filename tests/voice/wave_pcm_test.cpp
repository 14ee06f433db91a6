// The clip decoder: what each kind of PCM wave becomes in the output
// stream's format, and that anything else, however broken, becomes nothing.

#include "platform/qt/wave_pcm.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>
#include <vector>

namespace tovrin {
namespace {

QByteArray le16(int v) {
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(quint16(v), b.data());
    return b;
}
QByteArray le32(qint64 v) {
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(quint32(v), b.data());
    return b;
}

QByteArray fmtChunk(int format, int channels, int rate, int bits) {
    const int align = channels * bits / 8;
    return "fmt " + le32(16) + le16(format) + le16(channels) + le32(rate) + le32(qint64(rate) * align) +
           le16(align) + le16(bits);
}

QByteArray waveOf(const QByteArray& chunks) { return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks; }

QByteArray pcmWave(int channels, int rate, int bits, const QByteArray& data) {
    return waveOf(fmtChunk(1, channels, rate, bits) + "data" + le32(data.size()) + data);
}

QByteArray int16s(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out += le16(v);
    return out;
}

QAudioFormat formatOf(int rate, int channels, QAudioFormat::SampleFormat sample) {
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleFormat(sample);
    return f;
}

const QAudioFormat kClipFormat = formatOf(22050, 1, QAudioFormat::Int16);

struct Case {
    const char* what;
    QByteArray wave;
    QAudioFormat to;
    QByteArray expected;
};

TEST(WavePcmTest, ConvertsEachKindOfPcmWave) {
    const Case cases[] = {
        {"16-bit mono at the stream's rate is copied",
         pcmWave(1, 22050, 16, int16s({0, 1, -1, 32767, -32768})), kClipFormat,
         int16s({0, 1, -1, 32767, -32768})},
        {"8-bit samples are centred on 128", pcmWave(1, 22050, 8, QByteArray("\x80\xff\x00\x81", 4)),
         kClipFormat, int16s({0, 32512, -32768, 256})},
        {"24-bit samples keep their top 16 bits",
         pcmWave(1, 22050, 24, QByteArray("\x00\x34\x12\x00\x00\x80", 6)), kClipFormat,
         int16s({0x1234, -32768})},
        {"32-bit samples keep their top 16 bits", pcmWave(1, 22050, 32, QByteArray("\x00\x00\x34\x12", 4)),
         kClipFormat, int16s({0x1234})},
        {"stereo is mixed to one channel", pcmWave(2, 22050, 16, int16s({1000, 3000, -200, 200})),
         kClipFormat, int16s({2000, 0})},
        {"a slower clip is stretched between its samples", pcmWave(1, 11025, 16, int16s({0, 1000, 2000})),
         kClipFormat, int16s({0, 500, 1000, 1500, 2000, 2000})},
        {"a faster clip keeps every other sample", pcmWave(1, 44100, 16, int16s({0, 7, 100, 7, 200, 7})),
         kClipFormat, int16s({0, 100, 200})},
        {"one channel is written on each of the stream's", pcmWave(1, 22050, 16, int16s({5, -5})),
         formatOf(22050, 2, QAudioFormat::Int16), int16s({5, 5, -5, -5})},
        {"8-bit stream", pcmWave(1, 22050, 16, int16s({0, 32767, -32768})),
         formatOf(22050, 1, QAudioFormat::UInt8), QByteArray("\x80\xff\x00", 3)},
        {"32-bit stream", pcmWave(1, 22050, 16, int16s({0x1234})), formatOf(22050, 1, QAudioFormat::Int32),
         le32(0x12340000)},
        {"float stream", pcmWave(1, 22050, 16, int16s({-16384})), formatOf(22050, 1, QAudioFormat::Float),
         [] {
             QByteArray b(4, '\0');
             qToLittleEndian<float>(-0.5f, b.data());
             return b;
         }()},
        {"a chunk before the format and a pad byte after an odd chunk are passed over",
         waveOf("LIST" + le32(3) + "abc" + '\0' + fmtChunk(1, 1, 22050, 16) + "data" + le32(4) +
                int16s({9, -9})),
         kClipFormat, int16s({9, -9})},
        {"a partial last frame is dropped", pcmWave(2, 22050, 16, int16s({4, 6, 8})), kClipFormat,
         int16s({5})},
    };
    for (const Case& c : cases) EXPECT_EQ(wavePcm(c.wave, c.to), c.expected) << c.what;
}

TEST(WavePcmTest, AnythingButAnIntactPcmWaveIsNothing) {
    const QByteArray good = pcmWave(1, 22050, 16, int16s({1, 2, 3}));
    QByteArray cut = good;
    cut.chop(1);
    QByteArray notWave = good;
    notWave.replace(8, 4, "AVI ");
    const QByteArray dataFirst = waveOf("data" + le32(2) + int16s({1}) + fmtChunk(1, 1, 22050, 16));
    const Case cases[] = {
        {"empty", {}, kClipFormat, {}},
        {"text", "this is not a wave file", kClipFormat, {}},
        {"only the header", QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16), kClipFormat, {}},
        {"data cut off", cut, kClipFormat, {}},
        {"not WAVE", notWave, kClipFormat, {}},
        {"samples before their format", dataFirst, kClipFormat, {}},
        {"no samples", pcmWave(1, 22050, 16, {}), kClipFormat, {}},
        {"less than one frame", pcmWave(2, 22050, 16, int16s({1})), kClipFormat, {}},
        {"float samples", waveOf(fmtChunk(3, 1, 22050, 32) + "data" + le32(4) + le32(0)), kClipFormat, {}},
        {"three channels", pcmWave(3, 22050, 16, int16s({1, 2, 3})), kClipFormat, {}},
        {"12-bit samples", pcmWave(1, 22050, 12, int16s({1})), kClipFormat, {}},
        {"rate too low", pcmWave(1, 1000, 16, int16s({1})), kClipFormat, {}},
        {"rate too high", pcmWave(1, 1000000, 16, int16s({1})), kClipFormat, {}},
        {"short format chunk",
         waveOf("fmt " + le32(8) + QByteArray(8, '\1') + "data" + le32(2) + int16s({1})),
         kClipFormat,
         {}},
        {"a stream format without samples", good, formatOf(22050, 1, QAudioFormat::Unknown), {}},
        {"a stream format without a rate", good, formatOf(0, 1, QAudioFormat::Int16), {}},
        {"larger than a clip may be",
         pcmWave(1, 22050, 16, QByteArray(int(WaveLimits::kMaxFileBytes), '\0')),
         kClipFormat,
         {}},
    };
    for (const Case& c : cases) EXPECT_TRUE(wavePcm(c.wave, c.to).isEmpty()) << c.what;
}

TEST(WavePcmTest, TheShippedClipsComeOutSampleForSample) {
    for (const char* name : {"0.wav", "5.wav", "dot.wav", "fushu.wav", "jia.wav", "jian.wav", "dengyu.wav"}) {
        QFile file(QStringLiteral(TOVRIN_ASSETS "/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = file.readAll();
        const qsizetype data = bytes.indexOf("data");
        ASSERT_GT(data, 0) << name;
        const qsizetype size = qFromLittleEndian<quint32>(bytes.constData() + data + 4);
        EXPECT_EQ(wavePcm(bytes, kClipFormat), bytes.mid(data + 8, size)) << name;
    }
}

// Damaged copies of a wave: flipped bytes, changed sizes, cut ends. Each
// gives nothing or whole frames, and never reads outside the file (the
// sanitizer build checks that).
TEST(WavePcmTest, DamagedWavesNeverGoWrong) {
    const QByteArray good = waveOf("LIST" + le32(5) + "abcde" + '\0' + fmtChunk(1, 2, 11025, 16) + "data" +
                                   le32(40) + QByteArray(40, '\x11'));
    QRandomGenerator random(17);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray wave = good;
        for (int k = 0, n = 1 + int(random.bounded(4)); k < n; ++k) {
            const int at = int(random.bounded(wave.size()));
            switch (random.bounded(3)) {
                case 0:
                    wave[at] = char(random.bounded(256));
                    break;
                case 1:
                    qToLittleEndian<quint32>(random.generate(), wave.data() + qMin(at, int(wave.size()) - 4));
                    break;
                default:
                    wave.truncate(at);
                    break;
            }
            if (wave.size() < 4) break;
        }
        const QByteArray out = wavePcm(wave, kClipFormat);
        EXPECT_EQ(out.size() % 2, 0);
        EXPECT_LE(out.size(), qsizetype(WaveLimits::kMaxRate / WaveLimits::kMinRate) * wave.size() + 2);
        decoded += !out.isEmpty();
    }
    EXPECT_GT(decoded, 100) << "the damage should leave many waves playable";
}

}  // namespace
}  // namespace tovrin
