#include "net/WSocket.h"

#include "platform/gui/MessageQueue.h"

#include <algorithm>
#include <cstring>

namespace CustomLineWSocketUnit {

constexpr int LargestReception = 65536;

} // namespace CustomLineWSocketUnit

TCustomLineWSocket::TCustomLineWSocket(TComponent* AOwner) : TCustomSocksWSocket(AOwner) {}

TCustomLineWSocket::~TCustomLineWSocket() { ReleaseBuffer(); }

// --- Settings ---------------------------------------------------------------------------------

void TCustomLineWSocket::SetLineMode(bool Value)
{
    if (FLineMode == Value)
        return;
    FLineMode = Value;
    if (FRcvdCnt > 0 || FLineLength > 0) {
        // Held data was not searched for line ends while line mode was off.
        if (Value)
            FSearchHeldAgain = true;
        PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
    }
}

void TCustomLineWSocket::SetLineEnd(const std::string& Value)
{
    if (Value == FLineEnd)
        return;
    FLineEnd = Value;
    // Held data is delivered again by the new line end, or raw without one.
    if (FRcvdCnt > 0 || FLineLength > 0) {
        FSearchHeldAgain = true;
        PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
    }
}

// --- The buffer -------------------------------------------------------------------------------

void TCustomLineWSocket::ConsumeHeld(int count)
{
    count = std::clamp(count, 0, FRcvdCnt);
    FRcvdStart += count;
    FRcvdCnt -= count;
    if (FRcvdCnt == 0)
        FRcvdStart = 0;
}

void TCustomLineWSocket::ReleaseBuffer()
{
    std::vector<char>().swap(FRcvBuf);
    FRcvdStart = 0;
    FRcvdCnt = 0;
    FLineLength = 0;
}

void TCustomLineWSocket::ReserveForReception(int count)
{
    // Taken lines leave room at the front: moved away once per reception, not once per line.
    if (FRcvdStart > 0) {
        std::memmove(FRcvBuf.data(), Held(), static_cast<std::size_t>(FRcvdCnt));
        FRcvdStart = 0;
    }
    const std::size_t needed = static_cast<std::size_t>(FRcvdCnt) + static_cast<std::size_t>(count) + 1;
    if (FRcvBuf.size() < needed)
        FRcvBuf.resize(needed);
}

int TCustomLineWSocket::ReceiveIntoBuffer(int count)
{
    ReserveForReception(count);
    FReceivingFromSocket = true;
    const int received = Receive(Held() + FRcvdCnt, count);
    FReceivingFromSocket = false;
    return received;
}

int TCustomLineWSocket::FindLineEnd(int searchFrom) const
{
    const int endLength = static_cast<int>(FLineEnd.size());
    const char* data = FRcvBuf.data() + FRcvdStart;
    const char first = FLineEnd[0];
    for (int i = std::max(searchFrom, 0); i + endLength <= FRcvdCnt; ++i) {
        const void* found = std::memchr(data + i, first, static_cast<std::size_t>(FRcvdCnt - endLength - i + 1));
        if (!found)
            return -1;
        i = static_cast<int>(static_cast<const char*>(found) - data);
        if (std::memcmp(data + i, FLineEnd.data(), static_cast<std::size_t>(endLength)) == 0)
            return i;
    }
    return -1;
}

// --- Receiving --------------------------------------------------------------------------------

