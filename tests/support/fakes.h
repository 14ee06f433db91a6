#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "platform/clock.h"
#include "platform/filechooser.h"
#include "platform/form.h"
#include "platform/progress.h"
#include "platform/prompts.h"
#include "platform/qt/gbk_text_files.h"
#include "platform/sound.h"
#include "platform/textfiles.h"
#include "platform/timer.h"

// Readable test failures for texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace tovrin::test {

// Records every box; Yes/No answers come from a queue. An empty queue
// answers `otherwise` when that is set; else it is a test fault: it answers
// No and records that.
class FakePrompts : public Prompts {
public:
    struct Shown {
        QString kind;  // "ok" or "yesno"
        QString text;
        QString title;
    };
    void ok(const QString& text, const QString& title = kAppTitle) override;
    bool yesNo(const QString& text, const QString& title = kBoxTitle) override;

    void answer(std::initializer_list<bool> answers) { answers_.insert(answers_.end(), answers); }
    QStringList texts() const;
    // The texts of the boxes of one kind, "ok" or "yesno".
    QStringList texts(const QString& kind) const;
    bool answersLeft() const { return !answers_.empty(); }
    std::vector<Shown> shown;
    std::optional<bool> otherwise;
    bool ranOutOfAnswers = false;

private:
    std::deque<bool> answers_;
};

class FakeClock : public Clock {
public:
    FakeClock() = default;
    explicit FakeClock(const QDateTime& at) : now_(at) {}
    QDateTime now() const override { return now_; }
    QChar dateSeparator() const override { return separator; }
    void set(const QString& isoDateTime) { now_ = QDateTime::fromString(isoDateTime, Qt::ISODate); }
    QChar separator = QLatin1Char('-');

private:
    QDateTime now_ = QDateTime(QDate(2018, 5, 12), QTime(9, 5, 7));
};

// Runs the work in place and records what it told; it cancels the work once
// it has told `cancelAt` rows (never when negative).
class FakeProgressRunner : public ProgressRunner {
public:
    void run(const QString& what, const std::function<void(Progress&)>& work) override {
        struct Told : Progress {
            FakeProgressRunner& runner;
            explicit Told(FakeProgressRunner& r) : runner(r) {}
            bool advance(qint64 rows) override {
                runner.told.push_back(rows);
                return runner.cancelAt < 0 || rows < runner.cancelAt;
            }
        } told(*this);
        runs << what;
        work(told);
    }
    qint64 cancelAt = -1;
    QStringList runs;
    std::vector<qint64> told;
};

// The open-file dialog, answered with `answer` (nothing: cancelled); keeps
// the filters offered and counts the dialogs.
class FakeChooser : public FileChooser {
public:
    FakeChooser() = default;
    explicit FakeChooser(std::optional<QString> chosen) : answer(std::move(chosen)) {}
    std::optional<QString> openFile(const std::vector<FileFilter>& offered) override {
        ++opened;
        filters = offered;
        return answer;
    }
    std::optional<QString> answer;
    std::vector<FileFilter> filters;
    int opened = 0;
};

// A timer the test ticks by hand.
class FakeTimer : public Timer {
public:
    void setInterval(int milliseconds) override { interval = milliseconds; }
    void setEnabled(bool on) override { enabled = on; }
    bool isEnabled() const override { return enabled; }
    // Delivers one tick when enabled; returns whether it was delivered.
    bool tick() {
        if (!enabled) return false;
        fire();
        return true;
    }
    int interval = 0;
    bool enabled = false;
};

// Records the file names of the clips played, in order.
class RecordingSound : public SoundPlayer {
public:
    void play(const QString& path) override;
    QStringList played;  // file names only
};

class FakeForm : public FormControls {
public:
    FakeForm();
    QString text(Box box) const override { return texts.at(box); }
    // A new text is not selected.
    void setText(Box box, const QString& text) override {
        texts[box] = text;
        selected.erase(box);
    }
    QString caption() const override { return windowCaption; }
    void setCaption(const QString& caption) override { windowCaption = caption; }
    QString command3Caption() const override { return command3; }
    void setCommand3Caption(const QString& caption) override { command3 = caption; }
    void setText2FontSize(double points) override { text2FontSize = points; }
    void focusBox(Box box) override { focused = box; }
    void selectBoxText(Box box) override { selected.insert(box); }

    void set(const QString& t1, const QString& t2, const QString& t3, const QString& t4);

