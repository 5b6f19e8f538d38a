// The export pass: the calls a filter sees and their order, the text lines with their positions,
// the target file written only when the export completed, and one report at a time.

#include "ReportTestSupport.h"

#include "report/RP_progr.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Label.h"

#include <algorithm>
#include <cstdio>

namespace {

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

// Logs every call; the destructor writes into the stream, which must still be open.
class TRecordingFilter : public TrpExportFilter {
    TESS_CLASS(TRecordingFilter, TrpExportFilter)
public:
    explicit TRecordingFilter(TStream* stream) : TrpExportFilter(stream) { Log().push_back("ctor"); }
    ~TRecordingFilter() override
    {
        Stream->WriteBuffer("fine", 4);
        Log().push_back("dtor");
    }
    void OnBeginDoc() override { Log().push_back("BeginDoc"); }
    void OnEndDoc() override
    {
        Log().push_back("EndDoc");
        if (FailAtEnd)
            RAISE(EInvalidOperation("Esportazione non riuscita"));
    }
    void OnBeginPage() override
    {
        Log().push_back("BeginPage");
        if (ExportAgain)
            ExportAgain();
    }
    void OnEndPage() override { Log().push_back("EndPage " + rpProgressForm->Label1->Caption()); }
    void OnData(int x, int y, TrpView* view) override
    {
        Log().push_back("Data " + view->ClassName() + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void OnText(int x, int y, const std::string& text, TrpView*) override
    {
        Log().push_back("Text " + std::to_string(x) + "," + std::to_string(y) + " " + text);
    }

    static TrpExportFilterClass ClassEntry()
    {
        return {"TRecordingFilter", [](TStream* stream) { return new TRecordingFilter(stream); }};
    }
    static inline bool FailAtEnd = false;
    static inline std::function<void()> ExportAgain;
};

const TrpExportFilterClass& RecordingClass()
{
    for (const TrpExportFilterInfo& filter : rpFilters)
        if (filter.ClassRef.ClassName == "TRecordingFilter")
            return filter.ClassRef;
    rpRegisterExportFilter(TRecordingFilter::ClassEntry(), "Registro (*.log)", "*.log");
    return rpFilters.back().ClassRef;
}

// Sheet 1: a text and a line; sheet 2: a text that wraps into three lines at each blank.
void BuildTwoSheets(TrpReport& report)
{
    TrpPage* page = report.DesignPages->Add();
    report.PreparedPages->Add(page);
    report.PreparedPages->Add(page);
    TrpMemoView total;
    total.SetBounds(10, 20, 100, 18);
    total.Memo->Add("Totale");
    PutPreparedObject(*report.PreparedPages->Pages(0), total);
    TrpLineView line;
    line.SetBounds(0, 50, 300, 0);
    PutPreparedObject(*report.PreparedPages->Pages(0), line);
    TrpMemoView words;
    words.SetBounds(30, 40, 40, 60);
    words.Memo->Add("uno due tre");
    PutPreparedObject(*report.PreparedPages->Pages(1), words);
}

class Export : public testing::Test {
protected:
    void SetUp() override
    {
        UseVirtualPrinterOnly();
        Log().clear();
        TRecordingFilter::FailAtEnd = false;
        TRecordingFilter::ExportAgain = nullptr;
        Report.Title = "Fattura";
    }
    void TearDown() override
    {
        TRecordingFilter::ExportAgain = nullptr;
        DocMode = dmDesigning;
    }
    TrpReport Report{nullptr};
    TScratchFolder Folder;
};

TEST_F(Export, AFilterSeesEverySheetObjectAndLineInOrder)
{
    BuildTwoSheets(Report);
    const std::string target = Folder.File("fattura.log");
    std::string caption;
    TRecordingFilter::ExportAgain = [&caption] { caption = rpProgressForm->Caption(); };
    Report.ExportTo(RecordingClass(), target);
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "ctor", "BeginDoc",
                         "BeginPage", "Data TrpMemoView 10,20", "Text 12,21 Totale", "Data TrpLineView 0,50",
                         "EndPage Elaborazione pagina:  1 from 2",
                         "BeginPage", "Data TrpMemoView 30,40", "Text 32,41 uno", "Text 32,56 due", "Text 32,71 tre",
                         "EndPage Elaborazione pagina:  2 from 2",
                         "EndDoc", "dtor"}));
    EXPECT_EQ(caption, "Preparazione report - Fattura");
    EXPECT_EQ(ReadText(target), "fine");
    EXPECT_EQ(Report.ActiveExportFilter, nullptr);
    EXPECT_FALSE(rpEngineBusy());
    EXPECT_FALSE(rpProgressForm->Visible());
}

