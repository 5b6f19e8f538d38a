#include "archive/Shrink.h"

#include <algorithm>

namespace {
constexpr int NodeCount = TShrinkEncoder::MaxCode + 1;
constexpr int FirstFreeCode = 257;
constexpr int EscapeCode = 256;
constexpr int None = -1;
} // namespace

struct TShrinkEncoder::TDictionary {
    std::int16_t FirstChild[NodeCount];
    std::int16_t Sibling[NodeCount];
    std::uint8_t Character[NodeCount];
    // Entries FirstFreeCode..MaxCode hold the codes still to be assigned, in assignment order.
    std::uint16_t FreeCodes[NodeCount];
    int NextFree = FirstFreeCode;
    bool Full = false;
    bool Leaf[NodeCount];
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
    for (int code = 0; code < NodeCount; ++code) {
        d.FirstChild[code] = None;
        d.Sibling[code] = None;
        d.Character[code] = static_cast<std::uint8_t>(code < 256 ? code : 0);
        d.FreeCodes[code] = static_cast<std::uint16_t>(code);
    }
    d.NextFree = FirstFreeCode;
    d.Full = false;
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

void TShrinkEncoder::PutByte(std::uint8_t c)
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
        Emit(EscapeCode);
        Emit(2);
        PartialClear();
        AddNode(FCurrent, c, None);
        FCurrent = c;
        return;
    }
    int last = None;
    for (int child = d.FirstChild[FCurrent]; child != None; child = d.Sibling[child]) {
        if (d.Character[child] == c) {
            FCurrent = child;
            return;
        }
        last = child;
    }
    Emit(FCurrent);
    AddNode(FCurrent, c, last);
    FCurrent = c;
    if (FCodeWidth < 13 && d.NextFree <= MaxCode && d.FreeCodes[d.NextFree] > FLargestCode) {
        Emit(EscapeCode);
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

void TShrinkEncoder::Emit(int code)
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

// lastChild: the last node of parent's chain when the caller already knows it, else None.
void TShrinkEncoder::AddNode(int parent, std::uint8_t c, int lastChild)
{
    TDictionary& d = *FDict;
    if (d.NextFree > MaxCode)
        return;
    int code = d.FreeCodes[d.NextFree++];
    d.FirstChild[code] = None;
    d.Sibling[code] = None;
    d.Character[code] = c;
    if (d.FirstChild[parent] == None) {
        d.FirstChild[parent] = static_cast<std::int16_t>(code);
    } else {
        if (lastChild == None) {
            lastChild = d.FirstChild[parent];
            while (d.Sibling[lastChild] != None)
                lastChild = d.Sibling[lastChild];
        }
        d.Sibling[lastChild] = static_cast<std::int16_t>(code);
    }
    if (d.NextFree > MaxCode)
        d.Full = true;
}

// Frees exactly the codes that have no children when the clear begins (a node whose children
// are all freed stays), keeping the order of the remaining children. Done without recursion:
// the trees can be thousands of levels deep.
void TShrinkEncoder::PartialClear()
{
    TDictionary& d = *FDict;
    ++FStatistics.PartialClears;
    std::fill(std::begin(d.Leaf), std::end(d.Leaf), false);
    for (int code = FirstFreeCode; code < NodeCount; ++code)
        d.Leaf[code] = d.FirstChild[code] == None;

    for (int parent = 0; parent < NodeCount; ++parent) {
        if (parent == EscapeCode || d.Leaf[parent])
            continue;
        int kept = None;
        for (int child = d.FirstChild[parent]; child != None;) {
            int next = d.Sibling[child];
            if (d.Leaf[child]) {
                d.Sibling[child] = None;
            } else {
                if (kept == None)
                    d.FirstChild[parent] = static_cast<std::int16_t>(child);
                else
                    d.Sibling[kept] = static_cast<std::int16_t>(child);
                kept = child;
            }
            child = next;
        }
        if (kept == None)
            d.FirstChild[parent] = None;
        else
            d.Sibling[kept] = None;
    }

    int index = NodeCount;
    for (int code = MaxCode; code >= FirstFreeCode; --code)
        if (d.Leaf[code])
            d.FreeCodes[--index] = static_cast<std::uint16_t>(code);
    d.NextFree = index;
    if (index < NodeCount)
        d.Full = false;
}
