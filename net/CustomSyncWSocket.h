#pragma once
// TCustomSyncWSocket: blocking waits over the event-driven socket. A wait runs the thread's
// messages (so this and other components go on working) until a flag is set, the time-out passes
// or the application ends, and sleeps between messages instead of keeping a processor busy.
// ReadLine waits for one line.

#include "net/CustomLineWSocket.h"

#include <functional>
#include <string>

// The result of a wait that ended without its flag: the time-out passed or the application ends.
constexpr int WSocketTimeoutError = 12001;

class TCustomSyncWSocket : public TCustomLineWSocket {
    TESS_CLASS(TCustomSyncWSocket, TCustomLineWSocket)
public:
    using TCustomLineWSocket::TCustomLineWSocket;

    // --- The virtual operations, in their order ----------------------------------------------

    // Clears DoneFlag, calls Proc (when given) and waits for DoneFlag: 0, or WSocketTimeoutError.
    virtual int Synchronize(const TWSocketSyncNextProc& Proc, bool& DoneFlag);
    virtual int WaitUntilReady(bool& DoneFlag);

    // --- Further operations --------------------------------------------------------------------

    // Waits for one line and gives it with its line end. Timeout: 0 one minute, above 0 seconds,
    // below 0 milliseconds. When the time runs out Buffer gets what came of the line so far.
    // Raises (or tells OnError) "ReadLine failed: not connected" when not connected.
    void ReadLine(int Timeout, std::string& Buffer);

protected:
    void InternalDataAvailable(TObject* Sender, WORD Error);

private:
    // Gives the component its own handler and line mode back after a ReadLine.
    void EndReadLine(TDataAvailable savedHandler, bool savedLineMode);

    // The target of the running ReadLine.
    std::string* FLinePointer = nullptr;
};
