#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/os/Shell.h"
#include "widgets/AHListBox.h"
#include "widgets/HeaderHelper.h"
#include "widgets/HintBox.h"
#include "widgets/URLLabel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>

namespace {

// A dialog as the program builds them: the help header, an about text in a balloon, the notes
// list and two links. Its picture is written for a person to look at.
class TFormDemoComponenti : public TForm {
    TESS_CLASS(TFormDemoComponenti, TForm)
public:
    explicit TFormDemoComponenti(TComponent* owner) : TForm(owner)
    {
        SetCaption("Componenti aggiuntivi");
        SetBounds(100, 100, 480, 420);
        Images = std::make_unique<TImageList>(16, 16);
        TBitmap strip;
        strip.SetSize(48, 16);
        const TColor priorities[] = {clGreen, clYellow, clRed};
        for (int i = 0; i < 3; ++i) {
            strip.Canvas()->Brush()->SetColor(clWhite);
            strip.Canvas()->FillRect(Rect(16 * i, 0, 16 * i + 16, 16));
            strip.Canvas()->Brush()->SetColor(priorities[i]);
            strip.Canvas()->Pen()->SetColor(clBlack);
            strip.Canvas()->Ellipse(16 * i + 2, 2, 16 * i + 14, 14);
        }
        Images->AddMasked(&strip, clWhite);

        Header = new THeaderHelper(this);
        Header->SetParent(this);
        Header->SetAlign(alTop);
        Header->SetBevelOuter(bvNone);
        Header->SetBodyHeight(100);
        Header->SetTitleHeight(20);
        TStringList help;
        help.Add("Questo modulo consente di compilare e impostare l'invio di una mail contenente il "
                 "documento corrente in allegato.");
        help.Add("Compilati i campi <b>Firma</b>, <b>Mittente</b> e <b>Destinatario</b>, si prema <b>Conferma</b>.");
        help.Add("<i>Il modello si salva con</i> <u>Salva modello mail</u>.");
        Header->SetHelpLines(&help);

        About = new THintBox(this);
        About->SetParent(this);
        About->SetBounds(8, 110, 220, 170);
        TStringList about;
        about.Add("<center><b>Verifica versione in corso...</b></center>");
        about.Add("Tessellarium \xE8 un programma gratuito, ma ogni contributo al suo sviluppo \xE8 bene accetto.");
        about.Add("<right>Grazie!</right>");
        about.Add("<b>Grassetto</b>, <i>corsivo</i>, <u>sottolineato</u>, <strike>barrato</strike>.");
        About->SetLines(&about);

        Notes = new TAHListBox(this);
        Notes->SetParent(this);
        Notes->SetBounds(240, 110, 220, 150);
        Notes->SetBorderStyle(bsNone);
        Notes->SetColor(clWhite);
        Notes->SetBarColor(clBtnFace);
        TFont bar;
        bar.SetSize(8);
        bar.SetStyle({fsBold});
        bar.SetColor(clBtnText);
        Notes->SetBarFont(&bar);
        Notes->SetOddEvenColors(true);
        Notes->SetOddColor(15912375);
        Notes->SetEvenColor(16244694);
        Notes->SetImages(Images.get());
        Notes->OnGetImageIndex = [](TObject*, int row, int& idx) { idx = row % 3; };
        for (const char* note : {"Telefonare a Rossi", "Scadenza IVA", "Riunione con il commercialista",
                                 "Ordinare la carta", "Fattura 12 da incassare", "Banca"})
            Notes->Items()->Add(note);
        Notes->SetItemIndex(2);

        const char* links[][2] = {{"assistenza@example.org", "mailto:assistenza@example.org"},
                                  {"Donazioni", "https://www.example.com/dona"}};
        for (int i = 0; i < 2; ++i) {
            auto* link = new TURLLabel(this);
            link->SetParent(this);
            link->SetBounds(8, 300 + 24 * i, 200, 16);
            link->SetCaption(links[i][0]);
            link->URL = links[i][1];
        }
    }

    std::unique_ptr<TImageList> Images;
    THeaderHelper* Header = nullptr;
    THintBox* About = nullptr;
    TAHListBox* Notes = nullptr;
};

TEST(DemonstrationWidgets, HeaderHintBoxNotesAndLinks)
{
    auto* form = TForm::Create<TFormDemoComponenti>(nullptr);
    form->Show();
    PumpFor(50);
    const std::string path = ScreenshotFolder() + "/widgets-header-list.png";
    ASSERT_TRUE(GrabToPng(form, path));
    std::cout << "screenshot: " << path << std::endl;
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    TGrab grab(form);
    // The title strip and the help body under it, the balloon's outline, the selected note.
    EXPECT_EQ(grab.At(5, 105), static_cast<TColor>(ColorToRGB(clBtnFace)));
    EXPECT_EQ(grab.At(8, 110), clBlack);
    const TRect selected = form->Notes->ItemRect(2);
    EXPECT_EQ(grab.At(240 + 100, 110 + selected.Top), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
    TComponent::Free(form);
}

} // namespace
