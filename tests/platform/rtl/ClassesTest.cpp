#include "platform/rtl/Classes.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A component that writes what happens to it into a shared log. Reading the notified
// component's name makes the address sanitizer catch a notification about freed memory.
class TRecorder : public TComponent {
    TESS_CLASS(TRecorder, TComponent)
public:
    TRecorder(TComponent* owner, const std::string& name, std::vector<std::string>& log)
        : TComponent(owner), FLog(log)
    {
        SetName(name);
    }
    ~TRecorder() override { FLog.push_back("free " + Name()); }

    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove)
            FLog.push_back(Name() + " hears remove " + AComponent->Name());
        if (Operation == opRemove && AComponent == Watched)
            Watched = nullptr;
    }

    TComponent* Watched = nullptr;

private:
    std::vector<std::string>& FLog;
};

class TPoint : public TPersistent {
    TESS_CLASS(TPoint, TPersistent)
public:
    int X = 0;
    void Assign(TPersistent* Source) override
    {
        if (auto* point = dynamic_cast<TPoint*>(Source)) {
            X = point->X;
            return;
        }
        TPersistent::Assign(Source);
    }
};

class TOther : public TPersistent {
    TESS_CLASS(TOther, TPersistent)
};

// Installs a recording exception handler for the life of a test.
class TCapturedExceptions {
public:
    TCapturedExceptions()
    {
        FPrevious = SetApplicationExceptionHandler([this](TObject* sender, const Exception& e) {
            Messages.push_back(e.ClassName() + ": " + e.Message);
            Senders.push_back(sender);
        });
    }
    ~TCapturedExceptions() { SetApplicationExceptionHandler(FPrevious); }

    std::vector<std::string> Messages;
    std::vector<TObject*> Senders;

private:
    TApplicationExceptionHandler FPrevious;
};

// Writes down, while it is being destroyed, what the reference that held it holds.
template <class Base>
class TSelfWatcher : public Base {
public:
    using Base::Base;
    ~TSelfWatcher() override { *Seen = *Reference; }

    TSelfWatcher** Reference = nullptr;
    const void** Seen = nullptr;
};

class TPlainObject : public TObject {};

} // namespace

TEST(Component, OwnerFreesOwnedComponentsNewestFirstAfterTellingWatchers)
{
    std::vector<std::string> log;
    auto* owner = new TRecorder(nullptr, "Owner", log);
    auto* first = new TRecorder(owner, "First", log);
    new TRecorder(owner, "Second", log);
    auto* third = new TRecorder(owner, "Third", log);
    auto watcher = std::make_unique<TRecorder>(nullptr, "Watcher", log);
    first->FreeNotification(watcher.get());
    third->FreeNotification(watcher.get());
    watcher->Watched = third;

    TComponent::Free(owner);

    // The owner's own destructor body runs first, then its components go, newest first.
    std::vector<std::string> seen;
    for (const auto& line : log)
        if (line.starts_with("free") || line.starts_with("Watcher"))
            seen.push_back(line);
    std::vector<std::string> expected = {
        "free Owner", "Watcher hears remove Third", "free Third", "free Second",
        "Watcher hears remove First", "free First"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(watcher->Watched, nullptr);
}

TEST(Component, DeleteTellsWatchersAndOwnerWhileTheComponentStillExists)
{
    std::vector<std::string> log;
    TRecorder owner(nullptr, "Owner", log);
    auto* watched = new TRecorder(&owner, "Watched", log);
    auto* sibling = new TRecorder(&owner, "Sibling", log);
    TRecorder outsider(nullptr, "Outsider", log);
    // Components of one owner hear of each other through the owner.
    watched->FreeNotification(sibling);
    watched->FreeNotification(&outsider);

    delete watched;

    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), sibling);
    auto heard = [&](const std::string& line) {
        return std::find(log.begin(), log.end(), line) != log.end();
    };
    EXPECT_TRUE(heard("Outsider hears remove Watched"));
    EXPECT_TRUE(heard("Owner hears remove Watched"));
    EXPECT_TRUE(heard("Sibling hears remove Watched"));
}

TEST(Component, AFreedWatcherIsNoLongerCalled)
{
    std::vector<std::string> log;
    TRecorder watched(nullptr, "Watched", log);
    auto* watcher = new TRecorder(nullptr, "Watcher", log);
    watched.FreeNotification(watcher);
    TComponent::Free(watcher); // tells Watched in turn, which forgets it
    log.clear();
    auto* another = new TRecorder(nullptr, "Another", log);
    watched.FreeNotification(another);
    another->RemoveFreeNotification(&watched);
    delete another;
    EXPECT_EQ(log, std::vector<std::string>{"free Another"});
}