bool TCustomLineWSocket::TriggerDataAvailable(WORD Error)
{
    if (RawDelivery() || FSocksState != socksData)
        return TCustomSocksWSocket::TriggerDataAvailable(Error);

    int count = TCustomSocksWSocket::GetRcvdCount();
    if (count < 0)
        return true;
    if (count == 0)
        count = 255;
    // Taken in rounds of a bounded size, the buffer stays small and in the processor's cache; the
    // receive loop comes back for the rest.
    count = std::min(count, CustomLineWSocketUnit::LargestReception);
    int received = ReceiveIntoBuffer(count);
    if (received < 1) {
        if (FRcvdCnt == 0)
            return true;
        received = 0; // what is held is searched again
    }
    if (received > 0)
        EchoOrEdit(received);

    // A line end split over two receptions is found from the tail of what was held.
    int searchFrom = std::max(FRcvdCnt - static_cast<int>(FLineEnd.size()), 0);
    if (FSearchHeldAgain) {
        searchFrom = 0;
        FSearchHeldAgain = false;
    }
    FRcvdCnt += received;
    DeliverLines(searchFrom);
    return true;
}

void TCustomLineWSocket::EchoOrEdit(int& Len)
{
    if (FLineEdit)
        EditLine(Len);
    else if (FLineEcho)
        Send(Held() + FRcvdCnt, Len);
}

void TCustomLineWSocket::DeliverLines(int searchFrom)
{
    while (!RawDelivery() && !FHoldLines) {
        const int position = FindLineEnd(searchFrom);
        if (position < 0) {
            if (FLineLimit > 0 && FRcvdCnt > FLineLimit) {
                FLineClearData = true;
                TriggerLineLimitExceeded(FRcvdCnt, FLineClearData);
                if (FLineClearData) {
                    ConsumeHeld(FRcvdCnt);
                    FLineLength = 0;
                    FLineClearData = false;
                }
            }
            return;
        }
        FLineLength = position + static_cast<int>(FLineEnd.size());
        FLineReceivedFlag = true;
        FLineFound = true;
        DeliverPendingLine();
        // Line mode went off with part of the line untaken: that rest and what followed the line
        // end are held one behind the other, raw data now.
        FLineLength = 0;
        searchFrom = 0;
        DeliverRaw();
    }
}

void TCustomLineWSocket::DeliverPendingLine()
{
    // A handler that takes the line in pieces is called again for the rest.
    while (!RawDelivery() && FLineLength > 0) {
        if (!TCustomSocksWSocket::TriggerDataAvailable(0)) {
            // Nobody reads: the line is dropped.
            ConsumeHeld(FLineLength);
            FLineLength = 0;
        }
    }
}

void TCustomLineWSocket::DeliverRaw()
{
    while (RawDelivery() && FRcvdCnt > 0) {
        const int before = FRcvdCnt;
        if (!TCustomSocksWSocket::TriggerDataAvailable(0)) {
            // Nobody reads: dropped, as the socket's own data would be.
            ConsumeHeld(FRcvdCnt);
            return;
        }
        // A handler that takes nothing leaves the data held for its next receive.
        if (FRcvdCnt == before)
            return;
    }
}

void TCustomLineWSocket::RedeliverHeld()
{
    int rounds = 0;
    while (FRcvdCnt > 0) {
        FLineFound = false;
        const int before = FRcvdCnt;
        const bool lines = !RawDelivery();
        if (lines)
            TriggerDataAvailable(0);
        else
            DeliverRaw();
        if (FRcvdCnt <= 0)
            return;
        if (lines ? rounds > 3 && !FLineFound : FRcvdCnt == before)
            return;
        ++rounds;
    }
}

int TCustomLineWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    if (FReceivingFromSocket)
        return TCustomSocksWSocket::DoRecv(Buffer, BufferSize, Flags);
    const bool peek = (Flags & Winsock::MSG_PEEK) != 0;
    if (!RawDelivery() && FLineLength > 0) {
        const int count = std::clamp(BufferSize, 0, FLineLength);
        if (count > 0)
            std::memcpy(Buffer, Held(), static_cast<std::size_t>(count));
        if (!peek) {
            ConsumeHeld(count);
            FLineLength -= count;
        }
        return count;
    }
    if (!RawDelivery() || FRcvdCnt == 0)
        return TCustomSocksWSocket::DoRecv(Buffer, BufferSize, Flags);
    const int count = std::clamp(BufferSize, 0, FRcvdCnt);
    if (count > 0)
        std::memcpy(Buffer, Held(), static_cast<std::size_t>(count));
    if (!peek)
        ConsumeHeld(count);
    return count;
}

