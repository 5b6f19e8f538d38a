#pragma once
// Runs the decoders over bytes in memory, and writes bit streams LSB first as the ZIP formats
// pack them.

#include "archive/ZipBitReader.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

class TMemorySource : public TZipByteSource {
public:
    explicit TMemorySource(TBytes bytes) : FBytes(std::move(bytes)) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override
    {
        std::size_t take = FPosition >= FBytes.size() ? 0 : std::min(size, FBytes.size() - FPosition);
        if (take > 0)
            std::memcpy(buffer, FBytes.data() + FPosition, take);
        FPosition += take;
        return take;
    }
    bool Skip(std::uint64_t size) override
    {
        FPosition += size;
        return FPosition <= FBytes.size();
    }

private:
    TBytes FBytes;
    std::size_t FPosition = 0;
};

class TBitWriter {
public:
    void Put(unsigned value, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            if (FBit == 0)
                FBytes.push_back(0);
            if ((value >> i) & 1)
                FBytes.back() |= static_cast<std::uint8_t>(1 << FBit);
            FBit = (FBit + 1) % 8;
        }
    }
    const TBytes& Bytes() const { return FBytes; }

private:
    TBytes FBytes;
    int FBit = 0;
};

struct TDecodeRun {
    TDecodeResult Result = TDecodeResult::Complete;
    TBytes Output;
    std::uint32_t Crc = 0;
    std::vector<std::string> Messages;
};

template <typename Decoder>
TDecodeRun RunDecoder(const TBytes& compressed, Decoder decode)
{
    TDecodeRun run;
    TMemorySource source(compressed);
    TZipInput input(source);
    TZipProgressSink noProgress;
    TZipBitReader reader(input, noProgress);
    reader.Start(static_cast<std::uint32_t>(compressed.size()));
    TZipMemberOutput output([&](const std::uint8_t* data, std::size_t size) {
        run.Output.insert(run.Output.end(), data, data + size);
    });
    TZipReport report = [&](const std::string& message) { run.Messages.push_back(message); };
    run.Result = decode(reader, output, report);
    output.Flush();
    run.Crc = output.Crc();
    return run;
}

inline TBytes FromHex(const std::string& hex)
{
    TBytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}
