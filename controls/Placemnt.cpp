#include "controls/Placemnt.h"

#include "controls/AppUtils.h"
#include "controls/EXProps.h"
#include "controls/StrUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/MenuApi.h"
#include "platform/gui/Menus.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <mutex>

namespace {

const char* const PlacemntFormVersion = "FormVersion";
const char* const PlacemntActiveControl = "ActiveControl";
const char* const PlacemntVisible = "Visible";

void PlacemntReportException(TObject* Sender)
{
    if (Application)
        Application->HandleException(Sender);
    else
        HandleApplicationException(Sender);
}

HKEY PlacemntRootKey(TPlacementRegRoot Root)
{
    switch (Root) {
    case prLocalMachine:
        return HKEY_LOCAL_MACHINE;
    case prCurrentConfig:
        return HKEY_CURRENT_CONFIG;
    case prClassesRoot:
        return HKEY_CLASSES_ROOT;
    case prUsers:
        return HKEY_USERS;
    case prDynData:
        return HKEY_DYN_DATA;
    case prCurrentUser:
        break;
    }
    return HKEY_CURRENT_USER;
}

// The border metrics a maximised window of this border style hides beyond the screen.
TPoint PlacemntBorderMetrics(TBorderStyle Style)
{
    switch (Style) {
    case bsSingle:
    case bsToolWindow:
        return {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
    case bsSizeable:
    case bsSizeToolWin:
        return {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME)};
    case bsDialog:
        return {GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME)};
    case bsNone:
        break;
    }
    return {0, 0};
}

template <class C>
TPropInfo PlacemntBool(const std::string& Name, std::function<bool(C&)> Get, std::function<void(C&, bool)> Set)
{
    return OrdProp<C>(
        Name, TypeInfoBoolean(), [Get](C& c) -> std::int64_t { return Get(c) ? 1 : 0; },
        [Set](C& c, std::int64_t v) { Set(c, v != 0); });
}

template <class C>
TPropInfo PlacemntInt(const std::string& Name, std::function<int(C&)> Get, std::function<void(C&, int)> Set)
{
    return OrdProp<C>(
        Name, TypeInfoInteger(), [Get](C& c) -> std::int64_t { return Get(c); },
        [Set](C& c, std::int64_t v) { Set(c, static_cast<int>(v)); });
}

void PlacemntRegisterMinMaxProperties()
{
    const char* const names[] = {"MaxPosLeft",    "MaxPosTop",      "MaxSizeHeight",  "MaxSizeWidth",
                                 "MaxTrackHeight", "MaxTrackWidth", "MinTrackHeight", "MinTrackWidth"};
    std::vector<TPropInfo> list;
    for (int index = 0; index < 8; ++index)
        list.push_back(PlacemntInt<TWinMinMaxInfo>(
            names[index], [index](TWinMinMaxInfo& m) { return m.GetMinMaxInfo(index); },
            [index](TWinMinMaxInfo& m, int v) { m.SetMinMaxInfo(index, v); }));
    RegisterPropInfos("TWinMinMaxInfo", "", std::move(list));
}

