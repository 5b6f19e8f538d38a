#pragma once
// What the tests of the barcode, shape and check-box objects share: the engine and the report
// export library started once, records as bytes, white pictures to draw on, the barcode reader
// and the folder for pictures a person looks at.

#include "report/RP_Class.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class TBitmap;

namespace AddInTestSupport {

// The application, message boxes answered OK, the engine with only its virtual printer, and the
// classes of the report export library registered.
void StartAddIns();

// The object's record in the given form, without and with its own part.
std::string CommonPart(TrpView& view, TrpStreamMode mode);
std::string Record(TrpView& view, TrpStreamMode mode);
// Reads a record into the object (of the current template version); EReadError when it is cut.
void LoadRecord(TrpView& view, TrpStreamMode mode, const std::string& record);

// A 24-bit bitmap of one colour.
std::unique_ptr<TBitmap> FilledBitmap(int width, int height, TColor color = clWhite);
TColor ColorAt(TBitmap& bitmap, int x, int y);
// Draws the object in the document mode at the scale, and puts the mode back.
void DrawIn(TrpView& view, TCanvas* canvas, TrpDocMode mode, double scale = 1.0);

bool HaveZbar();
// What zbarimg reads from the bitmap, saved as a BMP file in folder; "" when nothing.
std::string ReadBarcode(TBitmap& bitmap, const std::filesystem::path& folder, const std::string& name);

// TESS_SCREENSHOT_DIR, else screenshots/ in the working folder; made when missing.
std::string PictureFolder();

} // namespace AddInTestSupport

// The starting inputs of the add-in record fuzz target, defined with its replay.
std::vector<std::string> AddInRecordCorpus();
