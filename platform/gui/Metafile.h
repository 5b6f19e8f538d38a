#pragma once
// Metafiles: a recording canvas whose context keeps every drawing call as an enhanced-metafile
// record with typed parameters; the records replay onto any context, and every text drawn is
// one EMR_EXTTEXTOUTW record that can be searched. Metafiles loaded from streams keep their
// bytes and are shown as a placeholder.

#include "platform/gui/Canvas.h"
#include "platform/gui/Graphic.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TEmrRecord;
using HENHMETAFILE = void*;

// Set on an object index of a metafile record that names a stock object.
constexpr DWORD ENHMETA_STOCK_OBJECT = 0x80000000u;

// The two text-output record types; recordings write texts only as EMR_EXTTEXTOUTW.
constexpr DWORD EMR_EXTTEXTOUTA = 83, EMR_EXTTEXTOUTW = 84;

struct ENHMETAHEADER {
    DWORD iType = 1;
    DWORD nSize = 0;
    RECT rclBounds;      // pixels
    RECT rclFrame;       // hundredths of a millimetre
    DWORD dSignature = 0x464D4520;
    DWORD nVersion = 0x10000;
    DWORD nBytes = 0;
    DWORD nRecords = 0;
    WORD nHandles = 1;
    DWORD nDescription = 0;
    SIZE szlDevice;      // pixels of the reference device
    SIZE szlMillimeters; // millimetres of the reference device
};

// The recording behind a metafile handle.
class TMetafileImage;

class TMetafile : public TGraphic {
    TESS_CLASS(TMetafile, TGraphic)
    friend class TMetafileCanvas;

public:
    TMetafile();
    ~TMetafile() override;
    TMetafile(const TMetafile&) = delete;
    TMetafile& operator=(const TMetafile&) = delete;

    void Assign(TPersistent* Source) override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    int MMWidth() const;
    int MMHeight() const;
    void SetMMWidth(int value);
    void SetMMHeight(int value);
    int Inch() const { return FInch; }
    void SetInch(int value) { FInch = value; }
    bool Enhanced() const { return FEnhanced; }
    void SetEnhanced(bool value) { FEnhanced = value; }
    std::string CreatedBy() const;
    std::string Description() const;
    void Clear();
    // The handle of the recording (owned by the metafile); 0 when empty.
    HENHMETAFILE Handle() const;
    void SetHandle(HENHMETAFILE value);
    // The records of a recording (empty for a loaded metafile).
    const std::vector<TEmrRecord>& Records() const;

    void LoadFromStream(TStream& stream) override;
    // A loaded metafile writes its bytes back; a recording goes through the installed writer,
    // else raises EInvalidGraphicOperation "Scrittura del metafile non disponibile".
    void SaveToStream(TStream& stream) override;

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;

private:
    std::shared_ptr<TMetafileImage> FImage;
    HENHMETAFILE FHandle = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    int FInch = 0;
    bool FEnhanced = true;
    std::vector<std::uint8_t> FSource; // bytes of a loaded metafile
};

class TMetafileCanvas : public TCanvas {
    TESS_CLASS(TMetafileCanvas, TCanvas)
public:
    TMetafileCanvas(TMetafile* metafile, HDC referenceDevice);
    static std::unique_ptr<TMetafileCanvas> CreateWithComment(TMetafile* metafile, HDC referenceDevice,
                                                              const std::string& createdBy,
                                                              const std::string& description);
    // Closes the recording: the metafile receives the records.
    ~TMetafileCanvas() override;

private:
    TMetafile* FMetafile;
    HDC FRecordingDC = nullptr;
    std::string FCreatedBy, FDescription;
};

// Calls callback(dc, record, index, data) for each record in order; stops when it returns 0 and
// returns FALSE then.
using ENHMFENUMPROC = std::function<int(HDC dc, const TEmrRecord& record, int index, LPARAM data)>;
BOOL EnumEnhMetaFile(HDC dc, HENHMETAFILE metafile, ENHMFENUMPROC callback, LPARAM data, const RECT* rect);
// What an enumeration callback reads of a record: its type, what it draws in recording pixels,
// and the text of an EMR_EXTTEXTOUTW record ("" for other records).
DWORD EmrRecordType(const TEmrRecord& record);
TRect EmrRecordBounds(const TEmrRecord& record);
std::u16string EmrRecordText(const TEmrRecord& record);
// Replays the records scaled from the frame to rect.
BOOL PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* rect);
UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header);
HENHMETAFILE CopyEnhMetaFile(HENHMETAFILE metafile, const char* fileName);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);

// The writer of recorded metafiles (EMF when enhanced, WMF otherwise), installed by the export
// code; returns the previous one.
using TMetafileWriter = std::function<void(const TMetafile& metafile, TStream& stream)>;
TMetafileWriter SetMetafileWriter(bool enhanced, TMetafileWriter writer);