int TCustomLineWSocket::GetRcvdCount()
{
    if (!RawDelivery())
        return FLineLength;
    return TCustomSocksWSocket::GetRcvdCount();
}

void TCustomLineWSocket::WndProc(TMessage& MsgRec)
{
    if (MsgRec.Msg != WM_TRIGGER_DATA_AVAILABLE) {
        TCustomSocksWSocket::WndProc(MsgRec);
        return;
    }
    try {
        RedeliverHeld();
    } catch (Exception& E) {
        HandleBackGroundException(E);
    }
}

void TCustomLineWSocket::TriggerSessionClosed(WORD Error)
{
    FLineReceivedFlag = true;
    if (!FRcvBuf.empty()) {
        // A partial line is the last line. A handler that switches the mode meanwhile gets the rest
        // in its new mode.
        if (!RawDelivery() && FRcvdCnt > 0 && !FLineClearData && !FHoldLines) {
            while (FRcvdCnt > 0 && !FHoldLines) {
                const int before = FRcvdCnt;
                if (RawDelivery()) {
                    DeliverRaw();
                } else {
                    FLineLength = FRcvdCnt;
                    while (!RawDelivery() && FLineLength > 0) {
                        if (!TCustomSocksWSocket::TriggerDataAvailable(0))
                            break;
                    }
                    FLineLength = 0;
                }
                if (FRcvdCnt == before)
                    break;
            }
        }
        ReleaseBuffer();
    }
    TCustomSocksWSocket::TriggerSessionClosed(Error);
}

void TCustomLineWSocket::TriggerLineLimitExceeded(int Cnt, bool& ClearData)
{
    if (OnLineLimitExceeded)
        OnLineLimitExceeded(this, Cnt, ClearData);
}

// --- Echo and editing -------------------------------------------------------------------------

void TCustomLineWSocket::EditLine(int& Len)
{
    const int oldCount = FRcvdCnt;
    std::string edited(Held(), static_cast<std::size_t>(oldCount));
    edited.reserve(static_cast<std::size_t>(oldCount + Len) + 8);
    int lowest = oldCount;
    bool changed = false;
    for (int i = oldCount; i < oldCount + Len; ++i) {
        const char c = Held()[i];
        if (c == '\b') {
            changed = true;
            if (!edited.empty()) {
                if (FLineEcho)
                    SendStr("\b \b");
                edited.pop_back();
                lowest = std::min(lowest, static_cast<int>(edited.size()));
            }
        } else if (c == '\t') {
            // Spaces up to the next multiple of 8 from the buffer's start.
            changed = true;
            do {
                if (FLineEcho)
                    SendStr(" ");
                edited += ' ';
            } while (edited.size() % 8 != 0);
        } else {
            if (FLineEcho)
                Send(&c, 1);
            edited += c;
        }
    }
    if (!changed)
        return;
    if (FRcvBuf.size() < static_cast<std::size_t>(FRcvdStart) + edited.size() + 1)
        FRcvBuf.resize(static_cast<std::size_t>(FRcvdStart) + edited.size() + 1);
    std::memcpy(Held(), edited.data(), edited.size());
    FRcvdCnt = lowest;
    Len = static_cast<int>(edited.size()) - FRcvdCnt;
}

// --- Sending ----------------------------------------------------------------------------------

int TCustomLineWSocket::SendLine(const std::string& Str)
{
    if (Str.empty())
        return 0;
    PutDataInSendBuffer(Str.data(), static_cast<int>(Str.size()));
    // Without a line end the queued text still goes out now.
    if (FLineEnd.empty())
        Send(nullptr, 0);
    else
        SendStr(FLineEnd);
    return static_cast<int>(Str.size()) + 2;
}
