#pragma once

#include <QString>

namespace tovrin {

enum class Box { Text1, Text2, Text3, Text4 };

// The controls of the checkout window that the behaviour reads and changes:
// the four input boxes, the caption, the settlement button, the price box's
// font size and where the keyboard goes next.
class FormControls {
public:
    virtual ~FormControls() = default;
    virtual QString text(Box box) const = 0;
    virtual void setText(Box box, const QString& text) = 0;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual QString command3Caption() const = 0;
    virtual void setCommand3Caption(const QString& caption) = 0;
    virtual void setText2FontSize(double points) = 0;
    // The keyboard focus goes to the box: what is typed next lands there.
    virtual void focusBox(Box box) = 0;
    // The box's whole text is selected: the next key typed replaces it, and
    // the cursor keys still let the cashier edit it.
    virtual void selectBoxText(Box box) = 0;
};

}  // namespace tovrin
