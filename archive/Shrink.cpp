#include "archive/Shrink.h"

#include "archive/ZipFormat.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int None = -1;

// The children are found through a hash of (parent, character): a parent never has two
// children with the same character, so the lookup gives the same code a walk of the parent's
// chain of children would, without the walk.
constexpr int HashBits = 14;
constexpr std::uint32_t HashSize = 1u << HashBits;
constexpr std::uint32_t EmptyKey = 0xFFFFFFFF;

std::uint32_t KeyOf(int parent, std::uint8_t c)
{
    return (static_cast<std::uint32_t>(parent) << 8) | c;
}

std::uint32_t SlotOf(std::uint32_t key)
{
    return (key * 2654435761u) >> (32 - HashBits);
}
} // namespace

struct TShrinkEncoder::TDictionary {
    std::int16_t Parent[ShrinkNodeCount];
    std::uint8_t Character[ShrinkNodeCount];
    std::uint16_t ChildCount[ShrinkNodeCount];
    // Entries ShrinkFirstFreeCode..MaxCode hold the codes still to be assigned, in assignment order.
    std::uint16_t FreeCodes[ShrinkNodeCount];
    int NextFree = ShrinkFirstFreeCode;
    bool Full = false;
    bool Leaf[ShrinkNodeCount];
    std::uint32_t Keys[HashSize];
    std::uint16_t Codes[HashSize];

    void ClearHash() { std::fill(std::begin(Keys), std::end(Keys), EmptyKey); }

    int FindChild(int parent, std::uint8_t c) const
    {
        std::uint32_t key = KeyOf(parent, c);
        for (std::uint32_t slot = SlotOf(key);; slot = (slot + 1) & (HashSize - 1)) {
            if (Keys[slot] == key)
                return Codes[slot];
            if (Keys[slot] == EmptyKey)
                return None;
        }
    }

    void InsertChild(int parent, std::uint8_t c, int code)
    {
        std::uint32_t key = KeyOf(parent, c);
        std::uint32_t slot = SlotOf(key);
        while (Keys[slot] != EmptyKey)
            slot = (slot + 1) & (HashSize - 1);
        Keys[slot] = key;
        Codes[slot] = static_cast<std::uint16_t>(code);
    }
};

TShrinkEncoder::TShrinkEncoder(TSink sink)
    : FSink(std::move(sink)), FDict(std::make_unique<TDictionary>()),
      FOutput(std::make_unique<std::uint8_t[]>(OutputBufferSize))
{
    Reset();
}

TShrinkEncoder::~TShrinkEncoder() = default;

void TShrinkEncoder::Reset()
{
    TDictionary& d = *FDict;
    for (int code = 0; code < ShrinkNodeCount; ++code) {
        d.Parent[code] = None;
        d.Character[code] = static_cast<std::uint8_t>(code < 256 ? code : 0);
        d.ChildCount[code] = 0;
        d.FreeCodes[code] = static_cast<std::uint16_t>(code);
    }
    d.NextFree = ShrinkFirstFreeCode;
    d.Full = false;
    d.ClearHash();
    FOutputCount = 0;
    FBitBuffer = 0;
    FBitCount = 0;
    FCodeWidth = 9;
    FLargestCode = 511;
    FCurrent = 0;
    FStarted = false;
}

void TShrinkEncoder::Put(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        PutByte(data[i]);
}

inline void TShrinkEncoder::PutByte(std::uint8_t c)
{
    TDictionary& d = *FDict;
    if (!FStarted) {
        FStarted = true;
        FCurrent = c;
        return;
    }
    if (d.Full) {
        // A full table ends the string whatever it holds, so the code before the clear is
        // always a single character, which the clear never frees.
        Emit(FCurrent);
        Emit(ShrinkEscapeCode);
        Emit(2);
        PartialClear();
        AddNode(FCurrent, c);
        FCurrent = c;
        return;
    }
    int child = d.FindChild(FCurrent, c);
    if (child != None) {
        FCurrent = child;
        return;
    }
    Emit(FCurrent);
    AddNode(FCurrent, c);
    FCurrent = c;
    if (FCodeWidth < 13 && d.NextFree <= MaxCode && d.FreeCodes[d.NextFree] > FLargestCode) {
        Emit(ShrinkEscapeCode);
        Emit(1);
        ++FCodeWidth;
        FLargestCode = (1 << FCodeWidth) - 1;
        ++FStatistics.Widenings;
    }
}

void TShrinkEncoder::Finish()
{
    if (FStarted)
        Emit(FCurrent);
    if (FBitCount > 0) {
        if (FOutputCount == OutputBufferSize)
            FlushOutput();
        FOutput[FOutputCount++] = static_cast<std::uint8_t>(FBitBuffer);
        FBitBuffer = 0;
        FBitCount = 0;
    }
    FlushOutput();
}

inline void TShrinkEncoder::Emit(int code)
{
    FBitBuffer |= static_cast<std::uint32_t>(code) << FBitCount;
    FBitCount += FCodeWidth;
    while (FBitCount >= 8) {
        if (FOutputCount == OutputBufferSize)
            FlushOutput();
        FOutput[FOutputCount++] = static_cast<std::uint8_t>(FBitBuffer);
        FBitBuffer >>= 8;
        FBitCount -= 8;
    }
}

void TShrinkEncoder::FlushOutput()
{
    if (FOutputCount > 0)
        FSink(FOutput.get(), FOutputCount);
    FOutputCount = 0;
}

void TShrinkEncoder::AddNode(int parent, std::uint8_t c)
{
    TDictionary& d = *FDict;
    if (d.NextFree > MaxCode)
        return;
    int code = d.FreeCodes[d.NextFree++];
    d.Parent[code] = static_cast<std::int16_t>(parent);
    d.Character[code] = c;
    d.ChildCount[code] = 0;
    ++d.ChildCount[parent];
    d.InsertChild(parent, c, code);
    if (d.NextFree > MaxCode)
        d.Full = true;
}

// Frees exactly the codes that have no children when the clear begins; a node whose children
// are all freed stays. No recursion: the trees can be thousands of levels deep.
void TShrinkEncoder::PartialClear()
{
    TDictionary& d = *FDict;
    ++FStatistics.PartialClears;
    for (int code = ShrinkFirstFreeCode; code < ShrinkNodeCount; ++code)
        d.Leaf[code] = d.ChildCount[code] == 0;

    int index = ShrinkNodeCount;
    for (int code = MaxCode; code >= ShrinkFirstFreeCode; --code) {
        if (!d.Leaf[code])
            continue;
        if (d.Parent[code] != None)
            --d.ChildCount[d.Parent[code]];
        d.Parent[code] = None;
        d.FreeCodes[--index] = static_cast<std::uint16_t>(code);
    }
    d.NextFree = index;
    if (index < ShrinkNodeCount)
        d.Full = false;

    d.ClearHash();
    for (int code = ShrinkFirstFreeCode; code < ShrinkNodeCount; ++code)
        if (!d.Leaf[code])
            d.InsertChild(d.Parent[code], d.Character[code], code);
}
