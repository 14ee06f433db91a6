#pragma once

#include <QString>
#include <functional>

namespace tovrin {

// What a long piece of work tells while it runs, and how it learns that it
// is to stop.
class Progress {
public:
    virtual ~Progress() = default;
    // The rows done so far; false once the work is to stop (the cashier
    // cancelled it). The work then ends as soon as it can.
    virtual bool advance(qint64 rows) = 0;
};

// Runs a long piece of work and returns when it has ended. While it runs the
// window stays painted but takes no input; a work that takes longer than a
// moment shows its rows done so far and can be cancelled.
class ProgressRunner {
public:
    virtual ~ProgressRunner() = default;
    // `what` names the work for the cashier ("正在导入 商品.xls").
    virtual void run(const QString& what, const std::function<void(Progress&)>& work) = 0;
};

// Runs the work where it is called, to its end: nothing is shown and
// nothing can cancel it.
class InPlaceRunner : public ProgressRunner {
public:
    void run(const QString&, const std::function<void(Progress&)>& work) override {
        struct Never : Progress {
            bool advance(qint64) override { return true; }
        } never;
        work(never);
    }
};

}  // namespace tovrin
