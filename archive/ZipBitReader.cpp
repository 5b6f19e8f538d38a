#include "archive/ZipBitReader.h"

#include "archive/ZipFormat.h"

#include <cmath>
#include <cstring>

TZipInput::TZipInput(TZipByteSource& source)
    : FSource(source), FBuffer(std::make_unique<std::uint8_t[]>(BufferSize))
{
}

bool TZipInput::Fill()
{
    if (FEnd)
        return false;
    FCount = FSource.Read(FBuffer.get(), BufferSize);
    FPosition = 0;
    if (FCount == 0)
        FEnd = true;
    return !FEnd;
}

std::size_t TZipInput::Read(std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        if (FPosition == FCount && !Fill())
            break;
        std::size_t take = std::min(size - done, FCount - FPosition);
        std::memcpy(data + done, FBuffer.get() + FPosition, take);
        FPosition += take;
        done += take;
    }
    return done;
}

bool TZipInput::Skip(std::uint64_t size)
{
    if (FEnd)
        return size == 0;
    std::size_t buffered = FCount - FPosition;
    if (size <= buffered) {
        FPosition += static_cast<std::size_t>(size);
        return true;
    }
    bool inside = FSource.Skip(size - buffered);
    FPosition = FCount;
    Fill();
    return inside;
}

TZipBitReader::TZipBitReader(TZipInput& input, const TZipProgressSink& progress)
    : FInput(input), FProgress(progress)
{
}

void TZipBitReader::Start(std::uint32_t compressedSize)
{
    FCompressedSize = compressedSize;
    FRemaining = compressedSize;
    FTruncated = false;
    FStarted = false;
    FCurrent = 0;
    FBitsLeft = 0;
}

void TZipBitReader::ReportProgress()
{
    // Halves round to even, as the run time's Round does.
    double left = std::nearbyint(static_cast<double>(FRemaining) * 100.0 / FCompressedSize);
    FProgress(static_cast<std::int16_t>(100 - static_cast<int>(left)));
}

void TZipBitReader::SkipRest()
{
    if (FRemaining == 0)
        return;
    if (!FInput.Skip(FRemaining))
        FTruncated = true;
    FRemaining = 0;
}

TZipMemberOutput::TZipMemberOutput(TSink sink)
    : FSink(std::move(sink)), CrcTable(TZipCrc32::Table()),
      FBuffer(std::make_unique<std::uint8_t[]>(BufferSize))
{
}

void TZipMemberOutput::Flush()
{
    if (FCount > 0)
        FSink(FBuffer.get(), FCount);
    FCount = 0;
}
