#include "platform/qt/wave_pcm.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <vector>

namespace tovrin {

namespace {

struct Wave {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    QByteArrayView data;
};

// The format and the samples of a PCM wave; channels 0 when it is none.
Wave parse(const QByteArray& bytes) {
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    Wave wave;
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return {};
    bool format = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArrayView id(bytes.constData() + at, 4);
        const qsizetype size = u32(at + 4);
        const qsizetype body = at + 8;
        if (size > bytes.size() - body) return {};  // cut off
        if (id == "fmt ") {
            if (size < 16) return {};
            const quint32 rate = u32(body + 4);
            wave.channels = u16(body + 2);
            wave.bits = u16(body + 14);
            format = u16(body) == 1 && (wave.channels == 1 || wave.channels == 2) &&
                     rate >= WaveLimits::kMinRate && rate <= WaveLimits::kMaxRate &&
                     (wave.bits == 8 || wave.bits == 16 || wave.bits == 24 || wave.bits == 32);
            wave.rate = int(rate);
        } else if (id == "data") {
            if (!format) return {};
            const qsizetype frame = wave.channels * (wave.bits / 8);
            wave.data = QByteArrayView(bytes.constData() + body, size - size % frame);
            if (wave.data.isEmpty()) return {};
            return wave;
        }
        at = body + size + (size & 1);
    }
    return {};
}

// One sample in -1 … 1.
float sampleAt(const char* p, int bits) {
    switch (bits) {
        case 8:
            return (float(quint8(*p)) - 128.0f) / 128.0f;
        case 16:
            return float(qFromLittleEndian<qint16>(p)) / 32768.0f;
        case 24: {
            const qint32 v = qint32(quint32(quint8(p[0])) << 8 | quint32(quint8(p[1])) << 16 |
                                    quint32(quint8(p[2])) << 24);
            return float(v) / 2147483648.0f;
        }
        default:
            return float(qFromLittleEndian<qint32>(p)) / 2147483648.0f;
    }
}

}  // namespace

QByteArray wavePcm(const QByteArray& bytes, const QAudioFormat& to) {
    if (bytes.size() > WaveLimits::kMaxFileBytes) return {};
    if (to.sampleRate() < WaveLimits::kMinRate || to.sampleRate() > WaveLimits::kMaxRate ||
        to.channelCount() < 1 || to.channelCount() > 8)
        return {};
    const Wave wave = parse(bytes);
    if (wave.channels == 0) return {};

    const int step = wave.bits / 8;
    const qsizetype frames = wave.data.size() / (step * wave.channels);
    std::vector<float> mono(static_cast<size_t>(frames));
    for (qsizetype i = 0; i < frames; ++i) {
        const char* frame = wave.data.data() + i * step * wave.channels;
        float sum = 0;
        for (int c = 0; c < wave.channels; ++c) sum += sampleAt(frame + c * step, wave.bits);
        mono[size_t(i)] = sum / float(wave.channels);
    }

    // Linear interpolation between the two nearest samples of the source.
    const qsizetype outFrames =
        std::max<qsizetype>(1, qsizetype(double(frames) * to.sampleRate() / wave.rate));
    const double ratio = double(wave.rate) / to.sampleRate();
    const int bytesPerSample = to.bytesPerSample();
    if (bytesPerSample == 0) return {};
    QByteArray out(outFrames * to.bytesPerFrame(), Qt::Uninitialized);
    char* p = out.data();
    for (qsizetype i = 0; i < outFrames; ++i) {
        const double pos = double(i) * ratio;
        const size_t at = std::min(size_t(pos), mono.size() - 1);
        const size_t next = std::min(at + 1, mono.size() - 1);
        const float frac = float(pos - double(at));
        const float s = std::clamp(mono[at] + (mono[next] - mono[at]) * frac, -1.0f, 1.0f);
        for (int c = 0; c < to.channelCount(); ++c, p += bytesPerSample) {
            switch (to.sampleFormat()) {
                case QAudioFormat::UInt8:
                    *reinterpret_cast<quint8*>(p) =
                        quint8(std::clamp(std::lround(s * 128.0f) + 128, 0L, 255L));
                    break;
                case QAudioFormat::Int16:
                    qToLittleEndian<qint16>(qint16(std::clamp(std::lround(s * 32768.0f), -32768L, 32767L)),
                                            p);
                    break;
                case QAudioFormat::Int32:
                    qToLittleEndian<qint32>(qint32(std::clamp(std::llround(double(s) * 2147483648.0),
                                                              -2147483648LL, 2147483647LL)),
                                            p);
                    break;
                case QAudioFormat::Float:
                    qToLittleEndian<float>(s, p);
                    break;
                default:
                    return {};
            }
        }
    }
    return out;
}

}  // namespace tovrin
