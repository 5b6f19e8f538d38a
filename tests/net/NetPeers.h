#pragma once
// Peers of the socket component's tests: programs listening or connecting on 127.0.0.1, started by
// a test and ended by their process id when it is over; and the GUI thread's message pump.
//
// The source of this fixture sees the system's socket headers and is never part of a unity batch.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TPeerProcess {
public:
    // python3 running script with arguments. When waitReady, the script binds port 0 and prints
    // "READY <port>" first; the port is then Port().
    static std::unique_ptr<TPeerProcess> Python(const std::string& script, const std::vector<std::string>& arguments = {},
                                                bool waitReady = true);
    // socat with its arguments, "{port}" in them replaced by a free port of 127.0.0.1; ready once
    // that port accepts a connection.
    static std::unique_ptr<TPeerProcess> Socat(const std::vector<std::string>& arguments);
    // Any program that listens on port of 127.0.0.1; ready once that port accepts a connection.
    static std::unique_ptr<TPeerProcess> Listening(const std::vector<std::string>& argv, int port);

    // Ends the peer and everything it started.
    ~TPeerProcess();
    TPeerProcess(const TPeerProcess&) = delete;
    TPeerProcess& operator=(const TPeerProcess&) = delete;

    int Port() const { return FPort; }
    std::string PortText() const { return std::to_string(FPort); }
    // The next line the peer prints, without its line break; "" after timeoutMs or at its end.
    std::string ReadLine(int timeoutMs = 15000);

private:
    TPeerProcess() = default;
    bool Spawn(const std::vector<std::string>& argv);

    int FPid = -1;
    int FOutput = -1;
    int FPort = 0;
    std::string FPending;
};

// The bytes in lower-case hexadecimal, as the scripted peers read and print them.
std::string Hex(const std::string& bytes);

// The bytes of a file ("" when it cannot be read), and a file written with bytes, its folders
// created first.
std::string ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

// A port of 127.0.0.1 that nobody listens on (it was free a moment ago).
int FreeLoopbackPort();

// Runs the GUI thread's messages until condition holds or timeoutMs passes; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 15000);
// Runs the GUI thread's messages for about ms milliseconds.
void Pump(int ms);
