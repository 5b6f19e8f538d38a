// The HTTP client against scripted python3 servers that answer exact bytes, each case once in one
// piece and once one byte at a time: chunked bodies, authentication, relocations, heads without
// a body, cut and malformed answers, unsafe document names, https.

#include "HttpPeers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace HttpResponseTest {
namespace {

const std::string Ok2 = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
const std::string Denied = "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=x\r\nContent-Length: 6\r\n\r\n"
                           "denied";
const std::string CutShort = "Connection closed before end of document";

struct TCase {
    std::string Name = {};
    std::vector<TScriptStep> Steps = {};
    // The request's URL: "{port}" is the server's port.
    std::string Url = "http://127.0.0.1:{port}/doc.txt";
    std::function<void(THttpCli&, int port)> Setup = {};
    int Status = 200;
    std::string Body = {};
    // The phrase of the EHttpException that Get raises, "" for none.
    std::string Failure = {};
    // Requests the server saw.
    int Requests = 1;
    std::function<void(const THttpRecorder&, const TServerLog&)> Check = {};
    bool ByteWise = true;
};

std::string WithPort(std::string text, int port)
{
    const std::size_t at = text.find("{port}");
    if (at != std::string::npos)
        text.replace(at, 6, std::to_string(port));
    return text;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<TCase> Cases()
{
    std::vector<TCase> cases;
    cases.push_back({.Name = "chunked with an extension",
                     .Steps = {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\n0\r\n\r\n"}},
                     .Body = "hello"});
    cases.push_back({.Name = "Chunked in capitals",
                     .Steps = {{"HTTP/1.1 200 OK\r\nTransfer-Encoding:  Chunked \r\n\r\n5;x=y\r\nhello\r\n0\r\n\r\n"}},
                     .Body = "hello"});
    cases.push_back({.Name = "chunks of several sizes",
                     .Steps = {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0A\r\n0123456789\r\n"
                       "0\r\nTrailer: x\r\n\r\n"}},
                     .Body = "abc0123456789"});
    cases.push_back({.Name = "basic authentication after a 401",
                     .Steps = {{Denied}, {Ok2}},
                     .Setup = [](THttpCli& http, int) {
                         http.SetUsername("user");
                         http.SetPassword("pass");
                     },
                     .Body = "ok",
                     .Requests = 2,
                     .Check = [](const THttpRecorder&, const TServerLog& log) {
                         EXPECT_FALSE(Contains(log.Requests[0], "Authorization"));
                         EXPECT_TRUE(Contains(log.Requests[1], "\r\nAuthorization: Basic dXNlcjpwYXNz\r\n"));
                     }});
    cases.push_back({.Name = "credentials refused twice",
                     .Steps = {{Denied}, {Denied}},
                     .Setup = [](THttpCli& http, int) {
                         http.SetUsername("user");
                         http.SetPassword("pass");
                     },
                     .Status = 401,
                     .Body = "denied",
                     .Requests = 2});
    cases.push_back({.Name = "401 without credentials", .Steps = {{Denied}}, .Status = 401, .Body = "denied"});
    cases.push_back({.Name = "407 through a proxy",
                     .Steps = {{"HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=p\r\n"
                       "Content-Length: 0\r\n\r\n"},
                      {Ok2}},
                     .Url = "http://target.example.test/doc.txt",
                     .Setup = [](THttpCli& http, int port) {
                         http.SetProxy("127.0.0.1:" + std::to_string(port));
                         http.SetProxyUsername("puser");
                         http.SetProxyPassword("ppass");
                     },
                     .Body = "ok",
                     .Requests = 2,
                     .Check = [](const THttpRecorder&, const TServerLog& log) {
                         EXPECT_EQ(RequestLine(log.Requests[0]), "GET http://target.example.test/doc.txt HTTP/1.0");
                         EXPECT_TRUE(Contains(log.Requests[0], "\r\nHost: target.example.test\r\n"));
                         EXPECT_TRUE(Contains(log.Requests[1], "\r\nProxy-Authorization: Basic " +
                                                                   HttpProt::EncodeStr(encBase64, "puser:ppass") +
                                                                   "\r\n"));
                     }});
    cases.push_back({.Name = "relocations in every form",
                     .Steps = {{"HTTP/1.0 302 Found\r\nLocation: /new/b.htm\r\nContent-Length: 5\r\n\r\nmoved"},
                      {"HTTP/1.0 302 Found\r\nLocation: c.htm\r\n\r\n"},
                      {"HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:{port}/d/e.htm#part\r\n\r\n"},
                      {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nfinal"}},
                     .Url = "http://127.0.0.1:{port}/dir/a.htm",
                     .Body = "final",
                     .Requests = 4,
                     .Check = [](const THttpRecorder& run, const TServerLog& log) {
                         const char* const lines[] = {"GET /dir/a.htm HTTP/1.0", "GET /new/b.htm HTTP/1.0",
                                                      "GET /new/c.htm HTTP/1.0", "GET /d/e.htm HTTP/1.0"};
                         for (int i = 0; i < 4; ++i)
                             EXPECT_EQ(RequestLine(log.Requests[static_cast<std::size_t>(i)]), lines[i]);
                         EXPECT_EQ(run.Http.DocName(), "e.htm");
                         EXPECT_EQ(run.Http.Location(), "http://127.0.0.1:" + std::to_string(log.Port) + "/d/e.htm");
                         EXPECT_EQ(log.Connections, 4);
                         EXPECT_EQ(run.Count("done 0"), 1);
                     }});
    cases.push_back({.Name = "relocation loop",
                     .Steps = {{"HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n", true, true}},
                     .Status = 404,
                     .Failure = "Too many relocations",
                     .Requests = 21,
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Count("done 10053"), 1);
                     }});
    cases.push_back({.Name = "relocation to https",
                     .Steps = {{"HTTP/1.0 302 Found\r\nLocation: https://127.0.0.1:{port}/x\r\n\r\n"}},
                     .Status = 404,
                     .Failure = "https not supported"});
    cases.push_back({.Name = "an https URL",
                     .Steps = {{Ok2}},
                     .Url = "https://127.0.0.1:{port}/doc.txt",
                     .Status = 404,
                     .Failure = "https not supported",
                     .Requests = 0,
                     .Check = [](const THttpRecorder& run, const TServerLog& log) {
                         EXPECT_EQ(log.Connections, 0);
                         EXPECT_EQ(run.Count("connected"), 0);
                         EXPECT_EQ(run.Count("done 10053"), 1);
                     },
                     .ByteWise = false});
    cases.push_back({.Name = "304 has no document",
                     .Steps = {{"HTTP/1.0 304 Not Modified\r\nDate: x\r\n\r\n"}},
                     .Status = 304,
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Count("doc-begin"), 0);
                     }});
    cases.push_back({.Name = "100 Continue before the head",
                     .Steps = {{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}},
                     .Body = "ok",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Count("header-begin"), 1);
                         EXPECT_EQ(run.Count("header-end"), 1);
                         EXPECT_EQ(run.Http.RcvdHeader()->Text(), "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n");
                     }});
    cases.push_back({.Name = "a document without a head",
                     .Steps = {{"<html><body>x</body></html>\r\nmore"}},
                     .Status = 0,
                     .Body = "<html><body>x</body></html>more",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.ContentType(), "text/html");
                     }});
    cases.push_back({.Name = "an exe answered with html",
                     .Steps = {{"HTTP/1.0 200 OK\r\nContent-Type: Text/HTML\r\nContent-Length: 2\r\n\r\nok"}},
                     .Url = "http://127.0.0.1:{port}/dl/setup.exe",
                     .Body = "ok",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.DocName(), "setup.htm");
                     }});
    cases.push_back({.Name = "an exe answered with html and a charset",
                     .Steps = {{"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=x\r\nContent-Length: 2\r\n\r\nok"}},
                     .Url = "http://127.0.0.1:{port}/dl/setup.exe",
                     .Body = "ok",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.DocName(), "setup.exe");
                     }});
    cases.push_back({.Name = "a body cut short",
                     .Steps = {{"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 'a')}},
                     .Status = 404,
                     .Body = std::string(500, 'a'),
                     .Failure = CutShort,
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.RcvdCount(), 500);
                         EXPECT_EQ(run.Count("doc-end"), 1);
                         EXPECT_EQ(run.Count("done 10053"), 1);
                     }});
    cases.push_back({.Name = "a head cut short",
                     .Steps = {{"HTTP/1.0 200 OK\r\nContent-Len"}},
                     .Status = 404,
                     .Failure = CutShort,
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Count("header-end"), 1);
                         EXPECT_EQ(run.Count("doc-begin"), 0);
                     }});
    cases.push_back({.Name = "no answer at all", .Steps = {{""}}, .Status = 404, .Failure = CutShort, .ByteWise = false});
    cases.push_back({.Name = "a chunked body cut short",
                     .Steps = {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n3\r\nab"}},
                     .Status = 404,
                     .Body = "helloab",
                     .Failure = CutShort});
    cases.push_back({.Name = "a head ending in line feeds only", .Steps = {{"HTTP/1.0 200 OK\nContent-Length: 3\n\nabc"}}, .Body = "abc"});
    cases.push_back({.Name = "a body without a length ends with the close",
                     .Steps = {{"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + std::string(1500, 'z')}},
                     .Body = std::string(1500, 'z'),
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Count("doc-end"), 1);
                         EXPECT_EQ(run.Count("done 0"), 1);
                     }});
    cases.push_back({.Name = "bytes beyond Content-Length", .Steps = {{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nokEXTRA"}},
                     .Body = "ok"});
    cases.push_back({.Name = "a negative Content-Length is none",
                     .Steps = {{"HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nabc"}},
                     .Body = "abc"});
    cases.push_back({.Name = "a chunk size of nine digits",
                     .Steps = {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n123456789\r\nxyz"}},
                     .Status = 404,
                     .Failure = "Invalid chunk size"});
    cases.push_back({.Name = "a status that is no number",
                     .Steps = {{"HTTP/1.1 2x0 OK\r\nContent-Length: 2\r\n\r\nok"}},
                     .Status = 404,
                     .Failure = "'2x0' is not a valid integer value"});
    cases.push_back({.Name = "a header line longer than the buffer",
                     .Steps = {{"HTTP/1.0 200 OK\r\nX-Long: " + std::string(20000, 'q') + "\r\nContent-Length: 2\r\n\r\nok"}},
                     .Body = "ok",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.RcvdHeader()->Count(), 3);
                         EXPECT_LT(run.Http.RcvdHeader()->Strings(1).size(), 8193u);
                     },
                     .ByteWise = false});
    cases.push_back({.Name = "a back-slashed document name",
                     .Steps = {{Ok2}},
                     .Url = "http://127.0.0.1:{port}/a\\..\\..\\evil",
                     .Body = "ok",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.DocName(), "a_.._.._evil");
                     },
                     .ByteWise = false});
    cases.push_back({.Name = "a document name of two dots",
                     .Steps = {{Ok2}},
                     .Url = "http://127.0.0.1:{port}/..",
                     .Body = "ok",
                     .Check = [](const THttpRecorder& run, const TServerLog&) {
                         EXPECT_EQ(run.Http.DocName(), "document.htm");
                     },
                     .ByteWise = false});
    cases.push_back({.Name = "no host to look up",
                     .Steps = {{Ok2}},
                     .Url = "http:///doc.txt",
                     .Status = 404,
                     .Failure = "DNS lookup: invalid host name.",
                     .Requests = 0,
                     .ByteWise = false});
    cases.push_back({.Name = "a port that is no number",
                     .Steps = {{Ok2}},
                     .Url = "http://127.0.0.1:nope/doc.txt",
                     .Status = 404,
                     .Failure = "can't connect: Invalid argument (Error #10022)",
                     .Requests = 0,
                     .ByteWise = false});
    return cases;
}

