#pragma once
// The placement of a window between runs. A TFormPlacement on a form keeps the form's position,
// size, state and active control in one section of an INI file or of a registry key: it restores
// them when the form is shown and saves them when it closes or is destroyed, and it can hold the
// form's size within limits. A TFormStorage also keeps chosen published properties and named
// values. Other components attach through a TIniLink and save or load their own state while the
// store is open.

#include "controls/ExHook.h"
#include "platform/gui/Form.h"
#include "platform/os/IniFiles.h"
#include "platform/os/Registry.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TPlacementOption { fpState, fpPosition, fpActiveControl };
using TPlacementOptions = TSet<TPlacementOption>;
enum TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };
// What a link is told to do.
enum TPlacementOperation { poSave, poRestore };

class TFormPlacement;
class TFormStorage;
class TStoredValue;
class PlacemntStoreCloser;

// The window's size and position limits, one MINMAXINFO record.
class TWinMinMaxInfo : public TPersistent {
    TESS_CLASS(TWinMinMaxInfo, TPersistent)
public:
    explicit TWinMinMaxInfo(TFormPlacement* AOwner) : FOwner(AOwner) {}

    // Copies the whole record from another TWinMinMaxInfo.
    void Assign(TPersistent* Source) override;
    // True when all eight members are 0.
    bool DefaultMinMaxInfo() const;
    // Index 0..7: MaxPosLeft, MaxPosTop, MaxSizeHeight, MaxSizeWidth, MaxTrackHeight,
    // MaxTrackWidth, MinTrackHeight, MinTrackWidth; 0 for any other index.
    int GetMinMaxInfo(int Index) const;
    void SetMinMaxInfo(int Index, int Value);
    const MINMAXINFO& Info() const { return FMinMaxInfo; }

    int MaxPosLeft() const { return GetMinMaxInfo(0); }
    void SetMaxPosLeft(int Value) { SetMinMaxInfo(0, Value); }
    int MaxPosTop() const { return GetMinMaxInfo(1); }
    void SetMaxPosTop(int Value) { SetMinMaxInfo(1, Value); }
    int MaxSizeHeight() const { return GetMinMaxInfo(2); }
    void SetMaxSizeHeight(int Value) { SetMinMaxInfo(2, Value); }
    int MaxSizeWidth() const { return GetMinMaxInfo(3); }
    void SetMaxSizeWidth(int Value) { SetMinMaxInfo(3, Value); }
    int MaxTrackHeight() const { return GetMinMaxInfo(4); }
    void SetMaxTrackHeight(int Value) { SetMinMaxInfo(4, Value); }
    int MaxTrackWidth() const { return GetMinMaxInfo(5); }
    void SetMaxTrackWidth(int Value) { SetMinMaxInfo(5, Value); }
    int MinTrackHeight() const { return GetMinMaxInfo(6); }
    void SetMinTrackHeight(int Value) { SetMinMaxInfo(6, Value); }
    int MinTrackWidth() const { return GetMinMaxInfo(7); }
    void SetMinTrackWidth(int Value) { SetMinMaxInfo(7, Value); }

private:
    TFormPlacement* FOwner;
    MINMAXINFO FMinMaxInfo;
};

// A component's way into a placement's store: its events run while the placement saves or
// restores, and GetIniObject is the open store only then.
class TIniLink : public TPersistent {
    TESS_CLASS(TIniLink, TPersistent)
public:
    TIniLink() = default;
    ~TIniLink() override;
    TIniLink(const TIniLink&) = delete;
    TIniLink& operator=(const TIniLink&) = delete;

    TFormPlacement* Storage() const { return FStorage; }
    void SetStorage(TFormPlacement* Value);
    // The placement's open store, nullptr outside a save or restore or without a placement.
    TObject* GetIniObject() const;
    // The placement's IniSection as set, followed by "\"; "" when it is empty.
    std::string GetRootSection() const;

    virtual void SaveToIni();
    virtual void LoadFromIni();

    TNotifyEvent OnSave;
    TNotifyEvent OnLoad;

private:
    friend class TFormPlacement;
    TFormPlacement* FStorage = nullptr;
};

class TFormPlacement : public TComponent {
    TESS_CLASS(TFormPlacement, TComponent)
public:
    explicit TFormPlacement(TComponent* AOwner);
    ~TFormPlacement() override;

    // A window that was never restored never overwrites its stored placement.
    void SaveFormPlacement();
    void RestoreFormPlacement();
    // One value in IniSection, through the open store or one opened for the call.
    std::string ReadString(const std::string& Ident, const std::string& Default);
    void WriteString(const std::string& Ident, const std::string& Value);
    int ReadInteger(const std::string& Ident, int Default);
    void WriteInteger(const std::string& Ident, int Value);
    // Erases IniSection and the sections below it ("Section.*", "Section\*").
    void EraseSections();
    // The open store (the registry adapter or the INI file), nullptr when none is open.
    TObject* GetIniFile() const;
    TCustomForm* GetForm() const;

