#pragma once
// A direct transcription of the text object's wrapping rules that measures every piece it tests
// on the scratch canvas, as the rules are written: the reference the engine's wrapper (which
// measures each source line once) must match byte for byte. The tests and the wrapping benchmark
// share it. A word wider than the line ends the line before the overflowing character, as in the
// engine.

#include "report/RP_Class.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/DeviceContext.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <string>
#include <vector>

namespace LiteralWrap {

inline bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
inline bool IsDelimiter(char c) { return c == ' ' || c == ',' || c == '-' || c == '.'; }

class TLiteralWrapper {
public:
    TLiteralWrapper(TCanvas& canvas, int available, bool wordBreak) : FCanvas(canvas), FAvailable(available), FWordBreak(wordBreak) {}

    std::vector<std::string> Lines;

    void PutWhole(const std::string& s) { Put(s, true); }

    void Wrap(const std::string& s)
    {
        const int n = static_cast<int>(s.size());
        auto at = [&s](int position) { return s[static_cast<std::size_t>(position - 1)]; };
        auto piece = [&s](int from, int to) { return to < from ? std::string() : Copy(s, from, to - from + 1); };
        if (s.find_first_of("\r\n") == std::string::npos && (n <= 1 || Width(s) <= FAvailable)) {
            Put(s, true);
            return;
        }
        int b = 1, k = 1, i = 1;
        while (i <= n) {
            if (IsLineBreak(at(i))) {
                Put(piece(b, i - 1), true);
                while (i < n && IsLineBreak(at(i)))
                    ++i;
                b = k = i;
                if (IsLineBreak(at(i)))
                    return;
                continue;
            }
            if (at(i) != ' ' && Width(piece(b, i)) > FAvailable) {
                bool hyphen = false;
                if (FWordBreak) {
                    int next = k + 1;
                    while (next <= n && !IsDelimiter(at(next)))
                        ++next;
                    int end = k;
                    for (int point : rpHyphenationPoints(AnsiToUtf16(piece(k + 1, next - 1)))) {
                        if (Width(piece(b, k + point) + "-") > FAvailable)
                            break;
                        end = k + point;
                        hyphen = true;
                    }
                    if (hyphen)
                        k = i = end;
                }
                if (!hyphen && k == b) {
                    const int last = i > b ? i - 1 : b;
                    Put(piece(b, last), false);
                    b = k = i = last + 1;
                    continue;
                }
                if (hyphen)
                    Put(piece(b, k) + "-", false);
                else if (at(k) == ' ')
                    Put(piece(b, k - 1), false);
                else
                    Put(piece(b, k), false);
                b = k = k + 1;
            }
            if (IsDelimiter(at(i)))
                k = i;
            ++i;
        }
        if (b != i)
            Put(piece(b, n), true);
    }

private:
    int Width(const std::string& text) { return FCanvas.TextWidth(text); }

    void Put(std::string text, bool paragraphEnd)
    {
        const int width = std::clamp(Width(text), 0, 65535);
        if (paragraphEnd)
            text.push_back('\x01');
        text.push_back(static_cast<char>(width >> 8));
        text.push_back(static_cast<char>(width & 0xFF));
        Lines.push_back(text);
    }

    TCanvas& FCanvas;
    int FAvailable;
    bool FWordBreak;
};

// The wrapped lines of memo's WorkMemo, measured on the scratch canvas as WrapMemo sets it up.
// The memo's gaps must be computed (CalcGaps) first.
inline std::vector<std::string> Wrap(TrpMemoView& memo)
{
    TCanvas* canvas = ScratchBitmap->Canvas();
    canvas->Font()->Assign(memo.Font.get());
    canvas->Font()->SetHeight(-static_cast<int>(Round(memo.Font->Size() * 96.0 / 72)));
    canvas->TextWidth(std::string());
    SetTextCharacterExtra(canvas->Handle(), memo.CharacterSpacing);
    const bool turned = (memo.Adjust & 4) != 0;
    TLiteralWrapper wrapper(*canvas, turned ? memo.Height - 2 * memo.GapY : memo.Width - 2 * memo.GapX, (memo.Flags & 4) != 0);
    for (int n = 0; n < memo.WorkMemo->Count(); ++n) {
        if (memo.Flags & 2)
            wrapper.Wrap(memo.WorkMemo->Strings(n));
        else
            wrapper.PutWhole(memo.WorkMemo->Strings(n));
    }
    return wrapper.Lines;
}

} // namespace LiteralWrap
