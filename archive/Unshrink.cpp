#include "archive/Unshrink.h"

#include "archive/ZipFormat.h"

#include <memory>
#include <new>

namespace {

constexpr int MaxWidth = 13;
constexpr int StackSize = ShrinkNodeCount;

struct TUnshrinkTables {
    std::int16_t Parent[ShrinkNodeCount];
    std::uint8_t Character[ShrinkNodeCount];
    std::uint16_t ChildCount[ShrinkNodeCount];
    std::uint16_t FreeCodes[ShrinkNodeCount];
    std::uint8_t Stack[StackSize];
    std::uint16_t Cleared[ShrinkNodeCount];
    int NextFree = ShrinkFirstFreeCode;

    TUnshrinkTables()
    {
        for (int code = 0; code < ShrinkNodeCount; ++code) {
            Parent[code] = -1;
            Character[code] = static_cast<std::uint8_t>(code < 256 ? code : 0);
            ChildCount[code] = 0;
            FreeCodes[code] = static_cast<std::uint16_t>(code);
        }
    }

    void AddNode(int parent, std::uint8_t c)
    {
        if (NextFree > ShrinkMaxCode)
            return;
        int code = FreeCodes[NextFree++];
        Parent[code] = static_cast<std::int16_t>(parent);
        Character[code] = c;
        ++ChildCount[parent];
    }

    // Frees every code that is no other code's parent; the lowest freed code is reused first.
    void PartialClear()
    {
        int count = 0;
        for (int code = ShrinkFirstFreeCode; code <= ShrinkMaxCode; ++code)
            if (ChildCount[code] == 0)
                Cleared[count++] = static_cast<std::uint16_t>(code);
        NextFree = ShrinkNodeCount;
        while (count > 0) {
            int code = Cleared[--count];
            if (Parent[code] != -1)
                --ChildCount[Parent[code]];
            Parent[code] = -1;
            Character[code] = 0;
            ChildCount[code] = 0;
            FreeCodes[--NextFree] = static_cast<std::uint16_t>(code);
        }
    }
};

} // namespace

TDecodeResult Unshrink(TZipBitReader& input, TZipMemberOutput& output,
                       std::uint32_t uncompressedSize, const TZipReport& report)
{
    std::unique_ptr<TUnshrinkTables> tables(new (std::nothrow) TUnshrinkTables);
    if (!tables) {
        report(ZipMessages::UnshrinkNoMemory);
        return TDecodeResult::NoMemory;
    }
    TUnshrinkTables& t = *tables;
    int width = 9;

    int code = input.ReadBits(width);
    if (code == TZipBitReader::EndMark)
        return TDecodeResult::Complete;
    std::uint8_t lastCharacter = static_cast<std::uint8_t>(code);
    output.Put(lastCharacter);
    int previous = code;

    for (;;) {
        code = input.ReadBits(width);
        if (code == TZipBitReader::EndMark)
            return TDecodeResult::Complete;
        if (code == ShrinkEscapeCode) {
            int subCode = input.ReadBits(width);
            if (subCode == TZipBitReader::EndMark)
                return TDecodeResult::Complete;
            if (subCode == 1) {
                if (++width > MaxWidth)
                    return TDecodeResult::Damaged;
            } else if (subCode == 2) {
                t.PartialClear();
            } else {
                report(ZipMessages::UnshrinkBadSubCode);
            }
            continue;
        }
        if (code > ShrinkMaxCode) {
            report(ZipMessages::UnshrinkBadCode);
            return TDecodeResult::Damaged;
        }

        int incoming = code;
        int depth = 0;
        if (code >= ShrinkFirstFreeCode && t.Parent[code] == -1) {
            // Not yet defined: the previous string followed by its own first character.
            t.Stack[depth++] = lastCharacter;
            code = previous;
        }
        while (code >= ShrinkFirstFreeCode) {
            if (t.Parent[code] == -1)
                return TDecodeResult::Damaged; // a chain through an undefined code
            if (depth >= StackSize) {
                output.Flush();
                report(ZipMessages::StackOverflow(depth));
                return TDecodeResult::Damaged;
            }
            t.Stack[depth++] = t.Character[code];
            code = t.Parent[code];
        }
        lastCharacter = static_cast<std::uint8_t>(code);
        output.Put(lastCharacter);
        while (depth > 0)
            output.Put(t.Stack[--depth]);
        if (output.Written() > uncompressedSize)
            return TDecodeResult::Damaged;
        t.AddNode(previous, lastCharacter);
        previous = incoming;
    }
}