void PlacemntRegisterPlacementProperties()
{
    using P = TFormPlacement;
    RegisterPropInfos(
        "TFormPlacement", "",
        {PlacemntBool<P>("Active", [](P& p) { return p.Active; }, [](P& p, bool v) { p.Active = v; }),
         StrProp<P>(
             "IniFileName", [](P& p) { return p.IniFileName(); },
             [](P& p, const std::string& v) { p.SetIniFileName(v); }),
         StrProp<P>(
             "IniSection", [](P& p) { return p.IniSection(); }, [](P& p, const std::string& v) { p.SetIniSection(v); }),
         ObjectProp<P>(
             "MinMaxInfo", "TWinMinMaxInfo", [](P& p) -> TObject* { return p.MinMaxInfo(); },
             [](P& p, TObject* v) {
                 auto* info = dynamic_cast<TWinMinMaxInfo*>(v);
                 if (!info)
                     TypInfoDetail::RaiseInvalidProperty();
                 p.SetMinMaxInfo(info);
             }),
         OrdProp<P>(
             "Options",
             SetTypeInfo("TPlacementOptions",
                         EnumTypeInfo("TPlacementOption", {"fpState", "fpPosition", "fpActiveControl"})),
             [](P& p) { return static_cast<std::int64_t>(p.Options.Bits()); },
             [](P& p, std::int64_t v) { p.Options = TPlacementOptions::FromBits(v & 7); }),
         PlacemntBool<P>(
             "PreventResize", [](P& p) { return p.PreventResize(); }, [](P& p, bool v) { p.SetPreventResize(v); }),
         OrdProp<P>(
             "RegistryRoot",
             EnumTypeInfo("TPlacementRegRoot", {"prCurrentUser", "prLocalMachine", "prCurrentConfig",
                                                "prClassesRoot", "prUsers", "prDynData"}),
             [](P& p) -> std::int64_t { return p.RegistryRoot; },
             [](P& p, std::int64_t v) {
                 if (v < prCurrentUser || v > prDynData)
                     TypInfoDetail::RaiseInvalidProperty();
                 p.RegistryRoot = static_cast<TPlacementRegRoot>(v);
             }),
         PlacemntBool<P>("UseRegistry", [](P& p) { return p.UseRegistry; }, [](P& p, bool v) { p.UseRegistry = v; }),
         PlacemntInt<P>("Version", [](P& p) { return p.Version; }, [](P& p, int v) { p.Version = v; })});
}

void PlacemntRegisterStorageProperties()
{
    using S = TFormStorage;
    RegisterPropInfos("TFormStorage", "TFormPlacement",
                      {ObjectProp<S>(
                           "StoredProps", "TStrings", [](S& s) -> TObject* { return s.StoredProps(); },
                           [](S& s, TObject* v) {
                               auto* lines = dynamic_cast<TStrings*>(v);
                               if (!lines)
                                   TypInfoDetail::RaiseInvalidProperty();
                               s.SetStoredProps(lines);
                           }),
                       ObjectProp<S>(
                           "StoredValues", "TStoredValues", [](S& s) -> TObject* { return s.StoredValues(); },
                           [](S& s, TObject* v) {
                               auto* values = dynamic_cast<TStoredValues*>(v);
                               if (!values)
                                   TypInfoDetail::RaiseInvalidProperty();
                               s.SetStoredValues(values);
                           })});
    using V = TStoredValue;
    RegisterPropInfos(
        "TStoredValue", "TCollectionItem",
        {StrProp<V>(
             "Name", [](V& v) { return v.Name(); }, [](V& v, const std::string& s) { v.SetName(s); }),
         VariantProp<V>(
             "Value", [](V& v) { return v.Value; }, [](V& v, const Variant& s) { v.Value = s; }),
         StrProp<V>(
             "KeyString", [](V& v) { return v.KeyString; }, [](V& v, const std::string& s) { v.KeyString = s; })});
    RegisterPropInfos("TStoredValues", "TCollection", {});
}

void PlacemntRegisterProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterPublishedProperties();
        PlacemntRegisterMinMaxProperties();
        PlacemntRegisterPlacementProperties();
        PlacemntRegisterStorageProperties();
    });
}

} // namespace

// Closes the placement's store when the operation that opened it ends, also by an exception.
class PlacemntStoreCloser {
public:
    explicit PlacemntStoreCloser(TFormPlacement* Placement) : FPlacement(Placement) {}
    ~PlacemntStoreCloser() { FPlacement->IniFree(); }
    PlacemntStoreCloser(const PlacemntStoreCloser&) = delete;
    PlacemntStoreCloser& operator=(const PlacemntStoreCloser&) = delete;

private:
    TFormPlacement* FPlacement;
};

// --- TWinMinMaxInfo ---

