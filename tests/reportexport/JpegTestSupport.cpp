#include "JpegTestSupport.h"

#include "BarcodeTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace JpegTestSupport {

namespace {

void SetRgb(std::uint8_t* pixel, int red, int green, int blue)
{
    pixel[0] = static_cast<std::uint8_t>(blue);
    pixel[1] = static_cast<std::uint8_t>(green);
    pixel[2] = static_cast<std::uint8_t>(red);
}

std::unique_ptr<TBitmap> Bitmap24(int width, int height)
{
    BarcodeTestSupport::EnsureApplication();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(width, height);
    return bitmap;
}

} // namespace

std::unique_ptr<TBitmap> GradientBitmap(int width, int height)
{
    auto bitmap = Bitmap24(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const bool block = (x / 40 + y / 40) % 5 == 0;
            if (block)
                SetRgb(row + 3 * x, 200, 40, 40);
            else
                SetRgb(row + 3 * x, x * 255 / width, y * 255 / height, (x + y) * 255 / (width + height));
        }
    }
    return bitmap;
}

std::unique_ptr<TBitmap> PaletteBitmap(int width, int height)
{
    auto bitmap = Bitmap24(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int band = (x * 4 / width) * 4 + y * 4 / height;
            SetRgb(row + 3 * x, band * 16, 255 - band * 16, (band % 4) * 80);
        }
    }
    bitmap->SetPixelFormat(pf8bit);
    return bitmap;
}

std::unique_ptr<TBitmap> PagePicture(int width, int height)
{
    auto bitmap = Bitmap24(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const bool frame = x <= 1 || y <= 1 || x >= width - 2 || y >= height - 2;
            const bool text = y > 60 && y % 24 < 10 && x > 60 && x < width - 60 && (x / 7 + y / 24) % 9 != 0;
            if (frame)
                SetRgb(row + 3 * x, 0, 0, 128);
            else if (text)
                SetRgb(row + 3 * x, 0, 0, 0);
            else
                SetRgb(row + 3 * x, 255, 255, 255);
        }
    }
    bitmap->SetPixelFormat(pf8bit);
    return bitmap;
}

std::string BmpBytes(TBitmap& bitmap)
{
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

fs::path SaveBitmap(TBitmap& bitmap, const fs::path& file)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << BmpBytes(bitmap);
    return file;
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Identify(const fs::path& file, const std::string& format)
{
    std::string output;
    EXPECT_EQ(RunCommand("identify -format '" + format + "' " + Quoted(file), &output), 0) << output;
    return output;
}

long DifferentPixels(const fs::path& a, const fs::path& b)
{
    std::string output;
    const int status = RunCommand("compare -metric AE " + Quoted(a) + " " + Quoted(b) + " null:", &output);
    if (status != 0 && status != 1)
        return -1;
    return std::strtol(output.c_str(), nullptr, 10);
}

double Psnr(const fs::path& a, const fs::path& b)
{
    std::string output;
    const int status = RunCommand("compare -metric PSNR " + Quoted(a) + " " + Quoted(b) + " null:", &output);
    if (status != 0 && status != 1)
        return -1;
    if (output.rfind("inf", 0) == 0)
        return 1000;
    return std::strtod(output.c_str(), nullptr);
}

fs::path Cjpeg(const fs::path& bmp, const std::string& switches, const fs::path& jpeg)
{
    std::string output;
    EXPECT_EQ(RunCommand("cjpeg " + switches + " -outfile " + Quoted(jpeg) + " " + Quoted(bmp), &output), 0) << output;
    return jpeg;
}

fs::path Djpeg(const fs::path& jpeg, const std::string& switches, const fs::path& bmp)
{
    std::string output;
    EXPECT_EQ(RunCommand("djpeg -bmp " + switches + " -outfile " + Quoted(bmp) + " " + Quoted(jpeg), &output), 0)
        << output;
    return bmp;
}

} // namespace JpegTestSupport
