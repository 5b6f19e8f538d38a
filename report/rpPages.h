#pragma once
// Design pages: paper, margins, columns and the objects placed on them; and the list of a
// report's design pages with the template stream that holds them.

#include "report/RP_Prntr.h"
#include "report/rpView.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;
class TrpReport;

class TrpPage : public TObject {
    TESS_CLASS(TrpPage, TObject)
public:
    // Selects the paper on the engine printer (ChangePaper).
    TrpPage(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation);
    ~TrpPage() override;
    TrpPage(const TrpPage&) = delete;
    TrpPage& operator=(const TrpPage&) = delete;

    // Asks the engine printer for the paper (a custom size when it refuses it), fills
    // PrinterInfo and takes back the paper the printer chose.
    void ChangePaper(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation);

    // The printable area in report units.
    int LeftMargin() const;
    int TopMargin() const;
    int RightMargin() const;
    int BottomMargin() const;

    // Case ignored, first match; nullptr when none.
    TrpView* FindObject(const std::string& name) const;
    // The index of the object with that ID, -1 when none.
    int FindObjectByID(int id) const;
    void Clear();
    void Delete(int index);

    // The 41-byte record (47 in files older than version 23).
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);

    int PaperSize = 9;
    int PaperWidth = 0;  // tenths of a millimetre
    int PaperHeight = 0;
    TRect Margins;       // report units; 0 on a side takes the printer's offset
    TPrinterOrientation Orientation = poPortrait;
    std::int16_t ContinuePreviousPage = 0; // 16-bit booleans
    std::int16_t UseMargins = -1;
    int ColumnCount = 1;
    int ColumnGap = 0;
    int ColumnWidth = 0;
    TrpPrnInfo PrinterInfo;
    std::vector<std::unique_ptr<TrpView>> Objects;
};

class TrpPages : public TObject {
    TESS_CLASS(TrpPages, TObject)
public:
    explicit TrpPages(TrpReport* parent);
    ~TrpPages() override;
    TrpPages(const TrpPages&) = delete;
    TrpPages& operator=(const TrpPages&) = delete;

    // A new A4 portrait page at the end.
    TrpPage* Add();
    void Clear();
    void Delete(int index);
    int Count() const { return static_cast<int>(FPages.size()); }
    TrpPage* Pages(int index) const { return FPages.at(static_cast<std::size_t>(index)).get(); }

    // Everything a template holds after its version byte. Reading clears the pages first and
    // raises on damaged input.
    void LoadFromStream(TStream& stream);
    // Raises EWriteError, before writing, for what the format cannot hold.
    void SaveToStream(TStream& stream);

    TrpReport* const Parent;

private:
    void ReadObject(TStream& stream, std::uint8_t typ);
    void ReadVariables(TStream& stream);
    void CheckCanSave() const;

    std::vector<std::unique_ptr<TrpPage>> FPages;
};
