#include "workbook/xml_part.h"

// Debian's expat is built with DTD support, and its header declares the
// bounds on entity expansion only then.
#define XML_DTD
#include <expat.h>
#include <quazip/quazipfile.h>

#include <algorithm>

#include "workbook/workbook_reasons.h"

namespace tovrin {

using workbook_reasons::damaged;

namespace {

XmlPart::Result outOfMemory(const QString& part) {
    return XmlPart::Result::failed(part + QStringLiteral("：内存不足"));
}

}  // namespace

// The parser's callbacks that call no handler.
struct XmlPart::Events {
    static XmlPart& of(void* self) { return *static_cast<XmlPart*>(self); }
    // Comments, processing instructions and CDATA sections end a text.
    static void XMLCALL comment(void* self, const XML_Char*) { of(self).boundary_(self); }
    static void XMLCALL instruction(void* self, const XML_Char*, const XML_Char*) {
        of(self).boundary_(self);
    }
    static void XMLCALL cdata(void* self) { of(self).boundary_(self); }
    static void XMLCALL doctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        of(self).violate(QStringLiteral("含有文档类型声明（DTD）"));
    }
};

XmlPart::XmlPart(QuaZipFile& file, const QString& part, const XmlLimits& limits, qint64& unpacked,
                 qint64 maxBytes)
    : file_(file), part_(part), limits_(limits), unpacked_(unpacked), maxBytes_(maxBytes) {
    parser_ = XML_ParserCreate(nullptr);
    if (!parser_) return;
    XML_SetUserData(parser_, this);
    XML_SetCommentHandler(parser_, Events::comment);
    XML_SetProcessingInstructionHandler(parser_, Events::instruction);
    XML_SetCdataSectionHandler(parser_, Events::cdata, Events::cdata);
    XML_SetStartDoctypeDeclHandler(parser_, Events::doctype);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, workbook_limits::kMaxXmlAmplification);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser_,
                                                            workbook_limits::kXmlAmplificationFloorBytes);
}

XmlPart::~XmlPart() {
    if (parser_) XML_ParserFree(parser_);
}

void XmlPart::watchRatio(const QIODevice& packed, qint64 ratio, qint64 floor) {
    packed_ = &packed;
    packedStart_ = packed.pos();
    ratio_ = ratio;
    floor_ = floor;
}

void XmlPart::stop(const Result& result) {
    if (ended_) return;
    ended_ = true;
    result_ = result;
    XML_StopParser(parser_, XML_FALSE);
}

void XmlPart::malformed() { stop(notWellFormed()); }

bool XmlPart::violate(const QString& why) {
    stop(Result::failed(part_ + QStringLiteral("：") + why));
    return false;
}

void XmlPart::tooDeep() { violate(QStringLiteral("标记嵌套超过 %1 层").arg(limits_.maxDepth)); }

bool XmlPart::textFits() {
    // A text counts as one token, however many pieces the parser gives it
    // in: the pieces lie one after the other in the part, and their bytes
    // there (a reference's, not the character's) add up.
    textBytes_ = std::max<qint64>(textBytes_, 0) + XML_GetCurrentByteCount(parser_);
    if (textBytes_ <= limits_.maxTokenBytes) return true;
    tokenTooLong();
    return false;
}

void XmlPart::tokenTooLong() {
    violate(QStringLiteral("单元格内容或标记超过 %1 KB").arg(limits_.maxTokenBytes >> 10));
}

XmlPart::Result XmlPart::notWellFormed() const {
    return damaged(QStringLiteral("%1 不是有效的 XML（第 %2 行）")
                       .arg(part_)
                       .arg(qulonglong(XML_GetCurrentLineNumber(parser_))));
}

XmlPart::Result XmlPart::run(const Callbacks& callbacks) {
    if (!parser_) return outOfMemory(part_);
    XML_SetElementHandler(parser_, callbacks.start, callbacks.end);
    XML_SetCharacterDataHandler(parser_, callbacks.text);
    boundary_ = callbacks.boundary;
    // The parser holds a tag or comment until it has read it to its end, and
    // starts a pending one over with each piece: while one is pending, the
    // pieces grow with it, so that it is read a few times at most.
    // The pieces are cut so that none can end one longer than the bound
    // unseen: the bytes pending and those of the next piece stay within it,
    // and pending bytes as many as the bound belong to a longer one.
    const qint64 maxToken = std::max<qint64>(limits_.maxTokenBytes, 1);
    qint64 pending = 0;
    while (!ended_) {
        const qint64 want = std::min(std::max(workbook_limits::kXmlPieceBytes, pending), maxToken - pending);
        char* buffer = static_cast<char*>(XML_GetBuffer(parser_, int(want)));
        if (!buffer) return outOfMemory(part_);
        const qint64 got = file_.read(buffer, want);
        if (got < 0) {
            violate(workbook_reasons::unpackFailed(file_.getZipError()));
            break;
        }
        // The sizes the archive gives are not believed: the bytes are counted
        // as they are unpacked, and so are the packed bytes read for them.
        if ((unpacked_ += got) > limits_.maxUnpackedBytes) {
            violate(
                QStringLiteral("解压后的内容超过 %1 MB，不像是商品表").arg(limits_.maxUnpackedBytes >> 20));
            break;
        }
        read_ += got;
        if (maxBytes_ >= 0 && read_ > maxBytes_) {
            violate(QStringLiteral("解压后超过 %1 MB 的上限，不像是商品表").arg(maxBytes_ >> 20));
            break;
        }
        if (packed_ && read_ > floor_) {
            // The archive reads the packed bytes ahead of the unpacking, so
            // those read so far are at least those unpacked.
            const qint64 packed = packed_->pos() - packedStart_;
            if (read_ / ratio_ > packed) {
                violate(QStringLiteral("压缩比超过 %1 倍（%2 KB 解压成 %3 MB），像是压缩炸弹")
                            .arg(ratio_)
                            .arg(packed >> 10)
                            .arg(read_ >> 20));
                break;
            }
        }
        if (XML_ParseBuffer(parser_, int(got), got == 0) != XML_STATUS_OK) {
            if (ended_) break;
            // A text before the fault ended where the fault began, and is
            // looked at first.
            const Result malformed = notWellFormed();
            boundary_(this);
            return ended_ ? result_ : malformed;
        }
        if (ended_) break;
        if (got == 0) return finish();
        pending = read_ - XML_GetCurrentByteIndex(parser_);
        if (pending >= maxToken) tokenTooLong();
    }
    return result_;
}

XmlPart::Result XmlPart::finish() {
    file_.close();
    if (file_.getZipError() != UNZ_OK) {
        return damaged(QStringLiteral("%1 的校验和不符").arg(part_));
    }
    return Result::done();
}

}  // namespace tovrin
