#pragma once
// One run of the template fuzz target: the input is loaded as a template with a stub add-in
// registered. Loading either gives a model, which then saves and loads back to the same bytes, or
// the format box with one empty page and false; anything else aborts the run.

#include "report/RP_Class.h"

#include "platform/gui/PrinterDevice.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// An add-in object that stores four bytes of its own after the common part.
class TrpStubAddIn : public TrpView {
    TESS_CLASS(TrpStubAddIn, TrpView)
public:
    TrpStubAddIn()
    {
        NamePrefix = "Stub";
        ObjectType = 10;
    }
    void Draw(TCanvas* canvas) override { BeginDraw(canvas); }
    void Assign(TrpView* from) override
    {
        TrpView::Assign(from);
        if (auto* stub = dynamic_cast<TrpStubAddIn*>(from))
            Extra = stub->Extra;
    }
    void LoadFromStream(TStream& stream) override
    {
        TrpView::LoadFromStream(stream);
        Extra = stream.ReadUInt32();
    }
    void SaveToStream(TStream& stream) override
    {
        TrpView::SaveToStream(stream);
        stream.WriteUInt32(Extra);
    }
    std::uint32_t Extra = 0x04030201;
};

inline void RegisterStubAddIn()
{
    for (const TrpAddInObjectInfo& addIn : rpAddIns)
        if (addIn.ClassRef.ClassName == "TrpStubAddIn")
            return;
    rpRegisterObject(rpViewClassOf<TrpStubAddIn>(), nullptr, "Stub", nullptr);
}

inline std::string FuzzSave(TrpReport& report)
{
    TMemoryStream stream;
    report.SaveToStream(stream);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

[[noreturn]] inline void FuzzFailure(const char* what)
{
    std::fprintf(stderr, "template fuzz case: %s\n", what);
    std::abort();
}

inline void RunTemplateFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (!rpEngineStarted()) {
        // The fuzzer works with the virtual printer alone, whatever the machine has.
        TPrinterCatalogue none;
        none.VirtualWhenEmpty = false;
        SetPrinterCatalogue(none);
        rpInitEngine();
    }
    RegisterStubAddIn();
    auto* dialogs = new TScriptedDialogs;
    dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    std::unique_ptr<IDialogService> previous = SetDialogService(std::unique_ptr<IDialogService>(dialogs));

    TrpReport report(nullptr);
    TMemoryStream input;
    if (size > 0)
        input.WriteBuffer(data, static_cast<int>(size));
    input.SetPosition(0);
    const bool loaded = report.LoadFromStream(input);
    const std::size_t boxes = dialogs->Requests().size();
    if (!loaded) {
        const bool newerVersion = size > 0 && data[0] > 23;
        if (boxes != 1 || dialogs->Requests()[0].Text != "Unsupported FRF format")
            FuzzFailure("a refused template shows one format box");
        if (!newerVersion && (report.DesignPages->Count() != 1 || !report.DesignPages->Pages(0)->Objects.empty()))
            FuzzFailure("a damaged template leaves one empty page");
    } else {
        if (boxes != 0)
            FuzzFailure("a loaded template shows no box");
        // A model that loaded saves, and what it saves loads back to the same bytes.
        const std::string saved = FuzzSave(report);
        TrpReport again(nullptr);
        TMemoryStream copy;
        copy.WriteBuffer(saved.data(), static_cast<int>(saved.size()));
        copy.SetPosition(0);
        if (!again.LoadFromStream(copy))
            FuzzFailure("a saved template loads");
        if (FuzzSave(again) != saved)
            FuzzFailure("a saved template saves again unchanged");
    }
    SetDialogService(std::move(previous));
}