void TWinMinMaxInfo::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TWinMinMaxInfo*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    FMinMaxInfo = source->FMinMaxInfo;
    if (FOwner)
        FOwner->MinMaxInfoModified();
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const
{
    for (int index = 0; index < 8; ++index)
        if (GetMinMaxInfo(index) != 0)
            return false;
    return true;
}

int TWinMinMaxInfo::GetMinMaxInfo(int Index) const
{
    switch (Index) {
    case 0:
        return FMinMaxInfo.ptMaxPosition.X;
    case 1:
        return FMinMaxInfo.ptMaxPosition.Y;
    case 2:
        return FMinMaxInfo.ptMaxSize.Y;
    case 3:
        return FMinMaxInfo.ptMaxSize.X;
    case 4:
        return FMinMaxInfo.ptMaxTrackSize.Y;
    case 5:
        return FMinMaxInfo.ptMaxTrackSize.X;
    case 6:
        return FMinMaxInfo.ptMinTrackSize.Y;
    case 7:
        return FMinMaxInfo.ptMinTrackSize.X;
    default:
        return 0;
    }
}

void TWinMinMaxInfo::SetMinMaxInfo(int Index, int Value)
{
    if (Index < 0 || Index > 7 || GetMinMaxInfo(Index) == Value)
        return;
    switch (Index) {
    case 0:
        FMinMaxInfo.ptMaxPosition.X = Value;
        break;
    case 1:
        FMinMaxInfo.ptMaxPosition.Y = Value;
        break;
    case 2:
        FMinMaxInfo.ptMaxSize.Y = Value;
        break;
    case 3:
        FMinMaxInfo.ptMaxSize.X = Value;
        break;
    case 4:
        FMinMaxInfo.ptMaxTrackSize.Y = Value;
        break;
    case 5:
        FMinMaxInfo.ptMaxTrackSize.X = Value;
        break;
    case 6:
        FMinMaxInfo.ptMinTrackSize.Y = Value;
        break;
    default:
        FMinMaxInfo.ptMinTrackSize.X = Value;
        break;
    }
    if (FOwner)
        FOwner->MinMaxInfoModified();
}

// --- TIniLink ---

TIniLink::~TIniLink()
{
    OnSave = nullptr;
    OnLoad = nullptr;
    SetStorage(nullptr);
}

void TIniLink::SetStorage(TFormPlacement* Value)
{
    if (Value == FStorage)
        return;
    if (FStorage)
        FStorage->RemoveLink(this);
    if (Value)
        Value->AddLink(this);
}

TObject* TIniLink::GetIniObject() const { return FStorage ? FStorage->GetIniFile() : nullptr; }

std::string TIniLink::GetRootSection() const
{
    if (!FStorage || FStorage->FIniSection.empty())
        return "";
    return FStorage->FIniSection + "\\";
}

void TIniLink::SaveToIni()
{
    if (OnSave)
        OnSave(this);
}

void TIniLink::LoadFromIni()
{
    if (OnLoad)
        OnLoad(this);
}

// --- TFormPlacement: life ---

TFormPlacement::TFormPlacement(TComponent* AOwner)
    : TComponent(AOwner), FWinMinMaxInfo(std::make_unique<TWinMinMaxInfo>(this))
{
    PlacemntRegisterProperties();
    if (dynamic_cast<TCustomForm*>(AOwner))
        Options = {fpState, fpPosition};
    FWinHook = new TExWindowHook(this);
    FWinHook->AfterMessage = [this](TObject* Sender, TMessage& Msg, bool& Handled) {
        WndMessage(Sender, Msg, Handled);
    };
}

TFormPlacement::~TFormPlacement()
{
    IniFree();
    while (!FLinks.empty())
        RemoveLink(FLinks.back());
    if (!ComponentState().Contains(csDesigning)) {
        ReleaseHook();
        RestoreEvents();
    }
}

void TFormPlacement::Loaded()
{
    const bool fromForm = Loading();
    TComponent::Loaded();
    if (ComponentState().Contains(csDesigning))
        return;
    if (fromForm)
        SetEvents();
    CheckToggleHook();
}

