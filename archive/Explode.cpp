#include "archive/Explode.h"

#include "archive/ZipFormat.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int Undefined = -1;
constexpr int MaxEntries = 256;

// A binary tree of N nodes: indices below N/2 are symbols, the root is N-1, inner nodes are
// taken downward from N-2.
class TTree {
public:
    explicit TTree(int nodes) : FNodes(nodes), FBranch(static_cast<std::size_t>(nodes) * 2, Undefined)
    {
    }

    int Symbols() const { return FNodes / 2; }
    int Root() const { return FNodes - 1; }
    bool IsSymbol(int index) const { return index < Symbols(); }
    int Branch(int node, int bit) const { return FBranch[static_cast<std::size_t>(node) * 2 + bit]; }
    void SetBranch(int node, int bit, int value)
    {
        FBranch[static_cast<std::size_t>(node) * 2 + bit] = static_cast<std::int16_t>(value);
    }
    // The next free inner node, or Undefined when the counter reached the symbols.
    int TakeNode()
    {
        if (FFree < Symbols())
            return Undefined;
        return FFree--;
    }

private:
    int FNodes;
    int FFree = FNodes - 2;
    std::vector<std::int16_t> FBranch;
};

struct TCodeEntry {
    int BitLength = 0;
    int Symbol = 0;
    std::uint16_t Code = 0;
};

enum class TTreeResult { Ok, Damaged };

class TExploder {
public:
    TExploder(TZipBitReader& input, TZipMemberOutput& output, std::uint16_t flags,
              const TZipReport& report)
        : In(input), Out(output), Report(report), BigWindow((flags & 2) != 0),
          HasLiteralTree((flags & 4) != 0), WindowSize(BigWindow ? 8192 : 4096),
          MinMatch(HasLiteralTree ? 3 : 2), Window(static_cast<std::size_t>(WindowSize), 0),
          Literals(512), Lengths(128), Distances(128)
    {
    }

    TDecodeResult Run(std::uint32_t uncompressedSize)
    {
        if (HasLiteralTree && ReadTree(Literals) != TTreeResult::Ok)
            return TDecodeResult::Damaged;
        if (ReadTree(Lengths) != TTreeResult::Ok || ReadTree(Distances) != TTreeResult::Ok)
            return TDecodeResult::Damaged;
        while (Out.Written() < uncompressedSize) {
            int flag = In.ReadBits(1);
            if (flag == TZipBitReader::EndMark)
                return TDecodeResult::Damaged;
            bool ok = flag == 1 ? Literal() : Copy();
            if (!ok)
                return TDecodeResult::Damaged;
        }
        return TDecodeResult::Complete;
    }

private:
    bool Literal()
    {
        int value = HasLiteralTree ? Decode(Literals) : In.ReadBits(8);
        if (value < 0)
            return false;
        Output(static_cast<std::uint8_t>(value));
        return true;
    }

    bool Copy()
    {
        int lowBits = BigWindow ? 7 : 6;
        int low = In.ReadBits(lowBits);
        if (low < 0)
            return false;
        int high = Decode(Distances);
        if (high < 0)
            return false;
        int distance = (low + (high << lowBits)) & (WindowSize - 1);
        int length = Decode(Lengths);
        if (length < 0)
            return false;
        if (length == 63) {
            int extra = In.ReadBits(8);
            if (extra < 0)
                return false;
            length += extra;
        }
        length += MinMatch;
        int from = Position - (distance + 1);
        if (from < 0)
            from += WindowSize;
        for (int i = 0; i < length; ++i) {
            Output(Window[static_cast<std::size_t>(from)]);
            from = (from + 1) & (WindowSize - 1);
        }
        return true;
    }

    void Output(std::uint8_t byte)
    {
        Out.Put(byte);
        Window[static_cast<std::size_t>(Position)] = byte;
        Position = (Position + 1) & (WindowSize - 1);
    }

