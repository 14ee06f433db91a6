#include "platform/qt/qt_progress.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <limits>
#include <thread>

namespace tovrin {

namespace {

// The rows done and the request to stop, shared with the work's thread.
class SharedProgress : public Progress {
public:
    bool advance(qint64 rows) override {
        rows_.store(rows, std::memory_order_relaxed);
        return !cancelled_.load(std::memory_order_relaxed);
    }
    qint64 rows() const { return rows_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

private:
    std::atomic<qint64> rows_ = 0;
    std::atomic<bool> cancelled_ = false;
};

bool isInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::ContextMenu:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

// Holds back input to every widget but the progress dialog while the work
// runs, also before the dialog is shown.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(QWidget& dialog) : dialog_(dialog) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isInput(event->type())) return false;
        // The dialog's own window (its close button, keys sent to it).
        if (watched == static_cast<QObject*>(dialog_.windowHandle())) return false;
        for (QObject* o = watched; o; o = o->parent()) {
            if (o == &dialog_) return false;
        }
        return true;
    }

private:
    QWidget& dialog_;
};

QString label(const QString& what, qint64 rows) { return what + QStringLiteral("\n已读取 %1 行").arg(rows); }

}  // namespace

void QtProgressRunner::run(const QString& what, const std::function<void(Progress&)>& work) {
    SharedProgress progress;
    QProgressDialog dialog(label(what, 0), QStringLiteral("取消"), 0, 0, parent_);
    dialog.setWindowTitle(kTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(std::numeric_limits<int>::max());  // shown by the timer below
    dialog.setMinimumWidth(360);
    dialog.hide();
    // 取消, the window's close button and Esc all ask the work to stop. The
    // dialog hides itself on each of them; it is shown again and stays until
    // the work has ended, since the window takes no input before that.
    QPushButton* button = dialog.findChild<QPushButton*>();
    bool ended = false;
    const auto cancel = [&] {
        progress.cancel();
        if (button) button->setEnabled(false);
        dialog.setLabelText(what + QStringLiteral("\n正在取消……"));
        // After the dialog's own hiding, whichever way it was asked.
        QMetaObject::invokeMethod(
            &dialog,
            [&] {
                if (!ended) dialog.show();
            },
            Qt::QueuedConnection);
    };
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, cancel);
    QObject::connect(&dialog, &QDialog::rejected, &dialog, cancel);

    InputBlocker blocker(dialog);
    QEventLoop loop;
    QTimer show;
    show.setSingleShot(true);
    QObject::connect(&show, &QTimer::timeout, &dialog, [&] { dialog.show(); });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
        if (!progress.cancelled()) dialog.setLabelText(label(what, progress.rows()));
    });
    show.start(kShowAfterMs);
    tick.start(100);

    std::thread worker([&] {
        work(progress);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    ended = true;
    worker.join();
    tick.stop();
    show.stop();
    dialog.hide();
}

}  // namespace tovrin
