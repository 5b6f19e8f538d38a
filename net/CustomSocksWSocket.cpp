#include "net/WSocket.h"

#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace CustomSocksWSocketUnit {

constexpr unsigned char SocksVersion5 = 5;
constexpr unsigned char SocksConnectCommand = 1;
constexpr unsigned char MethodNone = 0;
constexpr unsigned char MethodUsercode = 2;
constexpr unsigned char Level4Granted = 90;
// The longest host name, user code or password the requests can carry: their lengths are bytes.
constexpr std::size_t LongestField = 255;

struct TReplyError {
    int Code;
    const char* Text;
};

// The errors of a level-5 connect reply, by its reply code.
constexpr TReplyError Level5Errors[] = {
    {20004, "general SOCKS server failure"}, {20005, "connection not allowed by ruleset"},
    {20006, "network unreachable"},          {20007, "host unreachable"},
    {20008, "connection refused"},           {20009, "time to live expired"},
    {20010, "command not supported"},        {20011, "address type not supported"},
};

void AppendPort(std::string& request, int port)
{
    request += static_cast<char>((port >> 8) & 0xFF);
    request += static_cast<char>(port & 0xFF);
}

std::string DottedBytes(const unsigned char* bytes)
{
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

std::string PortText(const unsigned char* bytes) { return std::to_string(bytes[0] << 8 | bytes[1]); }

} // namespace CustomSocksWSocketUnit

TCustomSocksWSocket::TCustomSocksWSocket(TComponent* AOwner) : TCustomWSocket(AOwner) {}

// --- Settings ---------------------------------------------------------------------------------

