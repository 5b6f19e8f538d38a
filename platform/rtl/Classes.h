#pragma once
// Persistent objects and components as the class library has them: assignment between
// persistent objects, component ownership and names, free notifications, the class registry,
// data modules and the application's exception hook.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
    TESS_CLASS(TPersistent, TObject)
public:
    // Copies Source into this object. The default asks Source to assign itself to this object;
    // when neither side knows the other it raises EConvertError "Cannot assign a %s to a %s".
    virtual void Assign(TPersistent* Source);
    // Assigns this object to Dest; the default raises the assignment error.
    virtual void AssignTo(TPersistent* Dest);

protected:
    [[noreturn]] void AssignError(TPersistent* Source);
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};

class TComponentState {
public:
    TComponentState() = default;
    TComponentState(std::initializer_list<TComponentStateFlag> flags);
    bool Contains(TComponentStateFlag flag) const { return (FBits & Bit(flag)) != 0; }
    void Include(TComponentStateFlag flag) { FBits |= Bit(flag); }
    void Exclude(TComponentStateFlag flag) { FBits &= ~Bit(flag); }
    bool Empty() const { return FBits == 0; }
    bool operator==(const TComponentState& other) const = default;

private:
    static unsigned Bit(TComponentStateFlag flag) { return 1u << static_cast<unsigned>(flag); }
    unsigned FBits = 0;
};

// A component belongs to its owner, which frees it (newest first) when the owner is freed.
// Free a component through its owner, Free(), or delete; the first two send every
// notification while the whole object still exists.
class TComponent : public TPersistent {
    TESS_CLASS(TComponent, TPersistent)
public:
    // The owner hears opInsert from here, before the constructors of derived classes have run.
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // Runs BeforeDestruction and destroys the component. Does nothing on nullptr.
    static void Free(TComponent* component);
    // Called once the constructor of the most derived class has finished (by whoever creates
    // the component the way a form or data module is created).
    virtual void AfterConstruction() {}
    // Called before the destructors run: marks the component and its owned components as
    // being destroyed and tells the free-notification clients.
    virtual void BeforeDestruction();

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    // Raises EListError "List index out of bounds (%d)" for a bad index.
    TComponent* Components(int index) const;
    // The position in the owner's list, -1 without owner.
    int ComponentIndex() const;
    void SetComponentIndex(int value);

    const std::string& Name() const { return FName; }
    // Raises EComponentError "Component name \"%s\" is not a valid identifier" or
    // "A component named %s already exists".
    void SetName(const std::string& newName);

    std::intptr_t Tag = 0;

    TComponentState ComponentState() const { return FComponentState; }
    // The reader's and the designer's access to the state.
    void IncludeState(TComponentStateFlag flag) { FComponentState.Include(flag); }
    void ExcludeState(TComponentStateFlag flag) { FComponentState.Exclude(flag); }
    void SetDesigning(bool value, bool setChildren = true);

    // Finishes loading: clears csLoading.
    virtual void Loaded();
    // Told when a component is inserted into or removed from this one, and when a component
    // this one asked FreeNotification of is freed. The default forwards it to owned components.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // AComponent hears opRemove when this component is freed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Case-insensitive search among the owned components; nullptr when absent or name empty.
    TComponent* FindComponent(const std::string& AName) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, newest first.
    void DestroyComponents();
    // Sets csDestroying on this component and on every owned one.
    void Destroying();

    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }

protected:
    virtual void ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName);
    virtual void ValidateInsert(TComponent* /*AComponent*/) {}
    virtual void ValidateContainer(TComponent* AComponent);
    virtual void SetChildOrder(TComponent* /*Child*/, int /*Order*/) {}

private:
    void InsertChild(TComponent* AComponent);
    void RemoveChild(TComponent* AComponent);
    void RemoveNotificationEntry(TComponent* AComponent);
    void NotifyFreeClients();
    void NotifySafely(TComponent* AComponent, TOperation Operation);

    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState;
};

// Checks the class library's identifier rule: a letter or '_' then letters, digits or '_'.
bool IsValidIdent(const std::string& ident);

// The class registry: a class name and a factory that makes an instance. Names compare without
// regard to case.
using TClassFactory = std::function<TPersistent*(TComponent* Owner)>;

struct TPersistentClass {
    std::string ClassName;
    TClassFactory Create;
};

// Registering a name that is already registered keeps the first registration.
void RegisterClass(const std::string& className, TClassFactory factory);
void UnRegisterClass(const std::string& className);
// nullptr when the name is not registered.
const TPersistentClass* GetClass(const std::string& className);
// Raises EClassNotFound "Class %s not found".
const TPersistentClass& FindClass(const std::string& className);

// A component that holds the program's non-visual components. Data modules are listed
// process-wide from construction to destruction (the screen's DataModules reads the list).
// OnCreate runs in AfterConstruction and OnDestroy in BeforeDestruction; an exception from either
// goes to HandleApplicationException.
class TDataModule : public TComponent {
    TESS_CLASS(TDataModule, TComponent)
public:
    explicit TDataModule(TComponent* AOwner);
    ~TDataModule() override;

    void AfterConstruction() override;
    void BeforeDestruction() override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

private:
    bool FDestroyEventDone = false;
};

int DataModuleCount();
// nullptr for a bad index.
TDataModule* DataModules(int index);

// The application's exception hook. The visual layer installs the application's exception
// display; by default the message goes to standard error. EAbort never reaches the handler.
using TApplicationExceptionHandler = std::function<void(TObject* Sender, const Exception& E)>;

// Installs handler (an empty one restores the default) and returns the previous one.
TApplicationExceptionHandler SetApplicationExceptionHandler(TApplicationExceptionHandler handler);
void HandleApplicationException(TObject* Sender, const Exception& E);
// Call inside a catch block: reports the exception being handled. Exceptions that are not
// Exception are reported by their text. Never throws.
void HandleApplicationException(TObject* Sender);
void HandleApplicationException(TObject* Sender, std::exception_ptr error);
