#include "workbook/zip_package.h"

#include <quazip/quazipfile.h>

#include "workbook/workbook_reasons.h"

namespace tovrin {

ZipPackage::Result ZipPackage::open(const Wording& wording) {
    if (!zip_.open(QuaZip::mdUnzip)) return Result::failed(wording.notAZip);
    if (zip_.getEntriesCount() > limits_.maxEntries) return Result::failed(wording.tooManyEntries);
    names_ = zip_.getFileNameList();
    if (zip_.getZipError() != UNZ_OK) return workbook_reasons::badDirectory();
    return Result::done();
}

ZipPackage::Result ZipPackage::readPart(const QString& entry, const QString& part, qint64 maxBytes,
                                        const PartFailures& failures,
                                        const std::function<Result(XmlPart&)>& body) {
    if (!zip_.setCurrentFile(entry, QuaZip::csSensitive)) return failures.notFound;
    QuaZipFile file(&zip_);
    if (!file.open(QIODevice::ReadOnly)) return failures.cannotUnpack;
    XmlPart xml(file, part, limits_.xml, unpacked_, maxBytes);
    xml.watchRatio(device_, limits_.maxUnpackRatio, limits_.unpackRatioFloor);
    return body(xml);
}

}  // namespace tovrin
