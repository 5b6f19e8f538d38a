#include "controls/AppUtils.h"

#include "controls/FileUtil.h"
#include "controls/Placemnt.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"

#include <climits>
#include <memory>

std::function<std::string()> OnGetDefaultIniName;
std::string DefCompanyName;
bool RegUseAppTitle = false;

namespace {

constexpr std::size_t AppUtilsMaxIniLine = 4096;
const char* const AppUtilsMDIChildren = "MDI Children";
constexpr UINT AppUtilsSetMinPosition = 1; // WPF_SETMINPOSITION

std::string AppUtilsProgramBaseName()
{
    return ChangeFileExt(ExtractFileName(Application->ExeName()), "");
}

// Values that carry their own pair of quotes get one more, which the INI reader strips again.
bool AppUtilsIsQuoted(const std::string& Value)
{
    if (Value.size() < 2)
        return false;
    const char first = Value.front();
    return (first == '"' || first == '\'') && Value.back() == first;
}

std::string AppUtilsScreenSizeSuffix()
{
    return Format("(%dx%d)", {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

void AppUtilsWriteScreenKey(TObject* IniFile, const std::string& Section, const std::string& Ident,
                            const std::string& Value)
{
    IniWriteString(IniFile, Section, Ident + AppUtilsScreenSizeSuffix(), Value);
    IniWriteString(IniFile, Section, Ident, Value);
}

std::string AppUtilsReadScreenKey(TObject* IniFile, const std::string& Section, const std::string& Ident)
{
    std::string value = IniReadString(IniFile, Section, Ident + AppUtilsScreenSizeSuffix(), "");
    if (value.empty())
        value = IniReadString(IniFile, Section, Ident, "");
    return value;
}

// Word N of "a,b c,d" as a number, Default when it is missing or not a number.
int AppUtilsWordValue(const std::string& Text, int N, int Default)
{
    return StrToIntDef(ExtractWord(N, Text, TCharSet{',', ' '}), Default);
}

void InternalWriteFormPlacement(TCustomForm* Form, TObject* IniFile, const std::string& Section)
{
    WINDOWPLACEMENT Placement;
    GetWindowPlacement(Form->Handle(), Placement);
    if (Form == Application->MainForm() && IsIconic(Application->Handle()))
        Placement.showCmd = SW_SHOWMINIMIZED;
    if (Form->FormStyle() == fsMDIChild && Form->WindowState() == wsMinimized)
        Placement.flags |= AppUtilsSetMinPosition;
    IniWriteInteger(IniFile, Section, "Flags", static_cast<int>(Placement.flags));
    IniWriteInteger(IniFile, Section, "ShowCmd", static_cast<int>(Placement.showCmd));
    IniWriteInteger(IniFile, Section, "PixelsPerInch", Screen->PixelsPerInch());
    AppUtilsWriteScreenKey(IniFile, Section, "MinMaxPos",
                           Format("%d,%d,%d,%d", {Placement.ptMinPosition.X, Placement.ptMinPosition.Y,
                                                  Placement.ptMaxPosition.X, Placement.ptMaxPosition.Y}));
    const TRect& normal = Placement.rcNormalPosition;
    AppUtilsWriteScreenKey(IniFile, Section, "NormPos",
                           Format("%d,%d,%d,%d", {normal.Left, normal.Top, normal.Right, normal.Bottom}));
}

// Reads position and size into Placement; true when they are to be applied.
bool AppUtilsReadPosition(TCustomForm* Form, TObject* IniFile, const std::string& Section,
                          WINDOWPLACEMENT& Placement)
{
    bool apply = false;
    Placement.flags = static_cast<UINT>(IniReadInteger(IniFile, Section, "Flags", static_cast<int>(Placement.flags)));
    std::string text = AppUtilsReadScreenKey(IniFile, Section, "MinMaxPos");
    if (!text.empty()) {
        apply = true;
        Placement.ptMinPosition.X = AppUtilsWordValue(text, 1, 0);
        Placement.ptMinPosition.Y = AppUtilsWordValue(text, 2, 0);
        Placement.ptMaxPosition.X = AppUtilsWordValue(text, 3, 0);
        Placement.ptMaxPosition.Y = AppUtilsWordValue(text, 4, 0);
    }
    text = AppUtilsReadScreenKey(IniFile, Section, "NormPos");
    if (!text.empty()) {
        apply = true;
        TRect& normal = Placement.rcNormalPosition;
        normal.Left = AppUtilsWordValue(text, 1, Form->Left());
        normal.Top = AppUtilsWordValue(text, 2, Form->Top());
        normal.Right = AppUtilsWordValue(text, 3, Form->Left() + Form->Width());
        normal.Bottom = AppUtilsWordValue(text, 4, Form->Top() + Form->Height());
    }
    // A placement taken at another resolution setting is not applied at all.
    if (IniReadInteger(IniFile, Section, "PixelsPerInch", Screen->PixelsPerInch()) != Screen->PixelsPerInch())
        apply = false;
    return apply;
}

void AppUtilsApplyPosition(TCustomForm* Form, WINDOWPLACEMENT& Placement)
{
    TRect& normal = Placement.rcNormalPosition;
    if (Form->BorderStyle() != bsSizeable && Form->BorderStyle() != bsSizeToolWin)
        normal = Bounds(normal.Left, normal.Top, Form->Width(), Form->Height());
    if (normal.Right <= normal.Left)
        return;
    // The layer keeps Position as a plain field: changing it never makes a new window.
    if (Form->Position == poScreenCenter && !Form->ComponentState().Contains(csDesigning))
        Form->Position = poDesigned;
    SetWindowPlacement(Form->Handle(), Placement);
}

TWindowState AppUtilsStoredState(TCustomForm* Form, TObject* IniFile, const std::string& Section)
{
    TWindowState state = wsNormal;
    if (Form == Application->MainForm() &&
        (Form->FormStyle() == fsMDIForm || (Form->FormStyle() == fsNormal && Form->Position == poDefault)))
        state = wsMaximized;
    switch (IniReadInteger(IniFile, Section, "ShowCmd", SW_HIDE)) {
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
        return wsNormal;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        return wsMinimized;
    case SW_SHOWMAXIMIZED:
        return wsMaximized;
    default:
        return state;
    }
}

void InternalReadFormPlacement(TCustomForm* Form, TObject* IniFile, const std::string& Section, bool LoadState,
                               bool LoadPosition)
{
    if (!LoadState && !LoadPosition)
        return;
    WINDOWPLACEMENT Placement;
    GetWindowPlacement(Form->Handle(), Placement);
    if (!IsWindowVisible(Form->Handle()))
        Placement.showCmd = SW_HIDE;
    if (LoadPosition && AppUtilsReadPosition(Form, IniFile, Section, Placement))
        AppUtilsApplyPosition(Form, Placement);
    if (LoadState) {
        const TWindowState state = AppUtilsStoredState(Form, IniFile, Section);
        if (state == wsMinimized && Form == Application->MainForm()) {
            Form->SetWindowState(wsNormal);
            PostMessage(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            return;
        }
        Form->SetWindowState(state);
    }
    Form->Update();
}

void AppUtilsRequireMDIForm(TCustomForm* MainForm)
{
    if (!MainForm || MainForm->FormStyle() != fsMDIForm)
        RAISE(EInvalidOperation(ResStr("Cannot create form. No MDI forms are currently active")));
}

void InternalSaveMDIChildren(TCustomForm* MainForm, TObject* IniFile)
{
    AppUtilsRequireMDIForm(MainForm);
    // The layer has no MDI forms, so a main MDI form never has children to list.
    IniEraseSection(IniFile, AppUtilsMDIChildren);
}

TCustomForm* InternalFindShowForm(const TPersistentClass& FormClass, const std::string& Caption, bool Restore);

void InternalRestoreMDIChildren(TCustomForm* MainForm, TObject* IniFile)
{
    AppUtilsRequireMDIForm(MainForm);
    StartWait();
    try {
        const int count = IniReadInteger(IniFile, AppUtilsMDIChildren, "Count", 0);
        for (int i = count - 1; i >= 0; --i) {
            const std::string className = IniReadString(IniFile, AppUtilsMDIChildren, Format("Item%d", {i}), "");
            if (const TPersistentClass* formClass = GetClass(className))
                InternalFindShowForm(*formClass, "", false);
        }
    } catch (...) {
        StopWait();
        throw;
    }
    StopWait();
}

void InternalSaveGridLayout(TCustomGrid* Grid, TObject* IniFile, const std::string& Section)
{
    for (int i = 0; i < Grid->ColCount(); ++i)
        IniWriteInteger(IniFile, Section, Format("Item%d", {i}), Grid->ColWidths(i));
}

void InternalRestoreGridLayout(TCustomGrid* Grid, TObject* IniFile, const std::string& Section)
{
    for (int i = 0; i < Grid->ColCount(); ++i)
        Grid->SetColWidths(i, IniReadInteger(IniFile, Section, Format("Item%d", {i}), Grid->ColWidths(i)));
}

TCustomForm* InternalFindShowForm(const TPersistentClass& FormClass, const std::string& Caption, bool Restore)
{
    TCustomForm* found = nullptr;
    for (int i = 0; i < Screen->CustomFormCount() && !found; ++i) {
        TCustomForm* form = Screen->CustomForms(i);
        if (form->InheritsFrom(FormClass.ClassName) && (Caption.empty() || form->GetText() == Caption))
            found = form;
    }
    if (!found) {
        std::unique_ptr<TPersistent> made(FormClass.Create(Application));
        found = dynamic_cast<TCustomForm*>(made.get());
        if (!found)
            RAISE(EInvalidOperation(Format("%s is not a form", {FormClass.ClassName})));
        made.release();
        found->AfterConstruction();
        if (!Caption.empty())
            found->SetText(Caption);
    }
    if (Restore && found->WindowState() == wsMinimized)
        found->SetWindowState(wsNormal);
    found->Show();
    return found;
}

} // namespace

// --- Default names ---

std::string GetDefaultSection(TComponent* Component)
{
    if (!Component)
        return "";
    if (dynamic_cast<TCustomForm*>(Component))
        return Component->ClassName();
    if (auto* control = dynamic_cast<TControl*>(Component)) {
        if (TCustomForm* form = GetParentForm(control))
            return form->ClassName() + Component->Name();
        if (control->Parent())
            return control->Parent()->Name() + Component->Name();
        return Component->Name();
    }
    if (Component->Owner() && Component->Owner()->InheritsFrom("TForm"))
        return Component->Owner()->ClassName() + "." + Component->Name();
    return Component->Name();
}

std::string GetDefaultIniName()
{
    if (OnGetDefaultIniName)
        return OnGetDefaultIniName();
    return ExtractFileName(ChangeFileExt(Application->ExeName(), ".INI"));
}

std::string GetDefaultIniRegKey()
{
    std::string key = "Software\\";
    if (!DefCompanyName.empty())
        key += DefCompanyName + "\\";
    if (RegUseAppTitle && !Application->Title().empty())
        return key + Application->Title();
    return key + AppUtilsProgramBaseName();
}

void GetDefaultIniData(TControl* Control, std::string& IniFileName, std::string& Section, bool UseRegistry)
{
    IniFileName.clear();
    if (Control && dynamic_cast<TCustomForm*>(Control->Owner())) {
        TComponent* owner = Control->Owner();
        for (int i = 0; i < owner->ComponentCount(); ++i)
            if (auto* placement = dynamic_cast<TFormPlacement*>(owner->Components(i))) {
                IniFileName = placement->IniFileName();
                break;
            }
    }
    Section = GetDefaultSection(Control);
    if (IniFileName.empty())
        IniFileName = UseRegistry ? GetDefaultIniRegKey() : GetDefaultIniName();
}

// --- Adapters ---

std::string IniReadString(TObject* IniFile, const std::string& Section, const std::string& Ident,
                          const std::string& Default)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        return registry->ReadString(Section, Ident, Default);
    if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        return ini->ReadString(Section, Ident, Default);
    return Default;
}

void IniWriteString(TObject* IniFile, const std::string& Section, const std::string& Ident, const std::string& Value)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        registry->WriteString(Section, Ident, Value);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->WriteString(Section, Ident, AppUtilsIsQuoted(Value) ? "\"" + Value + "\"" : Value);
}

int IniReadInteger(TObject* IniFile, const std::string& Section, const std::string& Ident, int Default)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        return registry->ReadInteger(Section, Ident, Default);
    if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        return ini->ReadInteger(Section, Ident, Default);
    return Default;
}

void IniWriteInteger(TObject* IniFile, const std::string& Section, const std::string& Ident, int Value)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        registry->WriteInteger(Section, Ident, Value);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->WriteInteger(Section, Ident, Value);
}

