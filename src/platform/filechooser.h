#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace tovrin {

// One entry of an open-file dialog's type list: the text shown and the name
// patterns it stands for ("*.xls", or "*.xls *.xlsx").
struct FileFilter {
    QString label;
    QString patterns;
    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// The modal open-file dialog: an existing file is picked, the first filter
// is preselected, there is no initial folder or title of its own. Returns the
// chosen path, or nothing when the dialog was cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> openFile(const std::vector<FileFilter>& filters) = 0;
};

}  // namespace tovrin
