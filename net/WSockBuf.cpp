#include "net/WSockBuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int Size) { SetBufSize(Size); }

TBuffer::~TBuffer() = default;

void TBuffer::SetBufSize(int Size)
{
    if (Size <= 0)
        Size = 1514;
    if (Size == FBufSize)
        return;
    if (FWrCount == FRdCount) {
        FBuf = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(Size));
        FBufSize = Size;
        return;
    }
    // Cutting unread data would lose it: the block keeps its size.
    if (Size < FWrCount)
        return;
    auto storage = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(Size));
    std::memcpy(storage.get(), FBuf.get(), static_cast<std::size_t>(FWrCount));
    FBuf = std::move(storage);
    FBufSize = Size;
}

int TBuffer::Write(const void* Data, int Len)
{
    const int count = std::min(FBufSize - FWrCount, Len);
    if (count <= 0 || !Data)
        return 0;
    std::memcpy(FBuf.get() + FWrCount, Data, static_cast<std::size_t>(count));
    FWrCount += count;
    return count;
}

int TBuffer::Read(void* Data, int Len)
{
    const int count = std::min(FWrCount - FRdCount, Len);
    if (count <= 0 || !Data)
        return 0;
    std::memcpy(Data, FBuf.get() + FRdCount, static_cast<std::size_t>(count));
    Consume(count);
    return count;
}

void* TBuffer::Peek(int& Len)
{
    Len = FWrCount - FRdCount;
    return Len > 0 ? FBuf.get() + FRdCount : nullptr;
}

int TBuffer::Remove(int Len)
{
    const int count = std::min(FWrCount - FRdCount, Len);
    if (count <= 0)
        return 0;
    Consume(count);
    return count;
}

void TBuffer::Consume(int count)
{
    FRdCount += count;
    if (FRdCount >= FWrCount) {
        FRdCount = 0;
        FWrCount = 0;
    }
}
