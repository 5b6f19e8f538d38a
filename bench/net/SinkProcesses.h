#pragma once
// socat processes for the send benchmark: a sink that discards what one connection brings, and
// socat copying a file into such a sink, the reference the socket component is measured against.

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
// Runs `socat -u FILE:<file> TCP:127.0.0.1:<port>` to its end.
void CopyFileWithSocat(const std::string& file, int port);

} // namespace SinkProcesses
