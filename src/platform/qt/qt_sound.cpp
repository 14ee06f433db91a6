#include "platform/qt/qt_sound.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>

#include "platform/qt/wave_pcm.h"

namespace tovrin {

QtSound::QtSound() {
    feeder_.setTimerType(Qt::PreciseTimer);
    feeder_.setInterval(kFeedMs);
    QObject::connect(&feeder_, &QTimer::timeout, [this] { feed(); });
}

QtSound::~QtSound() {
    feeder_.stop();
    if (sink_) sink_->stop();
}

bool QtSound::openSink() {
    if (sink_ && sink_->state() != QAudio::StoppedState) return true;
    // A stream that has failed (the sound server went away) is opened anew.
    sink_.reset();
    io_ = nullptr;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    // The clips' own format where the device takes it, so nothing is
    // resampled on the way.
    QAudioFormat format;
    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) format = device.preferredFormat();
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(format.bytesForDuration(qint64(kBufferMs) * 1000));
    io_ = sink_->start();
    if (!io_ || sink_->error() != QAudio::NoError) {
        sink_.reset();
        io_ = nullptr;
        return false;
    }
    format_ = format;
    return true;
}

const QByteArray* QtSound::pcmFor(const QString& path) {
    const QFileInfo info(path);
    const auto found = clips_.find(path);
    const bool stale =
        found != clips_.end() && (!info.isFile() || found->second.modified != info.lastModified() ||
                                  found->second.size != info.size() || found->second.format != format_);
    if (stale) clips_.erase(found);
    if (!info.isFile()) return nullptr;
    Clip& clip = clips_[path];
    if (clip.size < 0) {
        clip.modified = info.lastModified();
        clip.size = info.size();
        clip.format = format_;
        QFile file(path);
        if (info.size() <= WaveLimits::kMaxFileBytes && file.open(QIODevice::ReadOnly)) {
            clip.pcm = wavePcm(file.readAll(), format_);
        }
        // A stream starts sounding once its buffer is full, so a short clip
        // is made up to the buffer's length with silence.
        const qsizetype buffer = format_.bytesForDuration(qint64(kBufferMs) * 1000);
        if (!clip.pcm.isEmpty() && clip.pcm.size() < buffer) clip.pcm.append(buffer - clip.pcm.size(), '\0');
    }
    return clip.pcm.isEmpty() ? nullptr : &clip.pcm;
}

void QtSound::prepare(const QString& path) {
    if (openSink()) pcmFor(path);
}

void QtSound::play(const QString& path) {
    if (!openSink()) return;
    const QByteArray* pcm = pcmFor(path);
    // What the stream still holds of the last clip would sound before the
    // new one: a new stream drops it.
    const bool sounding = written_ > 0 && started_.isValid() &&
                          started_.elapsed() < format_.durationForBytes(qint32(queued_.size())) / 1000;
    queued_.clear();
    written_ = 0;
    feeder_.stop();
    if (!pcm) return;  // a missing or broken clip is a silent tick
    if (sounding) {
        io_ = sink_->start();
        if (!io_ || sink_->error() != QAudio::NoError) return;
    }
    queued_ = *pcm;
    started_.start();
    feed();
}

void QtSound::feed() {
    if (!sink_ || !io_ || sink_->state() == QAudio::StoppedState) {
        // The stream has failed: the clip is dropped, the next play opens anew.
        feeder_.stop();
        queued_.clear();
        written_ = 0;
        return;
    }
    while (written_ < queued_.size()) {
        const qsizetype free = sink_->bytesFree();
        const qsizetype chunk = qMin(free - free % format_.bytesPerFrame(), queued_.size() - written_);
        if (chunk <= 0) break;
        const qint64 done = io_->write(queued_.constData() + written_, chunk);
        if (done <= 0) break;
        written_ += done;
    }
    if (written_ < queued_.size()) {
        if (!feeder_.isActive()) feeder_.start();
    } else {
        feeder_.stop();
    }
}

}  // namespace tovrin
