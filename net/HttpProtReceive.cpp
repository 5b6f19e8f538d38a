// The receiving half of THttpCli: socket data becomes response lines, the status line and the
// header fields are read, the body is counted, decoded from the chunked coding and written to
// RcvdStream, a "location" field becomes the next request's target, and the end of a response
// leads to ready, to a close or to a relocation.

#include "net/HttpProt.h"

#include "net/QuzUrl.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace HttpProtReceiveUnit {

// Chunk sizes are read up to 8 significant hexadecimal digits.
constexpr std::int64_t LargestChunkPrefix = 0x10000000;

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

// A path up to and including its last "/" or ":" before any "?"; empty when there is none.
std::string PathBase(const std::string& path)
{
    const std::string beforeQuery = path.substr(0, path.find('?'));
    const std::size_t last = beforeQuery.find_last_of("/:");
    return last == std::string::npos ? "" : beforeQuery.substr(0, last + 1);
}

bool IsRelocationStatus(int status) { return status == 204 || status == 301 || status == 302 || status == 304; }

} // namespace HttpProtReceiveUnit

// --- Socket data ---------------------------------------------------------------------------------

void THttpCli::SocketDataAvailable(TObject*, WORD Error)
{
    // Whatever fails while a response is handled (a full disk under RcvdStream, a status that is
    // no number, a handler's exception) ends the request with its text; nothing is lost silently.
    try {
        ReceiveResponse(Error);
    } catch (Exception& E) {
        if (RequestRunning())
            FailRequest(E.Message);
    } catch (std::exception& E) {
        if (RequestRunning())
            FailRequest(E.what());
    }
}

int THttpCli::ReceiveIntoBuffer()
{
    TWSocket* socket = CtrlSocket();
    if (FReceiveLen < ReceiveLimit) {
        const int received = socket->Receive(FReceiveBuffer + FReceiveLen, ReceiveLimit - FReceiveLen);
        if (received <= 0)
            return 0;
        FReceiveLen += received;
        FReceiveBuffer[FReceiveLen] = '\0';
        return received;
    }
    // A line longer than the buffer: what follows is dropped up to its line feed, which then ends
    // the held line.
    char scratch[25];
    const int received = socket->Receive(scratch, sizeof scratch);
    if (received <= 0 || FReceiveLen + 1 >= ReceiveBufferSize)
        return 0;
    const char* lineFeed = static_cast<const char*>(std::memchr(scratch, '\n', static_cast<std::size_t>(received)));
    if (!lineFeed)
        return 0;
    const int tail = static_cast<int>(scratch + received - lineFeed);
    std::memcpy(FReceiveBuffer + FReceiveLen + 1 - tail, lineFeed, static_cast<std::size_t>(tail));
    FReceiveLen += 1;
    FReceiveBuffer[FReceiveLen] = '\0';
    return 1;
}

void THttpCli::ConsumeBuffer(int count)
{
    count = std::clamp(count, 0, FReceiveLen);
    std::memmove(FReceiveBuffer, FReceiveBuffer + count, static_cast<std::size_t>(FReceiveLen - count));
    FReceiveLen -= count;
    FReceiveBuffer[FReceiveLen] = '\0';
}

bool THttpCli::TakeLine()
{
    const char* lineFeed =
        static_cast<const char*>(std::memchr(FReceiveBuffer, '\n', static_cast<std::size_t>(FReceiveLen)));
    if (!lineFeed)
        return false;
    int length = static_cast<int>(lineFeed - FReceiveBuffer);
    const int taken = length + 1;
    if (length > 0 && FReceiveBuffer[length - 1] == '\r')
        --length;
    FLastResponse.assign(FReceiveBuffer, static_cast<std::size_t>(length));
    ConsumeBuffer(taken);
    return true;
}

void THttpCli::DropStrayBytes()
{
    if (FReceiveLen == 0)
        return;
    FReceiveLen = 0;
    FReceiveBuffer[0] = '\0';
    FStrayBytes = true;
}