TEST(Component, NamesAreCheckedForIdentifierAndUniquenessInTheOwner)
{
    TComponent owner(nullptr);
    auto* button = new TComponent(&owner);
    button->SetName("BtnOk");
    auto* other = new TComponent(&owner);

    for (std::string bad : {"1abc", "a b", "a-b", "perch\xE9", "."}) {
        try {
            other->SetName(bad);
            ADD_FAILURE() << bad;
        } catch (const EComponentError& e) {
            EXPECT_EQ(e.Message, "Component name \"" + bad + "\" is not a valid identifier");
        }
    }
    try {
        other->SetName("btnok");
        ADD_FAILURE();
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message, "A component named btnok already exists");
    }
    EXPECT_EQ(other->Name(), "");

    button->SetName("BTNOK"); // a change of case only is no clash with itself
    other->SetName("_Cancel2");
    EXPECT_EQ(owner.FindComponent("btnOK"), button);
    EXPECT_EQ(owner.FindComponent("_CANCEL2"), other);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    new TComponent(&owner); // any number of unnamed components
    EXPECT_EQ(owner.ComponentCount(), 3);

    // Taking in a component whose name the new owner already has fails and changes nothing.
    TComponent stranger(nullptr);
    auto* clash = new TComponent(&stranger);
    clash->SetName("BtnOk");
    EXPECT_THROW(owner.InsertComponent(clash), EComponentError);
    EXPECT_EQ(clash->Owner(), &stranger);
}

TEST(Component, InsertRemoveAndIndexKeepOneOwner)
{
    std::vector<std::string> log;
    TRecorder first(nullptr, "First", log);
    TRecorder second(nullptr, "Second", log);
    auto* a = new TComponent(&first);
    auto* b = new TComponent(&first);
    auto* c = new TComponent(&first);
    EXPECT_EQ(c->ComponentIndex(), 2);
    c->SetComponentIndex(0);
    EXPECT_EQ(first.Components(0), c);
    EXPECT_EQ(first.Components(1), a);
    b->SetComponentIndex(99);
    EXPECT_EQ(b->ComponentIndex(), 2);

    second.InsertComponent(a); // moving takes it away from the first owner
    EXPECT_EQ(a->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 2);
    EXPECT_EQ(second.ComponentCount(), 1);

    first.RemoveComponent(c);
    EXPECT_EQ(c->Owner(), nullptr);
    EXPECT_EQ(c->ComponentIndex(), -1);
    std::unique_ptr<TComponent> orphan(c);
    try {
        first.Components(5);
        ADD_FAILURE();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (5)");
    }
}

TEST(Component, StateFollowsLoadingDesigningAndDestroying)
{
    class TProbe : public TComponent {
    public:
        using TComponent::TComponent;
        void BeforeDestruction() override
        {
            TComponent::BeforeDestruction();
            if (ComponentCount() > 0)
                ChildDestroying = Components(0)->ComponentState().Contains(csDestroying);
        }
        bool ChildDestroying = false;
    };
    auto* owner = new TProbe(nullptr);
    auto* child = new TComponent(owner);
    child->IncludeState(csLoading);
    child->Loaded();
    EXPECT_TRUE(child->ComponentState().Empty());
    owner->SetDesigning(true);
    EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
    auto* late = new TComponent(owner); // inserted into a designed owner
    EXPECT_TRUE(late->ComponentState().Contains(csDesigning));
    owner->BeforeDestruction();
    EXPECT_TRUE(owner->ChildDestroying);
    delete owner;
}

TEST(Persistent, AssignErrorsNameBothClasses)
{
    TPoint a, b;
    b.X = 7;
    a.Assign(&b);
    EXPECT_EQ(a.X, 7);
    TOther other;
    try {
        a.Assign(&other);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a TOther to a TPoint");
    }
    try {
        a.Assign(nullptr);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a nil to a TPoint");
    }
}

