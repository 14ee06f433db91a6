#pragma once

#include <QString>

namespace tovrin {

// A data file of the program folder: the folder's path, "/" and the name.
inline QString folderFile(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

}  // namespace tovrin