bool IniReadBool(TObject* IniFile, const std::string& Section, const std::string& Ident, bool Default)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        return registry->ReadBool(Section, Ident, Default);
    if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        return ini->ReadBool(Section, Ident, Default);
    return Default;
}

void IniWriteBool(TObject* IniFile, const std::string& Section, const std::string& Ident, bool Value)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        registry->WriteBool(Section, Ident, Value);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->WriteBool(Section, Ident, Value);
}

void IniEraseSection(TObject* IniFile, const std::string& Section)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        registry->EraseSection(Section);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->EraseSection(Section);
}

void IniDeleteKey(TObject* IniFile, const std::string& Section, const std::string& Ident)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        registry->DeleteKey(Section, Ident);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->DeleteKey(Section, Ident);
}

void IniReadSections(TObject* IniFile, TStrings* Strings)
{
    if (auto* registry = dynamic_cast<TRegIniFile*>(IniFile))
        registry->ReadSections(*Strings);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->ReadSections(*Strings);
}

// --- Line breaks ---

std::string StrToIniStr(const std::string& Str)
{
    if (Str.size() > AppUtilsMaxIniLine)
        RAISE(Exception(ResStr("Line too long")));
    std::string result;
    result.reserve(Str.size());
    for (std::size_t i = 0; i < Str.size(); ++i) {
        const char c = Str[i];
        if (c != '\r' && c != '\n') {
            result += c;
            continue;
        }
        result += "\\n";
        // A CR LF or LF CR pair is one line break.
        const char partner = c == '\r' ? '\n' : '\r';
        if (i + 1 < Str.size() && Str[i + 1] == partner)
            ++i;
    }
    return result;
}

