#include "platform/gui/NotifyIcon.h"

#include "platform/gui/MessageQueue.h"
#include "platform/gui/private/IconTable.h"
#include "platform/gui/private/QtBridge.h"

#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace {

struct TAddedIcon {
    UINT CallbackMessage = 0;
    bool HasMessage = false;
};

using TIconKey = std::pair<HWND, UINT>;

std::mutex notifyMutex;
std::map<TIconKey, TAddedIcon>& AddedIcons()
{
    static std::map<TIconKey, TAddedIcon> icons;
    return icons;
}

// The icon with its mask as transparency.
QIcon ToQIcon(HICON handle)
{
    const TIconObject* icon = Icons::Find(handle);
    if (!icon)
        return QIcon();
    QImage image = icon->Color.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height() && y < icon->Mask.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        const auto* mask = reinterpret_cast<const std::uint32_t*>(icon->Mask.constScanLine(y));
        for (int x = 0; x < image.width() && x < icon->Mask.width(); ++x)
            if (mask[x] & 0xFFFFFF)
                row[x] = 0;
    }
    return QIcon(QPixmap::fromImage(image));
}

std::string TipOf(const NOTIFYICONDATAA& data)
{
    return std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip));
}

// The desktop's tray: one QSystemTrayIcon for each added icon.
class TTrayBackend {
public:
    BOOL Call(DWORD message, const NOTIFYICONDATAA& data)
    {
        const TIconKey key{data.hWnd, data.uID};
        switch (message) {
        case NIM_ADD: {
            if (!QSystemTrayIcon::isSystemTrayAvailable())
                return FALSE;
            auto tray = std::make_unique<QSystemTrayIcon>();
            const HWND window = data.hWnd;
            const UINT id = data.uID;
            QObject::connect(tray.get(), &QSystemTrayIcon::activated, [window, id](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger: NotifyIconActivated(window, id, TNotifyIconActivation::Click); break;
                case QSystemTrayIcon::DoubleClick: NotifyIconActivated(window, id, TNotifyIconActivation::DoubleClick); break;
                case QSystemTrayIcon::Context: NotifyIconActivated(window, id, TNotifyIconActivation::Context); break;
                case QSystemTrayIcon::MiddleClick: NotifyIconActivated(window, id, TNotifyIconActivation::MiddleClick); break;
                default: break;
                }
            });
            Apply(*tray, data);
            tray->show();
            FTrays[key] = std::move(tray);
            return TRUE;
        }
        case NIM_MODIFY: {
            const auto found = FTrays.find(key);
            if (found == FTrays.end())
                return FALSE;
            Apply(*found->second, data);
            return TRUE;
        }
        case NIM_DELETE:
            return FTrays.erase(key) > 0 ? TRUE : FALSE;
        default:
            return FALSE;
        }
    }

private:
    static void Apply(QSystemTrayIcon& tray, const NOTIFYICONDATAA& data)
    {
        if (data.uFlags & NIF_ICON)
            tray.setIcon(ToQIcon(data.hIcon));
        if (data.uFlags & NIF_TIP)
            tray.setToolTip(ToQString(TipOf(data)));
    }

    std::map<TIconKey, std::unique_ptr<QSystemTrayIcon>> FTrays;
};

TNotifyIconBackend DefaultBackend()
{
    return [](DWORD message, const NOTIFYICONDATAA& data) -> BOOL {
        static TTrayBackend tray;
        return tray.Call(message, data);
    };
}

TNotifyIconBackend& Backend()
{
    static TNotifyIconBackend backend = DefaultBackend();
    return backend;
}

} // namespace

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data)
{
    if (data == nullptr || data->cbSize < sizeof(NOTIFYICONDATAA))
        return FALSE;
    const TIconKey key{data->hWnd, data->uID};
    TNotifyIconBackend backend;
    {
        std::lock_guard<std::mutex> lock(notifyMutex);
        const bool added = AddedIcons().count(key) > 0;
        if ((message == NIM_ADD) == added || message > NIM_DELETE)
            return FALSE;
        backend = Backend();
    }
    NOTIFYICONDATAA copy = *data;
    copy.szTip[sizeof copy.szTip - 1] = '\0';
    if (!backend || !backend(message, copy))
        return FALSE;
    std::lock_guard<std::mutex> lock(notifyMutex);
    if (message == NIM_DELETE) {
        AddedIcons().erase(key);
    } else if (message == NIM_ADD || (copy.uFlags & NIF_MESSAGE)) {
        TAddedIcon& icon = AddedIcons()[key];
        if (copy.uFlags & NIF_MESSAGE) {
            icon.CallbackMessage = copy.uCallbackMessage;
            icon.HasMessage = true;
        }
    }
    return TRUE;
}

TNotifyIconBackend SetNotifyIconBackend(TNotifyIconBackend backend)
{
    std::lock_guard<std::mutex> lock(notifyMutex);
    TNotifyIconBackend previous = std::move(Backend());
    Backend() = backend ? std::move(backend) : DefaultBackend();
    return previous;
}

bool NotifyIconActivated(HWND window, UINT id, TNotifyIconActivation activation)
{
    UINT callback = 0;
    {
        std::lock_guard<std::mutex> lock(notifyMutex);
        const auto found = AddedIcons().find({window, id});
        if (found == AddedIcons().end() || !found->second.HasMessage)
            return false;
        callback = found->second.CallbackMessage;
    }
    UINT first = WM_LBUTTONDOWN, second = WM_LBUTTONUP;
    switch (activation) {
    case TNotifyIconActivation::Click: break;
    case TNotifyIconActivation::DoubleClick: first = WM_LBUTTONDBLCLK; break;
    case TNotifyIconActivation::Context: first = WM_RBUTTONDOWN; second = WM_RBUTTONUP; break;
    case TNotifyIconActivation::MiddleClick: first = WM_MBUTTONDOWN; second = WM_MBUTTONUP; break;
    }
    PostMessage(window, callback, id, static_cast<LPARAM>(first));
    PostMessage(window, callback, id, static_cast<LPARAM>(second));
    return true;
}