TCustomForm* TFormPlacement::GetForm() const { return dynamic_cast<TCustomForm*>(Owner()); }

std::string TFormPlacement::IniFileName() const
{
    if (!FIniFileName.empty() || ComponentState().Contains(csDesigning))
        return FIniFileName;
    return UseRegistry ? GetDefaultIniRegKey() : GetDefaultIniName();
}

std::string TFormPlacement::IniSection() const
{
    if (!FIniSection.empty() || ComponentState().Contains(csDesigning))
        return FIniSection;
    return GetDefaultSection(Owner());
}

// --- The store ---

void TFormPlacement::IniNeeded(bool /*ReadOnly*/)
{
    if (GetIniFile())
        return;
    if (UseRegistry) {
        FRegIniFile = std::make_unique<TRegIniFile>(IniFileName());
        if (RegistryRoot != prCurrentUser) {
            // Changing the root closes the key the adapter opened under the current user.
            FRegIniFile->SetRootKey(PlacemntRootKey(RegistryRoot));
            FRegIniFile->OpenKey(IniFileName(), true);
        }
    } else {
        FIniFile = std::make_unique<TIniFile>(IniFileName());
    }
}

void TFormPlacement::IniFree()
{
    FIniFile.reset();
    FRegIniFile.reset();
}

TObject* TFormPlacement::GetIniFile() const
{
    if (FRegIniFile)
        return FRegIniFile.get();
    return FIniFile.get();
}

void TFormPlacement::WithStore(bool ReadOnly, const std::function<void(TObject* Store)>& Access)
{
    if (GetIniFile()) {
        Access(GetIniFile());
        return;
    }
    IniNeeded(ReadOnly);
    PlacemntStoreCloser closer(this);
    Access(GetIniFile());
}

std::string TFormPlacement::DoReadString(const std::string& Section, const std::string& Ident,
                                         const std::string& Default)
{
    std::string result;
    WithStore(true, [&](TObject* Store) { result = IniReadString(Store, Section, Ident, Default); });
    return result;
}

void TFormPlacement::DoWriteString(const std::string& Section, const std::string& Ident, const std::string& Value)
{
    WithStore(false, [&](TObject* Store) { IniWriteString(Store, Section, Ident, Value); });
}

std::string TFormPlacement::ReadString(const std::string& Ident, const std::string& Default)
{
    return DoReadString(IniSection(), Ident, Default);
}

void TFormPlacement::WriteString(const std::string& Ident, const std::string& Value)
{
    DoWriteString(IniSection(), Ident, Value);
}

int TFormPlacement::ReadInteger(const std::string& Ident, int Default)
{
    int result = Default;
    WithStore(true, [&](TObject* Store) { result = IniReadInteger(Store, IniSection(), Ident, Default); });
    return result;
}

void TFormPlacement::WriteInteger(const std::string& Ident, int Value)
{
    WithStore(false, [&](TObject* Store) { IniWriteInteger(Store, IniSection(), Ident, Value); });
}

void TFormPlacement::EraseSections()
{
    if (GetIniFile())
        return;
    IniNeeded(false);
    PlacemntStoreCloser closer(this);
    TStringList sections;
    IniReadSections(GetIniFile(), &sections);
    const std::string section = IniSection();
    for (int i = 0; i < sections.Count(); ++i) {
        const std::string& name = sections.Strings(i);
        if (name == section || IsWild(name, section + ".*", false) || IsWild(name, section + "\\*", false))
            IniEraseSection(GetIniFile(), name);
    }
}

// --- Saving and restoring ---

void TFormPlacement::SaveFormPlacement()
{
    if (!FRestored && Active)
        return;
    IniNeeded(false);
    PlacemntStoreCloser closer(this);
    WriteInteger(PlacemntFormVersion, Version);
    SavePlacement();
    Save();
    FSaved = true;
}

