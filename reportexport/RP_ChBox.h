#pragma once
// The check-box report object: a framed box with an X when its first text line is marked, that
// is not empty and not starting with "0". At print time the line is evaluated into the mark.

#include "report/rpView.h"

#include "platform/rtl/Classes.h"

// Placing it on a form links the check-box object into the program.
class TrpCheckBoxObject : public TComponent {
    TESS_CLASS(TrpCheckBoxObject, TComponent)
public:
    explicit TrpCheckBoxObject(TComponent* AOwner) : TComponent(AOwner) {}
};

class TrpCheckBoxView : public TrpView {
    TESS_CLASS(TrpCheckBoxView, TrpView)
public:
    // Frame width 2; names Check1, Check2, ...
    TrpCheckBoxView();

    // Every box shows its mark while designing.
    void Draw(TCanvas* canvas) override;
    // The first line is evaluated: a boolean gives "-1" or "0", a number its integer part, any
    // other value its text ("" when empty).
    void Print(TStream& stream) override;
    // Hands "X" for a marked box, else "", to the text export at the object's position.
    void ExportData() override;
    void DefinePopupMenu(TPopupMenu* menu) override;

private:
    bool Marked() const;
};

// Registers the object class and its tool picture once; the other takes the class out of the
// engine's registry and frees the picture.
void RegisterCheckBoxObject();
void UnRegisterCheckBoxObject();