std::string IniStrToStr(const std::string& Str)
{
    if (Str.size() > AppUtilsMaxIniLine)
        RAISE(Exception(ResStr("Line too long")));
    std::string result;
    result.reserve(Str.size());
    for (std::size_t i = 0; i < Str.size(); ++i) {
        if (Str[i] == '\\' && i + 1 < Str.size() && Str[i + 1] == 'n') {
            result += "\r\n";
            ++i;
        } else {
            result += Str[i];
        }
    }
    return result;
}

// --- The window placement record ---

void WriteFormPlacement(TCustomForm* Form, TIniFile* IniFile, const std::string& Section)
{
    InternalWriteFormPlacement(Form, IniFile, Section);
}

void WriteFormPlacementReg(TCustomForm* Form, TRegIniFile* IniFile, const std::string& Section)
{
    InternalWriteFormPlacement(Form, IniFile, Section);
}

void ReadFormPlacement(TCustomForm* Form, TIniFile* IniFile, const std::string& Section, bool LoadState,
                       bool LoadPosition)
{
    InternalReadFormPlacement(Form, IniFile, Section, LoadState, LoadPosition);
}

void ReadFormPlacementReg(TCustomForm* Form, TRegIniFile* IniFile, const std::string& Section, bool LoadState,
                          bool LoadPosition)
{
    InternalReadFormPlacement(Form, IniFile, Section, LoadState, LoadPosition);
}