void THttpCli::ReceiveResponse(WORD Error)
{
    if (!FRequestMade) {
        // Nobody asked: the bytes are thrown away.
        char trash[1024];
        CtrlSocket()->Receive(trash, sizeof trash);
        return;
    }
    if (ReceiveIntoBuffer() == 0)
        return;
    if (FResponseComplete || FState == httpReady) {
        DropStrayBytes();
        return;
    }

    while (FState != httpWaitingBody && FReceiveLen > 0) {
        if (!TakeLine())
            break;
        if (FState == httpWaitingHeader) {
            if (FNext == nextHeaderLine)
                GetHeaderLineNext();
            else
                SetReady();
        } else if (OnDataPush) {
            OnDataPush(this, Error);
        }
        if (Stopped())
            return;
        if (FResponseComplete) {
            DropStrayBytes();
            return;
        }
    }

    if (FState == httpWaitingBody && FNext == nextBodyData && FReceiveLen > 0) {
        HandHeldBytesToBody();
        ContinueAfterBody();
    }
}

void THttpCli::HandHeldBytesToBody()
{
    int count = FReceiveLen;
    // A plain body ends at ContentLength; a chunked one ends with its last chunk.
    if (!Chunked() && FContentLength != -1 && FContentLength - FRcvdCount < count)
        count = static_cast<int>(std::max<std::int64_t>(0, FContentLength - FRcvdCount));
    FBodyData = FReceiveBuffer;
    FBodyDataLen = count;
    GetBodyLineNext();
    FBodyData = nullptr;
    FBodyDataLen = 0;
    ConsumeBuffer(count);
}

void THttpCli::ContinueAfterBody()
{
    if (FNext == nextBodyData || Stopped())
        return;
    DropStrayBytes();
    // A connection to close ends the request, or starts the relocation, when it is closed.
    if (FCloseReq)
        return;
    if (FLocationFlag)
        StartRelocation();
    else
        SetReady();
}

bool THttpCli::ResponseCutShort() const
{
    if (FResponseComplete)
        return false;
    if (FState == httpWaitingHeader)
        return true;
    if (FState != httpWaitingBody || FNext != nextBodyData)
        return false;
    if (Chunked()) {
        // After the size line of the last chunk only its line end is missing.
        const bool lastChunkSeen =
            FChunkLength == 0 && (FChunkState == httpChunkGetData || FChunkState == httpChunkSkipDataEnd);
        return !lastChunkSeen;
    }
    // A body without a length ends with the connection.
    return FContentLength != -1;
}

// --- The head ----------------------------------------------------------------------------------

void THttpCli::GetHeaderLineNext()
{
    if (FHeaderLineCount == 0)
        TriggerHeaderBegin();
    else if (FHeaderLineCount == -1)
        FHeaderLineCount = 0;
    ++FHeaderLineCount;
    if (Stopped())
        return;

    const std::string line = FLastResponse;
    if (FHeaderLineCount == 1 && UpperCase(line.substr(0, 6)) == "<HTML>") {
        // A document without a head: the line is its first data.
        if (FContentType.empty())
            FContentType = "text/html";
        StateChange(httpWaitingBody);
        FNext = nextBodyData;
        TriggerHeaderEnd();
        if (Stopped())
            return;
        FBodyData = line.data();
        FBodyDataLen = static_cast<int>(line.size());
        GetBodyLineNext();
        FBodyData = nullptr;
        FBodyDataLen = 0;
        ContinueAfterBody();
        return;
    }
    if (line.empty()) {
        EndOfHead();
        return;
    }

    FRcvdHeader->Add(line);
    if (FHeaderLineCount == 1 && (line.compare(0, 8, "HTTP/1.0") == 0 || line.compare(0, 8, "HTTP/1.1") == 0)) {
        ParseStatusLine(line);
    } else {
        if (FHeaderLineCount == 1 && OnDataPush2)
            OnDataPush2(this);
        ParseHeaderField(line);
    }
    if (OnHeaderData)
        OnHeaderData(this);
}

void THttpCli::ParseStatusLine(const std::string& Line)
{
    FResponseVer = Copy(Line, 6, 3);
    const std::string code = Copy(Line, 10, 3);
    FStatusCode = code.empty() ? 0 : StrToInt(code);
    FReasonPhrase = Copy(Line, 14);
    // A server answering in 1.0 closes the connection unless it says it keeps it.
    if (FResponseVer == "1.0")
        FCloseReq = true;
}

