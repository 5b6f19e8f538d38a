#include "reportexport/AddInSupport.h"

#include "report/rpReport.h"
#include "report/rpStreams.h"
#include "report/rpView.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace AddInSupport {
namespace {

constexpr int PictureSize = 16;

// One string per row: '#' black, 'w' white, anything else the olive background.
using TPictureRows = std::vector<std::string>;

TPictureRows EmptyRows() { return TPictureRows(PictureSize, std::string(PictureSize, '.')); }

void Put(TPictureRows& rows, int x, int y, char c)
{
    if (x >= 0 && x < PictureSize && y >= 0 && y < PictureSize)
        rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = c;
}

// A few bars of different widths over a short row of "text".
TPictureRows BarCodeRows()
{
    TPictureRows rows = EmptyRows();
    const std::string bars = "#.##.#.###.#.##";
    for (int y = 2; y <= 10; ++y)
        for (int x = 0; x < static_cast<int>(bars.size()); ++x)
            if (bars[static_cast<std::size_t>(x)] == '#')
                Put(rows, x + 1, y, '#');
    for (int x = 2; x <= 13; x += 2)
        Put(rows, x, 13, '#');
    return rows;
}

// The outline of an ellipse.
TPictureRows ShapeRows()
{
    TPictureRows rows = EmptyRows();
    for (int step = 0; step < 96; ++step) {
        const double angle = step * 2 * std::numbers::pi / 96;
        Put(rows, static_cast<int>(std::lround(7.5 + 6.5 * std::cos(angle))),
            static_cast<int>(std::lround(7.5 + 5.5 * std::sin(angle))), '#');
    }
    return rows;
}

// A white box with a black frame and a tick.
TPictureRows CheckBoxRows()
{
    TPictureRows rows = EmptyRows();
    for (int y = 2; y <= 13; ++y)
        for (int x = 2; x <= 13; ++x)
            Put(rows, x, y, (x == 2 || x == 13 || y == 2 || y == 13) ? '#' : 'w');
    const int tick[][2] = {{4, 7}, {5, 8}, {6, 9}, {7, 8}, {8, 7}, {9, 6}, {10, 5}, {11, 4}};
    for (const auto& point : tick) {
        Put(rows, point[0], point[1], '#');
        Put(rows, point[0], point[1] + 1, '#');
    }
    return rows;
}

std::vector<std::uint8_t> PictureBytes(const TPictureRows& rows)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(PictureSize, PictureSize);
    TCanvas* canvas = bitmap.Canvas();
    for (int y = 0; y < PictureSize; ++y)
        for (int x = 0; x < PictureSize; ++x) {
            const char c = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            canvas->SetPixels(x, y, c == '#' ? clBlack : c == 'w' ? clWhite : clOlive);
        }
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return std::vector<std::uint8_t>(data, data + stream.Size());
}

} // namespace

void RegisterAddInPictures()
{
    RegisterResource(MainInstance(), RT_BITMAP, CheckBoxPictureName, PictureBytes(CheckBoxRows()));
    RegisterResource(MainInstance(), RT_BITMAP, BarCodePictureName, PictureBytes(BarCodeRows()));
    RegisterResource(MainInstance(), RT_BITMAP, ShapePictureName, PictureBytes(ShapeRows()));
}

void RegisterAddInOnce(const TrpViewClass& classRef, TBitmap* buttonBmp, const std::string& buttonHint,
                       TrpObjEditorForm* editorForm)
{
    const bool known = std::any_of(rpAddIns.begin(), rpAddIns.end(), [&classRef](const TrpAddInObjectInfo& addIn) {
        return addIn.ClassRef.ClassName == classRef.ClassName;
    });
    if (!known)
        rpRegisterObject(classRef, buttonBmp, buttonHint, editorForm);
}

void UnRegisterAddIn(const std::string& className)
{
    std::erase_if(rpAddIns, [&className](const TrpAddInObjectInfo& addIn) { return addIn.ClassRef.ClassName == className; });
}

bool BeginAddInPrint(TrpView& view)
{
    view.BeginDraw(view.Canvas);
    view.WorkMemo->Assign(view.Memo.get());
    if (CurReport)
        CurReport->InternalOnEnterRect(view.WorkMemo.get(), &view);
    rpDoScript(view.Script.get());
    return view.Visible != 0;
}

void WriteAddInRecord(TrpView& view, TStream& stream)
{
    stream.WriteUInt8(view.ObjectType);
    rpWriteString(stream, view.ClassName());
    view.SaveToStream(stream);
}

} // namespace AddInSupport
