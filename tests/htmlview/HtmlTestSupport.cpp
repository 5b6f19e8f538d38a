#include "HtmlTestSupport.h"

#include "platform/gui/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

// One application for the whole run, on Qt's offscreen platform.
class THtmlViewEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
    }
};

const testing::Environment* const htmlViewEnvironment =
    testing::AddGlobalTestEnvironment(new THtmlViewEnvironment);

} // namespace

// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

std::unique_ptr<TBitmap> NewFilledBitmap(int width, int height, TColor background, TPixelFormat format)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(background);
    bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
    return bitmap;
}

int InkIn(TBitmap& bitmap, const TRect& area, TColor background)
{
    const TColor plain = static_cast<TColor>(ColorToRGB(background));
    int ink = 0;
    for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, bitmap.Height()); ++y)
        for (int x = std::max(area.Left, 0); x < std::min(area.Right, bitmap.Width()); ++x)
            if (bitmap.Canvas()->Pixels(x, y) != plain)
                ++ink;
    return ink;
}

void SavePicture(TBitmap& bitmap, const std::string& name)
{
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        return;
    std::filesystem::create_directories(folder);
    bitmap.SaveToFile((std::filesystem::path(folder) / (name + ".bmp")).string());
}

std::string MutateText(std::string text, std::mt19937& random, const char* const* pieces, std::size_t pieceCount)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 4) {
        case 0:
            if (!text.empty())
                text[below(text.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1: {
            const char* piece = pieces[below(pieceCount)];
            text.insert(below(text.size() + 1), piece, std::max<std::size_t>(std::strlen(piece), 1));
            break;
        }
        case 2:
            text.resize(below(text.size() + 1));
            break;
        default:
            if (text.size() < 4096)
                text += text.substr(below(text.size() + 1));
            break;
        }
    }
    return text;
}

// --- The document model ---------------------------------------------------------------------------

TPaneFontMetrics TFixedPaneMetrics::FontMetrics(TFont* /*Font*/)
{
    ++Measured;
    return {Height, 0, Descent, 0};
}

int TFixedPaneMetrics::TextWidth(HDC /*DC*/, const char* /*P*/, int N) { return N > 0 ? N * CharWidth : 0; }

int TFixedPaneMetrics::FitCount(HDC /*DC*/, const char* /*P*/, int N, int MaxWidth)
{
    return std::clamp(MaxWidth / CharWidth, 0, std::max(N, 0));
}

std::unique_ptr<TAttributeList> TagAttributes(const std::string& html)
{
    auto list = std::make_unique<TAttributeList>();
    for (const TRecordedSymbol& symbol : TokenizeHere(html)) {
        if (!IsTagSymbol(symbol.Sym))
            continue;
        for (const TRecordedAttribute& attribute : symbol.Attributes)
            list->Add(new TAttribute(attribute.Sym, attribute.Number, attribute.Text));
        break;
    }
    return list;
}

TTestDocument::TTestDocument()
{
    Doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
    Doc.CurrentParser = &Parser;
    BaseFont.SetName(Doc.BaseFontName);
    BaseFont.SetColor(Doc.TextColor | PaletteRelative);
    BaseFont.SetNormalSize(&Doc, 12);
}

TSection* TTestDocument::NewSection(int Level, JustifyType Justify, const TUrlTarget* Link)
{
    return new TSection(&Doc, Level, &BaseFont, Link, Justify);
}

std::unique_ptr<TMyFont> TTestDocument::FontOf(int RelativeSize, const std::string& Face)
{
    auto font = std::make_unique<TMyFont>();
    font->Assign(&BaseFont);
    font->SetName(Face);
    font->SetNormalSize(&Doc, RelativeSize);
    return font;
}

const TAttributeList* TTestDocument::Attrs(const std::string& html)
{
    FKeptAttributes.push_back(TagAttributes(html));
    return FKeptAttributes.back().get();
}

TFormControlObj* TTestDocument::AddControl(TSection& Section, const std::string& Tag, int SourcePos, bool NoBreak)
{
    const Symb which = Tag.rfind("<INPUT", 0) == 0    ? Symb::InputSy
                       : Tag.rfind("<SELECT", 0) == 0 ? Symb::SelectSy
                                                      : Symb::TextAreaSy;
    return Section.AddFormControl(which, &Doc, Attrs(Tag), &Doc, SourcePos, NoBreak);
}

