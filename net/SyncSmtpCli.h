#pragma once
// TSyncSmtpCli: a blocking call for each request of TSmtpCli. Each call starts the request and
// pumps messages until it ends, true when it ended with 0. After Timeout seconds without an end
// (re-armed at each line of the message) the request is aborted and the call gives false with
// ErrorMessage "426 Timeout". The wait sleeps in the message queue, so it costs no processor
// time, and other windows and timers of the thread keep running meanwhile.

#include "net/SmtpCli.h"

#include <cstdint>

class TSyncSmtpCli : public TSmtpCli {
    TESS_CLASS(TSyncSmtpCli, TSmtpCli)
public:
    explicit TSyncSmtpCli(TComponent* AOwner);

    // Seconds; 0 or less waits without limit.
    int Timeout() const { return FTimeout; }
    void SetTimeout(int Value) { FTimeout = Value; }
    // True: the wait pumps only the socket's own messages (on a worker thread after ThreadAttach).
    bool MultiThreaded() const { return FMultiThreaded; }
    void SetMultiThreaded(bool Value) { FMultiThreaded = Value; }

    virtual bool WaitUntilReady();
    virtual bool ConnectSync();
    virtual bool HeloSync();
    virtual bool EhloSync();
    virtual bool AuthSync();
    virtual bool VrfySync();
    virtual bool MailFromSync();
    virtual bool RcptToSync();
    virtual bool DataSync();
    virtual bool QuitSync();
    virtual bool RsetSync();
    virtual bool AbortSync();
    virtual bool OpenSync();
    virtual bool MailSync();

protected:
    void TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More) override;
    void TriggerRequestDone(WORD ErrorCode) override;
    void TriggerSessionConnected(WORD Error) override;

private:
    // Runs the request and waits for its end; any exception gives false.
    bool Synchronize(TSmtpNextProc Proc);
    void ArmTimeout();
    bool TimedOut() const;

    int FTimeout = 15;
    bool FMultiThreaded = false;
    std::uint32_t FTimeOutAt = 0;
    // The code the last finished request ended with; -1 while none has ended during the call.
    int FDoneCode = 0;
};
