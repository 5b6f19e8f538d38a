#include "platform/rtl/Classes.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <mutex>

// ---------------------------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* Source)
{
    if (Source)
        Source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest)
{
    Dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* Source)
{
    std::string sourceName = Source ? Source->ClassName() : "nil";
    RAISE(EConvertError(Format("Cannot assign a %s to a %s", {sourceName, ClassName()})));
}

// ---------------------------------------------------------------------------------------------
// TComponent

TComponentState::TComponentState(std::initializer_list<TComponentStateFlag> flags)
{
    for (auto flag : flags)
        Include(flag);
}

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Nothing may leave a destructor: failures of notified components go to the exception hook.
    Destroying();
    NotifyFreeClients();
    DestroyComponents();
    if (FOwner) {
        TComponent* owner = FOwner;
        owner->NotifySafely(this, opRemove);
        owner->RemoveChild(this);
    }
}

void TComponent::Free(TComponent* component)
{
    if (!component)
        return;
    component->BeforeDestruction();
    delete component;
}

void TComponent::BeforeDestruction()
{
    Destroying();
    NotifyFreeClients();
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0 || index >= ComponentCount())
        RAISE(EListError(Format("List index out of bounds (%d)", {index})));
    return FComponents[index];
}

int TComponent::ComponentIndex() const
{
    if (!FOwner)
        return -1;
    const auto& siblings = FOwner->FComponents;
    auto found = std::find(siblings.begin(), siblings.end(), this);
    return found == siblings.end() ? -1 : static_cast<int>(found - siblings.begin());
}

void TComponent::SetComponentIndex(int value)
{
    int current = ComponentIndex();
    if (current < 0)
        return;
    auto& siblings = FOwner->FComponents;
    value = std::clamp(value, 0, static_cast<int>(siblings.size()) - 1);
    if (value == current)
        return;
    siblings.erase(siblings.begin() + current);
    siblings.insert(siblings.begin() + value, this);
}

bool IsValidIdent(const std::string& ident)
{
    auto isAlpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    auto isAlphaNumeric = [&](char c) { return isAlpha(c) || (c >= '0' && c <= '9'); };
    if (ident.empty() || !isAlpha(ident[0]))
        return false;
    return std::all_of(ident.begin() + 1, ident.end(), isAlphaNumeric);
}

void TComponent::SetName(const std::string& newName)
{
    if (newName == FName)
        return;
    if (!newName.empty() && !IsValidIdent(newName))
        RAISE(EComponentError(Format("Component name \"%s\" is not a valid identifier", {newName})));
    if (FOwner)
        FOwner->ValidateRename(this, FName, newName);
    else
        ValidateRename(nullptr, FName, newName);
    FName = newName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName)
{
    bool inlineComponent = AComponent && AComponent->FComponentState.Contains(csInline);
    if (!inlineComponent && CompareText(CurName, NewName) != 0 && !NewName.empty()
        && FindComponent(NewName))
        RAISE(EComponentError(Format("A component named %s already exists", {NewName})));
}

void TComponent::ValidateContainer(TComponent* AComponent)
{
    AComponent->ValidateInsert(this);
}

void TComponent::SetDesigning(bool value, bool setChildren)
{
    if (value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
    if (setChildren)
        for (auto* child : FComponents)
            child->SetDesigning(value);
}

void TComponent::Loaded()
{
    FComponentState.Exclude(csLoading);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // Newest first; a notified component may free others, so the index is kept in range.
    int i = ComponentCount() - 1;
    while (i >= 0) {
        FComponents[i]->Notification(AComponent, Operation);
        --i;
        if (i >= ComponentCount())
            i = ComponentCount() - 1;
    }
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this)
        return;
    // Components of the same owner hear of each other through the owner.
    if (!FOwner || AComponent->FOwner != FOwner) {
        if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
            FFreeNotifies.push_back(AComponent);
            AComponent->FreeNotification(this);
        }
    }
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    if (!AComponent)
        return;
    RemoveNotificationEntry(AComponent);
    AComponent->RemoveNotificationEntry(this);
}

void TComponent::RemoveNotificationEntry(TComponent* AComponent)
{
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent),
                        FFreeNotifies.end());
}

void TComponent::NotifyFreeClients()
{
    while (!FFreeNotifies.empty()) {
        TComponent* client = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        client->RemoveNotificationEntry(this);
        client->NotifySafely(this, opRemove);
    }
}

void TComponent::NotifySafely(TComponent* AComponent, TOperation Operation)
{
    try {
        Notification(AComponent, Operation);
    } catch (...) {
        HandleApplicationException(this);
    }
}

TComponent* TComponent::FindComponent(const std::string& AName) const
{
    if (AName.empty())
        return nullptr;
    for (auto* child : FComponents)
        if (SameText(child->FName, AName))
            return child;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner == this)
        return;
    AComponent->ValidateContainer(this);
    ValidateRename(AComponent, "", AComponent->FName);
    // A component has one owner: taking it over removes it from the previous one, which would
    // otherwise free it a second time.
    if (AComponent->FOwner)
        AComponent->FOwner->RemoveComponent(AComponent);
    InsertChild(AComponent);
    if (FComponentState.Contains(csDesigning))
        AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner != this)
        return;
    ValidateContainer(AComponent);
    Notification(AComponent, opRemove);
    RemoveChild(AComponent);
}

