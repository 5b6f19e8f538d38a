#pragma once
// Peer processes of the socket benchmarks: a socat sink that discards what one connection brings,
// socat copying a file into such a sink, and a python3 sender of lines.

#include <string>

namespace SinkProcesses {

// A port of 127.0.0.1 that was free a moment ago.
int FreePort();
// Starts `socat -u TCP-LISTEN:<port>,bind=127.0.0.1 OPEN:/dev/null` and returns once the port
// listens; the process id, or -1.
int StartSink(int port);
// Waits for a process to end.
void WaitForExit(int pid);
// Ends a process that may still run.
void Stop(int pid);
// Starts python3 listening on port, which writes lines lines of lineLength bytes (CR LF included)
// to the one connection it accepts and closes it; returns once the port listens.
int StartLineSender(int port, int lines, int lineLength);
// Runs `socat -u FILE:<file> TCP:127.0.0.1:<port>` to its end.
void CopyFileWithSocat(const std::string& file, int port);

} // namespace SinkProcesses
