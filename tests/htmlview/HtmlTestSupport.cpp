#include "HtmlTestSupport.h"

#include "platform/gui/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

// One application for the whole run, on Qt's offscreen platform.
class THtmlViewEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
    }
};

const testing::Environment* const htmlViewEnvironment =
    testing::AddGlobalTestEnvironment(new THtmlViewEnvironment);

} // namespace

// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

std::unique_ptr<TBitmap> NewFilledBitmap(int width, int height, TColor background, TPixelFormat format)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(background);
    bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
    return bitmap;
}

int InkIn(TBitmap& bitmap, const TRect& area, TColor background)
{
    const TColor plain = static_cast<TColor>(ColorToRGB(background));
    int ink = 0;
    for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, bitmap.Height()); ++y)
        for (int x = std::max(area.Left, 0); x < std::min(area.Right, bitmap.Width()); ++x)
            if (bitmap.Canvas()->Pixels(x, y) != plain)
                ++ink;
    return ink;
}

void SavePicture(TBitmap& bitmap, const std::string& name)
{
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        return;
    std::filesystem::create_directories(folder);
    bitmap.SaveToFile((std::filesystem::path(folder) / (name + ".bmp")).string());
}
