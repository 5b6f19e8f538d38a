#pragma once
// The Shrink encoder (ZIP method 1): LZW with codes of 9 to 13 bits, the escape code 256
// followed by 1 (one bit wider) or 2 (partial clear of the codes that have no children).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// How often the encoder widened its codes and cleared its leaves; read by the tests.
struct TShrinkStatistics {
    std::uint64_t Widenings = 0;
    std::uint64_t PartialClears = 0;
};

class TShrinkEncoder {
public:
    static constexpr int MaxCode = 8191;
    static constexpr std::size_t OutputBufferSize = 10240;

    // The sink receives the compressed bytes each time the output buffer is full, and at Finish.
    using TSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

    // Allocates the dictionary; throws std::bad_alloc when it cannot.
    explicit TShrinkEncoder(TSink sink);
    ~TShrinkEncoder();
    TShrinkEncoder(const TShrinkEncoder&) = delete;
    TShrinkEncoder& operator=(const TShrinkEncoder&) = delete;

    // Starts a new member: empty dictionary, 9-bit codes, nothing pending.
    void Reset();
    void Put(const std::uint8_t* data, std::size_t size);
    // Emits the pending string and the last partial byte, then hands out the buffer.
    void Finish();

    const TShrinkStatistics& Statistics() const { return FStatistics; }
    void ResetStatistics() { FStatistics = {}; }

private:
    struct TDictionary;

    void PutByte(std::uint8_t c);
    void Emit(int code);
    void FlushOutput();
    void AddNode(int parent, std::uint8_t c);
    void PartialClear();

    TSink FSink;
    std::unique_ptr<TDictionary> FDict;
    std::unique_ptr<std::uint8_t[]> FOutput;
    std::size_t FOutputCount = 0;
    std::uint32_t FBitBuffer = 0;
    int FBitCount = 0;
    int FCodeWidth = 9;
    int FLargestCode = 511;
    int FCurrent = 0;
    bool FStarted = false;
    TShrinkStatistics FStatistics;
};