void TFormPlacement::RestoreFormPlacement()
{
    FSaved = false;
    {
        IniNeeded(true);
        PlacemntStoreCloser closer(this);
        if (ReadInteger(PlacemntFormVersion, 0) >= Version) {
            RestorePlacement();
            FRestored = true;
            Restore();
            RestoreActiveControl();
        }
        FRestored = true;
    }
    UpdatePlacement();
}

void TFormPlacement::RestoreActiveControl()
{
    TCustomForm* form = GetForm();
    if (!Options.Contains(fpActiveControl) || !form)
        return;
    const std::string name = IniReadString(GetIniFile(), IniSection(), PlacemntActiveControl, "");
    auto* control = dynamic_cast<TWinControl*>(form->FindComponent(name));
    if (control && control->CanFocus())
        form->SetActiveControl(control);
}

void TFormPlacement::SavePlacement()
{
    if (TCustomForm* form = GetForm()) {
        if (UseRegistry)
            WriteFormPlacementReg(form, FRegIniFile.get(), IniSection());
        else
            WriteFormPlacement(form, FIniFile.get(), IniSection());
        if (Options.Contains(fpActiveControl) && form->ActiveControl())
            IniWriteString(GetIniFile(), IniSection(), PlacemntActiveControl, form->ActiveControl()->Name());
    }
    IniWriteBool(GetIniFile(), IniSection(), PlacemntVisible, FDestroying);
    NotifyLinks(poSave);
}

void TFormPlacement::RestorePlacement()
{
    if (TCustomForm* form = GetForm()) {
        const bool loadState = Options.Contains(fpState);
        const bool loadPosition = Options.Contains(fpPosition);
        if (UseRegistry)
            ReadFormPlacementReg(form, FRegIniFile.get(), IniSection(), loadState, loadPosition);
        else
            ReadFormPlacement(form, FIniFile.get(), IniSection(), loadState, loadPosition);
    }
    NotifyLinks(poRestore);
}

void TFormPlacement::Save()
{
    if (OnSavePlacement)
        OnSavePlacement(this);
}

void TFormPlacement::Restore()
{
    if (OnRestorePlacement)
        OnRestorePlacement(this);
}

// --- Links ---

void TFormPlacement::AddLink(TIniLink* ALink)
{
    FLinks.push_back(ALink);
    ALink->FStorage = this;
}

void TFormPlacement::RemoveLink(TIniLink* ALink)
{
    ALink->FStorage = nullptr;
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), ALink), FLinks.end());
}

void TFormPlacement::NotifyLinks(TPlacementOperation Operation)
{
    for (std::size_t i = 0; i < FLinks.size(); ++i) {
        if (Operation == poSave)
            FLinks[i]->SaveToIni();
        else
            FLinks[i]->LoadFromIni();
    }
}

// --- The form's events ---

void TFormPlacement::SetEvents()
{
    TCustomForm* form = GetForm();
    if (!form)
        return;
    FSaveFormShow = form->OnShow;
    form->OnShow = [this](TObject* Sender) { FormShow(Sender); };
    FSaveFormCloseQuery = form->OnCloseQuery;
    form->OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
    FSaveFormDestroy = form->OnDestroy;
    form->OnDestroy = [this](TObject* Sender) { FormDestroy(Sender); };
    FEventsSet = true;
    FDefMaximize = form->BorderIcons().Contains(biMaximize);
    if (FPreventResize)
        UpdatePreventResize();
}

void TFormPlacement::RestoreEvents()
{
    // A form being destroyed frees its components after its own parts are gone: it is not
    // touched then (its owner is already cleared).
    TCustomForm* form = GetForm();
    if (!form || !FEventsSet)
        return;
    form->OnShow = FSaveFormShow;
    form->OnCloseQuery = FSaveFormCloseQuery;
    form->OnDestroy = FSaveFormDestroy;
    FEventsSet = false;
}

