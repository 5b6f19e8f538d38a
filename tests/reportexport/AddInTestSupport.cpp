#include "AddInTestSupport.h"

#include "ExportFilterTestSupport.h"
#include "PdfTestSupport.h"

#include "reportexport/ReportExportInit.h"

#include "platform/gui/Bitmap.h"
#include "platform/rtl/Streams.h"

#include <cstdlib>

namespace AddInTestSupport {

namespace {

constexpr std::uint8_t TemplateVersion = 23;

std::string Bytes(TMemoryStream& stream)
{
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

} // namespace

void StartAddIns()
{
    ExportFilterTestSupport::StartEngine();
    InitReportExport();
}

std::string CommonPart(TrpView& view, TrpStreamMode mode)
{
    TMemoryStream stream;
    view.StreamMode = mode;
    view.TrpView::SaveToStream(stream);
    return Bytes(stream);
}

std::string Record(TrpView& view, TrpStreamMode mode)
{
    TMemoryStream stream;
    view.StreamMode = mode;
    view.SaveToStream(stream);
    return Bytes(stream);
}

void LoadRecord(TrpView& view, TrpStreamMode mode, const std::string& record)
{
    TMemoryStream stream;
    stream.WriteBuffer(record.data(), static_cast<int>(record.size()));
    stream.SetPosition(0);
    view.StreamMode = mode;
    rpVersion = TemplateVersion;
    view.LoadFromStream(stream);
}

std::unique_ptr<TBitmap> FilledBitmap(int width, int height, TColor color)
{
    StartAddIns();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(color);
    bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
    return bitmap;
}

TColor ColorAt(TBitmap& bitmap, int x, int y) { return bitmap.Canvas()->Pixels(x, y); }

void DrawIn(TrpView& view, TCanvas* canvas, TrpDocMode mode, double scale)
{
    const TrpDocMode previous = DocMode;
    DocMode = mode;
    view.ScaleX = view.ScaleY = scale;
    view.Draw(canvas);
    DocMode = previous;
}

bool HaveZbar() { return std::system("command -v zbarimg > /dev/null 2>&1") == 0; }

std::string ReadBarcode(TBitmap& bitmap, const std::filesystem::path& folder, const std::string& name)
{
    const std::filesystem::path file = folder / (name + ".bmp");
    bitmap.SaveToFile(file.string());
    std::string output;
    // The reader's image library talks on stderr about a desktop bus this machine may lack.
    PdfTestSupport::RunCommand("{ zbarimg -q --raw " + PdfTestSupport::Quoted(file) + " 2>/dev/null; }", &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

std::string PictureFolder()
{
    std::string folder = "screenshots";
    if (const char* env = std::getenv("TESS_SCREENSHOT_DIR"); env && *env)
        folder = env;
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace AddInTestSupport
