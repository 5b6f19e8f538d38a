#include "platform/gui/WindowHandles.h"

#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/MessageQueue.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/TextUtils.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

// --- The handle table ------------------------------------------------------------------------------

namespace {

struct TTable {
    std::mutex Lock;
    std::map<std::uintptr_t, std::shared_ptr<TWindowRecord>> Records;
    std::uintptr_t Next = 0x1000;
    // Bumped whenever a handle goes, so that a thread's last look-up can be trusted without the lock.
    std::atomic<unsigned> Releases{0};
};

// The last handle a thread looked up: messages come in runs to the same window.
struct TLastFound {
    std::uintptr_t Key = 0;
    unsigned Releases = 0;
    std::shared_ptr<TWindowRecord> Record;
};

TTable& WindowTable()
{
    static TTable table;
    return table;
}

std::uintptr_t Key(HWND handle) { return reinterpret_cast<std::uintptr_t>(handle); }

} // namespace

namespace HandleTable {

HWND Allocate(const std::shared_ptr<TWindowRecord>& record)
{
    TTable& table = WindowTable();
    std::lock_guard<std::mutex> lock(table.Lock);
    // Steps of 4 keep handles apart from the small special values (HWND_TOPMOST and others).
    table.Next += 4;
    record->Handle = reinterpret_cast<HWND>(table.Next);
    record->Thread = std::this_thread::get_id();
    table.Records[table.Next] = record;
    return record->Handle;
}

std::shared_ptr<TWindowRecord> Find(HWND handle)
{
    if (!handle)
        return nullptr;
    TTable& table = WindowTable();
    static thread_local TLastFound last;
    const unsigned releases = table.Releases.load(std::memory_order_acquire);
    if (last.Key == Key(handle) && last.Releases == releases && last.Record)
        return last.Record;
    std::lock_guard<std::mutex> lock(table.Lock);
    auto found = table.Records.find(Key(handle));
    if (found == table.Records.end())
        return nullptr;
    last.Key = Key(handle);
    last.Releases = releases;
    last.Record = found->second;
    return found->second;
}

void Release(HWND handle)
{
    TTable& table = WindowTable();
    std::shared_ptr<TWindowRecord> record;
    {
        std::lock_guard<std::mutex> lock(table.Lock);
        auto found = table.Records.find(Key(handle));
        if (found == table.Records.end())
            return;
        record = found->second;
        table.Records.erase(found);
        table.Releases.fetch_add(1, std::memory_order_release);
    }
    record->Destroyed = true;
}

std::vector<std::shared_ptr<TWindowRecord>> All()
{
    TTable& table = WindowTable();
    std::lock_guard<std::mutex> lock(table.Lock);
    std::vector<std::shared_ptr<TWindowRecord>> records;
    records.reserve(table.Records.size());
    for (auto& entry : table.Records)
        records.push_back(entry.second);
    return records;
}

} // namespace HandleTable

namespace {
std::mutex guiThreadLock;
std::thread::id guiThread;
bool guiThreadKnown = false;
} // namespace

void SetGuiThread()
{
    std::lock_guard<std::mutex> lock(guiThreadLock);
    guiThread = std::this_thread::get_id();
    guiThreadKnown = true;
}

bool IsGuiThreadId(std::thread::id thread)
{
    std::lock_guard<std::mutex> lock(guiThreadLock);
    return guiThreadKnown && thread == guiThread;
}

bool IsGuiThread()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    return GetCurrentThreadId() == MainThreadID();
}

void CheckGuiThread()
{
    if (!IsGuiThread())
        RAISE(EInvalidOperation("Operazione sull'interfaccia fuori dal thread principale"));
}

// --- Window procedures ---------------------------------------------------------------------------------

namespace {

LRESULT CallProcedureOf(const std::shared_ptr<TWindowRecord>& record, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC procedure = record->Proc;
    return procedure(record->Handle, message, wParam, lParam);
}

} // namespace

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageToRecord(HandleTable::Find(handle), message, wParam, lParam);
}

LRESULT SendMessageToRecord(const std::shared_ptr<TWindowRecord>& record, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!record || record->Destroyed)
        return 0;
    HWND handle = record->Handle;
    if (record->Thread == std::this_thread::get_id() || !QCoreApplication::instance() || !IsGuiThreadId(record->Thread))
        return CallProcedureOf(record, message, wParam, lParam);
    // Another thread's window: run it there and wait for the answer.
    LRESULT result = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            if (HandleTable::Find(handle))
                result = CallProcedureOf(record, message, wParam, lParam);
        },
        Qt::BlockingQueuedConnection);
    return result;
}

