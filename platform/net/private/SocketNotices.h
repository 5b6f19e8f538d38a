#pragma once
// The readiness watchers of the socket library: Qt socket notifiers on the application's GUI
// thread, where Qt runs its event loop. Nothing here knows the socket library's names.

#include <functional>
#include <memory>

class QSocketNotifier;

namespace SocketNotices {

// True when a Qt application exists, so that watchers can run.
bool Available();
// True on the thread that runs the watchers.
bool OnWatcherThread();
// Runs call on the watchers' thread: at once when already there, otherwise queued to it.
void RunOnWatcherThread(std::function<void()> call);

// A descriptor's read and write watchers, both disabled at first. Lives on the watchers' thread.
class TWatch {
public:
    TWatch(int fd, std::function<void()> onReadable, std::function<void()> onWritable);
    ~TWatch();
    TWatch(const TWatch&) = delete;
    TWatch& operator=(const TWatch&) = delete;

    void Enable(bool read, bool write);

private:
    std::unique_ptr<QSocketNotifier> FRead;
    std::unique_ptr<QSocketNotifier> FWrite;
};

} // namespace SocketNotices
