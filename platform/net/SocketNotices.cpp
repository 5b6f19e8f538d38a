#include "platform/net/private/SocketNotices.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

namespace SocketNotices {

bool Available() { return QCoreApplication::instance() != nullptr; }

bool OnWatcherThread()
{
    QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

void RunOnWatcherThread(std::function<void()> call)
{
    if (OnWatcherThread()) {
        call();
        return;
    }
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(call), Qt::QueuedConnection);
}

TWatch::TWatch(int fd, std::function<void()> onReadable, std::function<void()> onWritable)
    : FRead(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)),
      FWrite(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write))
{
    FRead->setEnabled(false);
    FWrite->setEnabled(false);
    QObject::connect(FRead.get(), &QSocketNotifier::activated, FRead.get(), std::move(onReadable));
    QObject::connect(FWrite.get(), &QSocketNotifier::activated, FWrite.get(), std::move(onWritable));
}

TWatch::~TWatch() = default;

void TWatch::Enable(bool read, bool write)
{
    if (FRead->isEnabled() != read)
        FRead->setEnabled(read);
    if (FWrite->isEnabled() != write)
        FWrite->setEnabled(write);
}

} // namespace SocketNotices
