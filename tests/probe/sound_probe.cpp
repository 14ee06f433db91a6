// Plays clips through QtSound at given times, for the end-to-end sound test
// to record: sound_probe FOLDER NAME@MS ... plays FOLDER/NAME.wav MS
// milliseconds after the start, then waits a second and ends.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <cstdlib>

#include "platform/qt/qt_sound.h"

namespace {

int run(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() < 3) return 2;
    const QDir folder(args[1]);
    tovrin::QtSound sound;
    int last = 0;
    for (const QString& arg : args.mid(2)) {
        const QStringList parts = arg.split(u'@');
        bool ok = false;
        const int at = parts.value(1).toInt(&ok);
        if (parts.size() != 2 || !ok || at < 0) return 2;
        const QString path = folder.filePath(parts[0] + QStringLiteral(".wav"));
        sound.prepare(path);
        QTimer::singleShot(at, Qt::PreciseTimer, &app, [&sound, path] { sound.play(path); });
        last = qMax(last, at);
    }
    QTimer::singleShot(last + 1000, &app, &QCoreApplication::quit);
    return app.exec();
}

}  // namespace

// Ends as the program does, without destroying Qt's PulseAudio engine.
int main(int argc, char** argv) { std::_Exit(run(argc, argv)); }
