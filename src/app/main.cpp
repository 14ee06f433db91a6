#include <QApplication>
#include <QIcon>

#include "app/form1.h"
#include "app/till_lock.h"
#include "platform/qt/qt_prompts.h"

int main(int argc, char* argv[]) {
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
