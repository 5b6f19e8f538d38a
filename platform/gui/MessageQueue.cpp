#include "platform/gui/MessageQueue.h"

#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/EventLoop.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Threads.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

const QEvent::Type WakeEventType = static_cast<QEvent::Type>(QEvent::User + 0x2A1);

struct TThreadQueue {
    std::mutex Lock;
    std::condition_variable Arrived;
    std::deque<MSG> Messages;
    std::thread::id Thread;
    std::atomic<int> PendingWakes{0};
    int GetMessageDepth = 0;
};

struct TQueues {
    std::mutex Lock;
    std::map<std::thread::id, std::shared_ptr<TThreadQueue>> ByThread;
    std::map<DWORD, std::shared_ptr<TThreadQueue>> ById;
};

TQueues& Queues()
{
    static TQueues queues;
    return queues;
}

std::shared_ptr<TThreadQueue> QueueOf(std::thread::id thread, bool create)
{
    TQueues& queues = Queues();
    std::lock_guard<std::mutex> lock(queues.Lock);
    auto found = queues.ByThread.find(thread);
    if (found != queues.ByThread.end())
        return found->second;
    if (!create)
        return nullptr;
    auto queue = std::make_shared<TThreadQueue>();
    queue->Thread = thread;
    queues.ByThread[thread] = queue;
    return queue;
}

std::shared_ptr<TThreadQueue> CurrentQueue()
{
    static thread_local std::shared_ptr<TThreadQueue> current;
    if (!current) {
        current = QueueOf(std::this_thread::get_id(), true);
        TQueues& queues = Queues();
        std::lock_guard<std::mutex> lock(queues.Lock);
        queues.ById[GetCurrentThreadId()] = current;
    }
    return current;
}

TPostedMessageFilter& Filter()
{
    static TPostedMessageFilter filter;
    return filter;
}

std::function<void(int)>& QuitHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

// True while ProcessMessagesExcludingInput runs: input messages stay in the queue.
bool excludingInput = false;

bool IsInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

class TWaker : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != WakeEventType)
            return QObject::event(e);
        std::shared_ptr<TThreadQueue> queue = CurrentQueue();
        queue->PendingWakes--;
        if (queue->GetMessageDepth == 0)
            DispatchOne(*queue);
        return true;
    }

    static bool DispatchOne(TThreadQueue& queue);
};

TWaker* waker = nullptr;

void WakeQueue(TThreadQueue& queue)
{
    if (waker && IsGuiThreadId(queue.Thread)) {
        queue.PendingWakes++;
        QCoreApplication::postEvent(waker, new QEvent(WakeEventType));
    } else {
        queue.Arrived.notify_all();
    }
}

bool TakeMessage(TThreadQueue& queue, MSG& msg, HWND handle, UINT filterMin, UINT filterMax, bool remove,
                 bool skipInput = false)
{
    std::lock_guard<std::mutex> lock(queue.Lock);
    for (auto it = queue.Messages.begin(); it != queue.Messages.end(); ++it) {
        if (skipInput && IsInputMessage(it->message))
            continue;
        if (handle && it->hwnd != handle)
            continue;
        if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax))
            continue;
        msg = *it;
        if (remove)
            queue.Messages.erase(it);
        return true;
    }
    return false;
}

void Deliver(MSG& msg)
{
    try {
        if (Filter() && Filter()(msg))
            return;
        if (msg.message == WM_QUIT && !msg.hwnd) {
            if (QuitHandler())
                QuitHandler()(static_cast<int>(msg.wParam));
            return;
        }
        DispatchMessageA(msg);
    } catch (...) {
        HandleApplicationException(SenderOf(msg.hwnd));
    }
}

bool TWaker::DispatchOne(TThreadQueue& queue)
{
    MSG msg;
    if (!TakeMessage(queue, msg, nullptr, 0, 0, true, excludingInput))
        return false;
    Deliver(msg);
    return true;
}