void TComponent::InsertChild(TComponent* AComponent)
{
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::RemoveChild(TComponent* AComponent)
{
    auto found = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (found != FComponents.end())
        FComponents.erase(found);
    AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents()
{
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        // Only a component that others watch needs the owner's notification round.
        if (child->FComponentState.Contains(csFreeNotification))
            NotifySafely(child, opRemove);
        RemoveChild(child);
        try {
            child->BeforeDestruction();
        } catch (...) {
            HandleApplicationException(child);
        }
        delete child;
    }
}

void TComponent::Destroying()
{
    if (FComponentState.Contains(csDestroying))
        return;
    FComponentState.Include(csDestroying);
    for (auto* child : FComponents)
        child->Destroying();
}

// ---------------------------------------------------------------------------------------------
// Class registry

namespace {

struct TClassRegistry {
    std::mutex Lock;
    std::map<std::string, TPersistentClass> Classes; // keyed by the upper-case name
};

TClassRegistry& Registry()
{
    static TClassRegistry registry;
    return registry;
}

} // namespace

void RegisterClass(const std::string& className, TClassFactory factory)
{
    auto& registry = Registry();
    std::lock_guard guard(registry.Lock);
    registry.Classes.try_emplace(UpperCase(className), TPersistentClass{className, std::move(factory)});
}

void UnRegisterClass(const std::string& className)
{
    auto& registry = Registry();
    std::lock_guard guard(registry.Lock);
    registry.Classes.erase(UpperCase(className));
}

const TPersistentClass* GetClass(const std::string& className)
{
    auto& registry = Registry();
    std::lock_guard guard(registry.Lock);
    auto found = registry.Classes.find(UpperCase(className));
    return found == registry.Classes.end() ? nullptr : &found->second;
}

const TPersistentClass& FindClass(const std::string& className)
{
    const TPersistentClass* found = GetClass(className);
    if (!found)
        RAISE(EClassNotFound(Format("Class %s not found", {className})));
    return *found;
}

// ---------------------------------------------------------------------------------------------
// TDataModule

namespace {

std::vector<TDataModule*>& DataModuleList()
{
    static std::vector<TDataModule*> modules;
    return modules;
}

} // namespace

TDataModule::TDataModule(TComponent* AOwner) : TComponent(AOwner)
{
    DataModuleList().push_back(this);
}

TDataModule::~TDataModule()
{
    auto& modules = DataModuleList();
    modules.erase(std::remove(modules.begin(), modules.end(), this), modules.end());
}

void TDataModule::AfterConstruction()
{
    TComponent::AfterConstruction();
    if (!OnCreate)
        return;
    try {
        OnCreate(this);
    } catch (...) {
        HandleApplicationException(this);
    }
}

void TDataModule::BeforeDestruction()
{
    Destroying();
    if (!FDestroyEventDone) {
        FDestroyEventDone = true;
        if (OnDestroy) {
            try {
                OnDestroy(this);
            } catch (...) {
                HandleApplicationException(this);
            }
        }
    }
    TComponent::BeforeDestruction();
}

int DataModuleCount()
{
    return static_cast<int>(DataModuleList().size());
}

TDataModule* DataModules(int index)
{
    const auto& modules = DataModuleList();
    if (index < 0 || index >= static_cast<int>(modules.size()))
        return nullptr;
    return modules[index];
}

// ---------------------------------------------------------------------------------------------
// Application exception hook

namespace {

TApplicationExceptionHandler& InstalledHandler()
{
    static TApplicationExceptionHandler handler;
    return handler;
}

void ShowOnStandardError(const Exception& E)
{
    std::cerr << AnsiToUtf8(E.Message) << std::endl;
}

} // namespace

TApplicationExceptionHandler SetApplicationExceptionHandler(TApplicationExceptionHandler handler)
{
    TApplicationExceptionHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}

void HandleApplicationException(TObject* Sender, const Exception& E)
{
    if (E.InheritsFrom("EAbort"))
        return;
    try {
        // A copy, so that a handler may replace itself.
        TApplicationExceptionHandler handler = InstalledHandler();
        if (handler)
            handler(Sender, E);
        else
            ShowOnStandardError(E);
    } catch (...) {
        // The hook is the last resort; a failing handler must not take the program down.
        ShowOnStandardError(E);
    }
}

void HandleApplicationException(TObject* Sender, std::exception_ptr error)
{
    if (!error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        HandleApplicationException(Sender, e);
    } catch (const std::exception& e) {
        HandleApplicationException(Sender, Exception(Utf8ToAnsi(e.what())));
    } catch (...) {
        HandleApplicationException(Sender, Exception("Unknown exception"));
    }
}

void HandleApplicationException(TObject* Sender)
{
    HandleApplicationException(Sender, std::current_exception());
}
