// QtSound on the machine's real audio stack (often no device at all): every
// play returns at once and nothing crashes, whatever the file is or becomes.

#include "platform/qt/qt_sound.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace tovrin {
namespace {

class QtSoundTest : public ::testing::Test {
protected:
    QString clip(const QString& name) const { return dir.filePath(name); }
    void copyClip(const QString& asset, const QString& name) const {
        QFile::remove(clip(name));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TOVRIN_ASSETS "/") + asset, clip(name)));
    }
    void put(const QString& name, const QByteArray& bytes) const {
        QFile file(clip(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // Lets background decoding and playback run for a while.
    static void settle(int ms = 150) { QTest::qWait(ms); }

    QTemporaryDir dir;
};

TEST_F(QtSoundTest, PlaysClipsOneAfterAnotherWithoutBlocking) {
    copyClip(QStringLiteral("1.wav"), QStringLiteral("1.wav"));
    copyClip(QStringLiteral("dot.wav"), QStringLiteral("dot.wav"));
    QtSound sound;
    sound.prepare(clip(QStringLiteral("1.wav")));
    QElapsedTimer elapsed;
    elapsed.start();
    // The same clip twice in a row, a new clip cutting off the last, a
    // play before decoding can have finished.
    for (const char16_t* name : {u"1.wav", u"1.wav", u"dot.wav", u"1.wav"}) {
        sound.play(clip(QString::fromUtf16(name)));
    }
    EXPECT_LT(elapsed.elapsed(), 300) << "starting clips must not wait for them";
    settle();
    sound.play(clip(QStringLiteral("dot.wav")));
    settle();
}

TEST_F(QtSoundTest, MissingBrokenAndChangingFilesAreSilent) {
    put(QStringLiteral("empty.wav"), QByteArray());
    put(QStringLiteral("text.wav"), QByteArrayLiteral("this is not a wave file"));
    put(QStringLiteral("cut.wav"), QByteArrayLiteral("RIFF\x24\x00\x00\x00WAVEfmt "));
    copyClip(QStringLiteral("5.wav"), QStringLiteral("5.wav"));
    QtSound sound;
    for (const char16_t* name : {u"missing.wav", u"empty.wav", u"text.wav", u"cut.wav", u"5.wav"}) {
        sound.prepare(clip(QString::fromUtf16(name)));
    }
    settle();
    for (const char16_t* name : {u"5.wav", u"missing.wav", u"empty.wav", u"5.wav", u"text.wav", u"cut.wav"}) {
        sound.play(clip(QString::fromUtf16(name)));
    }
    settle();

    // The clip that is sounding disappears, then comes back changed, then
    // is replaced by garbage: the player follows the file each time.
    sound.play(clip(QStringLiteral("5.wav")));
    ASSERT_TRUE(QFile::remove(clip(QStringLiteral("5.wav"))));
    sound.play(clip(QStringLiteral("5.wav")));
    copyClip(QStringLiteral("dengyu.wav"), QStringLiteral("5.wav"));
    sound.play(clip(QStringLiteral("5.wav")));
    settle(50);
    put(QStringLiteral("5.wav"), QByteArrayLiteral("garbage"));
    sound.play(clip(QStringLiteral("5.wav")));
    sound.play(clip(QString()));
    sound.play(dir.path());  // a folder is not a clip
    settle();
}

TEST_F(QtSoundTest, DestroyedWhileSounding) {
    copyClip(QStringLiteral("jia.wav"), QStringLiteral("jia.wav"));
    {
        QtSound sound;
        sound.play(clip(QStringLiteral("jia.wav")));
        settle(50);
    }
    settle(50);
}

}  // namespace
}  // namespace tovrin