// Holds back the input events Qt delivers from its posted-event queue while input is excluded,
// and posts them again afterwards in their order. (Input from the window system is held back by
// Qt itself through ExcludeUserInputEvents.)
class TInputHold : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!IsInputEvent(event->type()))
            return false;
        Held.push_back({QPointer<QObject>(watched), std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

    void Release()
    {
        std::vector<THeld> held = std::move(Held);
        Held.clear();
        for (THeld& entry : held)
            if (entry.Receiver)
                QCoreApplication::postEvent(entry.Receiver, entry.Event.release());
    }

private:
    static bool IsInputEvent(QEvent::Type type)
    {
        switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
        }
    }

    struct THeld {
        QPointer<QObject> Receiver;
        std::unique_ptr<QEvent> Event;
    };
    std::vector<THeld> Held;
};

void RestoreWakes(TThreadQueue& queue)
{
    int waiting = 0;
    {
        std::lock_guard<std::mutex> lock(queue.Lock);
        waiting = static_cast<int>(queue.Messages.size());
    }
    while (waker && queue.PendingWakes < waiting) {
        queue.PendingWakes++;
        QCoreApplication::postEvent(waker, new QEvent(WakeEventType));
    }
}

bool Post(const std::shared_ptr<TThreadQueue>& queue, const MSG& msg)
{
    if (!queue)
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(queue->Lock);
        queue->Messages.push_back(msg);
    }
    WakeQueue(*queue);
    return TRUE;
}

MSG MakeMsg(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg;
    msg.hwnd = handle;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

} // namespace

namespace EventLoop {

void Initialize()
{
    if (waker || !QCoreApplication::instance() || !IsGuiThread())
        return;
    SetGuiThread();
    waker = new TWaker;
    CurrentQueue();
    SetMainThreadDispatcher([](std::function<void()> call) {
        if (waker)
            QMetaObject::invokeMethod(waker, std::move(call), Qt::QueuedConnection);
    });
    RestoreWakes(*CurrentQueue());
}

void ProcessEvents(bool wait, bool excludeInput)
{
    QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
    if (wait)
        flags |= QEventLoop::WaitForMoreEvents;
    if (excludeInput)
        flags |= QEventLoop::ExcludeUserInputEvents;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(flags);
    ServeSynchronize();
}

void Wake()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QCoreApplication::instance()
                                                                                       ? QCoreApplication::instance()->thread()
                                                                                       : nullptr))
        dispatcher->wakeUp();
}

void ServeSynchronize()
{
    try {
        CheckSynchronize(0);
    } catch (...) {
        HandleApplicationException(nullptr);
    }
}

} // namespace EventLoop

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!handle)
        return Post(CurrentQueue(), MakeMsg(nullptr, message, wParam, lParam));
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return FALSE;
    return Post(QueueOf(record->Thread, true), MakeMsg(handle, message, wParam, lParam));
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<TThreadQueue> queue;
    {
        TQueues& queues = Queues();
        std::lock_guard<std::mutex> lock(queues.Lock);
        auto found = queues.ById.find(threadId);
        if (found != queues.ById.end())
            queue = found->second;
    }
    return Post(queue, MakeMsg(nullptr, message, wParam, lParam));
}

void PostQuitMessage(int exitCode) { Post(CurrentQueue(), MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0)); }

BOOL PeekMessageA(MSG& msg, HWND handle, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    return TakeMessage(*CurrentQueue(), msg, handle, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
}

BOOL GetMessageA(MSG& msg, HWND handle, UINT filterMin, UINT filterMax)
{
    std::shared_ptr<TThreadQueue> queue = CurrentQueue();
    if (!IsGuiThread() || !waker) {
        std::unique_lock<std::mutex> lock(queue->Lock);
        for (;;) {
            for (auto it = queue->Messages.begin(); it != queue->Messages.end(); ++it) {
                if (handle && it->hwnd != handle)
                    continue;
                if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax))
                    continue;
                msg = *it;
                queue->Messages.erase(it);
                return msg.message != WM_QUIT;
            }
            queue->Arrived.wait(lock);
        }
    }
    queue->GetMessageDepth++;
    while (!TakeMessage(*queue, msg, handle, filterMin, filterMax, true))
        EventLoop::ProcessEvents(true);
    queue->GetMessageDepth--;
    RestoreWakes(*queue);
    return msg.message != WM_QUIT;
}