void TCustomSocksWSocket::SetSocksLevel(const std::string& newValue)
{
    if (FState != wsClosed) {
        RaiseException("Can't change socks level if not closed");
        return;
    }
    if (newValue != "4" && newValue != "5" && newValue != "4A" && newValue != "4a") {
        RaiseException("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    FSocksLevel = UpperCase(newValue);
}

void TCustomSocksWSocket::SetSocksPort(const std::string& sPort)
{
    if (FState != wsClosed) {
        RaiseException("Can't change socks port if not closed");
        return;
    }
    FSocksPortStr = Trim(sPort);
    if (!FSocksPortStr.empty())
        FSocksPortAssigned = true;
}

void TCustomSocksWSocket::SetSocksServer(const std::string& sServer)
{
    if (FState != wsClosed) {
        RaiseException("Can't change socks server if not closed");
        return;
    }
    FSocksServer = Trim(sServer);
    if (!FSocksServer.empty())
        FSocksServerAssigned = true;
}

void TCustomSocksWSocket::AssignDefaultValue()
{
    TCustomWSocket::AssignDefaultValue();
    FSocksState = socksData;
    FSocksServer.clear();
    FSocksPortStr.clear();
    FSocksLevel = "5";
    FSocksRcvdCnt = 0;
    FSocksPortAssigned = false;
    FSocksServerAssigned = false;
}

// --- Connecting -------------------------------------------------------------------------------

void TCustomSocksWSocket::Connect()
{
    if (FSocksServer.empty()) {
        TCustomWSocket::Connect();
        return;
    }
    if (LowerCase(FProtoStr) != "tcp") {
        RaiseException("tcp is the only protocol supported thru socks server");
        return;
    }
    try {
        // The connection goes to the proxy; the target's port and address go in the request.
        if (!FPortResolved) {
            FSin.sin_port = WSocket_htons(WSocketResolvePort(FSocksPortStr, FProtoStr));
            FPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.S_addr = WSocketResolveHost(FSocksServer);
            FAddrResolved = true;
        }
        FPortNum = WSocketResolvePort(FPortStr, FProtoStr);
        FSocksState = socksNegociateMethods;
        FRcvCnt = 0;
    } catch (Exception& E) {
        RaiseException("connect: " + E.Message);
        return;
    }
    TCustomWSocket::Connect();
}

void TCustomSocksWSocket::Listen()
{
    if (!FSocksServer.empty()) {
        RaiseException("Listening is not supported thru socks server");
        return;
    }
    TCustomWSocket::Listen();
}

bool TCustomSocksWSocket::RequestTooLong() const
{
    using CustomSocksWSocketUnit::LongestField;
    const bool sendsHost = !LevelFour() || FSocksLevel == "4A";
    const bool authenticates = !LevelFour() && FSocksAuthentication == socksAuthenticateUsercode;
    const bool sendsUsercode = LevelFour() || authenticates;
    return (sendsHost && FAddrStr.size() > LongestField) || (sendsUsercode && FSocksUsercode.size() > LongestField) ||
           (authenticates && FSocksPassword.size() > LongestField);
}

void TCustomSocksWSocket::TriggerSessionConnectedSpecial(WORD Error)
{
    if (FSocksState == socksNegociateMethods) {
        TriggerSocksConnected(Error);
        if (Error == 0) {
            // Refused before anything goes out: the protocol cannot carry such a value.
            if (RequestTooLong()) {
                DataAvailableError(20001, "SOCKS request too long");
                return;
            }
            if (LevelFour()) {
                SocksDoConnect();
            } else {
                FSocksAuthNumber = FSocksAuthentication == socksAuthenticateUsercode
                                       ? CustomSocksWSocketUnit::MethodUsercode
                                       : CustomSocksWSocketUnit::MethodNone;
                SendRequest({static_cast<char>(CustomSocksWSocketUnit::SocksVersion5), 1,
                             static_cast<char>(FSocksAuthNumber)});
            }
            return;
        }
    }
    TCustomWSocket::TriggerSessionConnectedSpecial(Error);
}

void TCustomSocksWSocket::SendRequest(const std::string& request)
{
    try {
        Send(request.data(), static_cast<int>(request.size()));
    } catch (...) {
    }
}

void TCustomSocksWSocket::SocksDoAuthenticate()
{
    FSocksState = socksAuthenticate;
    TriggerSocksAuthState(socksAuthStart);
    std::string request(1, '\x01');
    request += static_cast<char>(FSocksUsercode.size());
    request += FSocksUsercode;
    request += static_cast<char>(FSocksPassword.size());
    request += FSocksPassword;
    SendRequest(request);
}

void TCustomSocksWSocket::SocksDoConnect()
{
    FSocksState = socksConnect;
    std::string request;
    if (LevelFour()) {
        const bool level4A = FSocksLevel == "4A";
        request = {4, static_cast<char>(CustomSocksWSocketUnit::SocksConnectCommand)};
        CustomSocksWSocketUnit::AppendPort(request, FPortNum);
        Winsock::u_long address = 0;
        if (level4A) {
            // 0.0.0.1: the proxy looks the host name up.
            address = WSocket_htonl(1);
        } else {
            try {
                address = WSocketResolveHost(FAddrStr);
            } catch (Exception& E) {
                TriggerSocksError(20017, E.ClassName() + " " + E.Message);
                InternalClose(true, 20017);
                return;
            }
        }
        request.append(reinterpret_cast<const char*>(&address), sizeof address);
        request += FSocksUsercode;
        request += '\0';
        if (level4A) {
            request += FAddrStr;
            request += '\0';
        }
    } else {
        request = {static_cast<char>(CustomSocksWSocketUnit::SocksVersion5),
                   static_cast<char>(CustomSocksWSocketUnit::SocksConnectCommand), 0, 3};
        request += static_cast<char>(FAddrStr.size());
        request += FAddrStr;
        CustomSocksWSocketUnit::AppendPort(request, FPortNum);
    }
    SendRequest(request);
}

// --- The proxy's replies ------------------------------------------------------------------------

bool TCustomSocksWSocket::ReceiveReply(int limit)
{
    const int room = limit - FRcvCnt;
    if (room <= 0)
        return true;
    const int received = Receive(FRcvBuf + FRcvCnt, room);
    if (received < 0)
        return false;
    FRcvCnt += received;
    return true;
}

bool TCustomSocksWSocket::TriggerDataAvailable(WORD Error)
{
    if (FSocksState == socksData)
        return TCustomWSocket::TriggerDataAvailable(Error);
    if (Error != 0) {
        DataAvailableError(Error, "data receive error");
        return false;
    }
    // The level-4 connect reply is 8 bytes; what follows it is data and stays in the socket.
    const bool level4Reply = FSocksState == socksConnect && LevelFour();
    if (!ReceiveReply(level4Reply ? 8 : ReplyBufferSize - 1))
        return true;
    switch (FSocksState) {
    case socksNegociateMethods:
        if (LevelFour()) {
            DataAvailableError(20001, "TWSocket logic error");
            return false;
        }
        return NegotiateMethod();
    case socksAuthenticate:
        return CheckAuthenticationReply();
    case socksConnect:
        return level4Reply ? CheckLevel4Reply() : CheckLevel5Reply();
    default:
        DataAvailableError(20013, "internal error");
        return false;
    }
}

bool TCustomSocksWSocket::NegotiateMethod()
{
    if (FRcvCnt < 2)
        return true;
    FRcvCnt = 0;
    if (FRcvBuf[0] != CustomSocksWSocketUnit::SocksVersion5) {
        DataAvailableError(20002, "socks version error");
        return false;
    }
    if (FRcvBuf[1] == CustomSocksWSocketUnit::MethodNone) {
        if (FSocksAuthNumber != CustomSocksWSocketUnit::MethodNone)
            TriggerSocksAuthState(socksAuthNotRequired);
        SocksDoConnect();
        return true;
    }
    if (FRcvBuf[1] == CustomSocksWSocketUnit::MethodUsercode) {
        SocksDoAuthenticate();
        return true;
    }
    DataAvailableError(20003, "authentification method not acceptable");
    return false;
}

bool TCustomSocksWSocket::CheckAuthenticationReply()
{
    if (FRcvCnt == 0)
        return true;
    if (FRcvBuf[0] != 1) {
        DataAvailableError(20002, "socks version error");
        return false;
    }
    if (FRcvCnt > 2) {
        DataAvailableError(20001, "too much data availaible");
        return false;
    }
    if (FRcvCnt < 2)
        return true;
    if (FRcvBuf[1] != 0) {
        DataAvailableError(20015, "socks authentication failed");
        return false;
    }
    FRcvCnt = 0;
    TriggerSocksAuthState(socksAuthSuccess);
    SocksDoConnect();
    return true;
}

bool TCustomSocksWSocket::CheckLevel4Reply()
{
    if (FRcvCnt < 8)
        return true;
    FRcvCnt = 0;
    if (FRcvBuf[0] != 0) {
        DataAvailableError(20002, "socks version error");
        return false;
    }
    switch (FRcvBuf[1]) {
    case CustomSocksWSocketUnit::Level4Granted:
        return SocksConnected();
    case 91:
        DataAvailableError(20016, "request rejected or failed");
        return false;
    case 92:
        DataAvailableError(20008, "connection refused");
        return false;
    case 93:
        DataAvailableError(20015, "authentification failed");
        return false;
    default:
        DataAvailableError(20012, "unassigned error #" + std::to_string(FRcvBuf[1]));
        return false;
    }
}

bool TCustomSocksWSocket::CheckLevel5Reply()
{
    if (FRcvCnt >= 1 && FRcvBuf[0] != CustomSocksWSocketUnit::SocksVersion5) {
        DataAvailableError(20002, "socks version error");
        return false;
    }
    if (FRcvCnt >= 2 && FRcvBuf[1] != 0) {
        const int code = FRcvBuf[1];
        if (code >= 1 && code <= 8) {
            const CustomSocksWSocketUnit::TReplyError& error = CustomSocksWSocketUnit::Level5Errors[code - 1];
            DataAvailableError(error.Code, error.Text);
        } else {
            DataAvailableError(20012, "unassigned error #" + std::to_string(code));
        }
        return false;
    }
    if (FRcvCnt < 5)
        return true;
    const int addressType = FRcvBuf[3];
    const int length = addressType == 1 ? 10 : addressType == 3 ? 7 + FRcvBuf[4] : 5;
    if (FRcvCnt < length)
        return true;
    if (addressType == 1) {
        FBoundAddr = CustomSocksWSocketUnit::DottedBytes(FRcvBuf + 4);
        FBoundPort = CustomSocksWSocketUnit::PortText(FRcvBuf + 8);
    } else if (addressType == 3) {
        FBoundAddr.assign(reinterpret_cast<const char*>(FRcvBuf + 5), FRcvBuf[4]);
        FBoundPort = CustomSocksWSocketUnit::PortText(FRcvBuf + 5 + FRcvBuf[4]);
    } else {
        DataAvailableError(20011, "address type not supported");
        return false;
    }
    // Set before the user hears of the connection, so that a close in its handler drops them.
    FSocksRcvdCnt = FRcvCnt - length;
    FSocksRcvdPtr = length;
    return SocksConnected();
}

bool TCustomSocksWSocket::SocksConnected()
{
    FRcvCnt = 0;
    FSocksState = socksData;
    TriggerSessionConnectedSpecial(0);
    // Any layer above sees the data that came with the reply or follows it.
    return TriggerDataAvailable(0);
}

void TCustomSocksWSocket::DataAvailableError(int ErrCode, const std::string& Msg)
{
    TriggerSocksError(ErrCode, Msg);
    FSocksState = socksData;
    TriggerSessionConnectedSpecial(static_cast<WORD>(ErrCode));
    InternalClose(true, static_cast<WORD>(ErrCode));
}

// --- Receiving --------------------------------------------------------------------------------

int TCustomSocksWSocket::GetRcvdCount()
{
    if (FSocksRcvdCnt > 0)
        return FSocksRcvdCnt;
    return TCustomWSocket::GetRcvdCount();
}

int TCustomSocksWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    if (FSocksRcvdCnt <= 0)
        return TCustomWSocket::DoRecv(Buffer, BufferSize, Flags);
    const int count = std::clamp(BufferSize, 0, FSocksRcvdCnt);
    if (count > 0)
        std::memcpy(Buffer, FRcvBuf + FSocksRcvdPtr, static_cast<std::size_t>(count));
    // A peek leaves the bytes for the next receive.
    if ((Flags & Winsock::MSG_PEEK) == 0) {
        FSocksRcvdPtr += count;
        FSocksRcvdCnt -= count;
    }
    return count;
}

// --- Events -----------------------------------------------------------------------------------

void TCustomSocksWSocket::TriggerSessionClosed(WORD Error)
{
    if (FSocksState == socksAuthenticate)
        TriggerSocksAuthState(socksAuthFailure);
    TCustomWSocket::TriggerSessionClosed(Error);
}

void TCustomSocksWSocket::TriggerSocksConnected(WORD ErrCode)
{
    if (OnSocksConnected)
        OnSocksConnected(this, ErrCode);
}

void TCustomSocksWSocket::TriggerSocksError(int Error, const std::string& Msg)
{
    if (OnSocksError)
        OnSocksError(this, Error, Msg);
}

void TCustomSocksWSocket::TriggerSocksAuthState(TSocksAuthState AuthState)
{
    if (OnSocksAuthState)
        OnSocksAuthState(this, AuthState);
}
