#pragma once
// Prepared pages: one record per printed sheet holding its paper and the objects placed on it as a
// page stream; a sheet's objects are loaded when it shows, drawn into any rectangle and handed to
// an export. The list is saved to and loaded from the prepared-report file.
//
// A page stream is the version byte 23, then per object its type byte, for type 10 its class name,
// and the object's prepared form. The prepared-report file is a flag byte (0; 1 or 255 would mark
// a compressed file), the printer name, the sheet count, then per sheet the absolute position of
// its end, its paper (size 16-bit, width, height, orientation, margins flag) and its page stream.

#include "report/RP_Prntr.h"
#include "report/rpPages.h"

#include "platform/gui/WinTypes.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TCanvas;
class TrpReport;
class TrpView;

struct TrpPageInfo {
    // The sheet's place in the preview.
    TRect Bounds;
    // Windows paper code; width and height in tenths of a millimetre.
    std::uint16_t PaperSize = 0;
    int Width = 0;
    int Height = 0;
    // 0 portrait, 1 landscape.
    std::uint8_t Orientation = 0;
    std::uint8_t UseMargins = 0;
    TrpPrnInfo PrinterInfo;
    // Set while the sheet is on screen or being printed: its objects stay loaded.
    bool Visible = false;
    std::unique_ptr<TMemoryStream> Stream = std::make_unique<TMemoryStream>();
    // The objects read from Stream, or null.
    std::unique_ptr<TrpPage> Page;
};

// The compression hook of the prepared-report file. The engine's one instance compresses nothing
// and stays disabled, so files are written uncompressed.
class TrpCompressor : public TObject {
    TESS_CLASS(TrpCompressor, TObject)
public:
    virtual void Compress(TStream& source, TStream& target);
    virtual void DeCompress(TStream& source, TStream& target);

    bool Enabled = false;
};

// Made when the engine starts.
extern TrpCompressor* rpCompressor;

class TrpEMFPages : public TObject {
    TESS_CLASS(TrpEMFPages, TObject)
public:
    explicit TrpEMFPages(TrpReport* parent);
    ~TrpEMFPages() override;
    TrpEMFPages(const TrpEMFPages&) = delete;
    TrpEMFPages& operator=(const TrpEMFPages&) = delete;

    int Count() const { return static_cast<int>(FPages.size()); }
    TrpPageInfo* Pages(int index) const { return FPages.at(static_cast<std::size_t>(index)).get(); }
    void Clear();
    // A sheet with page's paper and an empty page stream at index (at the end when index is not
    // below Count).
    void Insert(int index, TrpPage* page);
    // Insert at the end, then OnBeginPage of the current report and of the master report.
    void Add(TrpPage* page);
    void Delete(int index);

    // Reads the sheet's objects from its stream into a new Page. A broken record raises.
    void ObjectsToPage(int index);
    // Writes the sheet's stream again from its Page.
    void PageToObjects(int index);
    // Draws the sheet scaled into rect: a sheet not Visible releases its objects instead. On
    // screen, objects outside the canvas's clip region are skipped.
    void Draw(int index, TCanvas* canvas, const TRect& rect);
    // Reads the sheet's objects one by one and hands each to the running export.
    void ExportData(int index);

    // The prepared-report file. Loading replaces the sheets only when the whole input is read;
    // otherwise it raises EReadError and the sheets stay as they were.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);

    TrpReport* const Parent;

private:
    void ReadObjects(TrpPageInfo& info, const std::function<void(std::unique_ptr<TrpView>)>& take);

    std::vector<std::unique_ptr<TrpPageInfo>> FPages;
};
