#pragma once
// Plain-text export of a prepared report, and the collection of text pieces into lines that the
// CSV, HTML, RTF and spreadsheet filters share: every text line the report draws arrives with its
// position, goes to the output line covering its height and stands in that line in order of x.

#include "report/rpExportFilter.h"

#include "platform/gui/Colors.h"
#include "platform/rtl/Classes.h"

#include <cstdint>
#include <string>

// One piece of text of the page. The font fields come from text objects only and stay 0 or
// empty for other objects.
struct TextLineItem : TrpExportLine {
    int X = 0;
    std::string Text;
    std::string FontName;
    int FontSize = 0;
    int FontStyle = 0; // 1 italic, 2 bold, 4 underline
    TColor FontColor = 0;
    std::uint8_t FontCharset = 0;
    TColor FillColor = 0;
    bool FromMemo = false;
};

class TrpTextExportFilter : public TrpExportFilter {
    TESS_CLASS(TrpTextExportFilter, TrpExportFilter)
public:
    explicit TrpTextExportFilter(TStream* stream);

    void OnBeginPage() override;
    void OnEndPage() override;
    void OnText(int x, int y, const std::string& text, TrpView* view) override;

    static TrpExportFilterClass ClassEntry();

    // One output line covers this many pixels of page height.
    int LineHeight = 16;

protected:
    // Positions far outside any page (damaged prepared files) must not make lines or blanks by
    // the million: lines and columns (also left of the page) stop here.
    static constexpr int MaxLine = 65535;
    static constexpr int MaxColumn = 65535;
    static std::int64_t LimitColumn(std::int64_t column)
    {
        return column > MaxColumn ? MaxColumn : column < -MaxColumn ? -MaxColumn : column;
    }

    // The index of the last line holding a piece, -1 when the page has no text.
    int LastTextLine() const;
    // The first piece of the line (or null).
    TextLineItem* FirstItem(int line) const;
    void WriteText(const std::string& text);

private:
    int LineOf(int y) const;
};

// Placed on a form, it makes the text export available; it has no behaviour of its own.
class TrpTextExport : public TComponent {
    TESS_CLASS(TrpTextExport, TComponent)
public:
    explicit TrpTextExport(TComponent* owner) : TComponent(owner) {}
};