TEST(ClassRegistry, FindsFactoriesByNameWithoutRegardToCase)
{
    RegisterClass("TRegisteredPoint", [](TComponent*) { return new TPoint; });
    RegisterClass("TRegisteredPoint", [](TComponent*) { return new TOther; }); // first one stays
    RegisterClass("TRegisteredComponent", [](TComponent* owner) { return new TComponent(owner); });

    std::unique_ptr<TPersistent> point(FindClass("tregisteredpoint").Create(nullptr));
    EXPECT_EQ(point->ClassName(), "TPoint");
    TComponent owner(nullptr);
    auto* made = GetClass("TRegisteredComponent")->Create(&owner);
    EXPECT_EQ(owner.Components(0), made);

    EXPECT_EQ(GetClass("TMissing"), nullptr);
    try {
        FindClass("TMissing");
        ADD_FAILURE();
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message, "Class TMissing not found");
    }
    UnRegisterClass("TREGISTEREDPOINT");
    EXPECT_EQ(GetClass("TRegisteredPoint"), nullptr);
}

TEST(DataModule, ListedWhileAliveWithEventsReportedThroughTheHook)
{
    TCapturedExceptions captured;
    int before = DataModuleCount();
    std::vector<std::string> events;
    auto* module = new TDataModule(nullptr);
    auto* child = new TDataModule(module);
    EXPECT_EQ(DataModuleCount(), before + 2);
    EXPECT_EQ(DataModules(before), module);
    EXPECT_EQ(DataModules(before + 2), nullptr);

    module->OnCreate = [&](TObject*) {
        events.push_back("create");
        throw EConvertError("bad start");
    };
    module->OnDestroy = [&](TObject* sender) {
        // Still whole: the child is alive and the module is still listed.
        events.push_back("destroy " + std::to_string(static_cast<TComponent*>(sender)->ComponentCount()));
    };
    child->OnDestroy = [&](TObject*) { events.push_back("child destroy"); };
    module->AfterConstruction();
    EXPECT_EQ(captured.Messages, std::vector<std::string>{"EConvertError: bad start"});
    EXPECT_EQ(captured.Senders, std::vector<TObject*>{module});

    TComponent::Free(module);
    EXPECT_EQ(events, (std::vector<std::string>{"create", "destroy 1", "child destroy"}));
    EXPECT_EQ(DataModuleCount(), before);
}

TEST(ExceptionHook, ReportsEveryKindOfExceptionButAbort)
{
    TCapturedExceptions captured;
    auto report = [](auto&& thrower) {
        try {
            thrower();
        } catch (...) {
            HandleApplicationException(nullptr);
        }
    };
    report([] { RAISE(EAbort("silent")); });
    report([] { RAISE(EListError("List index out of bounds (3)")); });
    report([] { throw std::runtime_error("plain"); });
    report([] { throw 42; });
    std::vector<std::string> expected = {"EListError: List index out of bounds (3)",
                                         "Exception: plain", "Exception: Unknown exception"};
    EXPECT_EQ(captured.Messages, expected);

    // A handler that fails itself does not take the caller down.
    auto previous = SetApplicationExceptionHandler([](TObject*, const Exception&) { throw 1; });
    EXPECT_NO_THROW(HandleApplicationException(nullptr, Exception("x")));
    SetApplicationExceptionHandler(previous);
}

TEST(CommandLine, ArgumentsArriveInWindows1252)
{
    const char* argv[] = {"tessellarium", "perch\xC3\xA9", "\xE2\x82\xAC 5", "\xE4\xB8\xAD"};
    SetCommandLine(4, argv);
    EXPECT_EQ(ParamCount(), 3);
    EXPECT_EQ(ParamStr(1), "perch\xE9");
    EXPECT_EQ(ParamStr(2), "\x80 5");
    EXPECT_EQ(ParamStr(3), "?");
    EXPECT_EQ(ParamStr(4), "");
    EXPECT_FALSE(ParamStr(0).empty());
}

TEST(FreeAndNil, ClearsTheReferenceBeforeTheObjectIsFreed)
{
    // A component goes through Free, so its watcher hears of it.
    std::vector<std::string> log;
    TRecorder watcher(nullptr, "Watcher", log);
    const void* seen = &seen;
    auto* component = new TSelfWatcher<TRecorder>(nullptr, "Component", log);
    component->Reference = &component;
    component->Seen = &seen;
    component->FreeNotification(&watcher);
    FreeAndNil(component);
    EXPECT_EQ(component, nullptr);
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"Watcher hears remove Component", "free Component"}));

    // Any other object is deleted.
    seen = &seen;
    auto* plain = new TSelfWatcher<TPlainObject>();
    plain->Reference = &plain;
    plain->Seen = &seen;
    FreeAndNil(plain);
    EXPECT_EQ(plain, nullptr);
    EXPECT_EQ(seen, nullptr);

    TPlainObject* none = nullptr;
    FreeAndNil(none);
    EXPECT_EQ(none, nullptr);
}
