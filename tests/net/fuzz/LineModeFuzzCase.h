#pragma once
// One run of the line-mode fuzz target. Four bytes choose the line end, the line limit and what is
// done past it, the size of the handler's reads and how the data is split into receptions; the
// rest is the data. The handler switches line mode on a byte 1 and takes the next line end on a
// byte 2 in what it reads. Every byte reaches the handler once and in order, except those the
// line limit drops, and nothing is left held after the close.

#include "MemoryWSocket.h"
#include "platform/gui/Application.h"

#include <cstdint>
#include <string>

namespace LineModeFuzz {

// The fault found, "" when none.
inline std::string RunLineModeFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return "";
    static const char* const lineEnds[] = {"\r\n", "\n", "", "END", "\r\n\r\n"};
    static const int limits[] = {0, 5, 64, 65536};
    static const int readSizes[] = {1, 2, 3, 7, 64, 4096};
    std::size_t lineEnd = data[0] % 5;
    const int limit = limits[data[1] & 3];
    const bool clear = (data[1] & 4) != 0;
    const int readSize = readSizes[data[2] % 6];
    unsigned split = data[3];
    const std::string stream(reinterpret_cast<const char*>(data + 4), size - 4);

    std::string fault;
    std::size_t position = 0;
    TMemoryWSocket socket;
    socket.SetLineMode((data[0] & 8) != 0);
    socket.SetLineEnd(lineEnds[lineEnd]);
    socket.SetLineLimit(limit);
    socket.OnLineLimitExceeded = [&](TObject*, int count, bool& ClearData) {
        ClearData = clear;
        if (clear)
            position += static_cast<std::size_t>(count);
    };
    socket.OnDataAvailable = [&](TObject*, WORD) {
        std::string piece(static_cast<std::size_t>(readSize), '\0');
        const int count = socket.Receive(piece.data(), readSize);
        if (count <= 0)
            return;
        piece.resize(static_cast<std::size_t>(count));
        if (stream.compare(position, piece.size(), piece) != 0 && fault.empty())
            fault = "bytes out of order at " + std::to_string(position);
        position += piece.size();
        if (piece.find('\x01') != std::string::npos)
            socket.SetLineMode(!socket.LineMode());
        if (piece.find('\x02') != std::string::npos) {
            lineEnd = (lineEnd + 1) % 5;
            socket.SetLineEnd(lineEnds[lineEnd]);
        }
    };
    socket.Open();
    for (std::size_t at = 0; at < stream.size();) {
        split = split * 1103515245u + 12345u;
        const std::size_t count = 1 + (split >> 16) % 300;
        socket.Deliver(stream.substr(at, count));
        at += count;
    }
    // What a switch left held, then the last line at the close.
    Application->ProcessMessages();
    socket.Close();
    if (fault.empty() && position != stream.size())
        fault = std::to_string(position) + " of " + std::to_string(stream.size()) + " bytes delivered";
    return fault;
}

} // namespace LineModeFuzz