TEST_F(Export, EveryDrawnLineIsOneTextCall)
{
    BuildTwoSheets(Report);
    Report.PreparedPages->ObjectsToPage(1);
    auto* words = dynamic_cast<TrpMemoView*>(Report.PreparedPages->Pages(1)->Page->Objects[0].get());
    ASSERT_NE(words, nullptr);
    TBitmap bitmap;
    bitmap.SetSize(200, 200);
    DocMode = dmPrinting;
    words->Draw(bitmap.Canvas());
    Report.ExportTo(RecordingClass(), Folder.File("righe.log"));
    const auto texts = std::count_if(Log().begin(), Log().end(), [](const std::string& entry) { return entry.rfind("Text", 0) == 0; });
    EXPECT_EQ(texts, 1 + words->LinesDrawn);
    EXPECT_EQ(words->LinesDrawn, 3);
}

TEST_F(Export, NoSheetsGiveTheDocumentCallsOnly)
{
    Report.ExportTo(RecordingClass(), Folder.File("vuoto.log"));
    EXPECT_EQ(Log(), (std::vector<std::string>{"ctor", "BeginDoc", "EndDoc", "dtor"}));
}

TEST_F(Export, TheBaseFilterWritesAnEmptyFile)
{
    BuildTwoSheets(Report);
    const std::string target = Folder.File("base.txt");
    Report.ExportTo(TrpExportFilter::ClassEntry(), target);
    std::string size;
    if (FILE* pipe = popen(("stat -c %s " + target).c_str(), "r")) {
        char buffer[32] = {};
        if (fgets(buffer, sizeof buffer, pipe))
            size = buffer;
        pclose(pipe);
    }
    EXPECT_EQ(size, "0\n");
}

TEST_F(Export, AFailedExportLeavesTheOldFileAlone)
{
    BuildTwoSheets(Report);
    const std::string target = Folder.File("fattura.pdf");
    WriteFileBytes(target, FromHex("25 50 44 46 2d 31 2e 34"));
    TRecordingFilter::FailAtEnd = true;
    try {
        Report.ExportTo(RecordingClass(), target);
        ADD_FAILURE() << "the export did not raise";
    } catch (const EInvalidOperation& error) {
        EXPECT_EQ(error.Message, "Esportazione non riuscita");
    }
    EXPECT_EQ(Log().back(), "dtor");
    EXPECT_EQ(ReadFileBytes(target), FromHex("25 50 44 46 2d 31 2e 34"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"fattura.pdf"});
    EXPECT_EQ(Report.ActiveExportFilter, nullptr);
    EXPECT_FALSE(rpEngineBusy());
}

TEST_F(Export, AMissingFolderFailsBeforeAFilterIsMade)
{
    BuildTwoSheets(Report);
    EXPECT_THROW(Report.ExportTo(RecordingClass(), Folder.File("manca/fattura.log")), EFCreateError);
    EXPECT_TRUE(Log().empty());
    EXPECT_FALSE(fs::exists(Folder.Path() / "manca"));
}

TEST_F(Export, OneReportAtATime)
{
    BuildTwoSheets(Report);
    TrpReport other(nullptr);
    std::string refused;
    bool tried = false;
    TRecordingFilter::ExportAgain = [&] {
        if (tried)
            return;
        tried = true;
        try {
            other.ExportTo(TrpExportFilter::ClassEntry(), Folder.File("altro.txt"));
        } catch (const EInvalidOperation& error) {
            refused = error.Message;
        }
    };
    Report.ExportTo(RecordingClass(), Folder.File("fattura.log"));
    EXPECT_EQ(refused, "Un report \xE8 gi\xE0 in elaborazione.");
    EXPECT_EQ(Log().back(), "dtor");
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "BeginPage"), 2);
    EXPECT_EQ(ReadText(Folder.Path() / "fattura.log"), "fine");
    EXPECT_FALSE(fs::exists(Folder.Path() / "altro.txt"));
}

} // namespace
