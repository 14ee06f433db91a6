#pragma once

#include <memory>

#include "barcode/lookup.h"
#include "checkout/checkout.h"
#include "support/fakes.h"
#include "voice/voice.h"

namespace tovrin::test {

// A checkout over fakes on the given files in a folder.
struct CheckoutOn {
    CheckoutOn(TextFiles& files, const QString& folder)
        : voice(sound, timer2, timer3, numbers, folder),
          lookup(files, prompts, folder),
          checkout({form, display, prompts, files, clock, numbers, voice, lookup, folder}) {}

    FakeForm form;
    TextModel display;
    FakePrompts prompts;
    FakeClock clock;
    NumberFormat numbers;
    RecordingSound sound;
    FakeTimer timer2, timer3;
    Voice voice;
    BarcodeLookup lookup;
    Checkout checkout;
};

// A checkout over fakes and real files in a fresh folder.
struct CheckoutFixture {
    explicit CheckoutFixture(std::unique_ptr<NumberFormat> format = std::make_unique<NumberFormat>())
        : numbers(std::move(format)),
          voice(sound, timer2, timer3, *numbers, files.folder()),
          lookup(files, prompts, files.folder()),
          checkout({form, display, prompts, files, clock, *numbers, voice, lookup, files.folder()}) {}

    QString journal(const QString& name) const { return decodeGbk(files.bytes(name)); }
    // Types a price with its keys, then Enter; true when the item was accepted.
    bool enter(const QString& price, const QString& rate = QStringLiteral("100"),
               const QString& quantity = QStringLiteral("1")) {
        form.setText(Box::Text3, rate);
        form.setText(Box::Text4, quantity);
        form.setText(Box::Text2, QString());
        for (QChar c : price) {
            checkout.Text2_KeyPress(c.unicode());
            form.setText(Box::Text2, form.text(Box::Text2) + c);
        }
        return checkout.Text2_KeyPress(13);
    }

    FakeForm form;
    TextModel display;
    FakePrompts prompts;
    TempFiles files;
    FakeClock clock;
    std::unique_ptr<NumberFormat> numbers;
    RecordingSound sound;
    FakeTimer timer2, timer3;
    Voice voice;
    BarcodeLookup lookup;
    Checkout checkout;
};

}  // namespace tovrin::test