TEST(HttpResponses, EachAnswerInOnePieceAndByteByByte)
{
    for (const TCase& c : Cases()) {
        for (const bool byteWise : {false, true}) {
            if (byteWise && !c.ByteWise)
                continue;
            SCOPED_TRACE(c.Name + (byteWise ? " (byte by byte)" : ""));
            auto server = StartScriptedServer(c.Steps, byteWise);
            THttpRecorder run;
            if (c.Setup)
                c.Setup(run.Http, server->Port());
            run.Get(WithPort(c.Url, server->Port()));
            const TServerLog log = ReadServerLog(*server);
            EXPECT_EQ(run.Http.StatusCode(), c.Status);
            EXPECT_EQ(run.BodyText(), c.Body);
            EXPECT_EQ(run.Raised, !c.Failure.empty());
            if (!c.Failure.empty()) {
                EXPECT_EQ(run.Error, c.Failure);
                EXPECT_EQ(run.ErrorCode, 404);
            }
            EXPECT_EQ(static_cast<int>(log.Requests.size()), c.Requests);
            EXPECT_EQ(run.Http.State(), httpReady);
            if (c.Check && static_cast<int>(log.Requests.size()) == c.Requests)
                c.Check(run, log);
        }
    }
}

// A relocation to another server is followed there, and the first server's connection is closed.
TEST(HttpResponses, RelocationToAnotherServer)
{
    auto target = StartScriptedServer({{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nthere"}});
    auto first = StartScriptedServer(
        {{"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + target->PortText() + "/elsewhere/doc.txt\r\n"
          "Content-Length: 4\r\n\r\nhere",
          false}});
    THttpRecorder run;
    run.Http.SetRequestVer("1.1");
    run.Get("http://127.0.0.1:" + first->PortText() + "/doc.txt");
    EXPECT_FALSE(run.Raised) << run.Error;
    EXPECT_EQ(run.BodyText(), "there");
    EXPECT_EQ(run.Http.Location(), "http://127.0.0.1:" + target->PortText() + "/elsewhere/doc.txt");
    const TServerLog targetLog = ReadServerLog(*target);
    ASSERT_EQ(targetLog.Requests.size(), 1u);
    EXPECT_EQ(RequestLine(targetLog.Requests[0]), "GET /elsewhere/doc.txt HTTP/1.1");
    EXPECT_EQ(ReadServerLog(*first).Requests.size(), 1u);
    EXPECT_EQ(run.Count("location " + run.Http.Location()), 1);
}

} // namespace
} // namespace HttpResponseTest
