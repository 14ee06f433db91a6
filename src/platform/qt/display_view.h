#pragma once

#include <QPlainTextEdit>

#include "platform/display.h"

namespace tovrin {

// Renders the display's text model read-only: bold, the model's sizes and
// colours, no wrapping of long lines. A plain-text view lays out a month of
// report lines in a blink, where a rich-text one takes a second.
class DisplayView : public QPlainTextEdit {
    Q_OBJECT
public:
    DisplayView(TextModel& model, QWidget* parent = nullptr);
    void setWrapping(bool wrap);

private:
    void apply(const TextModel::Change& change);
    TextModel& model_;
};

}  // namespace tovrin