LRESULT CallWindowProcA(const WNDPROC& procedure, HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!procedure)
        return 0;
    return procedure(handle, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return 0;
    return DefaultWindowProcedure(record, message, wParam, lParam);
}

LRESULT DefaultWindowProcedure(const std::shared_ptr<TWindowRecord>& record, UINT message, WPARAM wParam,
                               LPARAM lParam)
{
    HWND handle = record->Handle;
    TMessage M{message, wParam, lParam, 0};
    if (record->DefaultHook && record->DefaultHook(M))
        return M.Result;
    switch (message) {
    case WM_SETTEXT:
        record->Text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0 || lParam == 0)
            return 0;
        const std::size_t count = std::min<std::size_t>(record->Text.size(), wParam - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), record->Text.data(), count);
        reinterpret_cast<char*>(lParam)[count] = 0;
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(record->Text.size());
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
        if (record->Parent)
            return SendMessageA(record->Parent, message, wParam, lParam);
        return 0;
    default:
        return 0;
    }
}

WNDPROC SetWindowLongPtrA(HWND handle, int index, WNDPROC procedure)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record || index != GWL_WNDPROC)
        return nullptr;
    WNDPROC previous = record->Proc;
    record->Proc = std::move(procedure);
    return previous;
}

WNDPROC GetWindowProc(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    return record ? record->Proc : WNDPROC();
}

namespace {

LONG_PTR* ExtraSlot(TWindowRecord& record, int index)
{
    if (index < 0)
        return nullptr;
    const std::size_t slot = static_cast<std::size_t>(index) / sizeof(LONG_PTR);
    if (slot >= record.Extra.size())
        return nullptr;
    return &record.Extra[slot];
}

} // namespace

LONG_PTR GetWindowLongPtrA(HWND handle, int index)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return 0;
    switch (index) {
    case GWL_STYLE:
        return record->Style;
    case GWL_EXSTYLE:
        return record->ExStyle;
    case GWL_ID:
        return record->Id;
    case GWL_USERDATA:
        return record->UserData;
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(record->Owner ? record->Owner : record->Parent);
    case GWL_WNDPROC:
        // An identity for the procedure; use GetWindowProc to call it.
        return record->Proc ? reinterpret_cast<LONG_PTR>(record.get()) : 0;
    default:
        if (LONG_PTR* slot = ExtraSlot(*record, index))
            return *slot;
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_STYLE:
        previous = record->Style;
        record->Style = value;
        ApplyWindowStyle(handle, previous, record->ExStyle);
        return previous;
    case GWL_EXSTYLE:
        previous = record->ExStyle;
        record->ExStyle = value;
        ApplyWindowStyle(handle, record->Style, previous);
        return previous;
    case GWL_ID:
        previous = record->Id;
        record->Id = value;
        return previous;
    case GWL_USERDATA:
        previous = record->UserData;
        record->UserData = value;
        return previous;
    case GWL_HWNDPARENT:
        previous = reinterpret_cast<LONG_PTR>(record->Owner);
        record->Owner = reinterpret_cast<HWND>(value);
        return previous;
    default:
        if (LONG_PTR* slot = ExtraSlot(*record, index)) {
            previous = *slot;
            *slot = value;
        }
        return previous;
    }
}

WNDPROC MakeObjectInstance(TWndMethod method)
{
    return WNDPROC([method = std::move(method)](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        TMessage M{message, wParam, lParam, 0};
        method(M);
        return M.Result;
    });
}

void FreeObjectInstance(WNDPROC& procedure) { procedure = nullptr; }

// --- Utility windows and registered classes ----------------------------------------------------------

namespace {

struct TRegisteredClass {
    WNDCLASSA Class;
    std::string Name;
};

std::mutex classLock;

std::vector<TRegisteredClass>& Classes()
{
    static std::vector<TRegisteredClass> classes;
    return classes;
}

TRegisteredClass* FindRegisteredClass(const std::string& name)
{
    for (TRegisteredClass& registered : Classes())
        if (SameText(registered.Name, name))
            return &registered;
    return nullptr;
}

HWND CreateHiddenWindow(const std::string& className, WNDPROC procedure, int extraBytes)
{
    auto record = std::make_shared<TWindowRecord>();
    record->ClassName = className;
    record->Proc = std::move(procedure);
    record->Extra.resize((std::max(extraBytes, 0) + sizeof(LONG_PTR) - 1) / sizeof(LONG_PTR));
    return HandleTable::Allocate(record);
}

} // namespace

