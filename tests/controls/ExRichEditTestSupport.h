#pragma once
// A form with extended rich edits for the tests, and the few helpers they share.

#include "ControlsTestSupport.h"
#include "controls/ExRichEd.h"
#include "platform/gui/Form.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

#include <string>

class ExRichEditFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A control on the form with its window, made with the given RichEditVersion.
    TExRichEdit* Make(int version = 3, int left = 10, int top = 10, int width = 500, int height = 300);
    static LRESULT Send(TExRichEdit* edit, UINT msg, WPARAM w = 0, LPARAM l = 0)
    {
        return SendMessageA(edit->Handle(), msg, w, l);
    }
    // The control's text as RTF, as Lines saves it.
    static std::string Rtf(TExRichEdit* edit);
    static void Load(TExRichEdit* edit, const std::string& bytes);
    static std::vector<std::string> LinesOf(TExRichEdit* edit);
    static void Type(TExRichEdit* edit, const std::string& text);
    TForm* form = nullptr;
};

void WriteBytes(const std::string& path, const std::string& bytes);
