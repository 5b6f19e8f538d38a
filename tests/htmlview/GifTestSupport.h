#pragma once
// Pieces of the picture tests: GIF files written by a small encoder of our own (literal codes
// only, so every byte is predictable), hexadecimal vectors, the fixture files and the shell
// helper through which the tests run ImageMagick as a peer. Inline, so that the fuzz target can
// use them without the test runner.

#include "platform/rtl/Streams.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// "47 49 46 ..." -> the bytes.
inline std::string HexBytes(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return bytes;
}

struct TTestGifFrame {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    // Colour indexes in the order they are sent (row by row, or pass by pass when interlaced).
    std::vector<std::uint8_t> Pixels;
    int Disposal = 0;
    int Delay = 0;
    int Transparent = -1; // no graphic control transparency when negative
    bool Interlaced = false;
    bool GraphicControl = true;
};

struct TTestGif {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Palette; // TColor values; padded to a power of two
    std::vector<TTestGifFrame> Frames;
    int Loops = -1; // a NETSCAPE looping block when 0 or more
};

namespace GifTestSupport {

inline void PutWord(std::string& out, int value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// Literal codes only, with a clear code before the table would make the codes wider.
inline std::string LiteralLzw(const std::vector<std::uint8_t>& pixels, int minCodeSize)
{
    const int clear = 1 << minCodeSize;
    const int width = minCodeSize + 1;
    const int perClear = clear - 2;
    std::vector<int> codes{clear};
    int sinceClear = 0;
    for (std::uint8_t pixel : pixels) {
        if (sinceClear == perClear) {
            codes.push_back(clear);
            sinceClear = 0;
        }
        codes.push_back(pixel);
        ++sinceClear;
    }
    codes.push_back(clear + 1);
    std::string data;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (int code : codes) {
        buffer |= static_cast<std::uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            data += static_cast<char>(buffer & 0xFF);
            buffer >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        data += static_cast<char>(buffer & 0xFF);
    std::string blocks;
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::string piece = data.substr(i, 255);
        blocks += static_cast<char>(piece.size());
        blocks += piece;
    }
    return blocks + '\0';
}

} // namespace GifTestSupport

inline std::string MakeGif(const TTestGif& gif)
{
    using namespace GifTestSupport;
    int tableBits = 1;
    while ((1u << tableBits) < gif.Palette.size())
        ++tableBits;
    std::string out = "GIF89a";
    PutWord(out, gif.Width);
    PutWord(out, gif.Height);
    out += static_cast<char>(0x80 | (tableBits - 1));
    out += '\0';
    out += '\0';
    for (std::size_t i = 0; i < (1u << tableBits); ++i) {
        const std::uint32_t color = i < gif.Palette.size() ? gif.Palette[i] : 0;
        out += static_cast<char>(color & 0xFF);
        out += static_cast<char>((color >> 8) & 0xFF);
        out += static_cast<char>((color >> 16) & 0xFF);
    }
    if (gif.Loops >= 0) {
        out += HexBytes("21 FF 0B") + "NETSCAPE2.0" + HexBytes("03 01");
        PutWord(out, gif.Loops);
        out += '\0';
    }
    for (const TTestGifFrame& frame : gif.Frames) {
        if (frame.GraphicControl) {
            out += HexBytes("21 F9 04");
            out += static_cast<char>((frame.Disposal << 2) | (frame.Transparent >= 0 ? 1 : 0));
            PutWord(out, frame.Delay);
            out += static_cast<char>(frame.Transparent >= 0 ? frame.Transparent : 0);
            out += '\0';
        }
        out += '\x2C';
        PutWord(out, frame.Left);
        PutWord(out, frame.Top);
        PutWord(out, frame.Width);
        PutWord(out, frame.Height);
        out += static_cast<char>(frame.Interlaced ? 0x40 : 0);
        const int minCodeSize = tableBits < 2 ? 2 : tableBits;
        out += static_cast<char>(minCodeSize);
        out += LiteralLzw(frame.Pixels, minCodeSize);
    }
    return out + '\x3B';
}

inline void StreamOf(TMemoryStream& stream, const std::string& bytes)
{
    stream.Clear();
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
}

inline std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

// Runs a shell command; its standard output goes into output. Returns the exit status.
inline int RunCommand(const std::string& command, std::string* output = nullptr)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::string text;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, got);
    const int status = pclose(pipe);
    if (output != nullptr)
        *output = std::move(text);
    return status;
}
