#pragma once

#include <QtEndian>
#include <bit>

namespace tovrin::little_endian {

// The little-endian numbers of the binary workbook formats, read from bytes
// that hold at least as many as the number needs.
inline quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
inline quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }
inline double f64(const char* p) { return std::bit_cast<double>(qFromLittleEndian<quint64>(p)); }

}  // namespace tovrin::little_endian
