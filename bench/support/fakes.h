#pragma once

#include <QDateTime>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/filechooser.h"
#include "platform/form.h"
#include "platform/prompts.h"

// The collaborators a benchmark hands to the checkout, the reports and the
// import in place of the window and the user.
namespace tovrin::bench {

// Answers the questions from a queue, then with `otherwise`; keeps the
// messages shown.
class AnsweringPrompts : public Prompts {
public:
    void ok(const QString& text, const QString&) override { oks.append(text); }
    bool yesNo(const QString&, const QString&) override {
        ++questions;
        const bool a = answers.empty() ? otherwise : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    bool otherwise = false;
    QStringList oks;
    int questions = 0;
};

// The form's boxes, empty; keeps the caption.
class Caption : public FormControls {
public:
    QString text(Box) const override { return {}; }
    void setText(Box, const QString&) override {}
    QString caption() const override { return title; }
    void setCaption(const QString& c) override { title = c; }
    QString command3Caption() const override { return {}; }
    void setCommand3Caption(const QString&) override {}
    void setText2FontSize(double) override {}
    void focusBox(Box) override {}
    void selectBoxText(Box) override {}
    QString title;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(const QDateTime& at) : at_(at) {}
    QDateTime now() const override { return at_; }

private:
    QDateTime at_;
};

// Chooses `path` whatever is asked.
class FixedChooser : public FileChooser {
public:
    std::optional<QString> openFile(const std::vector<FileFilter>&) override { return path; }
    QString path;
};

}  // namespace tovrin::bench
