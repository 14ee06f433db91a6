#pragma once

#include <QString>

#include "platform/spreadsheet.h"

class QuaZipFile;
class QXmlStreamReader;

namespace tovrin {

class XmlGuard;

// Ends the reading of one XML part of a workbook's archive, read from `file`
// through `guard` by `x`, whose walk gave `result`: a broken limit or XML
// that is not well formed fails the reading; a walk that finished reads the
// part to its end, so that the checksum is tested.
SpreadsheetReader::Result finishXmlPart(const QString& part, const SpreadsheetReader::Result& result,
                                        const QXmlStreamReader& x, XmlGuard& guard, QuaZipFile& file);

}  // namespace tovrin
