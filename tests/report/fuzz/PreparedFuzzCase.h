#pragma once
// One run of the prepared-report fuzz target: the input is loaded as a prepared-report file over
// one sheet loaded before. Loading either gives sheets or raises EReadError with that sheet kept;
// every sheet loaded is then drawn on a 100 x 140 bitmap, where a broken object record may raise
// one of the layer's exceptions. A crash, a read outside a buffer, a hang, an allocation beyond
// reason or any other exception ends the run.

#include "fuzz/TemplateFuzzCase.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"

#include <cstdlib>

inline void RunPreparedFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (!rpEngineStarted()) {
        // Text is drawn with the real fonts, which need the application; no window shows.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        TPrinterCatalogue none;
        none.VirtualWhenEmpty = false;
        SetPrinterCatalogue(none);
        rpInitEngine();
    }
    RegisterStubAddIn();
    TrpReport report(nullptr);
    report.PreparedPages->Add(report.DesignPages->Add());
    TMemoryStream input;
    if (size > 0)
        input.WriteBuffer(data, static_cast<int>(size));
    input.SetPosition(0);
    try {
        report.PreparedPages->LoadFromStream(input);
    } catch (const EReadError&) {
        if (report.PreparedPages->Count() != 1 || report.PreparedPages->Pages(0)->Stream->Size() != 1)
            FuzzFailure("a refused file keeps the sheets");
        return;
    }
    TBitmap bitmap;
    bitmap.SetSize(100, 140);
    for (int i = 0; i < report.PreparedPages->Count(); ++i) {
        TrpPageInfo* sheet = report.PreparedPages->Pages(i);
        sheet->Visible = true;
        try {
            report.PreparedPages->Draw(i, bitmap.Canvas(), {0, 0, 100, 140});
        } catch (const Exception&) {
        }
        sheet->Visible = false;
        report.PreparedPages->Draw(i, bitmap.Canvas(), {0, 0, 100, 140});
        if (sheet->Page)
            FuzzFailure("a sheet drawn hidden keeps its objects");
    }
    DocMode = dmDesigning;
}
