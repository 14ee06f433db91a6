#include "app/handover.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <future>

namespace tovrin {
namespace {

// What a later start from the folder is told, the running till's events
// being served meanwhile.
bool handOver(const QString& folder) {
    std::future<bool> asked = std::async(std::launch::async, [&] { return Handover::toRunning(folder); });
    while (asked.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return asked.get();
}

// A socket file that nobody listens on, as a till killed outright leaves it.
void leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    ASSERT_LT(size_t(name.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

TEST(Handover, ALaterStartBringsTheRunningWindowForward) {
    QTemporaryDir folder;
    Handover running(folder.path());
    ASSERT_TRUE(running.listening());
    EXPECT_TRUE(QFileInfo(folder.filePath(Handover::kSocketName)).exists());
    QWidget window;
    running.setWindow(&window);
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());

    EXPECT_TRUE(handOver(folder.path()));
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
    // Asked again while nothing is minimised, it says the same.
    EXPECT_TRUE(handOver(folder.path()));
}

TEST(Handover, ARequestBeforeTheWindowIsAnsweredToo) {
    QTemporaryDir folder;
    Handover running(folder.path());
    EXPECT_TRUE(handOver(folder.path()));
}

TEST(Handover, NobodyAnsweringIsToldApart) {
    QTemporaryDir folder;
    EXPECT_FALSE(handOver(folder.path()));  // no socket at all
    leaveStaleSocket(folder.filePath(Handover::kSocketName));
    EXPECT_FALSE(handOver(folder.path()));  // one nobody listens on
}

TEST(Handover, TheSocketOfATillThatEndedIsTakenOver) {
    QTemporaryDir folder;
    leaveStaleSocket(folder.filePath(Handover::kSocketName));
    Handover running(folder.path());
    ASSERT_TRUE(running.listening());
    EXPECT_TRUE(handOver(folder.path()));

    // A second listener in the same folder leaves the first one's socket.
    Handover second(folder.path());
    EXPECT_TRUE(handOver(folder.path()));
}

TEST(Handover, AFolderTooDeepForASocketListensInTheRuntimeFolder) {
    QTemporaryDir base;
    QString deep = base.path();
    while (QFile::encodeName(deep).size() < 120) deep += QStringLiteral("/收银台的文件夹");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QStringList names = Handover::socketNames(deep);
    ASSERT_EQ(names.size(), 1);
    EXPECT_FALSE(names[0].startsWith(deep));
    EXPECT_NE(Handover::socketNames(base.path()).last(), names[0]);

    Handover running(deep);
    ASSERT_TRUE(running.listening());
    EXPECT_TRUE(handOver(deep));
}

}  // namespace
}  // namespace tovrin
