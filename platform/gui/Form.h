#pragma once
// Forms: top-level windows with their close sequence, modal loop, focus bookkeeping, dialog keys
// and the loading sequence of a form built in code.

#include "platform/gui/WinControl.h"

#include <functional>
#include <vector>

class TMainMenu;
class TCustomForm;

// The form's main menu: assigning one shows its bar across the top of the form, outside the
// client area (ClientHeight excludes it, as on Windows). Reads as a TMainMenu pointer.
class TFormMenu {
public:
    explicit TFormMenu(TCustomForm* form) : FForm(form) {}
    TFormMenu(const TFormMenu&) = delete;
    TFormMenu& operator=(const TFormMenu&) = delete;
    TFormMenu& operator=(TMainMenu* menu);
    operator TMainMenu*() const { return FMenu; }
    TMainMenu* operator->() const { return FMenu; }

private:
    friend class TCustomForm;
    TCustomForm* FForm;
    TMainMenu* FMenu = nullptr;
};

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using THelpEvent = std::function<bool(WORD Command, std::intptr_t Data, bool& CallHelp)>;

class TCustomForm : public TScrollingWinControl {
    TESS_CLASS(TCustomForm, TScrollingWinControl)
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // Calls Loaded on the components created by the constructor, then on the form, then OnCreate.
    void AfterConstruction() override;
    void BeforeDestruction() override;

    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons value);
    TFormStyle FormStyle() const { return FFormStyle; }
    // Raises EInvalidOperation for the MDI styles.
    void SetFormStyle(TFormStyle value);
    TPosition Position = poDesigned;
    TWindowState WindowState() const;
    void SetWindowState(TWindowState value);
    TWinControl* ActiveControl() const { return FActiveControl; }
    // Raises EInvalidOperation "Cannot focus a disabled or invisible window".
    void SetActiveControl(TWinControl* control);
    bool KeyPreview = false;
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value);
    TFormMenu Menu{this};
    void* Icon = nullptr;
    std::string HelpFile;
    int PixelsPerInch = 96;
    bool Scaled = true;
    bool Active() const { return FActive; }
    bool Modal() const { return FModal; }

    void Show();
    void Hide();
    void Close();
    virtual bool CloseQuery();
    // Frees the form once the current message has been handled.
    void Release();
    // Raises EInvalidOperation "Cannot make a visible window modal".
    virtual int ShowModal();
    void SetFocus() override;
    bool SetFocusedControl(TWinControl* control);
    void FocusControl(TWinControl* control);
    void DefocusControl(TWinControl* control, bool removing);

    bool Showing() const override;
    void SetVisible(bool value) override;
    // Asks WM_GETMINMAXINFO first: its track sizes clamp the size and bound the window.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    // A client height set while the form is built is kept when the menu bar takes its room.
    void SetClientHeight(int value);
    void Dispatch(TMessage& Message) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnPaint;
    // Draws on the paint context inside Paint and OnPaint, elsewhere on the client context.
    TCanvas* Canvas();
    THelpEvent OnHelp;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    // Children's windows follow the client area when the menu bar moves it.
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Paint() override;
    void PaintMessage() override;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    virtual void Activate();
    virtual void Deactivate();

private:
    friend class TFormMenu;
    // Gives the window the bar of Menu (or takes it away).
    void ShowMainMenu();
    void ApplyWindowFlags();
    // Sends WM_GETMINMAXINFO and gives its track sizes to the window; returns them.
    MINMAXINFO ApplyMinMaxInfo();
    void ApplyPosition();
    void CloseModal();
    void SetActive(bool value);
    void DialogKey(TMessage& Message);
    // Messages for the main menu: commands from it, its popups, selection and owner drawing.
    bool IsMenuMessage(const TMessage& Message) const;

    std::unique_ptr<TPaintCanvas> FCanvas;
    TBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TFormStyle FFormStyle = fsNormal;
    TWindowState FWindowState = wsNormal;
    TWinControl* FActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    TModalResult FModalResult = mrNone;
    bool FActive = false;
    bool FModal = false;
    bool FPositioned = false;
    bool FConstructing = true;
    bool FReleasePosted = false;
    bool FFreeAfterModal = false;
    int FDesignedClientHeight = -1;
    std::vector<TComponent*> FLoading;
};

class TForm : public TCustomForm {
    TESS_CLASS(TForm, TCustomForm)
public:
    explicit TForm(TComponent* AOwner);

    // Constructs a form of class T and runs its loading sequence.
    template <typename T, typename... Args>
    static T* Create(TComponent* AOwner, Args&&... args)
    {
        T* form = new T(AOwner, std::forward<Args>(args)...);
        form->AfterConstruction();
        return form;
    }
};

// Constructs a data module of class T and runs its loading sequence.
template <typename T>
T* CreateDataModule(TComponent* AOwner)
{
    T* module = new T(AOwner);
    module->AfterConstruction();
    return module;
}

// The form that contains the control (the control itself when it is a form), nullptr when none.
TCustomForm* GetParentForm(const TControl* control);
// Raises EInvalidOperation "Control '%s' has no parent window" when there is none.
TCustomForm* ValidParentForm(const TControl* control);
// True when VK is the "&" accelerator of Str (letters compared without case); "&&" is a plain "&".
bool IsAccel(WORD VK, const std::string& Str);

// For tests: runs once each time a modal loop has started and its form is shown.
void SetModalStartHook(std::function<void(TCustomForm*)> hook);