    // When false, the form's events neither restore nor save.
    bool Active = true;
    // The stored name, or the default one when it is empty.
    std::string IniFileName() const;
    void SetIniFileName(const std::string& Value) { FIniFileName = Value; }
    std::string IniSection() const;
    void SetIniSection(const std::string& Value) { FIniSection = Value; }
    TWinMinMaxInfo* MinMaxInfo() const { return FWinMinMaxInfo.get(); }
    void SetMinMaxInfo(TWinMinMaxInfo* Value) { FWinMinMaxInfo->Assign(Value); }
    TPlacementOptions Options;
    bool PreventResize() const { return FPreventResize; }
    void SetPreventResize(bool Value);
    TPlacementRegRoot RegistryRoot = prCurrentUser;
    bool UseRegistry = false;
    int Version = 0;
    TNotifyEvent OnSavePlacement;
    TNotifyEvent OnRestorePlacement;

    void AddLink(TIniLink* ALink);
    void RemoveLink(TIniLink* ALink);
    void NotifyLinks(TPlacementOperation Operation);
    void MinMaxInfoModified();
    // Runs after the form's own window procedure.
    void WndMessage(TObject* Sender, TMessage& Msg, bool& Handled);

    // Chains the form's OnShow, OnCloseQuery and OnDestroy when loaded with the form.
    void Loaded() override;

protected:
    virtual void SavePlacement();
    virtual void RestorePlacement();
    virtual std::string DoReadString(const std::string& Section, const std::string& Ident,
                                     const std::string& Default);
    virtual void DoWriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
    // Fire OnSavePlacement and OnRestorePlacement.
    virtual void Save();
    virtual void Restore();

    bool FSaved = false;
    bool FRestored = false;

private:
    friend class TIniLink;
    friend class PlacemntStoreCloser;

    // Access with the open store, or with one opened for it and closed again.
    void WithStore(bool ReadOnly, const std::function<void(TObject* Store)>& Access);
    void RestoreActiveControl();
    void IniNeeded(bool ReadOnly);
    void IniFree();
    void SetEvents();
    void RestoreEvents();
    void SetHook();
    void ReleaseHook();
    void CheckToggleHook();
    void UpdatePlacement();
    void UpdatePreventResize();
    void FormShow(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void FormDestroy(TObject* Sender);
    bool Loading() const { return ComponentState().Contains(csLoading); }

    std::string FIniFileName;
    std::string FIniSection;
    std::unique_ptr<TIniFile> FIniFile;
    std::unique_ptr<TRegIniFile> FRegIniFile;
    std::vector<TIniLink*> FLinks;
    bool FDestroying = false;
    bool FPreventResize = false;
    std::unique_ptr<TWinMinMaxInfo> FWinMinMaxInfo;
    bool FDefMaximize = false;
    TExWindowHook* FWinHook = nullptr;
    bool FEventsSet = false;
    TNotifyEvent FSaveFormShow;
    TNotifyEvent FSaveFormDestroy;
    TCloseQueryEvent FSaveFormCloseQuery;
};

using TStoredValueEvent = std::function<void(TStoredValue* Sender, Variant& Value)>;

// A named value kept in the storage's section; with a KeyString it is kept encoded.
class TStoredValue : public TCollectionItem {
    TESS_CLASS(TStoredValue, TCollectionItem)
public:
    explicit TStoredValue(TCollection* Collection);

    // Copies value, name and key from another TStoredValue; other classes are ignored.
    void Assign(TPersistent* Source) override;
    std::string DisplayName() const override;
    // Raises Exception "String list does not allow duplicates" when another item has the name.
    void SetDisplayName(const std::string& Value);
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { SetDisplayName(Value); }
    void Clear() { Value = Variant(); }
    bool IsValueStored() const;
    TFormStorage* Storage() const;

    virtual void Save();
    // The value always comes back as a string, until OnRestore converts it.
    virtual void Restore();

    Variant Value;
    std::string KeyString;
    TStoredValueEvent OnSave;
    TStoredValueEvent OnRestore;

private:
    std::string FName;
};

class TStoredValues : public TCollection {
    TESS_CLASS(TStoredValues, TCollection)
public:
    explicit TStoredValues(TFormStorage* AOwner);

    TFormStorage* Storage() const { return FStorage; }
    // The first item of the name (case ignored), -1 when none.
    int IndexOf(const std::string& Name) const;
    TStoredValue* GetItem(int Index) const;
    void SetItem(int Index, TStoredValue* StoredValue) { SetItems(Index, StoredValue); }
    // The item of the name, nullptr when none.
    TStoredValue* GetValue(const std::string& Name) const;
    // Assigns to the item of the name; nothing when there is none.
    void SetValue(const std::string& Name, TStoredValue* StoredValue);
    virtual void SaveValues();
    virtual void RestoreValues();

private:
    TFormStorage* FStorage;
};

class TFormStorage : public TFormPlacement {
    TESS_CLASS(TFormStorage, TFormPlacement)
public:
    explicit TFormStorage(TComponent* AOwner);
    ~TFormStorage() override;

    // "Component.Property" lines; each line's object is the component.
    TStrings* StoredProps() const { return FStoredProps.get(); }
    void SetStoredProps(TStrings* Value);
    TStoredValues* StoredValues() const { return FStoredValues.get(); }
    void SetStoredValues(TStoredValues* Value) { FStoredValues->Assign(Value); }

    virtual void SaveProperties();
    // Every failure while loading is swallowed: a property that fails keeps its value.
    virtual void RestoreProperties();

    // Resolves the lines' components among the owner's.
    void Loaded() override;
    // Renames each line after its component's current name; lines without one go.
    void WriteState();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void SavePlacement() override;
    void RestorePlacement() override;

private:
    std::unique_ptr<TStringList> FStoredProps;
    std::unique_ptr<TStoredValues> FStoredValues;
};