HWND AllocateHWnd(TWndMethod method)
{
    WNDPROC procedure = WNDPROC([method = std::move(method)](HWND handle, UINT message, WPARAM wParam,
                                                              LPARAM lParam) -> LRESULT {
        TMessage M{message, wParam, lParam, 0};
        try {
            if (method)
                method(M);
            else
                M.Result = DefWindowProcA(handle, message, wParam, lParam);
        } catch (...) {
            HandleApplicationException(nullptr);
        }
        return M.Result;
    });
    return CreateHiddenWindow("TPUtilWindow", std::move(procedure), 0);
}

void DeallocateHWnd(HWND handle)
{
    if (!handle)
        return;
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record || record->Control)
        return;
    KillWindowTimers(handle);
    HandleTable::Release(handle);
}

ATOM RegisterClassA(const WNDCLASSA& windowClass)
{
    if (!windowClass.lpszClassName || !*windowClass.lpszClassName)
        return 0;
    std::lock_guard<std::mutex> lock(classLock);
    if (FindRegisteredClass(windowClass.lpszClassName))
        return 0;
    TRegisteredClass registered{windowClass, windowClass.lpszClassName};
    registered.Class.lpszClassName = nullptr;
    Classes().push_back(registered);
    return static_cast<ATOM>(0xC000 + Classes().size());
}

BOOL UnregisterClassA(const char* className, HINSTANCE)
{
    if (!className)
        return FALSE;
    std::lock_guard<std::mutex> lock(classLock);
    auto& classes = Classes();
    auto found = std::find_if(classes.begin(), classes.end(),
                              [&](const TRegisteredClass& c) { return SameText(c.Name, className); });
    if (found == classes.end())
        return FALSE;
    classes.erase(found);
    return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA& windowClass)
{
    if (!className)
        return FALSE;
    std::lock_guard<std::mutex> lock(classLock);
    TRegisteredClass* registered = FindRegisteredClass(className);
    if (!registered)
        return FALSE;
    windowClass = registered->Class;
    windowClass.lpszClassName = className;
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU, HINSTANCE instance, void* param)
{
    WNDCLASSA windowClass;
    if (!className || !GetClassInfoA(instance, className, windowClass))
        return nullptr;
    HWND handle = CreateHiddenWindow(className, windowClass.lpfnWndProc, windowClass.cbWndExtra);
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    record->Style = style;
    record->ExStyle = exStyle;
    record->Parent = parent;
    record->Text = title ? title : "";
    CREATESTRUCTA create;
    create.lpCreateParams = param;
    create.hwndParent = parent;
    create.x = x;
    create.y = y;
    create.cx = width;
    create.cy = height;
    create.style = style;
    create.dwExStyle = exStyle;
    create.lpszName = title;
    create.lpszClass = className;
    SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create));
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        HandleTable::Release(handle);
        return nullptr;
    }
    return handle;
}

BOOL DestroyWindow(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return FALSE;
    if (record->Control) {
        DestroyControlWindow(record->Control);
        return TRUE;
    }
    SendMessageA(handle, WM_DESTROY, 0, 0);
    SendMessageA(handle, WM_NCDESTROY, 0, 0);
    KillWindowTimers(handle);
    HandleTable::Release(handle);
    return TRUE;
}

TWinControl* FindControl(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    return record ? record->Control : nullptr;
}

BOOL IsWindow(HWND handle) { return HandleTable::Find(handle) ? TRUE : FALSE; }

std::string GetClassName(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    return record ? record->ClassName : std::string();
}

int GetClassNameA(HWND handle, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    const std::string name = GetClassName(handle);
    const int count = std::min<int>(static_cast<int>(name.size()), size - 1);
    std::memcpy(buffer, name.data(), count);
    buffer[count] = 0;
    return count;
}

HWND FindWindowA(const char* className, const char* title)
{
    for (const auto& record : HandleTable::All()) {
        if (record->Parent || (record->Style & static_cast<LONG_PTR>(WS_CHILD)))
            continue;
        if (className && *className && !SameText(record->ClassName, className))
            continue;
        if (title && *title && record->Text != title)
            continue;
        return record->Handle;
    }
    return nullptr;
}
