#include "platform/qt/qt_sound.h"

#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>

namespace tovrin {

namespace {

// Whether the file is a RIFF wave of PCM samples with its chunks intact.
// QSoundEffect is only given such files: in Qt 6.4 a file it cannot decode
// leaves its sample loader running for good, and from then on destroying any
// QSoundEffect waits for that loader forever, which would freeze the window.
bool isPcmWave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return false;
    bool pcm = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = u32(at + 4);
        const qsizetype body = at + 8;
        if (size > bytes.size() - body) return false;  // cut off
        if (id == "fmt ") {
            if (size < 16) return false;
            const quint16 format = u16(body), channels = u16(body + 2), bits = u16(body + 14);
            const quint32 rate = u32(body + 4);
            pcm = format == 1 && channels >= 1 && channels <= 2 && rate > 0 &&
                  (bits == 8 || bits == 16 || bits == 24 || bits == 32);
        } else if (id == "data") {
            return pcm && size > 0;
        }
        at = body + size + (size & 1);
    }
    return false;
}

}  // namespace

QtSound::QtSound() = default;

QtSound::~QtSound() {
    if (current_) current_->stop();
}

QSoundEffect* QtSound::effectFor(const QString& path) {
    const QFileInfo info(path);
    const auto found = clips_.find(path);
    const bool stale =
        found != clips_.end() && (!info.isFile() || found->second.modified != info.lastModified() ||
                                  found->second.size != info.size());
    if (stale) {
        if (found->second.effect.get() == current_) current_ = nullptr;
        clips_.erase(found);
    }
    if (!info.isFile()) return nullptr;
    Clip& clip = clips_[path];
    if (clip.size < 0) {
        clip.modified = info.lastModified();
        clip.size = info.size();
        // QSoundEffect decodes in the background and starts a play requested
        // before it is ready as soon as it is. A file that is not a PCM wave
        // keeps no effect and stays silent until it changes.
        if (isPcmWave(path)) {
            clip.effect = std::make_unique<QSoundEffect>();
            clip.effect->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        }
    }
    return clip.effect.get();
}

void QtSound::prepare(const QString& path) { effectFor(path); }

void QtSound::play(const QString& path) {
    if (current_) current_->stop();
    current_ = nullptr;
    QSoundEffect* effect = effectFor(path);
    if (!effect) return;  // a missing or broken clip is a silent tick
    effect->play();
    current_ = effect;
}

}  // namespace tovrin
