#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "app/form1.h"
#include "app/till_lock.h"
#include "platform/qt/qt_prompts.h"

namespace {

int run(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovrin"));
    QApplication::setDesktopFileName(QStringLiteral("tovrin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tovrin.png")));

    // Two windows on one folder would write the same journals.
    tovrin::TillLock lock(QCoreApplication::applicationDirPath());
    if (!lock.acquire()) {
        tovrin::QtPrompts(nullptr).ok(tovrin::TillLock::kAlreadyRunning, tovrin::kBoxTitle);
        return 0;
    }

    tovrin::Form1 window({});
    window.showMaximized();
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    const int code = run(argc, argv);
    // The window, the lock and the application are gone and no file is open.
    // The statics are not destroyed: Qt 6.4's PulseAudio engine, torn down at
    // exit, races its own event thread and now and then aborts the program
    // after the window has closed.
    std::fflush(nullptr);
    std::_Exit(code);
}
