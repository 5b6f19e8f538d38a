#include "widgets/FlatHover.h"

#include "platform/gui/Control.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"

namespace {
constexpr UINT HoverPollInterval = 100;
} // namespace

TFlatHoverTracker::TFlatHoverTracker() = default;

TFlatHoverTracker::~TFlatHoverTracker() = default;

void TFlatHoverTracker::AddInstance()
{
    ++FInstances;
    if (FTimer)
        return;
    FTimer = std::make_unique<TTimer>(nullptr);
    FTimer->SetEnabled(false);
    FTimer->SetInterval(HoverPollInterval);
    // Each tick watches whichever control owns the hover look at the time.
    FTimer->OnTimer = [this](TObject*) { Tick(); };
}

void TFlatHoverTracker::RemoveInstance(TControl* control)
{
    Release(control);
    if (FInstances > 0)
        --FInstances;
    if (FInstances == 0)
        FTimer.reset();
}

void TFlatHoverTracker::MouseMoved(TControl* control, const std::function<void()>& enter,
                                   const std::function<void()>& leave)
{
    if (FOwner == control || !PointerIsOver(control))
        return;
    if (FOwner) {
        // A copy: the leave step releases the owner, which clears the stored one. The timer
        // keeps running through the handover to this control; it stops below when there is none.
        const std::function<void()> previousLeave = FOwnerLeave;
        FHandingOver = true;
        if (previousLeave)
            previousLeave();
        FHandingOver = false;
    }
    if (!GetActiveWindow() || !FTimer) {
        if (FTimer && !FOwner)
            FTimer->SetEnabled(false);
        return;
    }
    FOwner = control;
    FOwnerLeave = leave;
    FTimer->SetEnabled(true);
    if (enter)
        enter();
}

void TFlatHoverTracker::Release(TControl* control)
{
    if (!control || control != FOwner)
        return;
    if (FTimer && !FHandingOver)
        FTimer->SetEnabled(false);
    FOwner = nullptr;
    FOwnerLeave = nullptr;
}

void TFlatHoverTracker::Tick()
{
    if (!FOwner || PointerIsOver(FOwner))
        return;
    const std::function<void()> leave = FOwnerLeave;
    if (leave)
        leave();
}

bool TFlatHoverTracker::PointerIsOver(TControl* control)
{
    TPoint cursor;
    GetCursorPos(cursor);
    return FindDragTarget(cursor, true) == control;
}
