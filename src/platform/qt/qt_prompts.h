#pragma once

#include "platform/prompts.h"

class QWidget;

namespace tovrin {

// Message boxes without an icon and with Chinese buttons: "确定", "是(Y)" and
// "否(N)", Y and N working as keys, Yes the default. An OK box also closes
// with Esc or its close button; a question only closes with an answer.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void ok(const QString& text, const QString& title = kAppTitle) override;
    bool yesNo(const QString& text, const QString& title = kBoxTitle) override;

private:
    QWidget* parent_;
};

}  // namespace tovrin