BOOL TranslateMessage(const MSG&) { return TRUE; }

LRESULT DispatchMessageA(const MSG& msg)
{
    if (msg.message == WM_TIMER && msg.lParam) {
        auto procedure = reinterpret_cast<TIMERPROC>(msg.lParam);
        procedure(msg.hwnd, WM_TIMER, msg.wParam, GetTickCount());
        return 0;
    }
    if (!msg.hwnd)
        return 0;
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(msg.hwnd);
    if (!record)
        return 0;
    WNDPROC procedure = record->Proc;
    return procedure(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

BOOL WaitMessage()
{
    if (!IsGuiThread() || !waker) {
        std::shared_ptr<TThreadQueue> queue = CurrentQueue();
        std::unique_lock<std::mutex> lock(queue->Lock);
        queue->Arrived.wait(lock, [&] { return !queue->Messages.empty(); });
        return TRUE;
    }
    if (PostedMessageCount() == 0)
        EventLoop::ProcessEvents(true);
    return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD milliseconds, DWORD)
{
    if (PostedMessageCount() > 0)
        return WAIT_OBJECT_0;
    if (!IsGuiThread() || !waker) {
        std::shared_ptr<TThreadQueue> queue = CurrentQueue();
        std::unique_lock<std::mutex> lock(queue->Lock);
        auto arrived = [&] { return !queue->Messages.empty(); };
        if (milliseconds == INFINITE) {
            queue->Arrived.wait(lock, arrived);
            return WAIT_OBJECT_0;
        }
        return queue->Arrived.wait_for(lock, std::chrono::milliseconds(milliseconds), arrived) ? WAIT_OBJECT_0
                                                                                               : WAIT_TIMEOUT;
    }
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] { timedOut = true; });
    if (milliseconds != INFINITE)
        timer.start(static_cast<int>(milliseconds));
    EventLoop::ProcessEvents(true);
    return timedOut ? WAIT_TIMEOUT : WAIT_OBJECT_0;
}

void SetPostedMessageFilter(TPostedMessageFilter filter) { Filter() = std::move(filter); }

void SetQuitHandler(std::function<void(int)> handler) { QuitHandler() = std::move(handler); }

void ProcessMessagesExcludingInput()
{
    if (excludingInput)
        return;
    std::shared_ptr<TThreadQueue> queue = CurrentQueue();
    TInputHold hold;
    QCoreApplication* app = QCoreApplication::instance();
    if (app)
        app->installEventFilter(&hold);
    excludingInput = true;
    try {
        EventLoop::ProcessEvents(false, true);
        while (TWaker::DispatchOne(*queue)) {
        }
    } catch (...) {
        excludingInput = false;
        if (app)
            app->removeEventFilter(&hold);
        hold.Release();
        throw;
    }
    excludingInput = false;
    if (app)
        app->removeEventFilter(&hold);
    hold.Release();
    // Each input message left in the queue still needs its wake event.
    RestoreWakes(*queue);
}

bool DispatchPostedMessages()
{
    std::shared_ptr<TThreadQueue> queue = CurrentQueue();
    bool any = false;
    while (TWaker::DispatchOne(*queue))
        any = true;
    return any;
}

int PostedMessageCount()
{
    std::shared_ptr<TThreadQueue> queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(queue->Lock);
    return static_cast<int>(queue->Messages.size());
}

namespace EventLoop {

std::function<bool(MSG&)>& InputFilter()
{
    static std::function<bool(MSG&)> filter;
    return filter;
}

bool FilterInput(MSG& msg)
{
    std::function<bool(MSG&)>& filter = InputFilter();
    return filter && filter(msg);
}

} // namespace EventLoop
