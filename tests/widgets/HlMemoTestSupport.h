#pragma once
// A memo on a form for the memo tests, with the caret timer stopped so that pictures stay still.

#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Timer.h"
#include "widgets/HlMemo.h"

#include <memory>
#include <string>
#include <vector>

class TTestMemo : public THlMemo {
public:
    using THlMemo::THlMemo;
    void StopBlinking() { KillTimer(FCaretWindow, 1); }
    void SetCaret(int row, int col)
    {
        FCaretRow = row;
        FCaretCol = col;
    }
};

struct TMemoFixture {
    std::unique_ptr<TForm> Form;
    TTestMemo* Memo = nullptr;

    explicit TMemoFixture(const std::vector<std::string>& lines = {}, int width = 400, int height = 300)
    {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(20, 20, width + 40, height + 60);
        Memo = new TTestMemo(Form.get());
        Memo->SetParent(Form.get());
        Memo->SetBorderStyle(bsNone);
        Memo->SetBounds(0, 0, width, height);
        for (const std::string& line : lines)
            Memo->Lines()->Add(line);
        Form->Show();
        Memo->StopBlinking();
        PumpFor(20);
    }
    // Paints what is pending and the memo's metrics follow its size.
    void Settle()
    {
        Memo->Invalidate();
        PumpFor(20);
    }
    // Sets the client height so that exactly rows rows are visible.
    void ShowRows(int rows)
    {
        const int lineHeight = Memo->LineHeight();
        const int wanted = (rows - 1) * lineHeight + lineHeight / 2;
        Memo->SetHeight(Memo->Height() + wanted - Memo->ClientHeight());
        Settle();
    }
};
