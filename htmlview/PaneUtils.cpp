#include "htmlview/PaneUtils.h"

#include "htmlview/PaneMetrics.h"

#include "platform/gui/Colors.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/TextOutput.h"

#include <algorithm>

namespace {

// The byte of the two characters after "%" at at, as "$" followed by them; false for anything
// but two hexadecimal digits, and for 0, which would cut the name short in every file call.
bool ReadEscapedByte(const std::string& name, std::size_t at, char& byte)
{
    int value = 0;
    if (!TryStrToInt("$" + name.substr(at + 1, 2), value) || value == 0)
        return false;
    byte = static_cast<char>(value);
    return true;
}

// Decodes "%" escapes, always at the first "%" of the name as it stands: a decoded "%" is itself
// the next one to decode. Stops at a "%" that starts the name, has fewer than two characters
// after it or is no escape, and leaves the rest as written.
std::string DecodeEscapes(std::string name)
{
    std::string decoded;
    std::size_t from = 0;
    for (;;) {
        const std::size_t percent = name.find('%', from);
        decoded.append(name, from, percent == std::string::npos ? std::string::npos : percent - from);
        if (percent == std::string::npos)
            return decoded;
        char byte = 0;
        if (decoded.empty() || name.size() - percent - 1 < 2 || !ReadEscapedByte(name, percent, byte))
            return decoded + name.substr(percent);
        // The decoded character takes the place of the second digit and is read again from there.
        name[percent + 2] = byte;
        from = percent + 2;
    }
}

bool IsDriveAt(const std::string& name, std::size_t at)
{
    if (at + 1 >= name.size())
        return false;
    const char letter = static_cast<char>(name[at] | 0x20);
    return letter >= 'a' && letter <= 'z' && (name[at + 1] == '|' || name[at + 1] == ':');
}

// Takes "file:///" off before a drive, otherwise "file://", so that "file:///home/u" keeps its
// leading "/" and stays an absolute name.
void RemoveFilePrefix(std::string& name)
{
    const std::string lower = LowerCase(name);
    std::size_t at = lower.find("file:///");
    if (at != std::string::npos) {
        name.erase(at, IsDriveAt(name, at + 8) ? 8 : 7);
        return;
    }
    at = lower.find("file://");
    if (at != std::string::npos)
        name.erase(at, 7);
}

} // namespace

namespace PaneUn2 {

int IntMin(int A, int B) { return A < B ? A : B; }

int IntMax(int A, int B) { return A > B ? A : B; }

std::string HTMLToDos(const std::string& FName)
{
    std::string name = DecodeEscapes(FName);
    if (name.find('/') == std::string::npos)
        return name;
    RemoveFilePrefix(name);
    std::replace(name.begin(), name.end(), '|', ':');
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string HTMLServerToDos(const std::string& FName, const std::string& Root)
{
    const std::string name = HTMLToDos(FName);
    if (!name.empty() && name[0] == '\\')
        return Root + name;
    return name;
}

int GetXExtent(HDC DC, const char* P, int N) { return PaneMetrics().TextWidth(DC, P, N); }

void WrapText(TCanvas* Canvas, int X1, int Y1, int X2, int Y2, const std::string& S)
{
    const TBrushStyle savedStyle = Canvas->Brush()->Style();
    Canvas->Brush()->SetStyle(bsClear);
    SetTextAlign(Canvas->Handle(), TA_LEFT | TA_TOP);
    const int lineHeight = Canvas->TextHeight("A");
    const int width = X2 - X1;
    const TRect clip = Rect(X1, Y1, X2, Y2);
    // The text still to place runs from at to end; blanks at its end never count.
    const std::string text = TrimRight(S);
    std::size_t at = 0;
    const std::size_t end = text.size();
    std::string line;
    int y = Y1;
    while (at < end && y + lineHeight <= Y2) {
        while (at < end && static_cast<unsigned char>(text[at]) <= ' ')
            ++at;
        std::size_t space = text.find(' ', at);
        if (space == std::string::npos)
            space = end;
        const std::string word = text.substr(at, space - at);
        at = std::min(space + 1, end);
        if (Canvas->TextWidth(line + word) > width) {
            if (!line.empty()) {
                Canvas->TextRect(clip, X1, y, line);
                y += lineHeight;
            }
            line = word + " ";
        } else {
            line += word + " ";
        }
    }
    if (!line.empty() && y + lineHeight <= Y2)
        Canvas->TextRect(clip, X1, y, line);
    Canvas->Brush()->SetStyle(savedStyle);
}

void FormControlRect(TCanvas* Canvas, int X1, int Y1, int X2, int Y2, bool Raised)
{
    const HDC dc = Canvas->Handle();
    const bool monochrome = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) == 1;
    const int right = X2 - 1, bottom = Y2 - 1;

    const TColor savedBrushColor = Canvas->Brush()->Color();
    const TBrushStyle savedBrushStyle = Canvas->Brush()->Style();
    Canvas->Brush()->SetColor(clWhite);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->FillRect(Rect(X1, Y1, X2, Y2));
    Canvas->Brush()->SetColor(savedBrushColor);
    Canvas->Brush()->SetStyle(savedBrushStyle);

    TPen* pen = Canvas->Pen();
    const TPenStyle savedPenStyle = pen->Style();
    const int savedPenWidth = pen->Width();
    pen->SetStyle(psInsideFrame);
    if (monochrome) {
        pen->SetWidth(1);
        pen->SetColor(clBlack);
    } else {
        pen->SetWidth(2);
        pen->SetColor(Raised ? clSilver : clBtnShadow);
    }
    Canvas->MoveTo(X1, bottom);
    Canvas->LineTo(X1, Y1);
    Canvas->LineTo(right, Y1);
    if (!monochrome)
        pen->SetColor(Raised ? clBtnShadow : clSilver);
    Canvas->LineTo(right, bottom);
    Canvas->LineTo(X1, bottom);
    pen->SetStyle(savedPenStyle);
    pen->SetWidth(savedPenWidth);
}

void RaisedRect(TColor BackgroundColor, TCanvas* Canvas, int X1, int Y1, int X2, int Y2, bool Raised)
{
    Y1 = std::max(Y1, -200);
    Y2 = std::min(Y2, 3000);
    const bool whiteBackground = (BackgroundColor & 0xFFFFFF) == 0xFFFFFF ||
                                 (BackgroundColor == clWindow && GetSysColor(COLOR_WINDOW) == 0xFFFFFF);
    const TColor light = whiteBackground ? clSilver : clBtnHighlight;
    TPen* pen = Canvas->Pen();
    pen->SetColor(Raised ? light : clBtnShadow);
    Canvas->MoveTo(X1, Y2);
    Canvas->LineTo(X1, Y1);
    Canvas->LineTo(X2, Y1);
    pen->SetColor(Raised ? clBtnShadow : light);
    Canvas->LineTo(X2, Y2);
    Canvas->LineTo(X1, Y2);
}

} // namespace PaneUn2