TokenObj TokenAt(const std::string& Text, int FirstSource)
{
    TokenObj token;
    for (std::size_t i = 0; i < Text.size(); ++i)
        token.AddChar(Text[i], FirstSource + static_cast<int>(i));
    return token;
}

void AddText(TSection& Section, const std::string& Text, int FirstSource, bool NoBreak)
{
    Section.AddTokenObj(TokenAt(Text, FirstSource), NoBreak);
}

namespace {

std::string Hex8(TColor Color)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(Color));
    return text;
}

std::string ColorText(bool Has, TColor Color) { return Has ? Hex8(Color) : "none"; }

const char* YesNo(bool Value) { return Value ? "yes" : "no"; }

const char* JustifyText(JustifyType Justify)
{
    static const char* const names[] = {"none", "left", "centre", "right"};
    return names[Justify];
}

const char* AlignText(AlignmentType Align)
{
    static const char* const names[] = {"top", "middle", "bottom", "left", "right"};
    return names[Align];
}

const char* ClearText(ClearAttrType Clear)
{
    static const char* const names[] = {"none", "left", "right", "all"};
    return names[Clear];
}

class TDocumentDumper {
public:
    explicit TDocumentDumper(TSectionList& Doc) : FDoc(Doc) {}

    std::string Dump()
    {
        DumpCell(FDoc, 0);
        for (int i = 0; i < FDoc.Forms->Count(); ++i)
            DumpForm(*static_cast<ThtmlForm*>(static_cast<TObject*>(FDoc.Forms->Items(i))), i);
        return FOut.str();
    }

private:
    std::ostream& Line(int Indent) { return FOut << std::string(static_cast<std::size_t>(Indent) * 2, ' '); }

    void DumpCell(TCell& Cell, int Indent)
    {
        for (int i = 0; i < Cell.Count(); ++i)
            DumpSection(*Cell.Section(i), Indent);
    }

    void DumpSection(TSectionBase& Item, int Indent)
    {
        if (auto* section = dynamic_cast<TSection*>(&Item))
            DumpText(*section, Indent);
        else if (auto* table = dynamic_cast<ThtmlTable*>(&Item))
            DumpTable(*table, Indent);
        else if (auto* rule = dynamic_cast<THorzLine*>(&Item))
            Line(Indent) << "THorzLine height=" << rule->FlowHeight << " thickness=" << rule->Thickness
                         << " width=" << rule->RuleWidth << " percent=" << YesNo(rule->WidthIsPercent)
                         << " align=" << static_cast<int>(rule->RuleAlign)
                         << " color=" << ColorText(rule->ColorGiven, rule->RuleColor)
                         << " noshade=" << YesNo(rule->Unshaded) << '\n';
        else if (auto* heading = dynamic_cast<THeadingSpace*>(&Item))
            Line(Indent) << "THeadingSpace level=" << heading->HeadingLevel << " height=" << heading->FlowHeight
                         << '\n';
        else
            Line(Indent) << Item.ClassName() << " height=" << Item.FlowHeight << '\n';
    }

    void DumpText(TSection& Section, int Indent)
    {
        Line(Indent) << Section.ClassName() << " level=" << Section.Level << " indent=" << Section.LevelIndent
                     << " align=" << JustifyText(Section.Alignment) << " clear=" << ClearText(Section.ClearKind);
        if (auto* ordered = dynamic_cast<TOListItem*>(&Section))
            FOut << " number=" << ordered->ItemNumber << " style=" << ordered->NumberStyle;
        else if (auto* item = dynamic_cast<TUListItem*>(&Section))
            FOut << " plain=" << YesNo(item->PlainItem);
        FOut << '\n';
        Line(Indent + 1) << "text \"" << ShownChars(Section.Chars) << "\"\n";
        for (int i = 0; i < Section.FontRuns->Count(); ++i)
            DumpRun(*Section.FontRuns->Run(i), Indent + 1);
        for (int i = 0; i < Section.ImageObjs->Count(); ++i)
            DumpImage(*Section.ImageObjs->Image(i), Indent + 1);
        for (int i = 0; i < Section.Controls->Count(); ++i)
            DumpControl(*Section.Controls->Control(i), Indent + 1);
    }

