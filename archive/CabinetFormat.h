#pragma once
// The layout of a cabinet file (version 1.3), shared by the writer and the reader of the engine.

#include <cstdint>

namespace CabinetFormat {

constexpr std::uint8_t versionMinor = 3;
constexpr std::uint8_t versionMajor = 1;
constexpr int headerSize = 36;       // the fixed part, before the optional names
constexpr int folderEntrySize = 8;   // first data block, block count, compression type
constexpr int fileEntrySize = 16;    // before the name and its zero
constexpr int dataHeaderSize = 8;    // checksum, compressed and uncompressed byte counts
constexpr int blockSize = 32768;     // uncompressed bytes in a full data block

constexpr std::uint16_t flagPrevCabinet = 0x0001;
constexpr std::uint16_t flagNextCabinet = 0x0002;
constexpr std::uint16_t flagReservePresent = 0x0004;

// Folder numbers of a file entry that spans cabinets.
constexpr std::uint16_t continuedFromPrev = 0xFFFD;
constexpr std::uint16_t continuedToNext = 0xFFFE;
constexpr std::uint16_t continuedPrevAndNext = 0xFFFF;

} // namespace CabinetFormat
