#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/form1.h"
#include "support/fakes.h"
#include "workbook/workbook_reader.h"

namespace tovrin::test {

// The open-file dialog, cancelled whenever it opens.
// A checkout window built on fakes in a fresh program folder; its message
// boxes are the fake's, or the given real ones.
class WindowTest : public ::testing::Test {
protected:
    std::unique_ptr<Form1> makeWindow(const NumberFormat* format = nullptr, Prompts* boxes = nullptr) {
        Form1Services services;
        services.prompts = boxes ? boxes : &prompts;
        services.files = &files;
        services.clock = &clock;
        services.numbers = format ? format : &numbers;
        services.sound = &sound;
        services.timer2 = &timer2;
        services.timer3 = &timer3;
        services.chooser = &chooser;
        services.spreadsheets = &spreadsheets;
        services.progress = &progress;
        services.folder = files.folder();
        return std::make_unique<Form1>(services);
    }

    FakePrompts prompts;
    TempFiles files;
    FakeClock clock;
    NumberFormat numbers;
    RecordingSound sound;
    FakeTimer timer2, timer3;
    test::FakeChooser chooser;  // cancels the dialog
    WorkbookReader spreadsheets;
    FakeProgressRunner progress;
};

}  // namespace tovrin::test
