#include "htmlview/PaneReadThd.h"

#include "platform/gui/MessageQueue.h"

#include <cassert>

TParseThread::TParseThread(bool CreateSuspended)
    : TThread(CreateSuspended)
{
    FreeOnTerminate = true;
}

void TParseThread::AddString(const std::string& S)
{
    std::lock_guard<std::mutex> guard(FLock);
    // The worker reads the buffer without the lock while it runs.
    assert(Suspended() || FWaiting || Finished());
    FBuffer += S;
    FEndPtr = FBuffer.size();
}

void TParseThread::Resume()
{
    if (Suspended()) {
        Start();
        return;
    }
    {
        std::lock_guard<std::mutex> guard(FLock);
        FWaiting = false;
        ++FResumeCount;
    }
    FResumed.notify_all();
}

bool TParseThread::Waiting()
{
    std::lock_guard<std::mutex> guard(FLock);
    return FWaiting;
}

void TParseThread::Synchronize(const std::function<void()>& Method)
{
    TThread::Synchronize(this, Method);
}

void TParseThread::WaitForText(std::size_t ReadPos)
{
    std::unique_lock<std::mutex> lock(FLock);
    FReadPtr = ReadPos;
    FWaiting = true;
    const unsigned seen = FResumeCount;
    // The GUI thread may be blocked in its event loop waiting for this.
    PostThreadMessageA(MainThreadID(), WM_NULL, 0, 0);
    FResumed.wait(lock, [this, seen] { return FResumeCount != seen || Terminated(); });
    FWaiting = false;
}

void TParseThread::Execute()
{
    {
        std::lock_guard<std::mutex> guard(FLock);
        FWaiting = false;
    }
    try {
        if (FPlainText)
            FParser->HtmlParseTextString(FSectionList, FNameList);
        else
            FParser->HtmlParseString(FSectionList, FNameList, FOnInclude, FOnSound, FOnMeta);
    } catch (...) {
        // A failed or stopped parse keeps what it built; nothing is reported.
    }
    ReturnValue = 0;
}
