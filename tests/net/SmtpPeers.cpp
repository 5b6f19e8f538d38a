#include "SmtpPeers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

namespace SmtpPeers {
namespace {

const char* const ScriptedServer = R"(
import json, socket, sys, time
sessions = json.loads(sys.argv[1])
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(5)
listener.settimeout(20)
print("READY", listener.getsockname()[1], flush=True)
log = []

class Closed(Exception):
    pass

def send(connection, items):
    for item in items:
        if isinstance(item, str):
            connection.sendall(item.encode("latin-1") + b"\r\n")
        elif item.get("close"):
            raise Closed()
        else:
            connection.sendall(item.get("raw", "").encode("latin-1"))
            time.sleep(item.get("pause", 0))

def serve(connection, session):
    steps = list(session.get("steps", []))
    reader = connection.makefile("rb")
    send(connection, session.get("banner", []))
    message = None
    while True:
        try:
            line = reader.readline()
        except ConnectionResetError:
            log.append("RESET")
            return
        except socket.timeout:
            log.append("TIMEOUT")
            return
        if not line:
            log.append("EOF")
            return
        if message is not None and line != b".\r\n":
            message += line
            continue
        if message is not None:
            log.append("M " + message.hex())
            message = None
        command = line.decode("latin-1").rstrip("\r\n")
        log.append("C " + command)
        if steps and command.upper().startswith(steps[0][0].upper()):
            replies = steps.pop(0)[1]
        else:
            replies = ["500 unexpected"]
        send(connection, replies)
        if command.upper() == "DATA" and any(isinstance(r, str) and r.startswith("354") for r in replies):
            message = b""

try:
    for session in sessions:
        connection, _ = listener.accept()
        connection.settimeout(20)
        try:
            serve(connection, session)
        except Closed:
            log.append("CLOSED")
        except OSError:
            log.append("RESET")
        connection.close()
except socket.timeout:
    log.append("NO CLIENT")
for entry in log:
    print(entry, flush=True)
print("END", flush=True)
)";

const char* const AiosmtpdServer = R"(
import base64, email, email.header, email.utils, hashlib, hmac, os, socket, sys, threading, logging
logging.getLogger("mail.log").setLevel(logging.ERROR)
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword, MISSING

folder, offer = sys.argv[1], sys.argv[2] == "auth"
USER, PASSWORD = b"fatture@example.it", b"segreta"
CHALLENGE = b"<2718.1828@mail.example.test>"

def say(*words):
    print(*words, flush=True)

def describe(number, content):
    message = email.message_from_bytes(content)
    say("CT", message.get_content_type())
    if message.get_boundary() is not None:
        say("BOUNDARY", message.get_boundary())
    for name in ("Date", "Mime-Version", "X-Mailer", "From", "Sender"):
        if message[name] is not None:
            say("HEADER", name, message[name].replace("\r", "").replace("\n", ""))
    subject = str(email.header.make_header(email.header.decode_header(message["Subject"] or "")))
    say("SUBJECT", subject.encode("cp1252").hex())
    for name, address in email.utils.getaddresses(message.get_all("To") or []):
        decoded = str(email.header.make_header(email.header.decode_header(name)))
        say("TO", decoded.encode("cp1252").hex(), address)
    attachments = 0
    for part in message.walk():
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        if part.get_filename():
            attachments += 1
            say("ATTACHMENT", part.get_content_type(), part.get_filename())
            with open(os.path.join(folder, "attachment%d_%d.bin" % (number, attachments)), "wb") as out:
                out.write(payload)
        else:
            say("TEXT", part.get_content_type(), part.get_content_charset(), part["Content-Transfer-Encoding"])
            say("TEXTHEX", payload.hex())
    say("END")

class Handler:
    def __init__(self):
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        with open(os.path.join(folder, "message%d.eml" % self.count), "wb") as out:
            out.write(envelope.original_content)
        say("RCPT", " ".join(envelope.rcpt_tos))
        describe(self.count, envelope.original_content)
        return "250 Message accepted"

