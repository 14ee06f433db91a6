#pragma once

#include <QStringList>

#include "platform/filechooser.h"

class QWidget;

namespace tovrin {

// The open-file dialog on a QFileDialog. Filters show their labels only (the
// patterns stay hidden, as in the label "excel2003文件*.xls").
class QtFileChooser : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<QString> openFile(const std::vector<FileFilter>& filters) override;

    // The dialog's name filters: "label (patterns)".
    static QStringList nameFilters(const std::vector<FileFilter>& filters);

private:
    QWidget* parent_;
};

}  // namespace tovrin
