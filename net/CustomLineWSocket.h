#pragma once
// TCustomLineWSocket: line mode. Incoming bytes are gathered in a buffer that grows on demand and
// OnDataAvailable fires once per complete line, its line end included, so that the handler's
// Receive returns exactly that line (in pieces, through repeated events, when its buffer is
// smaller). Line mode may be switched at any time, also from inside OnDataAvailable: what is held
// is then delivered in the new mode. Local echo and simple line editing (backspace, tab) serve
// terminal-like peers. With line mode off the component is the raw socket.

#include "net/CustomSocksWSocket.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using TLineLimitEvent = std::function<void(TObject* Sender, int RcvdLength, bool& ClearData)>;

// Posted to the component's own window: deliver what is held in the current mode.
constexpr UINT WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;

class TCustomLineWSocket : public TCustomSocksWSocket {
    TESS_CLASS(TCustomLineWSocket, TCustomSocksWSocket)
public:
    explicit TCustomLineWSocket(TComponent* AOwner);
    ~TCustomLineWSocket() override;

    // --- The virtual operations, in their order ----------------------------------------------

protected:
    virtual void TriggerLineLimitExceeded(int Cnt, bool& ClearData);

public:
    virtual void SetLineMode(bool Value);

protected:
    // Edits the Len bytes just received (backspace deletes, tab becomes spaces) and echoes them.
    virtual void EditLine(int& Len);

public:
    // Sends Str and LineEnd; returns the length of Str plus 2, 0 for an empty Str (nothing sent).
    virtual int SendLine(const std::string& Str);

    // --- Overridden ------------------------------------------------------------------------------

    void WndProc(TMessage& MsgRec) override;

protected:
    int GetRcvdCount() override;
    bool TriggerDataAvailable(WORD Error) override;
    void TriggerSessionClosed(WORD Error) override;
    int DoRecv(void* Buffer, int BufferSize, int Flags) override;

public:
    // --- Properties --------------------------------------------------------------------------

    bool LineMode() const { return FLineMode; }
    // 0 or less: no limit.
    int LineLimit() const { return FLineLimit; }
    void SetLineLimit(int Value) { FLineLimit = Value; }
    const std::string& LineEnd() const { return FLineEnd; }
    // An empty line end delivers raw data, as with line mode off. Held data is delivered again
    // by the new line end.
    void SetLineEnd(const std::string& Value);
    bool LineEcho() const { return FLineEcho; }
    void SetLineEcho(bool Value) { FLineEcho = Value; }
    bool LineEdit() const { return FLineEdit; }
    void SetLineEdit(bool Value) { FLineEdit = Value; }

    TLineLimitEvent OnLineLimitExceeded;

protected:
    // The bytes held, from the first not yet delivered.
    char* Held() { return FRcvBuf.data() + FRcvdStart; }
    // Drops count bytes from the front of what is held.
    void ConsumeHeld(int count);
    void ReleaseBuffer();

    // What was received and not yet delivered: FRcvdCnt bytes from FRcvdStart on. The front moves
    // as bytes are taken; the buffer is compacted once per reception.
    std::vector<char> FRcvBuf;
    int FRcvdStart = 0;
    int FRcvdCnt = 0;
    std::string FLineEnd = "\r\n";
    bool FLineMode = false;
    // The complete line at the front of what is held, its line end included; 0 for none.
    int FLineLength = 0;
    int FLineLimit = 65536;
    // Set when a line is found and when the connection closes.
    bool FLineReceivedFlag = false;
    // Set for each delivered line.
    bool FLineFound = false;
    bool FLineClearData = false;
    bool FLineEcho = false;
    bool FLineEdit = false;
    // Set once a ReadLine has its line: the lines after it wait in the buffer, unsearched.
    bool FHoldLines = false;
    // Held data was gathered without looking for line ends (line mode off, or another line end).
    bool FSearchHeldAgain = false;
    // The blocking waits' time-out in milliseconds (0 or less: none) and the tick they end at.
    int FTimeout = 0;
    std::uint32_t FTimeStop = 0;

    // Line mode off, or no line end to look for: what is held goes out as it is.
    bool RawDelivery() const { return !FLineMode || FLineEnd.empty(); }
    // Set while receiving into the buffer: those bytes come from the socket, never from the buffer.
    bool FReceivingFromSocket = false;

private:
    // The line end's first position in what is held, searched from searchFrom; -1 for none.
    int FindLineEnd(int searchFrom) const;
    // Makes room for count more bytes behind what is held.
    void ReserveForReception(int count);
    // Receives from the socket behind what is held; the new bytes, or -1.
    int ReceiveIntoBuffer(int count);
    void EchoOrEdit(int& Len);
    // Delivers the complete lines of what is held, from searchFrom on.
    void DeliverLines(int searchFrom);
    // Hands the line at the front to the data event until it is taken or line mode goes off.
    void DeliverPendingLine();
    // Hands what is held to the data event while line mode is off.
    void DeliverRaw();
    void RedeliverHeld();
};