void THttpCli::ParseHeaderField(const std::string& Line)
{
    const std::size_t colon = Line.find(':');
    if (colon == std::string::npos)
        return;
    const std::string field = LowerCase(Line.substr(0, colon));
    std::size_t start = colon + 1;
    while (start < Line.size() && Line[start] == ' ')
        ++start;
    const std::string value = Line.substr(start);

    if (field == "location") {
        if (FRequestType == httpPUT)
            FLocation = value;
        else if (FFollowRelocation)
            NoteRelocation(value);
    } else if (field == "content-length") {
        std::int64_t length = -1;
        // A negative length is no length.
        FContentLength = TryStrToInt64(Trim(value), length) && length >= 0 ? length : -1;
    } else if (field == "transfer-encoding") {
        FTransferEncoding = value;
    } else if (field == "content-range") {
        const int dash = Pos("-", value);
        const int slash = Pos("/", value);
        FContentRangeBegin = dash > 7 ? Copy(value, 7, dash - 7) : "";
        FContentRangeEnd = dash > 0 && slash > dash ? Copy(value, dash + 1, slash - dash - 1) : "";
    } else if (field == "accept-ranges") {
        FAcceptRanges = value;
    } else if (field == "content-type") {
        FContentType = LowerCase(value);
    } else if (field == "www-authenticate" || field == "proxy-authenticate") {
        FAuthOffers->Add(value);
    } else if (field == "set-cookie") {
        bool accept = true;
        TriggerCookie(value, accept);
    } else if (field == "connection" || field == "proxy-connection") {
        const std::string option = LowerCase(Trim(value));
        if (option == "close")
            FCloseReq = true;
        else if (option == "keep-alive")
            FCloseReq = false;
    }
}

void THttpCli::EndOfHead()
{
    if (FResponseVer == "1.1" && FStatusCode == 100) {
        // "Continue": the real head follows.
        FRcvdHeader->Clear();
        FHeaderLineCount = -1;
        return;
    }
    TriggerHeaderEnd();
    if (Stopped())
        return;
    const bool bodyExpected =
        (FContentLength != -1 || (FStatusCode >= 200 && !HttpProtReceiveUnit::IsRelocationStatus(FStatusCode))) &&
        FContentLength != 0 && FRequestType != httpHEAD;
    if (bodyExpected) {
        const std::string extension = LowerCase(ExtractFileExt(FDocName));
        if ((extension == ".exe" || extension.empty()) && FContentType == "text/html")
            HttpProt::ReplaceExt(FDocName, "htm");
        StateChange(httpWaitingBody);
        FNext = nextBodyData;
        if (FReceiveLen > 0 && !Stopped()) {
            HandHeldBytesToBody();
            ContinueAfterBody();
        }
        return;
    }
    FResponseComplete = true;
    FNext = nextNone;
    DropStrayBytes();
    if (FCloseReq) {
        if (FLocationFlag) {
            StartRelocation();
            return;
        }
        if (FRequestType == httpHEAD)
            StateChange(httpWaitingBody);
        CtrlSocket()->CloseDelayed();
        return;
    }
    if (FLocationFlag)
        StartRelocation();
    else
        SetReady();
}

// --- Relocation targets --------------------------------------------------------------------------

void THttpCli::NoteRelocation(const std::string& Value)
{
    if (!FLocationFlag && ++FRelocationCount > MaxRelocations)
        RAISE(EHttpException("Too many relocations", 404));
    if (HttpProtReceiveUnit::StartsWithNoCase(Value, "https:"))
        RAISE(EHttpException("https not supported", 404));
    FLocationFlag = true;
    if (FProxy.empty())
        SetRelocationTarget(Value);
    else
        SetProxiedRelocationTarget(Value);
    // The part after "#" names a place inside the document: it is not sent.
    FPath = FPath.substr(0, FPath.find('#'));
}

void THttpCli::SetRelocationTarget(const std::string& Value)
{
    using namespace HttpProtReceiveUnit;
    // The port belongs to the location when it is not the default one.
    auto hostAndPort = [](const std::string& host, const std::string& port) {
        return port.empty() || port == "80" ? host : host + ":" + port;
    };
    if (!Value.empty() && Value[0] == '/') {
        FPath = Value;
        FLocation = "http://" + hostAndPort(FHostName, FPort) + FPath;
        return;
    }
    if (!StartsWithNoCase(Value, "http://")) {
        FPath = PathBase(FPath) + Value;
        FLocation = "http://" + hostAndPort(FHostName, FPort) + FPath;
        return;
    }
    std::string proto, user, pass, host, port, path;
    QuzUrl::ParseURL(Value, proto, user, pass, host, port, path);
    FPath = path;
    FHostName = host;
    FProtocol = proto;
    FPort = port.empty() ? "80" : port;
    if (!user.empty() && !pass.empty()) {
        FUsername = user;
        FPassword = pass;
    }
    if (!proto.empty() && !host.empty()) {
        FTargetHost = host;
        if (FPath.empty()) {
            FPath = "/";
            FLocation = proto + "://" + hostAndPort(host, port);
        } else {
            FLocation = proto + "://" + hostAndPort(host, port) + FPath;
        }
        return;
    }
    if (FPath.empty())
        FPath = "/" + host;
    FLocation = (proto.empty() ? std::string("http") : proto) + "://" + FTargetHost + FPath;
    FHostName = FTargetHost;
}

