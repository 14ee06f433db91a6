#pragma once

#include <QTextEdit>

#include "platform/display.h"

namespace tovrin {

// Renders the display's text model in a read-only QTextEdit: bold, the
// model's sizes and colours, no wrapping of long lines.
class DisplayView : public QTextEdit {
    Q_OBJECT
public:
    DisplayView(TextModel& model, QWidget* parent = nullptr);
    void setWrapping(bool wrap);

private:
    void apply(const TextModel::Change& change);
    TextModel& model_;
};

}  // namespace tovrin