    std::map<Box, QString> texts;
    QString windowCaption = QStringLiteral("Tovrin找零");
    QString command3 = QStringLiteral("价格结算");
    double text2FontSize = 36;
    std::optional<Box> focused;  // the box last given the focus
    std::set<Box> selected;      // boxes whose whole text is selected
};

// Real GBK files in a fresh folder; paths named in `failing` refuse writes
// with the given reason, as a full disk or a read-only folder would.
class TempFiles : public GbkTextFiles {
public:
    QString folder() const { return dir_.path(); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QByteArray bytes(const QString& name) const;  // the whole file `name` in the folder
    using GbkTextFiles::bytes;
    void put(const QString& name, const QByteArray& bytes) const;
    void putText(const QString& name, const QString& text) const;

    std::optional<QString> append(const QString& path, const QString& record) override;
    std::optional<QString> rewrite(const QString& path, const QString& content) override;
    std::set<QString> failing;  // file names

private:
    QTemporaryDir dir_;
};

// Real files behind a wrapper that only looks at the calls changing a file.
class ForwardingFiles : public TextFiles {
public:
    explicit ForwardingFiles(TextFiles& inner) : inner_(inner) {}
    Read read(const QString& path) const override { return inner_.read(path); }
    QByteArray appended(const QString& record) const override { return inner_.appended(record); }
    QByteArray bytes(const QString& path, qint64 from, qint64 to) const override {
        return inner_.bytes(path, from, to);
    }
    Length length(const QString& path) const override { return inner_.length(path); }
    std::unique_ptr<ByteFile> openBytes(const QString& path) const override { return inner_.openBytes(path); }

protected:
    TextFiles& inner_;
};

// Wraps real files and fails chosen calls that change a file (append,
// rewrite, truncate, remove), counted from 1 in the order made, as a full
// disk would: a failing append or rewrite leaves the file as it was.
class FaultyFiles : public ForwardingFiles {
public:
    using ForwardingFiles::ForwardingFiles;
    std::optional<QString> append(const QString& path, const QString& record) override;
    std::optional<QString> rewrite(const QString& path, const QString& content) override;
    std::optional<QString> truncate(const QString& path, qint64 length) override;
    std::optional<QString> remove(const QString& path) override;

    std::set<int> failing;  // numbers of the calls that fail
    QString reason = QStringLiteral("磁盘已满");
    QStringList calls;  // "append tovrincalculate.txt", ...

private:
    bool fails(const QString& what, const QString& path);
};

// Ends the process with _exit(kCrashed), as a kill would, at the n-th call
// (from 1) that changes a file: before the call, halfway through its bytes
// (an append or a rewrite cut short) or after it.
class CrashingFiles : public ForwardingFiles {
public:
    enum class When { Before, Halfway, After };
    static constexpr int kCrashed = 77;

    CrashingFiles(TextFiles& inner, int at, When when) : ForwardingFiles(inner), at_(at), when_(when) {}
    std::optional<QString> append(const QString& path, const QString& record) override;
    std::optional<QString> rewrite(const QString& path, const QString& content) override;
    std::optional<QString> truncate(const QString& path, qint64 length) override;
    std::optional<QString> remove(const QString& path) override;

private:
    // Ends the process when this call is the chosen one and it is the time;
    // `torn` writes half of the bytes first.
    void point(When now, const QString& path, const QByteArray& torn = {}, bool truncateFirst = false);
    int at_;
    When when_;
    int calls_ = 0;
};

// The system calls of GbkTextFiles, failing for chosen files as a full or
// failing disk makes them fail, and logged. A rule names the call ("write",
// "fsync" or "ftruncate"), the file by its name ("tovrinback.txt"; a folder
// by its name followed by "/"), the error number and how many times it fails
// (always when negative), after letting the first `after` through. Every call
// made is logged as "fsync tovrinsale.txt".
class DiskFaults {
public:
    struct Rule {
        QString call;
        QString file;
        int error = 0;
        int times = -1;
        int after = 0;  // the first calls that match go through
    };
    GbkTextFiles::DiskCalls calls();
    // The name a descriptor is logged by.
    static QString nameOf(int fd);

    std::vector<Rule> rules;
    QStringList log;

private:
    // The error number a call fails with, 0 when it goes to the system.
    int fault(const QString& call, int fd);
};

// GBK bytes of a text written in the test with \t and \r\n.
QByteArray gbk(const QString& text);

}  // namespace tovrin::test
