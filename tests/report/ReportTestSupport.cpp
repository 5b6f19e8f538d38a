#include "ReportTestSupport.h"

#include "report/RP_Prntr.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

// One application, the engine started once and message boxes answered without a screen.
class TReportEnvironment : public testing::Environment {
public:
    void SetUp() override { StartReportEngine(); }
    void TearDown() override
    {
        rpDoneEngine();
        // The printer object is left to the end of the program, as the program leaves it: it
        // frees its device context and device mode after main, which must stay safe.
    }
};

const testing::Environment* const ReportEnvironment = testing::AddGlobalTestEnvironment(new TReportEnvironment);

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

const char* const SampleTemplateHex = R"(
17 ff ff 00 00 00 00 00 ff 09 00 00 00 34 08 00 00 9a 0b 00 00 00 00 00 00 00 00 00 00 00
00 00 00 00 00 00 00 00 00 00 ff ff 01 00 00 00 00 00 00 00 00 00 05 00 4d 65 6d 6f 31 00
0a 00 00 00 14 00 00 00 64 00 00 00 12 00 00 00 03 00 00 00 01 00 00 00 00 00 00 00 00 00
ff ff ff 1f 2c 02 00 00 00 00 00 01 00 07 00 5b 50 72 69 63 65 5d 00 00 00 00 ff ff 05 00
41 72 69 61 6c 00 0a 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 00 00 ff ff
ff 00 00 00 00 fe 00 00 00 00 00 00 00
)";

const char* const SampleTemplate22Hex = R"(
16 ff ff 00 00 00 ff 09 00 00 00 34 08 00 00 9a 0b 00 00 00 00 00 00 00 00 00 00 00 00 00
00 00 00 00 00 00 00 00 00 00 00 00 00 00 ff ff 01 00 00 00 00 00 00 00 00 00 0a 00 00 00
14 00 00 00 64 00 00 00 12 00 00 00 03 00 00 00 01 00 00 00 00 00 00 00 00 00 ff ff ff 1f
2c 02 00 00 00 5b 50 72 69 63 65 5d 00 41 72 69 61 6c 00 0a 00 00 00 00 00 00 00 00 00 00
00 00 00 00 00 02 00 00 00 00 00 ff ff ff 00 00 fe 00 00 00 00 00
)";

void StartReportEngine()
{
    Application->Initialize();
    TPrinterCatalogue none;
    none.VirtualWhenEmpty = false;
    SetPrinterCatalogue(none);
    auto dialogs = std::make_unique<TScriptedDialogs>();
    dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    SetDialogService(std::move(dialogs));
    rpInitEngine();
}

TBytes FromHex(const std::string& hex)
{
    TBytes bytes;
    int high = -1;
    for (char c : hex) {
        const int value = HexValue(c);
        if (value < 0)
            continue;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    return bytes;
}

std::string ToHex(const TBytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
        hex += (i + 1) % 30 == 0 ? '\n' : ' ';
    }
    return hex;
}

TBytes ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const TBytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TBytes SaveToBytes(TrpReport& report)
{
    TMemoryStream stream;
    report.SaveToStream(stream);
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return TBytes(data, data + stream.Size());
}

bool LoadFromBytes(TrpReport& report, const TBytes& bytes)
{
    TMemoryStream stream;
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    return report.LoadFromStream(stream);
}

void BuildSampleReport(TrpReport& report)
{
    report.PrintToDefaultPrinter = true;
    TrpPage* page = report.DesignPages->Add();
    auto memo = std::make_unique<TrpMemoView>();
    memo->Name = "Memo1";
    memo->SetBounds(10, 20, 100, 18);
    memo->Memo->Add("[Price]");
    page->Objects.push_back(std::move(memo));
}

void MakeTestIcon(TIcon& icon, int size, TColor color)
{
    TBitmap image, mask;
    image.SetSize(size, size);
    image.Canvas()->Brush()->SetColor(color);
    image.Canvas()->FillRect({0, 0, size, size});
    mask.SetMonochrome(true);
    mask.SetSize(size, size);
    ICONINFO info;
    info.hbmColor = image.Handle();
    info.hbmMask = mask.Handle();
    icon.SetHandle(CreateIconIndirect(&info));
}

