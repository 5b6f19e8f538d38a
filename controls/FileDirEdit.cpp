#include "controls/FileDirEdit.h"

#include "controls/ExCConst.h"
#include "controls/ExConst.h"
#include "controls/ExResources.h"
#include "controls/FileUtil.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Resources.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"

namespace FileDirEditUnit {

TBitmap* FileEditBitmap()
{
    // Loaded once and kept for the process, like the other editors' pictures.
    static TBitmap* bitmap = [] {
        RegisterExResources();
        auto* loaded = new TBitmap;
        loaded->SetHandle(LoadBitmap(MainInstance(), "FEDITBMP"));
        return loaded;
    }();
    return bitmap;
}

std::unique_ptr<TOpenDialog> NewDialog(TFileDialogKind Kind)
{
    switch (Kind) {
    case FileDirEdit::dkSave: return std::make_unique<TSaveDialog>(nullptr);
    case FileDirEdit::dkOpenPicture: return std::make_unique<TOpenPictureDialog>(nullptr);
    case FileDirEdit::dkSavePicture: return std::make_unique<TSavePictureDialog>(nullptr);
    default: return std::make_unique<TOpenDialog>(nullptr);
    }
}

} // namespace FileDirEditUnit

using namespace FileDirEditUnit;

std::string QuoteFileNameText(const std::string& S)
{
    if (S.find(' ') != std::string::npos && (S.empty() || S[0] != '"'))
        return '"' + S + '"';
    return S;
}

std::string ClipFileNameText(const std::string& S)
{
    if (FileExists(S))
        return S;
    std::string program, parameters;
    SplitCommandLine(S, program, parameters);
    return program;
}

// ---- TFileDirEdit

TFileDirEdit::TFileDirEdit(TComponent* AOwner) : TCustomComboEdit(AOwner)
{
    OEMConvert = true;
    SetGlyphKind(gkDefault);
}

TBitmap* TFileDirEdit::GetDefaultBitmap(bool& DestroyNeeded)
{
    DestroyNeeded = false;
    return FileEditBitmap();
}

void TFileDirEdit::DoBeforeDialog(std::string& Name, bool& Action)
{
    if (OnBeforeDialog)
        OnBeforeDialog(this, Name, Action);
}

void TFileDirEdit::DoAfterDialog(std::string& Name, bool& Action)
{
    if (OnAfterDialog)
        OnAfterDialog(this, Name, Action);
}

void TFileDirEdit::SetDragAccept(bool Value)
{
    if (!ComponentState().Contains(csDesigning) && HandleAllocated())
        DragAcceptFiles(Handle(), Value ? TRUE : FALSE);
}

void TFileDirEdit::SetAcceptFiles(bool Value)
{
    if (Value == FAcceptFiles)
        return;
    SetDragAccept(Value);
    FAcceptFiles = Value;
}

void TFileDirEdit::CreateWnd()
{
    TCustomComboEdit::CreateWnd();
    if (FAcceptFiles)
        SetDragAccept(true);
}

void TFileDirEdit::DestroyWnd()
{
    if (FAcceptFiles)
        SetDragAccept(false);
    TCustomComboEdit::DestroyWnd();
}

void TFileDirEdit::DisableSysErrors() { FErrMode = SetErrorMode(SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS); }

void TFileDirEdit::EnableSysErrors() { SetErrorMode(FErrMode); }

bool TFileDirEdit::RunDialog(const std::function<bool()>& Execute)
{
    bool chosen = false;
    DisableSysErrors();
    try {
        chosen = Execute();
    } catch (...) {
        EnableSysErrors();
        throw;
    }
    EnableSysErrors();
    if (CanFocus())
        SetFocus();
    return chosen;
}

void TFileDirEdit::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_DROPFILES) {
        DropFiles(Message);
        return;
    }
    TCustomComboEdit::Dispatch(Message);
}

