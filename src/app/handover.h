#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QLocalServer;
class QWidget;

namespace tovrin {

// One window per till: a second start from the same program folder asks the
// running till, over a local socket beside its lock, to bring its window to
// the front, and then ends without a word. The running till listens for as
// long as it holds the lock.
class Handover : public QObject {
    Q_OBJECT
public:
    static inline const QString kSocketName = QStringLiteral("tovrin.socket");

    // Where the till of a folder listens, in the order tried: beside the
    // lock, or, where the folder's path is too long for a socket or the
    // folder cannot hold one, in the user's runtime folder under a name made
    // from the folder's path.
    static QStringList socketNames(const QString& folder);

    // Asks the till running from the folder to bring its window forward.
    // True once it has said so; false when no till answers within the time.
    static bool toRunning(const QString& folder, int replyMs = 10000);

    // Listens for later starts from the folder; nothing happens when no
    // place to listen can be had (a later start then says the till runs).
    explicit Handover(const QString& folder, QObject* parent = nullptr);
    ~Handover() override;

    // The window brought forward when a later start asks; until it is set,
    // a request is answered and the window shows as it opens.
    void setWindow(QWidget* window) { window_ = window; }
    bool listening() const;

private:
    void serve();

    QLocalServer* server_;
    QPointer<QWidget> window_;
};

// Restores a minimised window, raises it and makes it the active window
// (or the box open over it, which holds the input).
void bringForward(QWidget* window);

}  // namespace tovrin
