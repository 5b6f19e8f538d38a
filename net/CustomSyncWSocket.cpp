#include "net/WSocket.h"

#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/rtl/Threads.h"

#include <algorithm>
#include <cstdint>

namespace CustomSyncWSocketUnit {

// The longest sleep between two looks at the flag.
constexpr int LongestSleep = 1000;

// Milliseconds until the tick stop, negative once it passed (ticks wrap round).
int RemainingUntil(std::uint32_t stop) { return static_cast<std::int32_t>(stop - GetTickCount()); }

} // namespace CustomSyncWSocketUnit

int TCustomSyncWSocket::Synchronize(const TWSocketSyncNextProc& Proc, bool& DoneFlag)
{
    DoneFlag = false;
    if (Proc)
        Proc();
    return WaitUntilReady(DoneFlag);
}

int TCustomSyncWSocket::WaitUntilReady(bool& DoneFlag)
{
    using CustomSyncWSocketUnit::RemainingUntil;
    FTimeStop = GetTickCount() + static_cast<std::uint32_t>(std::max(FTimeout, 0));
    for (;;) {
        if (DoneFlag)
            return 0;
        if ((FTimeout > 0 && RemainingUntil(FTimeStop) <= 0) || Application->Terminated() || FTerminated)
            return WSocketTimeoutError;
        // Sleeps until a message comes or the time-out passes; the pump then handles what came.
        const int sleep = FTimeout > 0 ? std::min(RemainingUntil(FTimeStop), CustomSyncWSocketUnit::LongestSleep)
                                       : CustomSyncWSocketUnit::LongestSleep;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max(sleep, 0)), QS_ALLINPUT);
        MessagePump();
    }
}

void TCustomSyncWSocket::ReadLine(int Timeout, std::string& Buffer)
{
    Buffer.clear();
    if (FState != wsConnected) {
        RaiseException("ReadLine failed: not connected");
        return;
    }
    if (Timeout == 0)
        FTimeout = 60000;
    else if (Timeout > 0)
        FTimeout = Timeout * 1000;
    else
        FTimeout = -Timeout;
    FLineReceivedFlag = false;
    FLinePointer = &Buffer;
    TDataAvailable savedHandler = std::move(OnDataAvailable);
    const bool savedLineMode = FLineMode;
    try {
        OnDataAvailable = [this](TObject* Sender, WORD Error) { InternalDataAvailable(Sender, Error); };
        SetLineMode(true);
        const int result = Synchronize(nullptr, FLineReceivedFlag);
        // What came of the line so far.
        if (result == WSocketTimeoutError && FRcvdCnt > 0 && !FHoldLines) {
            Buffer.assign(Held(), static_cast<std::size_t>(FRcvdCnt));
            ConsumeHeld(FRcvdCnt);
            FLineLength = 0;
        }
    } catch (...) {
        EndReadLine(std::move(savedHandler), savedLineMode);
        throw;
    }
    EndReadLine(std::move(savedHandler), savedLineMode);
}

void TCustomSyncWSocket::EndReadLine(TDataAvailable savedHandler, bool savedLineMode)
{
    FLinePointer = nullptr;
    OnDataAvailable = std::move(savedHandler);
    const bool held = FHoldLines && FRcvdCnt > 0;
    FHoldLines = false;
    if (savedLineMode == FLineMode && held) {
        // The lines that came after this one go to the component's own handler.
        FSearchHeldAgain = true;
        PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
    }
    SetLineMode(savedLineMode);
}

void TCustomSyncWSocket::InternalDataAvailable(TObject*, WORD)
{
    if (!FLinePointer || FHoldLines)
        return;
    std::string& target = *FLinePointer;
    // Without a line end whatever arrives belongs to the line.
    if (RawDelivery()) {
        target += ReceiveStr();
        FLineReceivedFlag = true;
        return;
    }
    target.resize(static_cast<std::size_t>(std::max(GetRcvdCount(), 0)));
    const int received = Receive(target.data(), static_cast<int>(target.size()));
    target.resize(received > 0 ? static_cast<std::size_t>(received) : 0);
    // One line per ReadLine: the lines after it wait in the buffer.
    if (FLineLength == 0)
        FHoldLines = true;
}
