#include "net/SmtpProt.h"

#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/rtl/Threads.h"

namespace SyncSmtpCliUnit {

// The longest single sleep of the wait, in milliseconds.
constexpr DWORD WaitSlice = 1000;
// The kernel's send queue of the connection. The time-out is re-armed as lines are handed to the
// socket; with the system's default queue of several megabytes the last lines would wait there
// longer than Timeout for a slow server, which is busy reading, not silent.
constexpr int SendQueueBytes = 256 * 1024;

} // namespace SyncSmtpCliUnit

TSyncSmtpCli::TSyncSmtpCli(TComponent* AOwner) : TSmtpCli(AOwner) {}

void TSyncSmtpCli::ArmTimeout()
{
    FTimeOutAt = GetTickCount() + static_cast<std::uint32_t>(FTimeout) * 1000u;
}

bool TSyncSmtpCli::TimedOut() const
{
    // Signed difference: the tick count may wrap around during the wait.
    return FTimeout > 0 && static_cast<std::int32_t>(GetTickCount() - FTimeOutAt) >= 0;
}

void TSyncSmtpCli::TriggerSessionConnected(WORD Error)
{
    if (Error == 0 && FWSocket->HSocket() != Winsock::INVALID_SOCKET) {
        const int size = SyncSmtpCliUnit::SendQueueBytes;
        WSocket_setsockopt(FWSocket->HSocket(), Winsock::SOL_SOCKET, Winsock::SO_SNDBUF,
                           reinterpret_cast<const char*>(&size), sizeof size);
    }
    TSmtpCli::TriggerSessionConnected(Error);
}

void TSyncSmtpCli::TriggerRequestDone(WORD ErrorCode)
{
    // Only the call that is not a repeat counts; the final one of a multi-step request comes last.
    if (!FRequestDoneFlag)
        FDoneCode = ErrorCode;
    TSmtpCli::TriggerRequestDone(ErrorCode);
}

bool TSyncSmtpCli::WaitUntilReady()
{
    ArmTimeout();
    for (;;) {
        if (FState == smtpReady && !RequestOpen())
            return (FDoneCode < 0 ? FRequestResult : FDoneCode) == 0;
        if ((Application && Application->Terminated()) || TimedOut())
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, SyncSmtpCliUnit::WaitSlice, QS_ALLINPUT);
        if (FMultiThreaded || !Application)
            FWSocket->ProcessMessages();
        else
            Application->ProcessMessages();
    }
    Abort();
    FErrorMessage = "426 Timeout";
    FStatusCode = 426;
    return false;
}

bool TSyncSmtpCli::Synchronize(TSmtpNextProc Proc)
{
    try {
        FDoneCode = -1;
        (this->*Proc)();
        return WaitUntilReady();
    } catch (...) {
        return false;
    }
}

void TSyncSmtpCli::TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More)
{
    TSmtpCli::TriggerGetData(LineNum, MsgLine, MaxLen, More);
    // Lines are flowing: a long message does not time out while it leaves.
    if (FTimeout > 0)
        ArmTimeout();
}

bool TSyncSmtpCli::ConnectSync() { return Synchronize(&TCustomSmtpClient::Connect); }
bool TSyncSmtpCli::HeloSync() { return Synchronize(&TCustomSmtpClient::Helo); }
bool TSyncSmtpCli::EhloSync() { return Synchronize(&TCustomSmtpClient::Ehlo); }
bool TSyncSmtpCli::AuthSync() { return Synchronize(&TCustomSmtpClient::Auth); }
bool TSyncSmtpCli::VrfySync() { return Synchronize(&TCustomSmtpClient::Vrfy); }
bool TSyncSmtpCli::MailFromSync() { return Synchronize(&TCustomSmtpClient::MailFrom); }
bool TSyncSmtpCli::RcptToSync() { return Synchronize(&TCustomSmtpClient::RcptTo); }
bool TSyncSmtpCli::DataSync() { return Synchronize(&TCustomSmtpClient::Data); }
bool TSyncSmtpCli::QuitSync() { return Synchronize(&TCustomSmtpClient::Quit); }
bool TSyncSmtpCli::RsetSync() { return Synchronize(&TCustomSmtpClient::Rset); }
bool TSyncSmtpCli::AbortSync() { return Synchronize(&TCustomSmtpClient::Abort); }
bool TSyncSmtpCli::OpenSync() { return Synchronize(&TCustomSmtpClient::Open); }
bool TSyncSmtpCli::MailSync() { return Synchronize(&TCustomSmtpClient::Mail); }