void THttpCli::SetProxiedRelocationTarget(const std::string& Value)
{
    using namespace HttpProtReceiveUnit;
    std::string proto, user, pass, host, port, path;
    if (!Value.empty() && Value[0] == '/') {
        QuzUrl::ParseURL(FPath, proto, user, pass, host, port, path);
        FPath = (proto.empty() ? std::string("http") : proto) + "://" + host + (port.empty() ? "" : ":" + port) + Value;
        FLocation = FPath;
    } else if (!StartsWithNoCase(Value, "http://")) {
        FPath = PathBase(FPath) + Value;
        FLocation = FPath;
        return;
    } else {
        QuzUrl::ParseURL(Value, proto, user, pass, host, port, path);
        // The relocation connects to the proxy's port again.
        FPort = port.empty() ? "80" : port;
        if (!proto.empty() && !host.empty()) {
            FTargetHost = host;
            FPath = proto + "://" + host + (port.empty() ? "" : ":" + port) + path;
            FLocation = FPath;
        } else {
            FLocation = proto + "://" + FTargetHost + FPath;
        }
    }
    if (!user.empty() && !pass.empty()) {
        FUsername = user;
        FPassword = pass;
    }
}

// --- The body ----------------------------------------------------------------------------------

bool THttpCli::Chunked() const { return SameText(Trim(FTransferEncoding), "chunked"); }

void THttpCli::GetBodyLineNext()
{
    if (FBodyLineCount == 0) {
        FChunkLength = 0;
        FChunkRcvd = 0;
        FChunkState = httpChunkGetSize;
        TriggerDocBegin();
    }
    ++FBodyLineCount;
    if (Stopped())
        return;
    if (Chunked()) {
        ReceiveChunked(FBodyData, FBodyDataLen);
        return;
    }
    if (FBodyDataLen > 0)
        DeliverBody(FBodyData, FBodyDataLen);
    if (!Stopped() && FRcvdCount == FContentLength)
        EndOfBody();
}

void THttpCli::DeliverBody(const char* Data, int Len)
{
    FRcvdCount += Len;
    if (FRcvdStream)
        FRcvdStream->WriteBuffer(Data, Len);
    TriggerDocData(Data, Len);
}

void THttpCli::ReceiveChunked(const char* Data, int Len)
{
    int i = 0;
    while (i < Len && FChunkState != httpChunkDone) {
        const char c = Data[i];
        switch (FChunkState) {
        case httpChunkGetSize:
            if (!QuzUrl::IsXDigit(c)) {
                FChunkState = httpChunkGetExt;
                break;
            }
            if (FChunkLength >= HttpProtReceiveUnit::LargestChunkPrefix)
                RAISE(EHttpException("Invalid chunk size", 404));
            FChunkLength = FChunkLength * 16 + QuzUrl::XDigit(c);
            ++i;
            break;
        case httpChunkGetExt:
            if (c == '\n')
                FChunkState = httpChunkGetData;
            ++i;
            break;
        case httpChunkGetData: {
            const int take = static_cast<int>(std::min<std::int64_t>(Len - i, FChunkLength - FChunkRcvd));
            if (take > 0) {
                FChunkRcvd += take;
                DeliverBody(Data + i, take);
                i += take;
            }
            if (FChunkRcvd == FChunkLength)
                FChunkState = httpChunkSkipDataEnd;
            break;
        }
        case httpChunkSkipDataEnd:
            if (c == '\n') {
                FChunkState = FChunkLength == 0 ? httpChunkDone : httpChunkGetSize;
                FChunkLength = 0;
                FChunkRcvd = 0;
            }
            ++i;
            break;
        default:
            break;
        }
        if (Stopped())
            return;
    }
    if (FChunkState == httpChunkDone)
        EndOfBody();
}

void THttpCli::EndOfBody()
{
    FBodyLineCount = 0;
    FNext = nextNone;
    FResponseComplete = true;
    StateChange(httpBodyReceived);
    TriggerDocEnd();
    if (FCloseReq && !Stopped())
        CtrlSocket()->CloseDelayed();
}