    void DumpRun(const TFontObj& Run, int Indent)
    {
        const TMyFont& font = *Run.RunFont;
        Line(Indent) << "run " << Run.StartPos << ' ' << font.Name() << " rel=" << font.RelativeSize
                     << " pt=" << font.Size() << ' ' << StyleText(font.Style()) << ' ' << Hex8(font.Color());
        if (Run.ScriptShift != Normal)
            FOut << (Run.ScriptShift == SubSc ? " sub" : " sup");
        if (!Run.Link->Url.empty() || !Run.Link->Target.empty())
            FOut << " link=\"" << Run.Link->Url << "\" target=\"" << Run.Link->Target << '"';
        FOut << '\n';
    }

    void DumpImage(const TImageObj& Image, int Indent)
    {
        Line(Indent) << "image at=" << Image.SrcPos << " src=\"" << Image.SourceName << "\" alt=\"" << Image.AltText
                     << "\" align=" << AlignText(Image.Placement) << " width=" << Image.GivenWidth
                     << (Image.WidthIsPercent ? "%" : "") << " height=" << Image.GivenHeight
                     << " hspace=" << Image.HorzSpace << " vspace=" << Image.VertSpace
                     << " borderoff=" << YesNo(Image.BorderOff) << " ismap=" << YesNo(Image.ServerMap)
                     << " usemap=" << (Image.ClientMap ? "\"" + Image.ClientMapName + "\"" : "no")
                     << " active=" << YesNo(Image.HoverAnimates) << " transp=" << static_cast<int>(Image.TranspKind)
                     << " button=" << YesNo(Image.InputControl != nullptr) << '\n';
    }

    void DumpControl(const TFormControlObj& Control, int Indent)
    {
        Line(Indent) << "control at=" << Control.SrcPos << ' ' << ControlText(Control) << '\n';
        if (auto* list = dynamic_cast<const TListBoxFormControlObj*>(&Control))
            for (int i = 0; i < list->OptionList->Count(); ++i)
                Line(Indent + 1) << "option \"" << list->OptionList->Strings(i) << "\" value=\""
                                 << list->Option(i)->OptionValue
                                 << "\" selected=" << YesNo(list->Option(i)->OptionSelected) << '\n';
        if (auto* area = dynamic_cast<const TTextAreaFormControlObj*>(&Control))
            for (int i = 0; i < area->InitialLines->Count(); ++i)
                Line(Indent + 1) << "line \"" << area->InitialLines->Strings(i) << "\"\n";
    }

    std::string ControlText(const TFormControlObj& Control)
    {
        std::ostringstream text;
        text << Control.ClassName() << " name=\"" << Control.FieldName << "\" value=\"" << Control.InitialValue
             << "\" form=" << FDoc.Forms->IndexOf(static_cast<TObject*>(Control.OwnerForm));
        if (!Control.OnClickText.empty())
            text << " onclick=\"" << Control.OnClickText << '"';
        if (auto* edit = dynamic_cast<const TEditFormControlObj*>(&Control))
            text << " size=" << edit->SizeChars << " maxlength=" << edit->MaxLength
                 << " password=" << YesNo(edit->Password);
        else if (auto* button = dynamic_cast<const TButtonFormControlObj*>(&Control))
            text << " kind=" << static_cast<int>(button->ButtonKind);
        else if (auto* check = dynamic_cast<const TCheckBoxFormControlObj*>(&Control))
            text << " checked=" << YesNo(check->InitiallyChecked);
        else if (auto* radio = dynamic_cast<const TRadioButtonFormControlObj*>(&Control))
            text << " checked=" << YesNo(radio->InitiallyChecked);
        else if (auto* list = dynamic_cast<const TListBoxFormControlObj*>(&Control))
            text << " rows=" << list->VisibleRows << " widest=" << list->WidestOption
                 << " multi=" << YesNo(list->MultiSelect);
        else if (auto* area = dynamic_cast<const TTextAreaFormControlObj*>(&Control))
            text << " rows=" << area->RowCount << " cols=" << area->ColCount << " wrap=" << YesNo(area->WordWrap);
        else if (auto* image = dynamic_cast<const TImageFormControlObj*>(&Control))
            text << " click=" << image->ClickX;
        return text.str();
    }

