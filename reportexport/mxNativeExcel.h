#pragma once
// A small writer of worksheet files in the binary interchange format of early spreadsheet
// programs: the records (beginning of file, dimensions, text cells, end of file) are collected in
// memory and saved to a file.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Sets.h"

#include <cstdint>
#include <memory>
#include <string>

class TMemoryStream;

namespace mxNativeExcel {
enum TmxBIFFVersion { bvBIFF2, bvBIFF3, bvBIFF4, bvBIFF5 };
enum TmxMoveAfterEnter { maNone, maUp, maDown, maLeft, maRight };
enum TmxExcelAlignment { eaGeneral, eaLeft, eaRight, eaCenter, eaFill, eaMultiPlan };
enum TmxExcelBorders { ebTop, ebBottom, ebLeft, ebRight };
using TmxExcelBorderSet = TSet<TmxExcelBorders>;
enum TmxFileState { fsNew, fsOpen, fsClosed };
} // namespace mxNativeExcel

class TmxNativeExcel : public TComponent {
    TESS_CLASS(TmxNativeExcel, TComponent)
public:
    explicit TmxNativeExcel(TComponent* owner);
    ~TmxNativeExcel() override;

    // Empties the buffer and writes the beginning of the file and its dimensions.
    virtual void BeginFile();
    // Writes the end-of-file record; a record written after it starts a new file.
    virtual void EndFile();
    void OpenFile() { BeginFile(); }
    void CloseFile() { EndFile(); }
    // Replaces the file FileName with the buffer, through a temporary name.
    void SaveFile();

    // Puts the text at row and column (from 1) and moves on; format has no effect.
    void WriteTextCell(int row, int column, const std::string& text, const std::string& format = {});
    // Puts the number at row and column (from 1) as a number record and moves on.
    void WriteNumberCell(int row, int column, double value);

    mxNativeExcel::TmxBIFFVersion BIFF() const { return FBIFF; }
    void SetBIFF(mxNativeExcel::TmxBIFFVersion value);
    const std::string& FileName() const { return FFileName; }
    // The extension becomes ".XLS" unless it already is that, in any letter case.
    void SetFileName(const std::string& value);
    int Row() const { return FRow; }
    void SetRow(int value);
    int Column() const { return FColumn; }
    void SetColumn(int value);
    mxNativeExcel::TmxMoveAfterEnter MoveAfterEnter = mxNativeExcel::maRight;
    std::uint8_t ActiveFont() const { return FActiveFont; }
    // Only the fonts the file has are accepted; it never writes any, so only font 0.
    void SetActiveFont(std::uint8_t value);
    mxNativeExcel::TmxExcelAlignment Alignment = mxNativeExcel::eaGeneral;
    mxNativeExcel::TmxExcelBorderSet Borders;
    bool Shading = false;
    bool Hidden = false;
    bool Locked = true;
    std::string Version() const;

    // The file as written so far.
    TMemoryStream* Buffer() const { return FBuffer.get(); }
    mxNativeExcel::TmxFileState State() const { return FState; }

    static constexpr int LastRow = 65535;
    static constexpr int LastColumn = 256;

protected:
    void WriteRecordHeader(std::uint16_t type, std::uint16_t length);
    // The cell's position and attributes, the first seven bytes of every cell record; then the
    // current cell moves on.
    void WriteCellPrefix();
    void WriteLabel(const std::string& text);

private:
    void WriteWord(std::uint16_t value);
    void WriteByte(std::uint8_t value);
    void MoveOn();
    std::uint8_t AttributeByte3() const;

    mxNativeExcel::TmxBIFFVersion FBIFF = mxNativeExcel::bvBIFF5;
    std::string FFileName;
    int FRow = 1;
    int FColumn = 1;
    std::uint8_t FActiveFont = 0;
    std::uint8_t FFontCount = 0;
    mxNativeExcel::TmxFileState FState = mxNativeExcel::fsNew;
    const std::unique_ptr<TMemoryStream> FBuffer;
};
