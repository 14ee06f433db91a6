// Feeds arbitrary bytes to the clip decoder as a whole wave file, for the
// output formats a sound device may ask for.
#include <cstddef>
#include <cstdint>

#include "platform/qt/wave_pcm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const auto& [rate, channels, sample] :
         {std::tuple{22050, 1, QAudioFormat::Int16}, std::tuple{48000, 2, QAudioFormat::Float},
          std::tuple{8000, 1, QAudioFormat::UInt8}, std::tuple{44100, 6, QAudioFormat::Int32}}) {
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(channels);
        format.setSampleFormat(sample);
        const QByteArray pcm = tovrin::wavePcm(bytes, format);
        if (pcm.size() % format.bytesPerFrame() != 0) __builtin_trap();
    }
    return 0;
}
