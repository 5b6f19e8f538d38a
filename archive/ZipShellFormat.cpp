// The drive format thread and the service it calls.

#include "archive/ZipShellFormat.h"

#include "archive/ZipArchiver.h"
#include "platform/gui/Application.h"
#include "platform/os/Volumes.h"

#include <atomic>
#include <mutex>

namespace {

std::mutex formatServiceLock;
TZipFormatService formatService;
std::atomic<TZipArchiver*> formatSlot{nullptr};

int ZipNoFormat(int, const std::string&, bool) { return -1; }

TZipFormatService CurrentFormatService()
{
    std::lock_guard<std::mutex> guard(formatServiceLock);
    return formatService ? formatService : TZipFormatService(ZipNoFormat);
}

} // namespace

void SetZipFormatService(TZipFormatService service)
{
    std::lock_guard<std::mutex> guard(formatServiceLock);
    formatService = std::move(service);
}

void ZipFormatDialogShown(HWND dialog)
{
    TZipArchiver* component = formatSlot.load();
    if (!component)
        return;
    component->FormatDialog = dialog;
    int waiting = 0;
    component->FormatState.compare_exchange_strong(waiting, 1);
}

TZipArchiver* ZipFormatSlot() { return formatSlot.load(); }

TSHFormatThread::TSHFormatThread(TZipArchiver* component, bool createSuspended)
    : TThread(createSuspended), FComponent(component), FDriveIndex(component->FormatDriveIndex),
      FLabel(component->VolumeLabel), FWithoutUser(!component->ConfirmErase)
{
    // A refused thread frees itself too, once it has answered.
    FreeOnTerminate = true;
    SetPriority(tpNormal);
    TZipArchiver* free = nullptr;
    FOwnsSlot = formatSlot.compare_exchange_strong(free, component);
    if (FOwnsSlot)
        component->AutoStartFormat = true;
    else
        Terminate();
    if (!createSuspended)
        Start();
}

TSHFormatThread::~TSHFormatThread()
{
    if (FOwnsSlot)
        formatSlot.store(nullptr);
}

void TSHFormatThread::Execute()
{
    const UINT savedMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    int result = -1;
    if (!Terminated()) {
        try {
            result = CurrentFormatService()(FDriveIndex, FLabel, FWithoutUser);
        } catch (...) {
            result = -1;
        }
    }
    SetErrorMode(savedMode);
    // Free before the component learns the result, so that its next disk may be formatted at once.
    if (FOwnsSlot) {
        FOwnsSlot = false;
        formatSlot.store(nullptr);
    }
    FComponent->FormatResult = result;
    FComponent->FormatState = 2;
}

int TZipArchiver::ZipFormat()
{
    FormatState = 0;
    FormatResult = -3;
    try {
        // The thread frees itself: nothing here touches it once it runs.
        (new TSHFormatThread(this, true))->Start();
    } catch (...) {
        return -3;
    }
    while (FormatState != 2) {
        Application->ProcessMessages();
        Sleep(1);
    }
    return FormatResult;
}
