#pragma once

#include <QAudioFormat>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/sound.h"

class QAudioSink;
class QIODevice;

namespace tovrin {

// Plays wave files, one at a time, through one audio output stream that is
// opened once and kept: each clip is decoded once into the stream's format
// and handed to the stream as it plays, so a clip starts as soon as it is
// asked for. Starting a clip while the last one still sounds replaces the
// stream by a fresh one, which drops what the old one still held: the new
// clip cuts the old one off. (On PulseAudio a stream stopped and started for
// every clip loses most of them, and a QSoundEffect per clip some.) The file
// is looked at on every play: a file that has gone is silent, one that has
// changed is decoded again. Without an audio device, or for a file that is
// not a PCM wave, nothing sounds and nothing is shown.
class QtSound : public SoundPlayer {
public:
    // How much sound the output stream holds ahead of what is heard: the
    // most a busy window may hold up the feeding without a gap in a clip.
    static constexpr int kBufferMs = 250;
    // How often the rest of a clip is handed to the stream.
    static constexpr int kFeedMs = 20;

    QtSound();
    ~QtSound() override;
    void play(const QString& path) override;
    void prepare(const QString& path) override;

private:
    struct Clip {
        QByteArray pcm;  // empty for a broken file
        QAudioFormat format;
        QDateTime modified;
        qint64 size = -1;
    };
    // Opens the output stream when there is none; false without a device.
    bool openSink();
    // The samples of a playable file in the stream's format, decoded afresh
    // when the file changed; nullptr when the file is missing or broken.
    const QByteArray* pcmFor(const QString& path);
    // Hands the stream as much of the queued clip as it takes.
    void feed();

    std::map<QString, Clip> clips_;
    QAudioFormat format_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    QByteArray queued_;  // the clip sounding, padded to fill the buffer
    qsizetype written_ = 0;
    QElapsedTimer started_;  // since the queued clip was started
    QTimer feeder_;
};

}  // namespace tovrin