    async def auth_PLAIN(self, server, args):
        try:
            authzid, login, password = base64.b64decode(args[1]).split(b"\0")
        except Exception:
            return AuthResult(success=False, handled=False)
        ok = login == USER and password == PASSWORD
        say("AUTH PLAIN", "ok" if ok else "refused", "authzid=" + authzid.hex())
        return AuthResult(success=ok, handled=False)

    async def auth_CRAM__MD5(self, server, args):
        answer = await server.challenge_auth(CHALLENGE)
        if answer is MISSING:
            return AuthResult(success=False, handled=False)
        user, _, digest = answer.partition(b" ")
        ok = user == USER and digest == hmac.new(PASSWORD, CHALLENGE, hashlib.md5).hexdigest().encode()
        say("AUTH CRAM-MD5", "ok" if ok else "refused")
        return AuthResult(success=ok, handled=False)

def authenticator(server, session, envelope, mechanism, data):
    ok = isinstance(data, LoginPassword) and data.login == USER and data.password == PASSWORD
    say("AUTH", mechanism, "ok" if ok else "refused")
    return AuthResult(success=ok, handled=False)

probe = socket.socket()
probe.bind(("127.0.0.1", 0))
port = probe.getsockname()[1]
probe.close()
options = dict(auth_require_tls=False, authenticator=authenticator) if offer else {}
controller = Controller(Handler(), hostname="127.0.0.1", port=port, **options)
controller.start()
say("READY", port)
threading.Event().wait()
)";

} // namespace
} // namespace SmtpPeers

// --- The client ---------------------------------------------------------------------------------

std::string RequestName(TSmtpRequest request)
{
    static const char* const names[] = {"connect", "helo", "mailfrom", "vrfy", "rcptto", "data", "quit",
                                        "rset",    "open", "mail",     "ehlo", "auth",   "custom"};
    return names[request];
}

void TTestSmtpCli::RecordRequests()
{
    OnRequestDone = [this](TObject*, TSmtpRequest request, WORD code) {
        Done.push_back(RequestName(request) + " " + std::to_string(code));
    };
}

int TTestSmtpCli::Run(const std::function<void()>& start, int timeoutMs)
{
    if (!OnRequestDone)
        RecordRequests();
    const std::size_t before = Done.size();
    start();
    if (!PumpUntil([&] { return Done.size() > before; }, timeoutMs))
        return -1;
    const std::string& last = Done[before];
    return std::stoi(last.substr(last.find(' ') + 1));
}

// --- Files --------------------------------------------------------------------------------------

std::string WriteTestFile(const TTempFolder& folder, const std::string& name, const std::string& bytes)
{
    const std::filesystem::path path = std::filesystem::path(folder.Path()) / name;
    WriteWholeFile(path, bytes);
    return path.string();
}

// --- Servers ------------------------------------------------------------------------------------

TScriptedSmtpServer::TScriptedSmtpServer(const std::string& scriptJson)
    : FPeer(TPeerProcess::Python(SmtpPeers::ScriptedServer, {scriptJson}))
{
}

std::vector<std::string> TScriptedSmtpServer::Log()
{
    std::vector<std::string> log;
    for (;;) {
        std::string line = FPeer->ReadLine(25000);
        if (line == "END" || line.empty())
            break;
        log.push_back(line);
    }
    return log;
}

TAiosmtpdServer::TAiosmtpdServer(const std::filesystem::path& folder, bool offerAuthentication)
    : FPeer(TPeerProcess::Python(SmtpPeers::AiosmtpdServer, {folder.string(), offerAuthentication ? "auth" : "plain"}))
{
}

std::vector<std::string> TAiosmtpdServer::NextMessage()
{
    std::vector<std::string> lines;
    for (;;) {
        std::string line = FPeer->ReadLine();
        if (line.empty() || line == "END")
            break;
        lines.push_back(line);
    }
    return lines;
}

std::string HexToBytes(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string LineValue(const std::vector<std::string>& lines, const std::string& key)
{
    for (const std::string& line : lines)
        if (line.rfind(key + " ", 0) == 0)
            return line.substr(key.size() + 1);
    return "";
}
