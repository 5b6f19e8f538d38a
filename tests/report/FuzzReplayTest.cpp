// Replays the template fuzz target over the test templates and deterministic mutations of them.
// TESS_FUZZ_MUTATIONS sets how many mutations run (a small number by default). Run as
// "report_tests --write-corpus <folder>" it writes the starting templates and prepared files for the
// fuzzers instead.

#include "ReportTestSupport.h"

#include "ByteMutations.h"
#include "fuzz/TemplateFuzzCase.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Icon.h"

#include <cstring>
#include <random>

namespace {

constexpr int DefaultMutations = 10000;

TBytes ObjectsTemplate()
{
    RegisterStubAddIn();
    TrpReport report(nullptr);
    TrpPage* page = report.DesignPages->Add();
    report.DesignPages->Add()->ChangePaper(rpCustomPaper, 1000, 1500, poLandscape);
    auto memo = std::make_unique<TrpMemoView>();
    memo->Memo->SetText("Totale [Importo]\r\n\r\nfine");
    memo->Script->Add("begin end");
    memo->HighlightCondition = "[Importo] < 0";
    memo->FrameTyp = rpFrameAll;
    memo->FrameWidth = 1.5f;
    page->Objects.push_back(std::move(memo));
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    auto picture = std::make_unique<TrpPictureView>();
    picture->Picture->SetGraphic(&bitmap);
    page->Objects.push_back(std::move(picture));
    TIcon icon;
    MakeTestIcon(icon, 4, clBlue);
    auto iconPicture = std::make_unique<TrpPictureView>();
    iconPicture->Picture->SetGraphic(&icon);
    page->Objects.push_back(std::move(iconPicture));
    page->Objects.push_back(std::make_unique<TrpPictureView>());
    auto band = std::make_unique<TrpBandView>();
    band->SetBandType(btMasterData);
    band->FormatText = "ReportArticoli";
    page->Objects.push_back(std::move(band));
    auto subReport = std::make_unique<TrpSubReportView>();
    subReport->SubPage = 1;
    page->Objects.push_back(std::move(subReport));
    report.DesignPages->Pages(1)->Objects.push_back(std::make_unique<TrpLineView>());
    report.DesignPages->Pages(1)->Objects.push_back(std::make_unique<TrpStubAddIn>());
    for (int kind = 0; kind < 4; ++kind) {
        TrpValue* value = report.Values->GetValue(report.Values->AddValue());
        value->Kind = static_cast<TrpValueType>(kind);
        value->FieldText = "Campo";
    }
    report.VariableList->SetText("Categoria\r\n Variabile\r\n");
    return SaveToBytes(report);
}

std::vector<TBytes> StartingTemplates()
{
    std::vector<TBytes> templates = {FromHex(SampleTemplateHex), FromHex(SampleTemplate22Hex), ObjectsTemplate()};
    TBytes v21 = FromHex(SampleTemplate22Hex);
    v21[0] = 21;
    templates.push_back(v21);
    templates.push_back(TBytes(v21.begin() + 1, v21.end()));
    // An older framed text object: a text object and eight bytes of its own.
    const TBytes sample = FromHex(SampleTemplateHex);
    TBytes framed(sample.begin(), sample.begin() + 50);
    for (std::uint8_t b : FromHex("0A 11 00 54 66 72 46 72 61 6D 65 64 4D 65 6D 6F 56 69 65 77 00"))
        framed.push_back(b);
    framed.insert(framed.end(), sample.begin() + 51, sample.begin() + 155);
    framed.insert(framed.end(), 8, 0x55);
    framed.insert(framed.end(), sample.begin() + 155, sample.end());
    templates.push_back(framed);
    TBytes manager(sample.begin(), sample.begin() + 155);
    for (std::uint8_t b : FromHex("FD 01 02 03"))
        manager.push_back(b);
    templates.push_back(manager);
    return templates;
}

} // namespace

TEST(TemplateFuzzReplay, StartingTemplatesAndMutationsLoadOrAreRefused)
{
    UseVirtualPrinterOnly();
    const std::vector<TBytes> templates = StartingTemplates();
    for (const TBytes& start : templates)
        RunTemplateFuzzCase(start.data(), start.size());
    std::mt19937 random(20240517);
    const int mutations = MutationCount(DefaultMutations);
    for (int i = 0; i < mutations; ++i) {
        const TBytes mutated = MutateBytes(templates[random() % templates.size()], templates, random);
        RunTemplateFuzzCase(mutated.data(), mutated.size());
    }
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-corpus") == 0) {
            const fs::path folder = argv[i + 1];
            fs::create_directories(folder);
            StartReportEngine();
            const std::vector<TBytes> templates = StartingTemplates();
            for (std::size_t n = 0; n < templates.size(); ++n)
                WriteFileBytes(folder / ("start-" + std::to_string(n) + ".frf"), templates[n]);
            const std::vector<TBytes> prepared = StartingPreparedFiles();
            for (std::size_t n = 0; n < prepared.size(); ++n)
                WriteFileBytes(folder / ("start-" + std::to_string(n) + ".frp"), prepared[n]);
            std::printf("%zu starting templates written to %s\n", templates.size(), folder.c_str());
            rpDoneEngine();
            return 0;
        }
    }
    return RUN_ALL_TESTS();
}