void TFormPlacement::FormShow(TObject* Sender)
{
    if (Active) {
        try {
            RestoreFormPlacement();
        } catch (...) {
            PlacemntReportException(this);
        }
    }
    if (FSaveFormShow)
        FSaveFormShow(Sender);
}

void TFormPlacement::FormCloseQuery(TObject* Sender, bool& CanClose)
{
    if (FSaveFormCloseQuery)
        FSaveFormCloseQuery(Sender, CanClose);
    TCustomForm* form = GetForm();
    if (CanClose && Active && form && form->HandleAllocated()) {
        try {
            SaveFormPlacement();
        } catch (...) {
            PlacemntReportException(this);
        }
    }
}

void TFormPlacement::FormDestroy(TObject* Sender)
{
    if (Active && !FSaved) {
        FDestroying = true;
        try {
            SaveFormPlacement();
        } catch (...) {
            PlacemntReportException(this);
        }
        FDestroying = false;
    }
    if (FSaveFormDestroy)
        FSaveFormDestroy(Sender);
}

// --- Size limits ---

void TFormPlacement::SetHook()
{
    if (!ComponentState().Contains(csDesigning) && GetForm())
        FWinHook->SetWinControl(GetForm());
}

void TFormPlacement::ReleaseHook()
{
    if (FWinHook)
        FWinHook->SetWinControl(nullptr);
}

void TFormPlacement::CheckToggleHook()
{
    if (!FWinMinMaxInfo->DefaultMinMaxInfo() || FPreventResize)
        SetHook();
    else
        ReleaseHook();
}

void TFormPlacement::MinMaxInfoModified()
{
    UpdatePlacement();
    if (!Loading())
        CheckToggleHook();
}

void TFormPlacement::SetPreventResize(bool Value)
{
    if (!GetForm() || Value == FPreventResize)
        return;
    FPreventResize = Value;
    UpdatePlacement();
    UpdatePreventResize();
}

void TFormPlacement::UpdatePreventResize()
{
    TCustomForm* form = GetForm();
    if (ComponentState().Contains(csDesigning) || !form)
        return;
    if (FPreventResize)
        FDefMaximize = form->BorderIcons().Contains(biMaximize);
    const bool wasActive = Active;
    Active = false;
    try {
        TBorderIcons icons = form->BorderIcons();
        if (FPreventResize || !FDefMaximize || form->BorderStyle() == bsDialog)
            icons.Exclude(biMaximize);
        else
            icons.Include(biMaximize);
        form->SetBorderIcons(icons);
    } catch (...) {
        Active = wasActive;
        throw;
    }
    Active = wasActive;
    if (!Loading())
        CheckToggleHook();
}

void TFormPlacement::UpdatePlacement()
{
    TCustomForm* form = GetForm();
    if (!form || !form->HandleAllocated() || Loading() || FPreventResize || !FWinMinMaxInfo->DefaultMinMaxInfo())
        return;
    HWND handle = form->Handle();
    WINDOWPLACEMENT placement;
    GetWindowPlacement(handle, placement);
    if (!IsWindowVisible(handle))
        placement.showCmd = SW_HIDE;
    const TPoint border = PlacemntBorderMetrics(form->BorderStyle());
    placement.ptMaxPosition = {-border.X, -border.Y};
    SetWindowPlacement(handle, placement);
}

