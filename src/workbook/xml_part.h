#pragma once

#include <QString>

#include "platform/spreadsheet.h"
#include "workbook/workbook_limits.h"

class QIODevice;
class QuaZipFile;
struct XML_ParserStruct;

namespace tovrin {

// Bounds on the XML of one workbook: the bytes unpacked from all its parts
// together, the length of any one token (a text, a tag with its attributes, a
// comment) and the nesting depth. The parser holds a whole tag or comment in
// memory, and a reader gathers a whole text, so these bounds are what keep a
// hostile file from taking gigabytes.
struct XmlLimits {
    qint64 maxUnpackedBytes = workbook_limits::kMaxUnpackedBytes;
    qint64 maxTokenBytes = workbook_limits::kMaxXmlTokenBytes;
    int maxDepth = workbook_limits::kMaxXmlDepth;
};

// The bounds the readers of zipped XML packages (.xlsx, .ods) share: those
// of the XML, the entries of the package, a cell's text, and how far a part
// may unpack beyond the packed bytes read for it once it is larger than the
// floor.
struct PackageLimits {
    XmlLimits xml;
    int maxEntries = workbook_limits::kMaxZipEntries;
    qsizetype maxCellChars = workbook_limits::kMaxCellChars;
    qint64 maxUnpackRatio = workbook_limits::kMaxUnpackRatio;
    qint64 unpackRatioFloor = workbook_limits::kUnpackRatioFloorBytes;
};

// Reads one XML part of a workbook's archive: unpacks it a piece at a time,
// counting the bytes against the limits, and pushes the pieces into expat,
// which calls the handler back for each element and text. A document type
// declaration is refused (the workbook formats have none, and it would bring
// entities); expat's own bounds on entity expansion stay on besides.
//
// A handler has the methods
//   void start(const char* name, const char** attributes);
//   void end(const char* name);
//   void text(const char* data, int size);  // a piece of a text, UTF-8
//   void textDone();                        // the text the pieces made is whole
// Names are as written, prefix included; attributes are name, value, ...,
// null. Texts come in pieces; textDone() follows the last piece of each,
// before the next element, comment or CDATA section.
class XmlPart {
public:
    using Result = SpreadsheetReader::Result;

    // `file` is open on the part named `part`. `unpacked` counts the bytes
    // of all parts of the workbook read so far; `maxBytes` bounds those of
    // this part (-1: no bound of its own).
    XmlPart(QuaZipFile& file, const QString& part, const XmlLimits& limits, qint64& unpacked,
            qint64 maxBytes = -1);
    ~XmlPart();
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    // Also stops once the part has unpacked to more than `floor` bytes and to
    // more than `ratio` times the bytes read from `packed` (the archive's
    // file) since now.
    void watchRatio(const QIODevice& packed, qint64 ratio, qint64 floor);

    // Reads the part to its end, the checksum tested, unless a limit breaks,
    // the XML is not well formed or the handler stops it.
    template <typename Handler>
    Result read(Handler& handler) {
        handler_ = &handler;
        return run({&Thunks<Handler>::start, &Thunks<Handler>::end, &Thunks<Handler>::text,
                    &Thunks<Handler>::boundary});
    }

    // For a handler: ends the reading with `result` (failed or stopped); no
    // more calls follow.
    void stop(const Result& result);
    // For a handler: the XML breaks a rule of the format; the reading ends as
    // for XML that is not well formed.
    void malformed();

    // The part's name.
    const QString& part() const { return part_; }

    // The name without its prefix.
    static const char* localName(const char* name) {
        for (const char* c = name; *c; ++c) {
            if (*c == ':') return c + 1;
        }
        return name;
    }
    // Whether `name` is `literal`.
    template <size_t N>
    static bool is(const char* name, const char (&literal)[N]) {
        for (size_t i = 0; i < N; ++i) {
            if (name[i] != literal[i]) return false;
        }
        return true;
    }

private:
    // What the parser calls, for one kind of handler: the bounds of depth
    // and text length are kept, then the handler is called.
    struct Callbacks {
        void (*start)(void* self, const char* name, const char** attributes);
        void (*end)(void* self, const char* name);
        void (*text)(void* self, const char* data, int size);
        void (*boundary)(void* self);  // a comment, an instruction, a CDATA section
    };
    struct Events;
    friend struct Events;

    template <typename Handler>
    struct Thunks {
        static Handler& handler(XmlPart& p) { return *static_cast<Handler*>(p.handler_); }
        // Ends the text being read, if any; false once the reading ended.
        static bool endText(XmlPart& p) {
            if (p.ended_) return false;
            if (p.textBytes_ >= 0) {
                p.textBytes_ = -1;
                handler(p).textDone();
            }
            return !p.ended_;
        }
        static void start(void* self, const char* name, const char** attributes) {
            XmlPart& p = *static_cast<XmlPart*>(self);
            if (!endText(p)) return;
            if (++p.depth_ > p.limits_.maxDepth) return p.tooDeep();
            handler(p).start(name, attributes);
        }
        static void end(void* self, const char* name) {
            XmlPart& p = *static_cast<XmlPart*>(self);
            if (!endText(p)) return;
            --p.depth_;
            handler(p).end(name);
        }
        static void text(void* self, const char* data, int size) {
            XmlPart& p = *static_cast<XmlPart*>(self);
            if (p.ended_ || !p.textFits()) return;
            handler(p).text(data, size);
        }
        static void boundary(void* self) { endText(*static_cast<XmlPart*>(self)); }
    };

    Result run(const Callbacks& callbacks);
    Result finish();
    bool violate(const QString& why);
    void tooDeep();
    void tokenTooLong();
    // Takes the text piece the parser is at into the text being read; false
    // when that makes the text too long.
    bool textFits();
    Result notWellFormed() const;

    QuaZipFile& file_;
    QString part_;
    const XmlLimits& limits_;
    qint64& unpacked_;
    qint64 maxBytes_;
    qint64 read_ = 0;
    const QIODevice* packed_ = nullptr;
    qint64 packedStart_ = 0;
    qint64 ratio_ = 0;
    qint64 floor_ = 0;

    XML_ParserStruct* parser_ = nullptr;
    int depth_ = 0;
    qint64 textBytes_ = -1;  // the bytes of the text being read in the part, -1 outside a text
    bool ended_ = false;     // the reading ended early, with `result_`
    Result result_;

    void* handler_ = nullptr;
    void (*boundary_)(void*) = nullptr;
};

}  // namespace tovrin
