#pragma once

#include <QString>
#include <map>
#include <optional>

#include "platform/textfiles.h"

namespace tovrin::test {

// Data files held as texts, nothing on the disk; the byte search and the
// replacement are the TextFiles defaults. A rewrite fails with `rewriteFails`
// when it is set, leaving the text as it was; a path in `refused` cannot be
// read, for the reason given.
class MemoryFiles : public TextFiles {
public:
    Read read(const QString& path) const override {
        if (const auto no = refused.find(path); no != refused.end())
            return {State::Unreadable, {}, no->second};
        const auto it = texts.find(path);
        if (it == texts.end()) return {};
        return {it->second.isEmpty() ? State::Empty : State::HasContent, it->second, {}};
    }
    std::optional<QString> append(const QString& path, const QString& record) override {
        texts[path] += record + QStringLiteral("\r\n");
        return std::nullopt;
    }
    std::optional<QString> rewrite(const QString& path, const QString& content) override {
        ++rewrites;
        if (rewriteFails) return rewriteFails;
        texts[path] = content;
        return std::nullopt;
    }

    void put(const QString& path, const QString& text) { texts[path] = text; }
    void refuse(const QString& path, const QString& reason) { refused[path] = reason; }
    QString text(const QString& path) const { return read(path).text; }

    std::map<QString, QString> texts;  // by path
    std::map<QString, QString> refused;
    std::optional<QString> rewriteFails;
    int rewrites = 0;
};

}  // namespace tovrin::test
