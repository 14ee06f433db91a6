#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/layout.h"
#include "barcode/import.h"
#include "barcode/lookup.h"
#include "checkout/checkout.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/filechooser.h"
#include "platform/form.h"
#include "platform/numbers.h"
#include "platform/progress.h"
#include "platform/prompts.h"
#include "platform/qt/display_view.h"
#include "platform/sound.h"
#include "platform/spreadsheet.h"
#include "platform/textfiles.h"
#include "platform/timer.h"
#include "stats/statistics.h"
#include "voice/voice.h"

namespace tovrin {

// What the window is built with, every one of them given: main.cpp hands in
// the Qt services and the program folder, tests hand in fakes. The window
// keeps the pointers and owns none of them.
struct Form1Services {
    Prompts* prompts = nullptr;
    TextFiles* files = nullptr;
    const Clock* clock = nullptr;
    const NumberFormat* numbers = nullptr;
    SoundPlayer* sound = nullptr;
    Timer* timer2 = nullptr;
    Timer* timer3 = nullptr;
    FileChooser* chooser = nullptr;             // the import's open-file dialog
    SpreadsheetReader* spreadsheets = nullptr;  // reads the chosen workbook
    ProgressRunner* progress = nullptr;         // runs the import, with its progress dialog
    QString folder;
};

// The checkout window. Its controls carry their design names as object
// names; every event reads the boxes, calls the controller and nothing more.
class Form1 : public QWidget, public FormControls {
    Q_OBJECT
public:
    explicit Form1(Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // FormControls
    QString text(Box box) const override;
    void setText(Box box, const QString& text) override;
    QString caption() const override { return windowTitle(); }
    void setCaption(const QString& caption) override { setWindowTitle(caption); }
    QString command3Caption() const override { return Command3->text(); }
    void setCommand3Caption(const QString& caption) override { Command3->setText(caption); }
    void setText2FontSize(double points) override;
    void focusBox(Box box) override;
    void selectBoxText(Box box) override;

    TextModel RichTextBox1Model{12};
    Checkout& checkout() { return *checkout_; }
    Statistics& statistics() { return *statistics_; }
    Voice& voice() { return *voice_; }

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QPushButton* Command1_0;
    DisplayView* RichTextBox1;
    QPushButton* Command1_1;
    QLabel* Label3;
    QLineEdit* Text3;
    QLabel* Label4;
    QLineEdit* Text4;
    QPushButton* Command2;
    QPushButton* Command3;

    // Start-up (startup.cpp): first values, notes, caption, colours; run once
    // by the constructor.
    void Form_Load();
    // Word wrap of the display: on with bSwitch true, off with false.
    void AutoSwitchLine(DisplayView* RichText, bool bSwitch);
    // The layout rule on the window's current size (layout.cpp); a minimised
    // window is left as it is.
    void Form_Resize();

    // Today's date as the date-time text writes it, taken once at start-up;
    // the statistics select their day and month with it.
    QString zhuanda;

    static inline const QString kExitQuestion = QStringLiteral("是否退出Tovrin 找零？");

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;
    LayoutInput layoutInput() const;
    void placeDisplay(const LayoutResult& r);

    QLineEdit* box(Box which) const;
    void build();

    Form1Services services_;
    std::unique_ptr<Voice> voice_;
    std::unique_ptr<BarcodeLookup> lookup_;
    std::unique_ptr<Checkout> checkout_;
    std::unique_ptr<Statistics> statistics_;
    std::unique_ptr<BarcodeImport> import_;
};

// The design geometry in twips, converted at 15 twips a pixel at 96 dpi and
// scaled with the screen's logical dpi.
int twipsToPixels(double twips, double logicalDpi);

}  // namespace tovrin
