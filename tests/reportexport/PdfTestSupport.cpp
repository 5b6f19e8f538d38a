#include "PdfTestSupport.h"

#include "reportexport/ReportExportInit.h"

#include "platform/gui/Application.h"
#include "platform/rtl/DateTime.h"

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <fstream>

#include <sys/wait.h>
#include <unistd.h>

namespace PdfTestSupport {

namespace {

class TReportExportEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        InitReportExport();
    }
    void TearDown() override { DoneReportExport(); }
};

::testing::Environment* const ReportExportEnvironment =
    ::testing::AddGlobalTestEnvironment(new TReportExportEnvironment);

} // namespace

TFixedClock::TFixedClock()
{
    SetClock([] { return EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0); });
}

TFixedClock::~TFixedClock()
{
    ResetClock();
}

std::string Written(TPdfObject& object)
{
    TMemoryStream stream;
    object.Write(stream);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

std::string WrittenValue(TPdfObject& object)
{
    if (object.ObjectType() != okIndirect)
        return Written(object);
    TMemoryStream stream;
    object.WriteObject(stream);
    std::string definition(stream.Memory(), static_cast<std::size_t>(stream.Size()));
    std::size_t start = definition.find(" obj\r\n") + 6;
    return definition.substr(start, definition.size() - start - 10);
}

std::string SavedBytes(TPdfDoc& doc)
{
    TMemoryStream stream;
    doc.SaveToStream(stream);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

std::string PageContent(TPdfDoc& doc)
{
    TMemoryStream& data = doc.Canvas().Contents()->Stream();
    return std::string(data.Memory(), static_cast<std::size_t>(data.Size()));
}

TTestFolder::TTestFolder()
{
    static std::atomic<int> counter{0};
    FPath = fs::path(::testing::TempDir()) /
            ("reportexport-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(FPath);
}

TTestFolder::~TTestFolder()
{
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
}

fs::path TTestFolder::Write(const std::string& name, const std::string& bytes) const
{
    fs::path file = FPath / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

int RunCommand(const std::string& command, std::string* output)
{
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    std::size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, count);
    int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

void ExpectQpdfAccepts(const fs::path& file)
{
    std::string output;
    EXPECT_EQ(RunCommand("qpdf --check " + Quoted(file), &output), 0) << output;
    EXPECT_NE(output.find("No syntax or stream encoding errors found"), std::string::npos) << output;
}

std::unique_ptr<TPdfImage> SmallImage()
{
    auto image = std::make_unique<TPdfImage>();
    TPdfDictionary& attributes = image->Attributes();
    attributes.Add("Type", std::make_unique<TPdfName>("XObject"));
    attributes.Add("Subtype", std::make_unique<TPdfName>("Image"));
    attributes.Add("ColorSpace", std::make_unique<TPdfName>("DeviceRGB"));
    attributes.Add("Width", std::make_unique<TPdfNumber>(2));
    attributes.Add("Height", std::make_unique<TPdfNumber>(1));
    attributes.Add("BitsPerComponent", std::make_unique<TPdfNumber>(8));
    attributes.ArrayOf("Filter")->Add(std::make_unique<TPdfName>("FlateDecode"));
    const unsigned char pixels[] = {0xFF, 0, 0, 0, 0, 0xFF};
    image->Stream().WriteBuffer(pixels, sizeof pixels);
    return image;
}

} // namespace PdfTestSupport
