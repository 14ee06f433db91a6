#include "app/form1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

#include "app/compact_controls.h"
#include "platform/keys.h"

namespace tovrin {

namespace {

struct Design {
    const char* name;
    double left, top, width, height, points;
};

// Left, top, width, height in twips; font size in points.
constexpr Design kLabel1{"Label1", 300, 300, 1692, 552, 16.5};
constexpr Design kText1{"Text1", 2220, 240, 2292, 792, 36};
constexpr Design kLabel2{"Label2", 4680, 300, 1572, 552, 15};
constexpr Design kText2{"Text2", 6720, 300, 3252, 840, 36};
constexpr Design kCommand1_0{"Command1(0)", 10560, 360, 1392, 612, 18};
constexpr Design kRichTextBox1{"RichTextBox1", 480, 1440, 10692, 6912, 12};
constexpr Design kCommand1_1{"Command1(1)", 1320, 8640, 1392, 612, 18};
constexpr Design kLabel3{"Label3", 8520, 8640, 1452, 612, 15};
constexpr Design kText3{"Text3", 10320, 8640, 852, 612, 18};
constexpr Design kLabel4{"Label4", 4680, 8640, 1572, 732, 15};
constexpr Design kText4{"Text4", 6840, 8640, 1212, 612, 15};
constexpr Design kCommand2{"Command2", 12480, 360, 2172, 612, 15};
constexpr Design kCommand3{"Command3", 12360, 8640, 852, 612, 15};

QFont designFont(double points) {
    QFont font(designFamily());
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}

}  // namespace

int twipsToPixels(double twips, double logicalDpi) {
    return int(std::lround(twips / 15.0 * logicalDpi / 96.0));
}

Form1::Form1(Form1Services services, QWidget* parent) : QWidget(parent), services_(std::move(services)) {
    Q_ASSERT(services_.prompts && services_.files && services_.clock && services_.numbers &&
             services_.sound && services_.timer2 && services_.timer3 && services_.chooser &&
             services_.spreadsheets && services_.progress && !services_.folder.isEmpty());

    build();

    voice_ = std::make_unique<Voice>(*services_.sound, *services_.timer2, *services_.timer3,
                                     *services_.numbers, services_.folder);
    lookup_ = std::make_unique<BarcodeLookup>(*services_.files, *services_.prompts, services_.folder);
    checkout_ = std::make_unique<Checkout>(
        Checkout::Deps{*this, RichTextBox1Model, *services_.prompts, *services_.files, *services_.clock,
                       *services_.numbers, *voice_, *lookup_, services_.folder});
    import_ = std::make_unique<BarcodeImport>(*services_.files, *services_.prompts, *services_.chooser,
                                              *services_.spreadsheets, *services_.clock, *services_.numbers,
                                              services_.folder, services_.progress);
    connect(Command1_0, &QPushButton::clicked, this, [this] { checkout_->Command1_0_Click(); });
    connect(Command1_1, &QPushButton::clicked, this, [this] { statistics_->Command1_1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { import_->Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { checkout_->Command3_Click(); });

    Form_Load();
    // The reports take today's date and the number format's probe from start-up.
    statistics_ = std::make_unique<Statistics>(
        *this, RichTextBox1Model, *services_.prompts, *services_.files, *services_.clock,
        ReportNumbers{*services_.numbers, checkout_->sale().zerob}, zhuanda, services_.folder);
}

Form1::~Form1() = default;

void Form1::build() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tovrin找零"));
    const double dpi = logicalDpiX();
    resize(twipsToPixels(12285, dpi), twipsToPixels(9480, dpi));
    // Small enough for any screen, large enough that the display and the
    // bottom row keep room below the amount boxes.
    setMinimumSize(twipsToPixels(9000, dpi), twipsToPixels(6300, dpi));

    auto place = [&](QWidget* w, const Design& d) {
        w->setObjectName(QString::fromLatin1(d.name));
        w->setFont(designFont(d.points));
        w->setGeometry(twipsToPixels(d.left, dpi), twipsToPixels(d.top, dpi), twipsToPixels(d.width, dpi),
                       twipsToPixels(d.height, dpi));
    };
    auto label = [&](const Design& d, const QString& caption) {
        auto* l = new CompactLabel(caption, this);
        place(l, d);
        return l;
    };
    auto edit = [&](const Design& d, const QString& text) {
        auto* e = new QLineEdit(text, this);
        place(e, d);
        e->installEventFilter(this);
        return e;
    };
    auto button = [&](const Design& d, const QString& caption) {
        auto* b = new CompactButton(caption, this);
        place(b, d);
        return b;
    };

    Label1 = label(kLabel1, QStringLiteral("实收金额"));
    Text1 = edit(kText1, QStringLiteral("0"));
    Label2 = label(kLabel2, QStringLiteral("商品价格："));
    Text2 = edit(kText2, QStringLiteral("0"));
    Command1_0 = button(kCommand1_0, QStringLiteral("找零"));
    RichTextBox1 = new DisplayView(RichTextBox1Model, this);
    place(RichTextBox1, kRichTextBox1);
    RichTextBox1Model.setText(QStringLiteral("0"));
    Command1_1 = button(kCommand1_1, QStringLiteral("统计"));
    Label3 = label(kLabel3, QStringLiteral("折扣比率百分之："));
    Text3 = edit(kText3, QStringLiteral("100"));
    Label4 = label(kLabel4, QStringLiteral("商品数量："));
    Text4 = edit(kText4, QStringLiteral("1"));
    Command2 = button(kCommand2, QStringLiteral("更新条码价格"));
    Command3 = button(kCommand3, QStringLiteral("价格结算"));

    // Each box is named by its label; the display by a name of its own.
    Label1->setBuddy(Text1);
    Label2->setBuddy(Text2);
    Label3->setBuddy(Text3);
    Label4->setBuddy(Text4);
    RichTextBox1->setAccessibleName(QStringLiteral("显示区"));

    // Tab order of the design; labels take no focus.
    QWidget* order[] = {Text1, Text2, Command1_0, RichTextBox1, Command1_1, Text3, Text4, Command2, Command3};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

QLineEdit* Form1::box(Box which) const {
    switch (which) {
        case Box::Text1:
            return Text1;
        case Box::Text2:
            return Text2;
        case Box::Text3:
            return Text3;
        case Box::Text4:
            return Text4;
    }
    return Text1;
}

QString Form1::text(Box which) const { return box(which)->text(); }

void Form1::setText(Box which, const QString& text) { box(which)->setText(text); }

void Form1::setText2FontSize(double points) {
    QFont font = Text2->font();
    font.setPointSizeF(points);
    Text2->setFont(font);
}

void Form1::focusBox(Box which) { box(which)->setFocus(Qt::OtherFocusReason); }

void Form1::selectBoxText(Box which) { box(which)->selectAll(); }

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        // A click is the left button; the right one opens the box's menu and
        // the middle one pastes, and neither empties the box.
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
            return QWidget::eventFilter(watched, event);
        }
        for (Box b : {Box::Text1, Box::Text2, Box::Text3, Box::Text4}) {
            if (watched == box(b)) checkout_->clickBox(b);
        }
    } else if (event->type() == QEvent::KeyPress && watched == Text2) {
        // Only keys that type a character reach the handler; the others
        // (Delete, arrows, Tab) just do their work in the box.
        const auto* key = static_cast<QKeyEvent*>(event);
        const std::optional<int> typed = keyAscii(key->key(), key->modifiers(), key->text());
        if (typed && checkout_->Text2_KeyPress(*typed)) return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tovrin
