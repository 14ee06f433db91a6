#pragma once

#include <QIODevice>
#include <QString>

#include "workbook/workbook_limits.h"

namespace tovrin {

// Bounds on the XML of one workbook: the bytes unpacked from all its parts
// together, the length of any one token (a text, a tag with its attributes, a
// comment) and the nesting depth. QXmlStreamReader holds a whole token in
// memory, so these bounds are what keep a hostile file from taking gigabytes.
struct XmlLimits {
    qint64 maxUnpackedBytes = workbook_limits::kMaxUnpackedBytes;
    qint64 maxTokenBytes = workbook_limits::kMaxXmlTokenBytes;
    int maxDepth = workbook_limits::kMaxXmlDepth;
};

// Hands the bytes of a source device to an XML reader and stops with an
// error as soon as they break the limits. A document type declaration is
// refused: the workbook format has none, and it would bring entities.
class XmlGuard : public QIODevice {
public:
    // `unpacked` counts the bytes of all parts of the workbook read so far;
    // `maxBytes` bounds those of this part (-1: no bound of
    // its own).
    XmlGuard(QIODevice& source, const XmlLimits& limits, qint64& unpacked, qint64 maxBytes = -1);

    bool isSequential() const override { return true; }
    // Also stops once the part has unpacked to more than `floor` bytes and
    // to more than `ratio` times the bytes read from `packed` (the archive's
    // file) since now.
    void watchRatio(const QIODevice& packed, qint64 ratio, qint64 floor) {
        packed_ = &packed;
        packedStart_ = packed.pos();
        ratio_ = ratio;
        floor_ = floor;
    }
    // Empty while the limits hold; otherwise why reading stopped.
    const QString& violation() const { return violation_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    enum class State { Text, Open, Bang, Tag, Comment, CData, Instruction };
    bool scan(const char* data, qint64 size);
    bool fail(const QString& why);

    QIODevice& source_;
    const XmlLimits& limits_;
    qint64& unpacked_;
    qint64 maxBytes_;
    qint64 read_ = 0;
    const QIODevice* packed_ = nullptr;
    qint64 packedStart_ = 0;
    qint64 ratio_ = 0;
    qint64 floor_ = 0;
    QString violation_;

    State state_ = State::Text;
    qint64 tokenBytes_ = 0;
    int depth_ = 0;
    bool closing_ = false;
    char quote_ = 0;
    char last_ = 0, beforeLast_ = 0;
    QByteArray bang_;
};

}  // namespace tovrin
