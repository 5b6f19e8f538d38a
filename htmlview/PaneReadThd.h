#pragma once
// The worker that parses a page while the GUI thread hands it the text batch by batch. When the
// parser has read everything handed over so far and more may follow, the worker waits; the GUI
// thread appends the next batch and resumes it. One thread per load; it frees itself at the end.

#include "htmlview/PanePars.h"
#include "platform/rtl/Threads.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

class TParseThread : public TThread {
    TESS_CLASS(TParseThread, TThread)
public:
    // Always created suspended and freeing itself when done; the flag is kept for the callers.
    explicit TParseThread(bool CreateSuspended);

    // Appends text. Only while the worker waits for text or has not started.
    void AddString(const std::string& S);
    // Starts the worker the first time; afterwards wakes it from its wait for text. A stop
    // request is Terminate() followed by Resume().
    void Resume();
    // The worker has read everything handed over so far and waits for more.
    bool Waiting();
    // Runs Method on the GUI thread and waits for it.
    void Synchronize(const std::function<void()>& Method);

    ThlParser* FParser = nullptr;
    TSectionList* FSectionList = nullptr;
    TIncludeType FOnInclude;
    TSoundType FOnSound;
    TMetaType FOnMeta;
    TStringList* FNameList = nullptr;
    bool FPlainText = false;

protected:
    void Execute() override;

private:
    friend class ThlParser;
    // Called by the parser's reader on the worker: publishes where reading stopped, tells the GUI
    // thread and blocks until a Resume (or a stop request) arrives.
    void WaitForText(std::size_t ReadPos);

    std::string FBuffer;
    // Offsets into FBuffer: where the parser continues, and the end of the text handed over.
    std::size_t FReadPtr = 0;
    std::size_t FEndPtr = 0;
    bool FWaiting = false;

    std::mutex FLock;
    std::condition_variable FResumed;
    // Bumped by every Resume after the start; the worker waits for it to change.
    unsigned FResumeCount = 0;
};