    void DumpTable(ThtmlTable& Table, int Indent)
    {
        Line(Indent) << "ThtmlTable level=" << Table.Level << " justify=" << JustifyText(Table.Justify)
                     << " float=" << YesNo(Table.Float) << " border=" << YesNo(Table.Border)
                     << " spacing=" << Table.CellSpacing << " padding=" << Table.CellPadding
                     << " width=" << Table.SpecWidth << (Table.WidthAsPercent ? "%" : "")
                     << " height=" << Table.SpecHeight << (Table.HeightAsPercent ? "%" : "")
                     << " hspace=" << Table.HSpace << " vspace=" << Table.VSpace
                     << " color=" << ColorText(Table.HasBackColor, Table.BackColor)
                     << " bordercolor=" << ColorText(Table.HasBorderColor, Table.BorderColor)
                     << " cols=" << Table.NumCols << " grid=" << YesNo(Table.GridReady) << '\n';
        for (int r = 0; r < Table.Rows->Count(); ++r) {
            TCellList& row = *Table.Row(r);
            Line(Indent + 1) << "row " << r << " color=" << ColorText(row.HasBackColor, row.BackColor) << '\n';
            for (int c = 0; c < row.Count(); ++c)
                DumpEntry(row.CellObj(c), c, Indent + 2);
        }
        if (Table.Caption->Cell->Count() > 0) {
            Line(Indent + 1) << "caption " << (Table.CaptionAtTop ? "top" : "bottom") << '\n';
            DumpCell(*Table.Caption->Cell, Indent + 2);
        }
    }

    void DumpEntry(TCellObj* Entry, int Column, int Indent)
    {
        if (Entry == nullptr) {
            Line(Indent) << "nil " << Column << '\n';
            return;
        }
        if (Entry->ColSpan == 0) {
            Line(Indent) << "dummy " << Column << " rowspan=" << Entry->RowSpan << '\n';
            return;
        }
        Line(Indent) << "cell " << Column << " span=" << Entry->ColSpan << 'x' << Entry->RowSpan
                     << " color=" << ColorText(Entry->Cell->HasBackColor, Entry->Cell->BackColor)
                     << " width=" << Entry->SpecWidth << (Entry->WidthAsPercent ? "%" : "")
                     << " height=" << Entry->SpecHeight << " valign=" << AlignText(Entry->VAlign) << '\n';
        DumpCell(*Entry->Cell, Indent + 1);
    }

    void DumpForm(const ThtmlForm& Form, int Index)
    {
        Line(0) << "form " << Index << " method=\"" << Form.FormMethod << "\" action=\"" << Form.FormAction
                << "\" target=\"" << Form.FormTarget << "\" enctype=\"" << Form.FormEncType << "\"\n";
        for (int i = 0; i < Form.Members->Count(); ++i) {
            const auto* member = static_cast<const TFormControlObj*>(static_cast<TObject*>(Form.Members->Items(i)));
            Line(1) << member->ClassName() << " name=\"" << member->FieldName << "\"\n";
        }
    }

    TSectionList& FDoc;
    std::ostringstream FOut;
};

} // namespace

std::string StyleText(TFontStyles Style)
{
    std::string text;
    text += Style.Contains(fsBold) ? 'B' : '-';
    text += Style.Contains(fsItalic) ? 'I' : '-';
    text += Style.Contains(fsUnderline) ? 'U' : '-';
    text += Style.Contains(fsStrikeOut) ? 'S' : '-';
    return text;
}

std::string ShownChars(const std::string& Chars)
{
    std::string shown;
    for (char c : Chars) {
        const unsigned char code = static_cast<unsigned char>(c);
        if (code == 160)
            shown += "«nb»";
        else if (code < 32)
            shown += "«" + std::to_string(code) + "»";
        else
            shown += c;
    }
    return shown;
}

std::string DumpDocument(TSectionList& Doc) { return TDocumentDumper(Doc).Dump(); }
