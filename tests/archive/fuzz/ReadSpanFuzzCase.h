#pragma once
// One run of the spanned-set join fuzz target: the first eight bytes give two cut offsets (two
// little-endian 32-bit numbers, taken modulo the rest's size), the rest is cut there into three
// part files, and the last part is joined into a private folder (unattended, so no box is shown).
// A join that fails leaves that folder empty; one that succeeds holds no more than the parts.

#include "fuzz/UnZipFuzzCase.h"

#include "archive/ZipArchiver.h"

#include <algorithm>

constexpr std::size_t ReadSpanFuzzHeader = 8;

// The input of a run: the cut offsets, then the parts one after the other.
inline std::string ReadSpanFuzzInput(const std::vector<std::string>& parts)
{
    std::string input(ReadSpanFuzzHeader, '\0');
    const std::uint32_t first = static_cast<std::uint32_t>(parts.at(0).size());
    const std::uint32_t second = first + static_cast<std::uint32_t>(parts.at(1).size());
    for (int i = 0; i < 4; ++i) {
        input[static_cast<std::size_t>(i)] = static_cast<char>(first >> (8 * i));
        input[static_cast<std::size_t>(4 + i)] = static_cast<char>(second >> (8 * i));
    }
    for (const std::string& part : parts)
        input += part;
    return input;
}

inline void RunReadSpanFuzzCase(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    if (size < ReadSpanFuzzHeader)
        return;
    const std::uint8_t* rest = data + ReadSpanFuzzHeader;
    const std::size_t length = size - ReadSpanFuzzHeader;
    std::size_t cuts[2] = {GetLE32(data) % (length + 1), GetLE32(data + 4) % (length + 1)};
    std::sort(cuts, cuts + 2);
    const fs::path set = FuzzRoot() / "set";
    const fs::path out = FuzzRoot() / "joined";
    std::error_code ignored;
    fs::remove_all(set, ignored);
    fs::remove_all(out, ignored);
    fs::create_directories(set);
    fs::create_directories(out);
    const std::size_t bounds[4] = {0, cuts[0], cuts[1], length};
    for (int n = 0; n < 3; ++n) {
        std::ofstream part(set / ("fz00" + std::to_string(n + 1) + ".zip"), std::ios::binary | std::ios::trunc);
        part.write(reinterpret_cast<const char*>(rest + bounds[n]), static_cast<std::streamsize>(bounds[n + 1] - bounds[n]));
    }
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    zip.TempDir = out.string();
    std::string joined = out.string() + "/";
    const int result = zip.ReadSpan((set / "fz003.zip").string(), joined);
    std::size_t written = 0;
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        ++files;
        written += static_cast<std::size_t>(entry.file_size());
    }
    if ((result == 0) != (files == 1) || (result != 0 && !joined.empty()) || written > length) {
        std::fprintf(stderr, "join %d left %zu files of %zu bytes from %zu bytes of parts\n", result, files, written, length);
        std::abort();
    }
    // The other fuzz cases share the root and want it empty.
    fs::remove_all(set, ignored);
    fs::remove_all(out, ignored);
}
