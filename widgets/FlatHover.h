#pragma once
// The hover poll that a class of flat controls shares: one 100 ms timer and one hover owner for
// every control of the class. The system's mouse-leave messages are not used; the owner keeps
// its hover look until a tick finds the pointer elsewhere or another control of the class takes
// the look over on a mouse move.

#include <functional>
#include <memory>

class TControl;
class TTimer;

class TFlatHoverTracker {
public:
    TFlatHoverTracker();
    ~TFlatHoverTracker();
    TFlatHoverTracker(const TFlatHoverTracker&) = delete;
    TFlatHoverTracker& operator=(const TFlatHoverTracker&) = delete;

    // A control of the class was made; the first creates the timer, disabled.
    void AddInstance();
    // A control of the class goes: it stops being the owner; the last one frees the timer.
    void RemoveInstance(TControl* control);

    // The mouse moved over control: when the pointer is on it and it is not the owner, the
    // previous owner runs its leave step and, while the application has an active window,
    // control becomes the owner watched by the timer and runs enter. enter and leave are
    // control's mouse-enter and mouse-leave steps.
    void MouseMoved(TControl* control, const std::function<void()>& enter, const std::function<void()>& leave);
    // Stops the timer and forgets the owner when control is the owner.
    void Release(TControl* control);

    TControl* Owner() const { return FOwner; }
    // True when the control under the pointer (disabled ones included) is control.
    static bool PointerIsOver(TControl* control);
    TTimer* Timer() const { return FTimer.get(); }
    int InstanceCount() const { return FInstances; }

private:
    void Tick();

    std::unique_ptr<TTimer> FTimer;
    TControl* FOwner = nullptr;
    std::function<void()> FOwnerLeave;
    int FInstances = 0;
    bool FHandingOver = false;
};
