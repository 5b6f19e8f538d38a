#include "HttpPeers.h"

#include <algorithm>

namespace HttpPeers {
namespace {

const char* const ScriptedServer = R"(
import json, socket, sys, time
steps = json.loads(sys.argv[1])
byte_wise = sys.argv[2] == "1"
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(8)
listener.settimeout(30)
port = listener.getsockname()[1]
print("READY", port, flush=True)

def read_request(c):
    data = b""
    while b"\r\n\r\n" not in data:
        part = c.recv(65536)
        if not part:
            return None
        data += part
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(rest) < length:
        part = c.recv(65536)
        if not part:
            break
        rest += part
    return head + b"\r\n\r\n" + rest

index = 0
connections = 0

def serve(c):
    global index
    while index < len(steps):
        request = read_request(c)
        if request is None:
            return
        print("REQUEST", connections, request.hex(), flush=True)
        step = steps[index]
        if not step["repeat"]:
            index += 1
        if step["hang"]:
            while c.recv(4096):
                pass
            return
        data = bytes.fromhex(step["send"]).replace(b"{port}", str(port).encode())
        if byte_wise:
            for i in range(len(data)):
                c.sendall(data[i:i + 1])
                time.sleep(0.0002)
        else:
            c.sendall(data)
        if step["close"]:
            return

while index < len(steps):
    try:
        c, _ = listener.accept()
    except OSError:
        break
    connections += 1
    print("CONNECTION", connections, flush=True)
    c.settimeout(30)
    c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    try:
        serve(c)
    except OSError:
        pass
    c.close()
print("END", flush=True)
)";

std::string FromHex(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return bytes;
}

} // namespace
} // namespace HttpPeers

std::unique_ptr<TPeerProcess> StartScriptedServer(const std::vector<TScriptStep>& steps, bool byteWise)
{
    std::string json = "[";
    for (const TScriptStep& step : steps) {
        if (json.size() > 1)
            json += ",";
        json += "{\"send\":\"" + Hex(step.Send) + "\",\"close\":" + (step.Close ? "true" : "false") +
                ",\"repeat\":" + (step.Repeat ? "true" : "false") + ",\"hang\":" + (step.Hang ? "true" : "false") + "}";
    }
    json += "]";
    return TPeerProcess::Python(HttpPeers::ScriptedServer, {json, byteWise ? "1" : "0"});
}

TServerLog ReadServerLog(TPeerProcess& server)
{
    TServerLog log;
    log.Port = server.Port();
    for (;;) {
        const std::string line = server.ReadLine(100);
        if (line.empty() || line == "END")
            break;
        if (line.rfind("CONNECTION ", 0) == 0)
            ++log.Connections;
        else if (line.rfind("REQUEST ", 0) == 0) {
            const std::size_t space = line.find(' ', 8);
            log.RequestConnections.push_back(std::stoi(line.substr(8, space - 8)));
            log.Requests.push_back(HttpPeers::FromHex(line.substr(space + 1)));
        }
    }
    return log;
}

std::unique_ptr<TPeerProcess> StartHttpServer(const std::string& folder)
{
    const int port = FreeLoopbackPort();
    // The module's log goes to its standard error: joined to the output that ReadLine reads.
    const std::string command = "exec /usr/bin/python3 -u -m http.server " + std::to_string(port) +
                                " --bind 127.0.0.1 --directory '" + folder + "' 2>&1";
    return TPeerProcess::Listening({"/bin/sh", "-c", command}, port);
}

std::string RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

THttpRecorder::THttpRecorder()
{
    Http.OnHeaderBegin = [this](TObject*) { Events.push_back("header-begin"); };
    Http.OnHeaderEnd = [this](TObject*) { Events.push_back("header-end"); };
    Http.OnDocBegin = [this](TObject*) {
        Events.push_back("doc-begin");
        Http.SetRcvdStream(&Body);
    };
    Http.OnDocEnd = [this](TObject*) { Events.push_back("doc-end"); };
    Http.OnSessionConnected = [this](TObject*) { Events.push_back("connected"); };
    Http.OnSessionClosed = [this](TObject*) { Events.push_back("closed"); };
    Http.OnLocationChange = [this](TObject*) { Events.push_back("location " + Http.Location()); };
    Http.OnRequestDone = [this](TObject*, THttpRequest, WORD error) {
        Events.push_back("done " + std::to_string(error));
    };
}

void THttpRecorder::Get(const std::string& url)
{
    Http.SetURL(url);
    try {
        Http.Get();
    } catch (const EHttpException& e) {
        Raised = true;
        Error = e.Message;
        ErrorCode = e.ErrorCode;
    }
}

int THttpRecorder::Count(const std::string& event) const
{
    return static_cast<int>(std::count(Events.begin(), Events.end(), event));
}

std::string THttpRecorder::BodyText() const
{
    return std::string(Body.Memory(), static_cast<std::size_t>(const_cast<TMemoryStream&>(Body).Size()));
}