void SaveFormPlacement(TCustomForm* Form, const std::string& IniFileName, bool UseRegistry)
{
    if (UseRegistry) {
        TRegIniFile store(IniFileName);
        InternalWriteFormPlacement(Form, &store, Form->ClassName());
    } else {
        TIniFile store(IniFileName);
        InternalWriteFormPlacement(Form, &store, Form->ClassName());
    }
}

void RestoreFormPlacement(TCustomForm* Form, const std::string& IniFileName, bool UseRegistry)
{
    if (UseRegistry) {
        TRegIniFile store(IniFileName);
        InternalReadFormPlacement(Form, &store, Form->ClassName(), true, true);
    } else {
        TIniFile store(IniFileName);
        InternalReadFormPlacement(Form, &store, Form->ClassName(), true, true);
    }
}

// --- MDI children ---

void SaveMDIChildren(TCustomForm* MainForm, TIniFile* IniFile) { InternalSaveMDIChildren(MainForm, IniFile); }
void SaveMDIChildrenReg(TCustomForm* MainForm, TRegIniFile* IniFile) { InternalSaveMDIChildren(MainForm, IniFile); }
void RestoreMDIChildren(TCustomForm* MainForm, TIniFile* IniFile) { InternalRestoreMDIChildren(MainForm, IniFile); }
void RestoreMDIChildrenReg(TCustomForm* MainForm, TRegIniFile* IniFile)
{
    InternalRestoreMDIChildren(MainForm, IniFile);
}

