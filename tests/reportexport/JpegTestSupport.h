#pragma once
// What the JPEG and direct PDF writer tests share: bitmaps with known content, files in and out,
// and the real JPEG and image tools (cjpeg, djpeg, identify, compare).

#include "PdfTestSupport.h"

#include "platform/gui/Bitmap.h"

#include <memory>
#include <string>

namespace JpegTestSupport {

namespace fs = std::filesystem;
using PdfTestSupport::Quoted;
using PdfTestSupport::RunCommand;
using PdfTestSupport::TTestFolder;

// A 24-bit picture of smooth gradients and a few plain blocks.
std::unique_ptr<TBitmap> GradientBitmap(int width, int height);
// An 8-bit picture of 16 plain colours in bands, with its own palette.
std::unique_ptr<TBitmap> PaletteBitmap(int width, int height);
// An 8-bit page: white, a dark blue frame one pixel in from the edges, black lines of "text".
std::unique_ptr<TBitmap> PagePicture(int width, int height);

std::string BmpBytes(TBitmap& bitmap);
fs::path SaveBitmap(TBitmap& bitmap, const fs::path& file);
std::string ReadFile(const fs::path& file);

// identify -format of the file.
std::string Identify(const fs::path& file, const std::string& format);
// The pixels that differ between two pictures (compare -metric AE); -1 when compare fails.
long DifferentPixels(const fs::path& a, const fs::path& b);
// The peak signal-to-noise ratio in dB (compare -metric PSNR); 1000 for identical pictures.
double Psnr(const fs::path& a, const fs::path& b);
// cjpeg with the switches over a BMP into the file; fails the test when cjpeg does.
fs::path Cjpeg(const fs::path& bmp, const std::string& switches, const fs::path& jpeg);
// djpeg -bmp with the switches.
fs::path Djpeg(const fs::path& jpeg, const std::string& switches, const fs::path& bmp);

} // namespace JpegTestSupport