    // A symbol, or -1 when the data ended or the branch is undefined.
    int Decode(const TTree& tree)
    {
        int index = tree.Root();
        while (!tree.IsSymbol(index)) {
            int bit = In.ReadBits(1);
            if (bit == TZipBitReader::EndMark)
                return -1;
            int next = tree.Branch(index, bit);
            if (next == Undefined) {
                Report(ZipMessages::ImplodeBadCoding);
                return -1;
            }
            index = next;
        }
        return index;
    }

    TTreeResult ReadTree(TTree& tree)
    {
        int descriptions = In.ReadBits(8);
        if (descriptions == TZipBitReader::EndMark)
            return TTreeResult::Damaged;
        std::vector<TCodeEntry> entries;
        entries.reserve(MaxEntries);
        for (int i = 0; i <= descriptions; ++i) {
            int byte = In.ReadBits(8);
            if (byte == TZipBitReader::EndMark)
                return TTreeResult::Damaged;
            int bitLength = (byte & 0x0F) + 1;
            int repeat = (byte >> 4) + 1;
            for (int r = 0; r < repeat && entries.size() < MaxEntries; ++r)
                entries.push_back({bitLength, static_cast<int>(entries.size()), 0});
        }
        if (static_cast<int>(entries.size()) > tree.Symbols()) {
            // More symbols than the tree holds would land on its inner nodes.
            Report(ZipMessages::ImplodeBadTree);
            return TTreeResult::Damaged;
        }
        std::stable_sort(entries.begin(), entries.end(),
                         [](const TCodeEntry& a, const TCodeEntry& b) {
                             return a.BitLength < b.BitLength;
                         });
        AssignCodes(entries);
        for (const TCodeEntry& entry : entries)
            if (!Insert(tree, entry))
                return TTreeResult::Damaged;
        return TTreeResult::Ok;
    }

    static void AssignCodes(std::vector<TCodeEntry>& entries)
    {
        std::uint16_t code = 0;
        std::uint16_t increment = 0;
        int lastBitLength = 0;
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            code = static_cast<std::uint16_t>(code + increment);
            if (entry->BitLength != lastBitLength) {
                lastBitLength = entry->BitLength;
                increment = static_cast<std::uint16_t>(1u << (16 - lastBitLength));
            }
            entry->Code = static_cast<std::uint16_t>(code >> (16 - entry->BitLength));
        }
    }

    // False when the node counter ran into the symbols; other conflicts are reported and the
    // entry is left out.
    bool Insert(TTree& tree, const TCodeEntry& entry)
    {
        int node = tree.Root();
        for (int bit = entry.BitLength - 1; bit >= 1; --bit) {
            int branch = (entry.Code >> bit) & 1;
            int next = tree.Branch(node, branch);
            if (next == Undefined) {
                next = tree.TakeNode();
                if (next == Undefined) {
                    Report(ZipMessages::ImplodeBadTree);
                    return false;
                }
                tree.SetBranch(node, branch, next);
            } else if (tree.IsSymbol(next)) {
                Report(ZipMessages::ImplodeBadTree);
                return true;
            }
            node = next;
        }
        int branch = entry.Code & 1;
        if (tree.Branch(node, branch) != Undefined) {
            Report(ZipMessages::ImplodeBadTree);
            return true;
        }
        tree.SetBranch(node, branch, entry.Symbol);
        return true;
    }

    TZipBitReader& In;
    TZipMemberOutput& Out;
    const TZipReport& Report;
    bool BigWindow;
    bool HasLiteralTree;
    int WindowSize;
    int MinMatch;
    std::vector<std::uint8_t> Window;
    int Position = 0;
    TTree Literals;
    TTree Lengths;
    TTree Distances;
};

} // namespace

TDecodeResult Explode(TZipBitReader& input, TZipMemberOutput& output, std::uint16_t flags,
                      std::uint32_t uncompressedSize, const TZipReport& report)
{
    std::unique_ptr<TExploder> exploder;
    try {
        exploder = std::make_unique<TExploder>(input, output, flags, report);
    } catch (const std::bad_alloc&) {
        report(ZipMessages::ImplodeNoMemory);
        return TDecodeResult::NoMemory;
    }
    return exploder->Run(uncompressedSize);
}