TScratchFolder::TScratchFolder()
{
    std::string pattern = (fs::temp_directory_path() / "tess-report-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("no scratch folder");
    FPath = pattern;
}

TScratchFolder::~TScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
}

TBoxRecorder::TBoxRecorder() : FDialogs(new TScriptedDialogs)
{
    FDialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    FPrevious = SetDialogService(std::unique_ptr<IDialogService>(FDialogs));
}

TBoxRecorder::~TBoxRecorder() { SetDialogService(std::move(FPrevious)); }

void UseVirtualPrinterOnly()
{
    TPrinterCatalogue none;
    none.VirtualWhenEmpty = false;
    SetPrinterCatalogue(none);
    rpPrinter()->SetPrinter(Printer());
}

void UseTwoPrinters()
{
    TPrinterCatalogue catalogue;
    catalogue.VirtualWhenEmpty = false;
    for (const char* name : {"Ufficio", "Magazzino"}) {
        TPrinterInfo info;
        info.Name = name;
        info.Kind = TPrinterKind::File;
        info.Resolution = 600;
        info.Papers = {DMPAPER_A4, DMPAPER_LETTER};
        catalogue.Printers.push_back(info);
    }
    SetPrinterCatalogue(catalogue);
    rpPrinter()->SetPrinter(Printer());
}

LPARAM MouseAt(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

int RunModal(TCustomForm* form, const std::function<void()>& steps)
{
    SetModalStartHook([&](TCustomForm* shown) {
        if (shown != form)
            return;
        EXPECT_TRUE(PumpUntil([form] { return form->Active(); }));
        steps();
    });
    const int result = form->ShowModal();
    SetModalStartHook(nullptr);
    return result;
}

void ClickOn(TControl* control)
{
    control->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MouseAt(3, 3));
    control->Perform(WM_LBUTTONUP, 0, MouseAt(3, 3));
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void GrabWindow(TWinControl* control, TBitmap& picture) { ASSERT_TRUE(GrabToBitmap(control, &picture)); }

std::vector<int> RgbAt(TBitmap& picture, int x, int y)
{
    const COLORREF c = ColorToRGB(picture.Canvas()->Pixels(x, y));
    return {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF)};
}

std::string ScreenshotFolder()
{
    const char* env = std::getenv("TESS_SCREENSHOT_DIR");
    const fs::path folder = env && *env ? fs::path(env) : fs::current_path() / "screenshots";
    fs::create_directories(folder);
    return folder.string();
}

void WriteMinimalEmf(const TMetafile& metafile, TStream& stream)
{
    const std::int32_t right = metafile.Width() * 2540 / 96, bottom = metafile.Height() * 2540 / 96;
    const std::uint32_t header[22] = {1, 88, 0, 0, static_cast<std::uint32_t>(metafile.Width()),
                                      static_cast<std::uint32_t>(metafile.Height()), 0, 0,
                                      static_cast<std::uint32_t>(right), static_cast<std::uint32_t>(bottom),
                                      0x464D4520, 0x10000, 88 + 20, 2, 1, 0, 0, 0, 1024, 768, 320, 240};
    const std::uint32_t end[5] = {14, 20, 0, 16, 20};
    stream.WriteBuffer(header, sizeof header);
    stream.WriteBuffer(end, sizeof end);
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void PutPreparedObject(TrpPageInfo& sheet, TrpView& view)
{
    view.StreamMode = smPrinting;
    view.WorkMemo->Assign(view.Memo.get());
    sheet.Stream->SetPosition(sheet.Stream->Size());
    sheet.Stream->WriteUInt8(view.ObjectType);
    if (view.ObjectType == 10)
        rpWriteString(*sheet.Stream, view.ClassName());
    view.SaveToStream(*sheet.Stream);
}