void TFileDirEdit::DropFiles(TMessage& Message)
{
    Message.Result = 0;
    auto drop = reinterpret_cast<HDROP>(Message.WParam);
    try {
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        if (count > 0) {
            ClearFileList();
            for (UINT i = 0; i < count; ++i) {
                // Each name is asked for its length first: a path is never cut.
                std::string name(DragQueryFileA(drop, i, nullptr, 0), '\0');
                DragQueryFileA(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
                ReceptFileDir(name);
                if (!FMultipleDirs)
                    break;
            }
            if (OnDropFiles)
                OnDropFiles(this);
        }
    } catch (...) {
        DragFinish(drop);
        throw;
    }
    DragFinish(drop);
}

// ---- TFilenameEdit

TFilenameEdit::TFilenameEdit(TComponent* AOwner)
    : TFileDirEdit(AOwner), FHistoryList(std::make_unique<TStringList>())
{
    CreateEditDialog();
}

TFilenameEdit::~TFilenameEdit() = default;

void TFilenameEdit::CreateEditDialog()
{
    std::unique_ptr<TOpenDialog> dialog = NewDialog(FDialogKind);
    if (FDialog) {
        dialog->SetDefaultExt(FDialog->DefaultExt());
        dialog->FileName = FDialog->FileName;
        dialog->Filter = FDialog->Filter;
        dialog->FilterIndex = FDialog->FilterIndex;
        dialog->InitialDir = FDialog->InitialDir;
        dialog->Files()->Assign(FDialog->Files());
        dialog->Options = FDialog->Options;
        dialog->Title = FDialog->Title;
    } else {
        dialog->Title = ExLoadStr(SBrowse);
        dialog->Filter = ExLoadStr(SDefaultFilter);
        dialog->Options = TOpenOptions{ofHideReadOnly};
    }
    FDialog = std::move(dialog);
}

void TFilenameEdit::SetDialogKind(TFileDialogKind Value)
{
    if (Value == FDialogKind)
        return;
    FDialogKind = Value;
    CreateEditDialog();
}

std::string TFilenameEdit::GetFileName() { return ClipFileNameText(Text()); }

void TFilenameEdit::SetFileName(const std::string& Value)
{
    if (!Value.empty() && !ValidFileName(ClipFileNameText(Value)))
        RAISE(EComboEditError(Format("Invalid file name - %s", {Value})));
    SetText(QuoteFileNameText(Value));
    ClearFileList();
}

void TFilenameEdit::SetDialogOptions(TOpenOptions Value)
{
    if (Value == FDialog->Options)
        return;
    FDialog->Options = Value;
    FMultipleDirs = Value.Contains(ofAllowMultiSelect);
    if (!FMultipleDirs)
        ClearFileList();
}

std::string TFilenameEdit::GetLongName() { return ShortToLongFileName(GetFileName()); }

std::string TFilenameEdit::GetShortName() { return LongToShortFileName(GetFileName()); }

void TFilenameEdit::ClearFileList() { FDialog->Files()->Clear(); }

void TFilenameEdit::ReceptFileDir(const std::string& AFileName)
{
    if (FMultipleDirs) {
        if (FDialog->Files()->Count() == 0)
            SetFileName(AFileName);
        FDialog->Files()->Add(AFileName);
    } else {
        SetFileName(AFileName);
    }
}

void TFilenameEdit::ButtonClick()
{
    TFileDirEdit::ButtonClick();
    std::string name = GetFileName();
    bool action = true;
    DoBeforeDialog(name, action);
    if (!action)
        return;
    try {
        if (ValidFileName(name)) {
            if (DirExists(ExtractFilePath(name)))
                FDialog->InitialDir = ExtractFilePath(name);
            const std::string filePart = ExtractFileName(name);
            FDialog->FileName = filePart.empty() || !ValidFileName(filePart) ? std::string() : name;
        }
    } catch (const Exception&) {
        // A typed text that cannot prepare the dialog still lets the user choose.
    }
    FDialog->HelpContext = HelpContext;
    action = RunDialog([&] {
        const bool chosen = FDialog->Execute();
        if (chosen)
            name = FDialog->FileName;
        return chosen;
    });
    DoAfterDialog(name, action);
    if (action) {
        SetText(QuoteFileNameText(name));
        FDialog->InitialDir = ExtractFilePath(FDialog->FileName);
    }
}

// ---- TDirectoryEdit

std::string TDirectoryEdit::ConvertParts(std::string (*Convert)(const std::string&))
{
    if (!FMultipleDirs)
        return Convert(Text());
    std::string result;
    const std::string text = Text();
    int position = 1;
    while (position <= static_cast<int>(text.size())) {
        const std::string part = Convert(ExtractSubstr(text, position, TCharSet{';'}));
        if (part.empty())
            continue;
        if (!result.empty())
            result += ';';
        result += part;
    }
    return result;
}

std::string TDirectoryEdit::GetLongName() { return ConvertParts(ShortToLongPath); }

std::string TDirectoryEdit::GetShortName() { return ConvertParts(LongToShortPath); }

void TDirectoryEdit::ReceptFileDir(const std::string& AFileName)
{
    const std::string folder = FileExists(AFileName) ? ExtractFilePath(AFileName) : AFileName;
    if (FMultipleDirs && !Text().empty())
        SetText(Text() + ";" + folder);
    else
        SetText(folder);
}

void TDirectoryEdit::ButtonClick()
{
    TFileDirEdit::ButtonClick();
    std::string name = Text();
    bool action = true;
    DoBeforeDialog(name, action);
    if (!action)
        return;
    // "\" stands for the root; the layer's file functions read it as "/".
    if (name.empty())
        name = InitialDir.empty() ? "\\" : InitialDir;
    if (!DirExists(name))
        name = "\\";
    action = RunDialog([&] {
        if (DialogKind == FileDirEdit::dkWin32)
            return BrowseDirectory(name, DialogText, HelpContext);
        return SelectDirectory(name, DialogOptions, HelpContext);
    });
    DoAfterDialog(name, action);
    if (!action)
        return;
    SetSelText("");
    if (FMultipleDirs && !Text().empty())
        SetText(Text() + ";" + name);
    else
        SetText(name);
    if (!name.empty() && DirExists(name))
        InitialDir = name;
}
