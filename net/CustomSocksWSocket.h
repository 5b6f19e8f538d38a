#pragma once
// TCustomSocksWSocket: the socket through a SOCKS proxy of level 4, 4A or 5. With SocksServer set,
// Connect goes to the proxy, the component negotiates (method, user code and password for level
// 5, then the CONNECT request) and only once the proxy confirms does OnSessionConnected fire; until
// then every byte received belongs to the negotiation. Bytes that came with the proxy's last reply
// are handed out by Receive before the socket's. Without SocksServer it is the plain socket.
//
// A failed negotiation is told three ways, in this order: OnSocksError(code, text),
// OnSessionConnected(code) and, through the close, OnSessionClosed(code). The SOCKS settings go
// back to their defaults after every close and are given again before each Connect.

#include "net/CustomWSocket.h"

#include <functional>
#include <string>

enum TSocksState { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

using TSocksErrorEvent = std::function<void(TObject* Sender, int Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TObject* Sender, TSocksAuthState AuthState)>;

class TCustomSocksWSocket : public TCustomWSocket {
    TESS_CLASS(TCustomSocksWSocket, TCustomWSocket)
public:
    explicit TCustomSocksWSocket(TComponent* AOwner);

    // --- The virtual operations, in their order ----------------------------------------------

protected:
    virtual void TriggerSocksConnected(WORD ErrCode);

public:
    // Only while closed; the trimmed value is kept.
    virtual void SetSocksPort(const std::string& sPort);
    virtual void SetSocksServer(const std::string& sServer);

protected:
    virtual void TriggerSocksError(int Error, const std::string& Msg);

    // --- Overridden ------------------------------------------------------------------------------

    void AssignDefaultValue() override;
    int GetRcvdCount() override;
    bool TriggerDataAvailable(WORD Error) override;
    void TriggerSessionConnectedSpecial(WORD Error) override;
    void TriggerSessionClosed(WORD Error) override;
    int DoRecv(void* Buffer, int BufferSize, int Flags) override;

public:
    void Connect() override;
    void Listen() override;

    // --- Properties --------------------------------------------------------------------------

    // "4", "4A" or "5", only while closed; kept in capitals.
    const std::string& SocksLevel() const { return FSocksLevel; }
    void SetSocksLevel(const std::string& newValue);
    const std::string& SocksServer() const { return FSocksServer; }
    const std::string& SocksPort() const { return FSocksPortStr; }
    const std::string& SocksUsercode() const { return FSocksUsercode; }
    void SetSocksUsercode(const std::string& Value) { FSocksUsercode = Value; }
    const std::string& SocksPassword() const { return FSocksPassword; }
    void SetSocksPassword(const std::string& Value) { FSocksPassword = Value; }
    TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
    void SetSocksAuthentication(TSocksAuthentication Value) { FSocksAuthentication = Value; }
    // The address and port the level-5 proxy reported for the connection.
    const std::string& BoundAddr() const { return FBoundAddr; }
    const std::string& BoundPort() const { return FBoundPort; }

    TSocksErrorEvent OnSocksError;
    TSessionConnected OnSocksConnected;
    TSocksAuthStateEvent OnSocksAuthState;

protected:
    void SocksDoConnect();
    void SocksDoAuthenticate();
    // Tells a failed negotiation and closes.
    void DataAvailableError(int ErrCode, const std::string& Msg);
    void TriggerSocksAuthState(TSocksAuthState AuthState);

    // The longest reply: a level-5 connect reply with a domain name of 255 bytes.
    static constexpr int ReplyBufferSize = 263;

    TSocksState FSocksState = socksData;
    std::string FSocksServer;
    std::string FSocksLevel = "5";
    std::string FSocksPortStr;
    bool FSocksPortAssigned = false;
    bool FSocksServerAssigned = false;
    std::string FSocksUsercode;
    std::string FSocksPassword;
    TSocksAuthentication FSocksAuthentication = socksNoAuthentication;
    // The method offered to a level-5 proxy: 0 none, 2 user code and password.
    int FSocksAuthNumber = 0;
    std::string FBoundAddr;
    std::string FBoundPort;
    unsigned char FRcvBuf[ReplyBufferSize] = {};
    int FRcvCnt = 0;
    // Bytes that followed the proxy's last reply, still to be received.
    int FSocksRcvdCnt = 0;
    int FSocksRcvdPtr = 0;

private:
    bool LevelFour() const { return !FSocksLevel.empty() && FSocksLevel[0] == '4'; }
    // Receives behind what the reply buffer holds, at most up to limit bytes in all; false when
    // the receive failed.
    bool ReceiveReply(int limit);
    // Sends a request; a failure is told by the close that follows it.
    void SendRequest(const std::string& request);
    // The host, user code or password does not fit the protocol's one-byte lengths.
    bool RequestTooLong() const;
    bool NegotiateMethod();
    bool CheckAuthenticationReply();
    bool CheckLevel4Reply();
    bool CheckLevel5Reply();
    // The proxy confirmed: the user learns of the connection and gets the data that followed.
    bool SocksConnected();
};
