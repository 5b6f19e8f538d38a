// A form with every look of the tool button, a latched group, a drop-down button and two combo
// edits, grabbed to a picture for a person to look at.

#include "ButtonsTestSupport.h"

#include "controls/EXCtrls.h"
#include "controls/ToolEdit.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"

#include <gtest/gtest.h>

namespace ButtonsDemoTest {

TExSpeedButton* AddButton(TWinControl* parent, int x, int y, TBitmap* glyph, const std::string& caption = "")
{
    auto* button = new TExSpeedButton(parent);
    button->SetParent(parent);
    button->SetBounds(x, y, caption.empty() ? 25 : 70, 25);
    button->SetGlyph(glyph);
    button->SetCaption(caption);
    if (!caption.empty())
        button->SetLayout(blGlyphLeft);
    return button;
}

TEST(ButtonsDemo, EveryLookOnOneForm)
{
    TButtonScene scene(420, 230);
    TForm* form = scene.Form();
    form->SetCaption("Pulsanti e campi con pulsante");
    auto glyph = MakeGlyph(1);
    auto strip = MakeGlyph(2, 16, {clLime, clGreen});

    AddLabel(form, 8, 8, "Normale, premuto, disabilitato, piatto, piatto sotto il mouse:");
    AddButton(form, 8, 28, glyph.get());
    TExSpeedButton* pressed = AddButton(form, 40, 28, glyph.get());
    AddButton(form, 72, 28, glyph.get())->SetEnabled(false);
    AddButton(form, 104, 28, glyph.get())->SetFlat(true);
    TExSpeedButton* hovered = AddButton(form, 136, 28, glyph.get());
    hovered->SetFlat(true);
    AddButton(form, 176, 28, strip.get(), "Salva");

    AddLabel(form, 8, 62, "Gruppo (il secondo bloccato) e pulsante con menu:");
    for (int i = 0; i < 3; ++i) {
        TExSpeedButton* member = AddButton(form, 8 + 32 * i, 82, glyph.get());
        member->SetGroupIndex(1);
        member->SetDown(i == 1);
    }
    auto* menu = NewPopupMenu(form, "MenuStampa", paLeft, true,
                              {NewItem("Anteprima", 0, false, true, nullptr, 0, "Anteprima"),
                               NewItem("Stampa", 0, false, true, nullptr, 0, "Stampa")});
    TExSpeedButton* drop = AddButton(form, 120, 82, glyph.get(), "Stampa");
    drop->SetWidth(86);
    drop->SetDropDownMenu(menu);

    AddLabel(form, 8, 120, "Campi con pulsante:");
    auto* combo = new TComboEdit(form);
    combo->SetParent(form);
    combo->SetBounds(8, 140, 160, 21);
    combo->SetText("Immagine.bmp");
    combo->SetGlyphKind(gkEllipsis);
    auto* dropDown = new TComboEdit(form);
    dropDown->SetParent(form);
    dropDown->SetBounds(180, 140, 160, 21);
    dropDown->SetText("Fattura");
    dropDown->SetGlyphKind(gkDropDown);

    scene.ShowAndActivate();
    scene.UnderPointer = hovered;
    hovered->UpdateTracking();
    PressOn(pressed);
    PumpFor(20);
    const std::string path = ButtonsPictureDir() + "/controls-buttons.png";
    EXPECT_TRUE(GrabToPng(form, path));
    EXPECT_TRUE(hovered->MouseInControl());
    ReleaseOn(pressed, 40, 40);
}

} // namespace ButtonsDemoTest
