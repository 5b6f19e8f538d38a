#include "archive/Unreduce.h"

#include "archive/ZipFormat.h"

#include <memory>
#include <new>

namespace {

constexpr int WindowSize = 4096;
constexpr int MaxFollowers = 32;
constexpr std::uint8_t Escape = 0x90;

struct TReduceTables {
    std::uint8_t Count[256] = {};
    std::uint8_t Followers[256][MaxFollowers] = {};
    std::uint8_t Window[WindowSize] = {};
    int Position = 0;
};

// Bits of a follower index for a set of n followers.
int IndexBits(int n)
{
    if (n <= 2)
        return 1;
    if (n <= 4)
        return 2;
    if (n <= 8)
        return 3;
    if (n <= 16)
        return 4;
    return 5;
}

class TExpander {
public:
    TExpander(TReduceTables& tables, TZipMemberOutput& output, int factor)
        : T(tables), Out(output), Factor(factor), LengthMask(0xFF >> factor)
    {
    }

    void Feed(std::uint8_t byte)
    {
        switch (State) {
        case 0:
            if (byte == Escape)
                State = 1;
            else
                Output(byte);
            break;
        case 1:
            if (byte == 0) {
                Output(Escape);
                State = 0;
            } else {
                Saved = byte;
                Length = byte & LengthMask;
                State = Length == LengthMask ? 2 : 3;
            }
            break;
        case 2:
            Length += byte;
            State = 3;
            break;
        default:
            Copy(((Saved >> (8 - Factor)) << 8) + byte + 1, Length + 3);
            State = 0;
            break;
        }
    }

private:
    void Output(std::uint8_t byte)
    {
        Out.Put(byte);
        T.Window[T.Position] = byte;
        T.Position = (T.Position + 1) % WindowSize;
    }

    void Copy(int distance, int length)
    {
        int from = T.Position - distance;
        if (from < 0)
            from += WindowSize;
        for (int i = 0; i < length; ++i) {
            Output(T.Window[from]);
            from = (from + 1) % WindowSize;
        }
    }

    TReduceTables& T;
    TZipMemberOutput& Out;
    int Factor;
    int LengthMask;
    int State = 0;
    int Saved = 0;
    int Length = 0;
};

} // namespace

TDecodeResult Unreduce(TZipBitReader& input, TZipMemberOutput& output, int method,
                       std::uint32_t uncompressedSize, const TZipReport& report)
{
    std::unique_ptr<TReduceTables> tables(new (std::nothrow) TReduceTables);
    if (!tables) {
        report(ZipMessages::ReduceNoMemory);
        return TDecodeResult::NoMemory;
    }
    TReduceTables& t = *tables;

    for (int value = 255; value >= 0; --value) {
        int count = input.ReadBits(6);
        if (count == TZipBitReader::EndMark || count > MaxFollowers)
            return TDecodeResult::Damaged;
        t.Count[value] = static_cast<std::uint8_t>(count);
        for (int i = 0; i < count; ++i) {
            int follower = input.ReadBits(8);
            if (follower == TZipBitReader::EndMark)
                return TDecodeResult::Damaged;
            t.Followers[value][i] = static_cast<std::uint8_t>(follower);
        }
    }

    TExpander expander(t, output, method - 1);
    int last = 0;
    while (output.Written() < uncompressedSize) {
        int byte;
        int count = t.Count[last];
        if (count == 0 || input.ReadBits(1) == 1) {
            byte = input.ReadBits(8);
        } else {
            // The flag bit was 0 or the data ended; an ended stream gives EndMark below.
            int index = input.ReadBits(IndexBits(count));
            if (index != TZipBitReader::EndMark && index >= count)
                return TDecodeResult::Damaged;
            byte = index == TZipBitReader::EndMark ? index : t.Followers[last][index];
        }
        if (byte == TZipBitReader::EndMark)
            return TDecodeResult::Damaged;
        expander.Feed(static_cast<std::uint8_t>(byte));
        last = byte;
    }
    return TDecodeResult::Complete;
}
