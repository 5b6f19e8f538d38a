#pragma once
// Peer processes of the socket, HTTP and mail benchmarks: a socat sink that discards what one
// connection brings, socat copying a file into such a sink, a python3 sender of lines, python3's
// http.server, a slow python3 HTTP server, an aiosmtpd server, and programs run to their end.

#include <string>
#include <vector>

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
// Starts `python3 -m http.server <port> --bind 127.0.0.1 --directory <folder>`; returns once the
// port listens.
int StartHttpServer(int port, const std::string& folder);
// Starts python3 answering one GET on port with a document of pieces pieces of pieceBytes bytes,
// one every intervalMs; returns once the port listens.
int StartSlowHttpServer(int port, int pieces, int pieceBytes, int intervalMs);
// Runs a program with its arguments to its end, its output sent to /dev/null; false when it could
// not start or failed.
bool Run(const std::vector<std::string>& argv);

// Starts an aiosmtpd server without authentication on port that accepts every mail and keeps the
// last one's bytes in messageFile; returns once the port listens.
int StartSmtpServer(int port, const std::string& messageFile);
// Runs a python3 script with arguments to its end and gives what it printed.
std::string RunPython(const std::string& script, const std::vector<std::string>& arguments);

} // namespace SinkProcesses