void TFormPlacement::WndMessage(TObject* /*Sender*/, TMessage& Msg, bool& /*Handled*/)
{
    TCustomForm* form = GetForm();
    if (FPreventResize && form) {
        switch (Msg.Msg) {
        case WM_GETMINMAXINFO:
            if (form->HandleAllocated() && IsWindowVisible(form->Handle())) {
                auto* info = reinterpret_cast<MINMAXINFO*>(Msg.LParam);
                info->ptMinTrackSize = {form->Width(), form->Height()};
                info->ptMaxTrackSize = {form->Width(), form->Height()};
                Msg.Result = 1;
            }
            break;
        case WM_NCHITTEST:
            if (Msg.Result >= HTLEFT && Msg.Result <= HTBOTTOMRIGHT)
                Msg.Result = HTNOWHERE;
            break;
        case WM_INITMENUPOPUP:
            if (HIWORD(static_cast<std::uintptr_t>(Msg.LParam)) != 0) {
                HMENU menu = reinterpret_cast<HMENU>(Msg.WParam);
                if (TMainMenu* mainMenu = form->Menu)
                    mainMenu->DispatchPopup(menu);
                HMENU systemMenu = GetSystemMenu(form->Handle(), FALSE);
                EnableMenuItem(systemMenu, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
                EnableMenuItem(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
                Msg.Result = 1;
            }
            break;
        default:
            break;
        }
        return;
    }
    if (Msg.Msg != WM_GETMINMAXINFO)
        return;
    auto* info = reinterpret_cast<MINMAXINFO*>(Msg.LParam);
    if (!info)
        return;
    if (!FWinMinMaxInfo->DefaultMinMaxInfo()) {
        const MINMAXINFO& limits = FWinMinMaxInfo->Info();
        if (limits.ptMinTrackSize.X != 0)
            info->ptMinTrackSize.X = limits.ptMinTrackSize.X;
        if (limits.ptMinTrackSize.Y != 0)
            info->ptMinTrackSize.Y = limits.ptMinTrackSize.Y;
        if (limits.ptMaxTrackSize.X != 0)
            info->ptMaxTrackSize.X = limits.ptMaxTrackSize.X;
        if (limits.ptMaxTrackSize.Y != 0)
            info->ptMaxTrackSize.Y = limits.ptMaxTrackSize.Y;
        if (limits.ptMaxSize.X != 0)
            info->ptMaxSize.X = limits.ptMaxSize.X;
        if (limits.ptMaxSize.Y != 0)
            info->ptMaxSize.Y = limits.ptMaxSize.Y;
        if (limits.ptMaxPosition.X != 0)
            info->ptMaxPosition.X = limits.ptMaxPosition.X;
        if (limits.ptMaxPosition.Y != 0)
            info->ptMaxPosition.Y = limits.ptMaxPosition.Y;
    } else {
        info->ptMaxPosition = {0, 0};
    }
    Msg.Result = 1;
}

// --- TStoredValue ---

TStoredValue::TStoredValue(TCollection* Collection) : TCollectionItem(Collection) {}

void TStoredValue::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TStoredValue*>(Source);
    if (!source)
        return;
    if (VarIsEmpty(source->Value))
        Clear();
    else
        Value = source->Value;
    SetDisplayName(source->Name());
    KeyString = source->KeyString;
}

std::string TStoredValue::DisplayName() const { return FName.empty() ? TCollectionItem::DisplayName() : FName; }

void TStoredValue::SetDisplayName(const std::string& Value)
{
    auto* values = dynamic_cast<TStoredValues*>(Collection());
    if (!Value.empty() && !SameText(Value, FName) && values && values->IndexOf(Value) >= 0)
        RAISE(Exception("String list does not allow duplicates"));
    FName = Value;
}

bool TStoredValue::IsValueStored() const { return !VarIsEmpty(Value); }

TFormStorage* TStoredValue::Storage() const
{
    auto* values = dynamic_cast<TStoredValues*>(Collection());
    return values ? values->Storage() : nullptr;
}

void TStoredValue::Save()
{
    Variant saved = Value;
    if (OnSave)
        OnSave(this, saved);
    std::string text = VarToStr(saved);
    if (!KeyString.empty())
        text = XorEncode(KeyString, text);
    if (TFormStorage* storage = Storage())
        storage->WriteString(Name(), text);
}

void TStoredValue::Restore()
{
    std::string text = VarToStr(Value);
    if (!KeyString.empty())
        text = XorEncode(KeyString, text);
    if (TFormStorage* storage = Storage())
        text = storage->ReadString(Name(), text);
    if (!KeyString.empty())
        text = XorDecode(KeyString, text);
    Variant restored(text);
    if (OnRestore)
        OnRestore(this, restored);
    Value = restored;
}

// --- TStoredValues ---

TStoredValues::TStoredValues(TFormStorage* AOwner)
    : TCollection([](TCollection* Collection) -> TCollectionItem* { return new TStoredValue(Collection); }),
      FStorage(AOwner)
{
}

int TStoredValues::IndexOf(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(GetItem(i)->Name(), Name))
            return i;
    return -1;
}

