#pragma once

#include <quazip/quazip.h>

#include <QStringList>
#include <functional>

#include "workbook/xml_part.h"

namespace tovrin {

// A zipped workbook open on a device: its entries, and its XML parts read
// one at a time, the bounds of PackageLimits kept over all of them.
class ZipPackage {
public:
    using Result = SpreadsheetReader::Result;

    // What the reader of one kind of package says when its archive fails.
    struct Wording {
        QString notAZip;         // the archive cannot be opened at all
        QString tooManyEntries;  // it holds more than maxEntries
    };

    ZipPackage(QIODevice& device, const PackageLimits& limits)
        : device_(device), zip_(&device), limits_(limits) {}

    Result open(const Wording& wording);
    // The entries' names as the archive gives them, once open.
    const QStringList& names() const { return names_; }

    // How a part that cannot be read fails.
    struct PartFailures {
        Result notFound;      // the archive has no such entry
        Result cannotUnpack;  // the entry cannot be unpacked
    };
    // Unpacks the entry `entry` (the part `part`) and reads it with `body`. A
    // part that unpacks to more than `maxBytes` (no bound when negative), or
    // to far more than the packed bytes read for it, is refused as soon as
    // it does.
    Result readPart(const QString& entry, const QString& part, qint64 maxBytes, const PartFailures& failures,
                    const std::function<Result(XmlPart&)>& body);

private:
    QIODevice& device_;
    QuaZip zip_;
    const PackageLimits& limits_;
    QStringList names_;
    qint64 unpacked_ = 0;  // the bytes unpacked from all its parts so far
};

}  // namespace tovrin
