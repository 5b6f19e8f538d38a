#pragma once
// Formatting a removable disk for a spanned set, on a thread of its own so that the interface
// keeps processing messages while the format runs. The format itself is a service: this system
// offers no disk formatting, so the default answers "failed" and touches no drive.

#include "platform/os/WinBase.h"
#include "platform/rtl/Threads.h"

#include <functional>
#include <string>

class TZipArchiver;

// Formats drive index (0 = A) with the volume label; without user = start and close on its own.
// Answers 0 or more done, -1 failed, -2 cancelled, -3 not formatted.
using TZipFormatService = std::function<int(int indiceDisco, const std::string& etichetta, bool senzaUtente)>;
void SetZipFormatService(TZipFormatService service); // empty restores the default

// A service that shows a dialog of its own may report it, from any thread: the waiting component
// then counts its dialog as found.
void ZipFormatDialogShown(HWND dialog);

// The component a format runs for, or null: one format runs at a time in the process.
TZipArchiver* ZipFormatSlot();

// Runs one format for a component and frees itself when it ends. A thread made while another
// format runs formats nothing and answers -1.
class TSHFormatThread : public TThread {
    TESS_CLASS(TSHFormatThread, TThread)
public:
    TSHFormatThread(TZipArchiver* component, bool createSuspended);
    ~TSHFormatThread() override;

protected:
    void Execute() override;

private:
    TZipArchiver* FComponent;
    bool FOwnsSlot = false;
    // Copied on the interface thread, so that the format thread reads nothing the component owns.
    int FDriveIndex = 0;
    std::string FLabel;
    bool FWithoutUser = false;
};
