#include "platform/qt/qt_file_chooser.h"

#include <QFileDialog>

namespace tovrin {

QStringList QtFileChooser::nameFilters(const std::vector<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& f : filters) out << f.label + QStringLiteral(" (") + f.patterns + QLatin1Char(')');
    return out;
}

std::optional<QString> QtFileChooser::openFile(const std::vector<FileFilter>& filters) {
    QFileDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    // The system's own title of an open dialog on a Chinese desktop, whether
    // or not Qt's translations are loaded.
    dialog.setWindowTitle(QStringLiteral("打开"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList names = nameFilters(filters);
    dialog.setNameFilters(names);
    if (!names.isEmpty()) dialog.selectNameFilter(names.first());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace tovrin
