#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace tovrin {

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kGreen{10, 250, 30};

// The display of the checkout window as a text model: it keeps exactly the
// text inserted (CR LF included) and the size and colour of each stretch of
// it. The window's widget only renders it.
class TextModel {
public:
    struct Run {
        qsizetype start = 0;
        qsizetype length = 0;
        double size = 12;
        Rgb color;
        friend bool operator==(const Run&, const Run&) = default;
    };
    // What changed, for the view: the whole text replaced (`text` the new
    // one, of which the first `position` characters are those there were),
    // or text inserted at a position in place of `removedText`.
    // `removedText` holds what went from `position` on.
    struct Change {
        bool reset = false;
        qsizetype position = 0;
        QString text;
        double size = 12;
        Rgb color;
        QString removedText;
    };

    explicit TextModel(double size = 12) : selSize_(size), baseSize_(size) {}

    const QString& text() const { return text_; }
    qsizetype length() const { return text_.size(); }
    // Replaces the whole content; the new text takes the base format.
    void setText(const QString& text);
    // Replaces the whole content by the content followed by `tail`, as
    // setText would, but in place: a long text is not copied.
    void setTextAppending(const QString& tail);

    void setSelStart(qsizetype position);
    void setSelLength(qsizetype length);
    void setSelFontSize(double points) { selSize_ = points; }
    void setSelColor(Rgb color) { selColor_ = color; }
    // Inserts at the insertion point in place of the selection, with the size
    // and colour set just before.
    void setSelText(const QString& text);

    qsizetype selStart() const { return selStart_; }
    double selFontSize() const { return selSize_; }
    Rgb selColor() const { return selColor_; }
    const std::vector<Run>& runs() const { return runs_; }
    // The run that holds a position, or the last one before it; the first
    // run when none begins at or before it.
    std::vector<Run>::const_iterator runAt(qsizetype position) const;

    // The appending rule: size, insertion point to the end, insert, insertion
    // point to the end, size again.
    void append(const QString& text, double size);

    void onChange(std::function<void(const Change&)> listener) { listener_ = std::move(listener); }

private:
    // The text is replaced; its first `kept` characters are those there were.
    void replaced(qsizetype kept, const QString& removedText);
    void notify(const Change& change) {
        if (listener_) listener_(change);
    }

    QString text_;
    std::vector<Run> runs_;
    qsizetype selStart_ = 0;
    qsizetype selLength_ = 0;
    double selSize_;
    double baseSize_;
    Rgb selColor_;
    std::function<void(const Change&)> listener_;
};

}  // namespace tovrin
