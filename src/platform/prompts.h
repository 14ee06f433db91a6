#pragma once

#include <QString>

namespace tovrin {

// The title of every box that names no title of its own.
inline const QString kAppTitle = QStringLiteral("Tovrin找零");
// The title of the questions and of the boxes that name the product.
inline const QString kBoxTitle = QStringLiteral("Tovrin 找零");

// Modal message boxes without an icon: an OK box and a Yes/No question
// (Yes is the default button).
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void ok(const QString& text, const QString& title = kAppTitle) = 0;
    virtual bool yesNo(const QString& text, const QString& title = kBoxTitle) = 0;
};

}  // namespace tovrin
