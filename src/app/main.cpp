#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/form1.h"
#include "app/handover.h"
#include "app/till_lock.h"
#include "checkout/sale_journal.h"
#include "platform/clock.h"
#include "platform/numbers.h"
#include "platform/qt/display_accessible.h"
#include "platform/qt/gbk_text_files.h"
#include "platform/qt/qt_file_chooser.h"
#include "platform/qt/qt_progress.h"
#include "platform/qt/qt_prompts.h"
#include "platform/qt/qt_sound.h"
#include "platform/qt/qt_timer.h"
#include "workbook/workbook_reader.h"

namespace {

int run(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovrin"));
    QApplication::setDesktopFileName(QStringLiteral("tovrin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tovrin.png")));
    tovrin::installAccessibleFactory();
    // Qt's own texts (the file dialog, the edit menu of the boxes) speak
    // Chinese like the rest of the program, whatever the desktop's language.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // Two windows on one folder would write the same journals.
    const QString folder = QCoreApplication::applicationDirPath();
    tovrin::TillLock lock(folder);
    if (!lock.acquire()) {
        // The running till brings its window forward; the cashier is told
        // only when it cannot be reached.
        if (!tovrin::Handover::toRunning(folder)) {
            tovrin::QtPrompts(nullptr).ok(tovrin::TillLock::kAlreadyRunning, tovrin::kBoxTitle);
        }
        return 0;
    }
    if (!lock.trouble().isEmpty()) tovrin::QtPrompts(nullptr).ok(lock.trouble(), tovrin::kBoxTitle);
    tovrin::Handover handover(folder);

    // A sale that a stopped run left half written is completed first.
    tovrin::GbkTextFiles files;
    if (const auto failure = tovrin::SaleJournal(files, folder).recover()) {
        tovrin::QtPrompts(nullptr).ok(*failure);
    }

    // The window's services outlive it; its dialogs open over it.
    tovrin::QtPrompts prompts;
    tovrin::SystemClock clock;
    tovrin::NumberFormat numbers;
    tovrin::QtSound sound;
    tovrin::QtTimer timer2, timer3;
    tovrin::QtFileChooser chooser;
    tovrin::WorkbookReader spreadsheets;
    tovrin::QtProgressRunner progress;
    tovrin::Form1Services services;
    services.prompts = &prompts;
    services.files = &files;
    services.clock = &clock;
    services.numbers = &numbers;
    services.sound = &sound;
    services.timer2 = &timer2;
    services.timer3 = &timer3;
    services.chooser = &chooser;
    services.spreadsheets = &spreadsheets;
    services.progress = &progress;
    services.folder = folder;
    tovrin::Form1 window(services);
    handover.setWindow(&window);
    prompts.setParent(&window);
    chooser.setParent(&window);
    progress.setParent(&window);
    window.showMaximized();
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    // A write beyond the file size limit fails and is reported like any
    // other failed write, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const int code = run(argc, argv);
    // The window, the lock and the application are gone and no file is open.
    // The statics are not destroyed: Qt 6.4's PulseAudio engine, torn down at
    // exit, races its own event thread and now and then aborts the program
    // after the window has closed.
    std::fflush(nullptr);
    std::_Exit(code);
}
