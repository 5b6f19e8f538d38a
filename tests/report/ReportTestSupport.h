#pragma once
// Shared by the report engine's tests: the engine started once with only the virtual printer,
// byte helpers, a scratch folder, scripted message boxes and the sample template.

#include "report/RP_Class.h"

#include "platform/gui/Icon.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using TBytes = std::vector<std::uint8_t>;

// Hex digits, blanks and line breaks ignored.
TBytes FromHex(const std::string& hex);
std::string ToHex(const TBytes& bytes);
TBytes ReadFileBytes(const fs::path& path);
void WriteFileBytes(const fs::path& path, const TBytes& bytes);

TBytes SaveToBytes(TrpReport& report);
bool LoadFromBytes(TrpReport& report, const TBytes& bytes);

// The 163-byte template: one A4 page and the text object "Memo1" showing "[Price]".
extern const char* const SampleTemplateHex;
// The same in the version-22 form.
extern const char* const SampleTemplate22Hex;
// The report of the sample template, put together in code.
void BuildSampleReport(TrpReport& report);

// A minimal enhanced metafile of a recording's frame, a header and the end record: the writer the
// tests install so that recorded metafiles can be saved.
class TMetafile;
void WriteMinimalEmf(const TMetafile& metafile, TStream& stream);

// The whole file as text.
std::string ReadText(const fs::path& path);

// Appends the object's prepared record (with its Memo as the text) to the sheet's page stream, as
// printing it during a build does.
struct TrpPageInfo;
class TrpView;
void PutPreparedObject(TrpPageInfo& sheet, TrpView& view);

// The starting files of the prepared-report fuzz target, defined with its replay.
std::vector<TBytes> StartingPreparedFiles();

// A square icon of one colour with an opaque mask.
void MakeTestIcon(TIcon& icon, int size, TColor color);

// A folder removed with the object.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    const fs::path& Path() const { return FPath; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
    fs::path FPath;
};

// Scripted dialogs for the object's life: every message box is recorded and answered OK.
class TBoxRecorder {
public:
    TBoxRecorder();
    ~TBoxRecorder();
    TBoxRecorder(const TBoxRecorder&) = delete;
    TBoxRecorder& operator=(const TBoxRecorder&) = delete;
    std::vector<TDialogRequestRecord> Boxes() const { return FDialogs->Requests(); }
    TScriptedDialogs& Dialogs() { return *FDialogs; }

private:
    TScriptedDialogs* FDialogs;
    std::unique_ptr<IDialogService> FPrevious;
};

// The application, message boxes answered OK, only the virtual printer and the engine started:
// what the tests run in.
void StartReportEngine();

// Only the engine's virtual printer (the state every test starts from).
void UseVirtualPrinterOnly();
// Two file printers, "Ufficio" and "Magazzino", offering A4 and Letter at 600 dpi; the engine
// printer takes the class library's current one.
void UseTwoPrinters();

// --- Windows ---

class TBitmap;
class TWinControl;

class TControl;

// The LPARAM of a mouse message at (x, y).
LPARAM MouseAt(int x, int y);
// The left button pressed and released at (3, 3) of the control.
void ClickOn(TControl* control);
// Processes messages until condition holds or timeoutMs passes; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
// Runs the window modally; steps runs inside the modal loop with the window on screen and active,
// and closes it.
class TCustomForm;
int RunModal(TCustomForm* form, const std::function<void()>& steps);
// A picture of the window as it shows now (what is pending is painted first).
void GrabWindow(TWinControl* control, TBitmap& picture);
// The pixel's colour as red, green and blue.
std::vector<int> RgbAt(TBitmap& picture, int x, int y);
// Where pictures for a person to look at go: TESS_SCREENSHOT_DIR, else screenshots/ in the
// working folder.
std::string ScreenshotFolder();
