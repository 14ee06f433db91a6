#include "platform/qt/qt_sound.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace tovrin {

QtSound::QtSound() = default;
QtSound::~QtSound() = default;

void QtSound::play(const QString& path) {
    if (current_) current_->stop();
    if (!QFileInfo(path).isFile()) return;  // a missing clip is a silent tick
    // A fresh effect per clip: QSoundEffect loads asynchronously and plays as
    // soon as the file is decoded; a broken file just never plays.
    current_ = std::make_unique<QSoundEffect>();
    current_->setSource(QUrl::fromLocalFile(path));
    current_->play();
}

}  // namespace tovrin
