#pragma once

#include <QString>
#include <map>

#include "platform/textfiles.h"

namespace tovrin::test {

// Data files held in memory by path, for logic that needs no disk: what is
// not set here reads as missing. Everything beyond reading and writing whole
// files comes from the TextFiles defaults (openBytes searches the text that
// read gives, in GBK).
class MemoryFiles : public TextFiles {
public:
    Read read(const QString& path) const override {
        const auto it = files.find(path);
        if (it == files.end()) return {};
        return it->second;
    }
    std::optional<QString> append(const QString& path, const QString& record) override {
        Read& file = files[path];
        file.text += record + QStringLiteral("\r\n");
        file.state = State::HasContent;
        return std::nullopt;
    }
    std::optional<QString> rewrite(const QString& path, const QString& content) override {
        files[path] = {content.isEmpty() ? State::Empty : State::HasContent, content, {}};
        return std::nullopt;
    }

    void put(const QString& path, const QString& text) {
        files[path] = {text.isEmpty() ? State::Empty : State::HasContent, text, {}};
    }
    void refuse(const QString& path, const QString& reason) { files[path] = {State::Unreadable, {}, reason}; }
    QString text(const QString& path) const { return read(path).text; }

    std::map<QString, Read> files;
};

}  // namespace tovrin::test
