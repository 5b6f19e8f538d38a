#include "reportexport/RP_E_TXT.h"

#include "report/RP_Utils.h"
#include "report/rpMemoView.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

namespace {

// A page starts with this many line slots; text further down adds more.
constexpr int InitialLineSlots = 201;
// The width of one output column in page pixels.
constexpr double TextColumnWidth = 6.5;

} // namespace

TrpTextExportFilter::TrpTextExportFilter(TStream* stream) : TrpExportFilter(stream) {}

void TrpTextExportFilter::OnBeginPage()
{
    ClearLines();
    Lines->SetCount(InitialLineSlots);
}

int TrpTextExportFilter::LineOf(int y) const
{
    // Text above the page would have no line: it goes to the first one.
    const std::int64_t line = Round(static_cast<double>(y) / LineHeight);
    if (line < 0)
        return 0;
    return line > MaxLine ? MaxLine : static_cast<int>(line);
}

void TrpTextExportFilter::OnText(int x, int y, const std::string& text, TrpView* view)
{
    if (!view)
        return;
    auto item = std::make_unique<TextLineItem>();
    item->X = x;
    item->Text = text;
    if (auto* memo = dynamic_cast<TrpMemoView*>(view)) {
        item->FontName = memo->Font->Name();
        item->FontSize = memo->Font->Size();
        item->FontStyle = rpGetFontStyle(memo->Font->Style());
        item->FontColor = memo->Font->Color();
        item->FontCharset = memo->Font->Charset();
        item->FromMemo = true;
    }
    item->FillColor = view->FillColor;

    const int line = LineOf(y);
    if (line >= Lines->Count())
        Lines->SetCount(line + 1);
    // Before the first piece at the same x or further right: a later piece at the same x comes
    // first.
    TrpExportLine* previous = nullptr;
    auto* current = static_cast<TextLineItem*>(Lines->Items(line));
    while (current && current->X < x) {
        previous = current;
        current = static_cast<TextLineItem*>(current->Next);
    }
    item->Next = current;
    if (previous)
        previous->Next = item.release();
    else
        Lines->SetItems(line, item.release());
}

int TrpTextExportFilter::LastTextLine() const
{
    for (int line = Lines->Count() - 1; line >= 0; --line)
        if (Lines->Items(line))
            return line;
    return -1;
}

TextLineItem* TrpTextExportFilter::FirstItem(int line) const
{
    return static_cast<TextLineItem*>(Lines->Items(line));
}

void TrpTextExportFilter::WriteText(const std::string& text)
{
    if (!text.empty())
        Stream->WriteBuffer(text.data(), static_cast<int>(text.size()));
}

void TrpTextExportFilter::OnEndPage()
{
    std::string page;
    const int lastLine = LastTextLine();
    for (int line = 0; line <= lastLine; ++line) {
        std::string text;
        std::int64_t counter = 0;
        for (TextLineItem* item = FirstItem(line); item; item = static_cast<TextLineItem*>(item->Next)) {
            const std::int64_t column = LimitColumn(Round(item->X / TextColumnWidth));
            if (column > counter)
                text.append(static_cast<std::size_t>(column - counter), ' ');
            text += item->Text;
            counter = column + static_cast<std::int64_t>(item->Text.size());
        }
        page += text;
        page += "\r\n";
    }
    page += "\x0C\r\n";
    WriteText(page);
}

TrpExportFilterClass TrpTextExportFilter::ClassEntry()
{
    return {"TrpTextExportFilter", [](TStream* stream) { return new TrpTextExportFilter(stream); }};
}
