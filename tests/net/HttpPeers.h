#pragma once
// Peers of the HTTP client's tests: a scripted HTTP server that answers exact bytes and tells what
// it received, python3's http.server, and a THttpCli whose events are written down.

#include "NetPeers.h"

#include "net/HttpProt.h"

#include <memory>
#include <string>
#include <vector>

// One answer of the scripted server.
struct TScriptStep {
    // The bytes; "{port}" becomes the server's own port.
    std::string Send = {};
    // The connection is closed after the answer; otherwise the next request may come on it.
    bool Close = true;
    // Every later request gets the same answer.
    bool Repeat = false;
    // Nothing is answered: the server waits for the client to close.
    bool Hang = false;
};

// Answers each request (a head and its Content-Length body) with the next step, in one piece or
// one byte at a time, and prints "CONNECTION <n>" for each connection and "REQUEST <n> <hex>" for each
// request before answering it.
std::unique_ptr<TPeerProcess> StartScriptedServer(const std::vector<TScriptStep>& steps, bool byteWise = false);

struct TServerLog {
    int Port = 0;
    int Connections = 0;
    std::vector<std::string> Requests;
    // The connection (from 1) each request came on.
    std::vector<int> RequestConnections;
};
// What the server printed so far (it prints before it answers, so once the client is done
// everything is there).
TServerLog ReadServerLog(TPeerProcess& server);

// python3 -m http.server bound to 127.0.0.1 on a free port, serving folder; ReadLine gives its log.
std::unique_ptr<TPeerProcess> StartHttpServer(const std::string& folder);

// The first line of a request.
std::string RequestLine(const std::string& request);

// A THttpCli whose events are logged; the body goes to Body, assigned in OnDocBegin.
struct THttpRecorder {
    THttpRecorder();
    // Get of url; an EHttpException is kept in Raised, Error and ErrorCode.
    void Get(const std::string& url);
    int Count(const std::string& event) const;
    std::string BodyText() const;

    THttpCli Http{nullptr};
    TMemoryStream Body;
    std::vector<std::string> Events;
    bool Raised = false;
    std::string Error;
    int ErrorCode = 0;
};
