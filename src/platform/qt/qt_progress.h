#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/progress.h"

namespace tovrin {

// Runs the work on a thread of its own while the window's thread goes on
// painting. Input to the program's windows is held back until the work
// ends; after half a second a modal progress dialog shows the rows done so
// far and a "取消" button that asks the work to stop.
class QtProgressRunner : public ProgressRunner {
public:
    // How long a work runs before the dialog shows.
    static constexpr int kShowAfterMs = 500;
    static inline const QString kTitle = QStringLiteral("导入条码价格表");

    explicit QtProgressRunner(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void run(const QString& what, const std::function<void(Progress&)>& work) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace tovrin
