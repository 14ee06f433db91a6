#include "app/layout.h"

#include <QEvent>
#include <QFontDatabase>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <cmath>

#include "app/form1.h"

namespace tovrin {

namespace {

// Twips to whole pixels, as a control takes a position.
int snap(double twips, double twipsPerPixel) { return int(std::lround(twips / twipsPerPixel)); }

}  // namespace

LayoutResult layoutRule(const LayoutInput& in) {
    const double tx = in.twipsPerPixelX;
    const double ty = in.twipsPerPixelY;
    LayoutResult r;
    r.displayLeft = snap(in.windowWidth * 0.05, tx);
    r.displayTop = snap(in.windowHeight * 0.08 + in.text1Height, ty);
    r.displayWidth = std::max(0, snap(in.windowWidth * 0.9, tx));
    r.displayHeight = std::max(0, snap((in.windowHeight - in.text1Height) * 0.75, ty));

    double command3Left = (r.displayLeft + r.displayWidth) * tx - in.command3Width;
    const double nearest = in.text3Left + in.text3Width + 200;
    if (nearest > command3Left) command3Left = nearest;
    r.command3Left = snap(command3Left, tx);

    r.command1_1Top = snap((r.displayTop + r.displayHeight) * ty + 150, ty);
    r.label3Top = r.command1_1Top;
    r.command3Top = r.command1_1Top;
    r.text3Top = snap(r.label3Top * ty - 20, ty);
    r.label4Top = r.label3Top;
    r.text4Top = r.text3Top;
    return r;
}

QString designFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char16_t* family :
         {u"宋体", u"SimSun", u"NSimSun", u"Noto Serif CJK SC", u"Noto Sans CJK SC", u"WenQuanYi Zen Hei"}) {
        const QString name = QString::fromUtf16(family);
        if (installed.contains(name, Qt::CaseInsensitive)) return name;
    }
    return QString::fromUtf16(u"宋体");
}

double Form1::twipsPerPixelX() const { return 15.0 * 96.0 / logicalDpiX(); }

double Form1::twipsPerPixelY() const { return 15.0 * 96.0 / logicalDpiY(); }

LayoutInput Form1::layoutInput() const {
    // The window's own width and height are its outer size, frame included.
    const QSize outer = isWindow() ? frameGeometry().size() : size();
    LayoutInput in;
    in.twipsPerPixelX = twipsPerPixelX();
    in.twipsPerPixelY = twipsPerPixelY();
    in.windowWidth = outer.width() * in.twipsPerPixelX;
    in.windowHeight = outer.height() * in.twipsPerPixelY;
    in.text1Height = Text1->height() * in.twipsPerPixelY;
    in.text3Left = Text3->x() * in.twipsPerPixelX;
    in.text3Width = Text3->width() * in.twipsPerPixelX;
    in.command3Width = Command3->width() * in.twipsPerPixelX;
    return in;
}

void Form1::placeDisplay(const LayoutResult& r) {
    RichTextBox1->setGeometry(r.displayLeft, r.displayTop, r.displayWidth, r.displayHeight);
}

void Form1::Form_Resize() {
    if (isMinimized()) return;
    const LayoutResult r = layoutRule(layoutInput());
    placeDisplay(r);
    Command3->move(r.command3Left, r.command3Top);
    Command1_1->move(Command1_1->x(), r.command1_1Top);
    Label3->move(Label3->x(), r.label3Top);
    Text3->move(Text3->x(), r.text3Top);
    Label4->move(Label4->x(), r.label4Top);
    Text4->move(Text4->x(), r.text4Top);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Restoring a minimised window may keep its size and bring no resize
    // event; the rule runs again with the restored size.
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !isMinimized()) Form_Resize();
    }
}

}  // namespace tovrin