// --- Grid layout ---

void SaveGridLayout(TCustomGrid* Grid, TIniFile* IniFile)
{
    InternalSaveGridLayout(Grid, IniFile, GetDefaultSection(Grid));
}

void SaveGridLayoutReg(TCustomGrid* Grid, TRegIniFile* IniFile)
{
    InternalSaveGridLayout(Grid, IniFile, GetDefaultSection(Grid));
}

void RestoreGridLayout(TCustomGrid* Grid, TIniFile* IniFile)
{
    InternalRestoreGridLayout(Grid, IniFile, GetDefaultSection(Grid));
}

void RestoreGridLayoutReg(TCustomGrid* Grid, TRegIniFile* IniFile)
{
    InternalRestoreGridLayout(Grid, IniFile, GetDefaultSection(Grid));
}

// --- Forms and the application ---

TCustomForm* FindForm(const std::string& FormClassName)
{
    for (int i = 0; i < Screen->CustomFormCount(); ++i)
        if (Screen->CustomForms(i)->InheritsFrom(FormClassName))
            return Screen->CustomForms(i);
    return nullptr;
}

TCustomForm* FindShowForm(const TPersistentClass& FormClass, const std::string& Caption)
{
    return InternalFindShowForm(FormClass, Caption, true);
}

bool ShowDialog(const TPersistentClass& FormClass)
{
    std::unique_ptr<TPersistent> made(FormClass.Create(Application));
    auto* form = dynamic_cast<TCustomForm*>(made.get());
    if (!form)
        RAISE(EInvalidOperation(Format("%s is not a form", {FormClass.ClassName})));
    made.release();
    int result = mrNone;
    try {
        form->AfterConstruction();
        result = form->ShowModal();
    } catch (...) {
        TComponent::Free(form);
        throw;
    }
    TComponent::Free(form);
    return result == mrOk || result == mrYes;
}

std::string GetUniqueFileNameInDir(const std::string& Path, const std::string& FileMask)
{
    const std::string folder = NormalDir(Path);
    // A mask that ignores the number names one file only: one look is enough.
    const bool numbered = Format(FileMask, {0}) != Format(FileMask, {1});
    for (int i = 0;; ++i) {
        const std::string name = Format(FileMask, {i});
        if (!FileExists(folder + name))
            return name;
        if (!numbered || i == INT_MAX)
            return "";
    }
}

void AppBroadcast(UINT Msg, WPARAM wParam, LPARAM lParam)
{
    for (int i = 0; i < Screen->CustomFormCount(); ++i)
        SendMessage(Screen->CustomForms(i)->Handle(), Msg, wParam, lParam);
}

void AppTaskbarIcons(bool AppOnly)
{
    HWND handle = Application->Handle();
    LONG_PTR style = GetWindowLong(handle, GWL_STYLE);
    if (AppOnly) {
        SetWindowLong(handle, GWL_STYLE, style | static_cast<LONG_PTR>(WS_CAPTION));
        SwitchToWindow(handle, false);
    } else {
        SetWindowLong(handle, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION));
    }
}