TStoredValue* TStoredValues::GetItem(int Index) const { return static_cast<TStoredValue*>(Items(Index)); }

TStoredValue* TStoredValues::GetValue(const std::string& Name) const
{
    const int index = IndexOf(Name);
    return index >= 0 ? GetItem(index) : nullptr;
}

void TStoredValues::SetValue(const std::string& Name, TStoredValue* StoredValue)
{
    if (TStoredValue* item = GetValue(Name))
        item->Assign(StoredValue);
}

void TStoredValues::SaveValues()
{
    for (int i = 0; i < Count(); ++i)
        GetItem(i)->Save();
}

void TStoredValues::RestoreValues()
{
    for (int i = 0; i < Count(); ++i)
        GetItem(i)->Restore();
}

// --- TFormStorage ---

TFormStorage::TFormStorage(TComponent* AOwner)
    : TFormPlacement(AOwner), FStoredProps(std::make_unique<TStringList>()),
      FStoredValues(std::make_unique<TStoredValues>(this))
{
}

TFormStorage::~TFormStorage() = default;

void TFormStorage::SetStoredProps(TStrings* Value)
{
    FStoredProps->Assign(Value);
    for (int i = 0; i < FStoredProps->Count(); ++i)
        if (auto* component = dynamic_cast<TComponent*>(FStoredProps->Objects(i)))
            component->FreeNotification(this);
}

void TFormStorage::Loaded()
{
    TFormPlacement::Loaded();
    UpdateStoredList(Owner(), FStoredProps.get(), true);
    for (int i = 0; i < FStoredProps->Count(); ++i)
        if (auto* component = dynamic_cast<TComponent*>(FStoredProps->Objects(i)))
            component->FreeNotification(this);
}

void TFormStorage::WriteState() { UpdateStoredList(Owner(), FStoredProps.get(), false); }

void TFormStorage::Notification(TComponent* AComponent, TOperation Operation)
{
    TFormPlacement::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent || ComponentState().Contains(csDestroying) || !FStoredProps)
        return;
    for (int i = FStoredProps->Count() - 1; i >= 0; --i)
        if (FStoredProps->Objects(i) == AComponent)
            FStoredProps->Delete(i);
}

void TFormStorage::SavePlacement()
{
    TFormPlacement::SavePlacement();
    SaveProperties();
    FStoredValues->SaveValues();
}

void TFormStorage::RestorePlacement()
{
    TFormPlacement::RestorePlacement();
    FRestored = true;
    RestoreProperties();
    FStoredValues->RestoreValues();
}

void TFormStorage::SaveProperties()
{
    TPropsStorage storage;
    storage.Section = IniSection();
    storage.OnWriteString = [this](const std::string& Section, const std::string& Item, const std::string& Value) {
        DoWriteString(Section, Item, Value);
    };
    storage.OnEraseSection = [this](const std::string& Section) { IniEraseSection(GetIniFile(), Section); };
    storage.StoreObjectsProps(Owner(), FStoredProps.get());
}

void TFormStorage::RestoreProperties()
{
    TPropsStorage storage;
    storage.Section = IniSection();
    storage.OnReadString = [this](const std::string& Section, const std::string& Item, const std::string& Default) {
        return DoReadString(Section, Item, Default);
    };
    storage.OnEraseSection = [this](const std::string& Section) { IniEraseSection(GetIniFile(), Section); };
    try {
        storage.LoadObjectsProps(Owner(), FStoredProps.get());
    } catch (...) {
        // Every failure while loading leaves the property as it was.
    }
}
