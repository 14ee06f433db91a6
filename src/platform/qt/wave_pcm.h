#pragma once

#include <QAudioFormat>
#include <QByteArray>

namespace tovrin {

// What a clip file may be; a larger file is not read and stays silent.
struct WaveLimits {
    static constexpr qint64 kMaxFileBytes = qint64(4) << 20;
    static constexpr int kMinRate = 4000;
    static constexpr int kMaxRate = 192000;
};

// The samples of a RIFF wave of PCM samples (8, 16, 24 or 32 bits, one or
// two channels, any rate within the limits), mixed to one channel, brought
// to the rate of `to` and written in its sample format on each of its
// channels. Empty when the bytes are not such a wave with its chunks intact,
// hold no samples, or `to` is not a format to write.
QByteArray wavePcm(const QByteArray& bytes, const QAudioFormat& to);

}  // namespace tovrin
