#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/qt/qt_progress.h"

namespace tovrin {
namespace {

QProgressDialog* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) return d;
    }
    return nullptr;
}

// Polls the screen while the work runs on its own thread.
class Watch {
public:
    explicit Watch(std::function<void()> each) : each_(std::move(each)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { each_(); });
        timer_.start(20);
    }

private:
    std::function<void()> each_;
    QTimer timer_;
};

TEST(QtProgressRunner, ShowsRowsAfterHalfASecondAndCancelEndsTheWork) {
    QWidget window;
    window.show();
    QtProgressRunner runner(&window);
    QElapsedTimer clock;
    clock.start();
    qint64 shownAfter = -1;
    QString label;
    bool clicked = false;
    Watch watch([&] {
        QProgressDialog* d = shownDialog();
        if (!d || clicked) return;
        if (shownAfter < 0) shownAfter = clock.elapsed();
        label = d->findChild<QLabel*>()->text();
        if (!label.contains(QStringLiteral("已读取 0 行")) && clock.elapsed() > shownAfter + 150) {
            QPushButton* cancel = d->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->text(), QStringLiteral("取消"));
            clicked = true;
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    });
    qint64 rows = 0;
    bool stopped = false;
    runner.run(QStringLiteral("正在导入 商品.xls"), [&](Progress& progress) {
        // At most a minute: the test fails rather than hangs.
        while (clock.elapsed() < 60000) {
            rows += 100;
            if (!progress.advance(rows)) {
                stopped = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(clicked);
    EXPECT_GE(shownAfter, QtProgressRunner::kShowAfterMs - 20);
    EXPECT_TRUE(label.startsWith(QStringLiteral("正在导入 商品.xls\n已读取 "))) << label.toStdString();
    EXPECT_EQ(shownDialog(), nullptr);  // gone once the work ended
}

TEST(QtProgressRunner, AShortWorkShowsNothingAndTheWindowTakesNoInputMeanwhile) {
    QWidget window;
    QPushButton button(QStringLiteral("统计"), &window);
    window.show();
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QtProgressRunner runner(&window);
    bool seen = false;
    bool clickedDuring = false;
    Watch watch([&] {
        seen = seen || shownDialog();
        if (!clickedDuring) {
            clickedDuring = true;
            QTest::mouseClick(&button, Qt::LeftButton);
        }
    });
    std::atomic<bool> ran = false;
    runner.run(QStringLiteral("正在导入"), [&](Progress& progress) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        progress.advance(1);
        ran = true;
    });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(clickedDuring);
    EXPECT_FALSE(seen);
    EXPECT_EQ(clicks.count(), 0);
    // Afterwards the window takes input again.
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

// A reader that does not stop at once (a workbook on a slow disk): after
// 取消, Esc or the close button the dialog stays, says it is cancelling and
// offers no second 取消, until the work has ended; the window takes no input
// meanwhile, so a dialog gone early would leave a window that ignores keys.
TEST(QtProgressRunner, CancellingKeepsTheDialogUntilTheWorkHasEnded) {
    enum class Way { Button, Escape, Close };
    for (Way way : {Way::Button, Way::Escape, Way::Close}) {
        SCOPED_TRACE(int(way));
        QWidget window;
        window.show();
        QtProgressRunner runner(&window);
        QElapsedTimer clock;
        clock.start();
        std::atomic<bool> release = false;
        bool asked = false;
        int seenAfter = 0;  // ticks that found the dialog after the request
        QString label;
        bool buttonEnabled = true;
        Watch watch([&] {
            QProgressDialog* d = shownDialog();
            if (!asked) {
                if (!d) return;
                asked = true;
                if (way == Way::Button) QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
                if (way == Way::Escape) QTest::keyClick(d, Qt::Key_Escape);
                if (way == Way::Close) d->close();
                return;
            }
            if (release) return;
            if (d) {
                ++seenAfter;
                label = d->findChild<QLabel*>()->text();
                buttonEnabled = d->findChild<QPushButton*>()->isEnabled();
            }
            if (seenAfter >= 10 || clock.elapsed() > 30000) release = true;
        });
        bool told = false;
        runner.run(QStringLiteral("正在导入 商品.csv"), [&](Progress& progress) {
            // The work learns of the request only when it is let go.
            while (!release && clock.elapsed() < 60000) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            told = !progress.advance(1);
        });
        EXPECT_TRUE(asked);
        EXPECT_TRUE(told);
        EXPECT_GE(seenAfter, 10);
        EXPECT_EQ(label, QStringLiteral("正在导入 商品.csv\n正在取消……"));
        EXPECT_FALSE(buttonEnabled);
        EXPECT_EQ(shownDialog(), nullptr);  // gone once the work ended
    }
}

}  // namespace
}  // namespace tovrin
