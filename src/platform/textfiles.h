#pragma once

#include <QString>
#include <optional>

namespace tovrin {

// Every data file is GBK text without a byte-order mark.
class TextFiles {
public:
    enum class State { Missing, Unreadable, Empty, HasContent };
    struct Read {
        State state = State::Missing;
        QString text;    // the whole content, line ends as stored
        QString reason;  // for Unreadable: the system's reason
        bool hasContent() const { return state == State::HasContent; }
    };

    virtual ~TextFiles() = default;

    // Reads the whole file and tells missing, empty and filled apart.
    virtual Read read(const QString& path) const = 0;
    // Appends one record followed by CR LF with a single write and flushes it
    // to disk. Returns the system's reason on failure.
    virtual std::optional<QString> append(const QString& path, const QString& record) = 0;
    // Creates or empties the file and writes the content (which may be empty).
    virtual std::optional<QString> rewrite(const QString& path, const QString& content) = 0;
};

}  // namespace tovrin
