#include "workbook/biff_records.h"

namespace tovrin::biff {

QByteArray codePageName(int codePage) {
    switch (codePage) {
        case 367:
            return "US-ASCII";
        case 932:
            return "Shift_JIS";
        case 936:
            return "GBK";
        case 949:
            return "windows-949";
        case 950:
            return "Big5";
        case 1200:
            return "UTF-16LE";
        case 10000:
        case 32768:
            return "macintosh";
        case 32769:
            return "windows-1252";
        default:
            break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "windows-" + QByteArray::number(codePage);
    return "cp" + QByteArray::number(codePage);
}

}  // namespace tovrin::biff
