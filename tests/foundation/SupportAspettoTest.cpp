#include "FoundationTestUtils.h"

#include "controls/ExSpeedButton.h"
#include "controls/SpeedBar.h"
#include "foundation/SupportAspetto.h"
#include "foundation/SupportFiles.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Form.h"
#include "platform/gui/Menus.h"
#include "platform/gui/SpeedButton.h"
#include "platform/rtl/Classes.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatSpeedButton.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class Aspetto : public ::testing::Test {
protected:
    void SetUp() override
    {
        AvviaApplicazioneVisuale();
        ImpostaCartellaApplicazione(Programma.Percorso());
        fs::create_directories(Pics());
    }
    void TearDown() override { ImpostaCartellaApplicazione(""); }

    std::string Pics() const { return Programma.Percorso() + "/pics/"; }
    // A 2-glyph button image, each test with names of its own since the cache lives for the run.
    void ScriviBitmap(const std::string& nome, int larghezza = 32)
    {
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(larghezza, 16);
        bitmap.SaveToFile(Pics() + nome + ".bmp");
    }

    TCartellaTemporanea Programma;
    TForm Form{nullptr};
};

} // namespace

TEST_F(Aspetto, ABitmapIsReadOnceAndServesEveryButton)
{
    ScriviBitmap("BtnConferma");
    auto* primo = new TBitBtn(&Form);
    auto* secondo = new TBitBtn(&Form);
    TBitmap* letta = ImpostaGlifo(primo, "BtnConferma", 2);
    ASSERT_NE(letta, nullptr);
    fs::remove(Pics() + "BtnConferma.bmp");
    EXPECT_EQ(ImpostaGlifo(secondo, "btnconferma", 2), letta);
    for (TBitBtn* b : {primo, secondo}) {
        EXPECT_EQ(b->NumGlyphs(), 2);
        ASSERT_NE(b->Glyph(), nullptr);
        EXPECT_EQ(b->Glyph()->Width(), 32);
    }
}

TEST_F(Aspetto, MissingOrDamagedImagesClearTheGlyphAndAreLookedForAgain)
{
    ScriviBitmap("BtnAnnulla");
    auto* bottone = new TBitBtn(&Form);
    ImpostaGlifo(bottone, "BtnAnnulla", 1);
    ASSERT_FALSE(bottone->Glyph()->Empty());
    EXPECT_EQ(ImpostaGlifo(bottone, "IcoMancante", 1), nullptr);
    EXPECT_TRUE(bottone->Glyph() == nullptr || bottone->Glyph()->Empty());
    ScriviBitmap("IcoMancante");
    EXPECT_NE(ImpostaGlifo(bottone, "IcoMancante", 1), nullptr);

    ScriviBitmap("IcoTroncata");
    const std::string intera = ContenutoDi(Pics() + "IcoTroncata.bmp");
    ScriviFile(Pics() + "IcoTroncata.bmp", intera.substr(0, 40));
    fs::create_directories(Pics() + "IcoCartella.bmp");
    for (const char* nome : {"IcoTroncata", "IcoCartella"}) {
        SCOPED_TRACE(nome);
        EXPECT_EQ(CaricaBitmap(nome), nullptr);
    }

    ScriviBitmap("IcoSpunta");
    auto* spunta = new TCheckBox(&Form);
    EXPECT_NE(ImpostaGlifo(spunta, "IcoSpunta", 2), nullptr);
}

TEST_F(Aspetto, EveryGlyphButtonClassGetsTheImage)
{
    ScriviBitmap("IcoLente", 48);
    auto* speed = new TSpeedButton(&Form);
    auto* ex = new TExSpeedButton(&Form);
    auto* flat = new TFlatButton(&Form);
    auto* flatSpeed = new TFlatSpeedButton(&Form);
    auto* item = new TSpeedItem(&Form);
    for (TComponent* c : std::initializer_list<TComponent*>{speed, ex, flat, flatSpeed, item})
        ImpostaGlifo(c, "IcoLente", 3);
    EXPECT_EQ(speed->Glyph()->Width(), 48);
    EXPECT_EQ(speed->NumGlyphs(), 3);
    EXPECT_EQ(ex->Glyph()->Width(), 48);
    EXPECT_EQ(ex->NumGlyphs(), 3);
    EXPECT_EQ(flat->Glyph()->Width(), 48);
    EXPECT_EQ(flatSpeed->Glyph()->Width(), 48);
    EXPECT_EQ(item->Glyph()->Width(), 48);
    EXPECT_EQ(item->NumGlyphs(), 3);
}

TEST(Colori, LighterAndDarkerStayWithinTheByte)
{
    struct TCaso {
        TColor Colore;
        TColor Chiaro;
        TColor Scuro;
    };
    const TCaso casi[] = {
        {0x0000C8, 0x787878 | 0xFF, 0x000050},       // red 200
        {0x006400, 0x78DC78, 0x000000},              // green 100
        {0x102030, 0x8898A8, 0x000000},
        {static_cast<TColor>(0xFF000000u), 0x787878, 0x000000}, // the highest byte is dropped
    };
    for (const TCaso& caso : casi) {
        SCOPED_TRACE(caso.Colore);
        EXPECT_EQ(SchiarisciColore(caso.Colore), caso.Chiaro);
        EXPECT_EQ(ScurisciColore(caso.Colore), caso.Scuro);
    }
}

TEST(Menu, CopiesEmptiesAndCreatesItems)
{
    AvviaApplicazioneVisuale();
    TForm form(nullptr);
    auto* pop = new TMenuItem(&form);
    pop->SetName("Pop");
    std::vector<std::string> cliccati;
    auto clic = [&cliccati](const std::string& nome) {
        return [&cliccati, nome](TObject*) { cliccati.push_back(nome); };
    };
    CreaVoceMenu(&form, pop, "A", "&Fattura", clic("A"), 1);
    CreaVoceMenu(&form, pop, "", "Bolla", clic("B"), 2);
    TMenuItem* c = CreaVoceMenu(&form, pop, "C", "Altro", nullptr, 3);
    CreaVoceMenu(&form, c, "D", "Nota", clic("D"), 4);

    auto* menu = new TMenuItem(&form);
    menu->SetName("Menu");
    CopiaMenu(&form, menu, pop, true);
    ASSERT_EQ(menu->Count(), 3);
    const char* nomi[] = {"MenuA", "Menu1", "MenuC"};
    const char* didascalie[] = {"&Fattura", "Bolla", "Altro"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(menu->Items(i)->Name(), nomi[i]);
        EXPECT_EQ(menu->Items(i)->Caption(), didascalie[i]);
        EXPECT_EQ(menu->Items(i)->Tag, i + 1);
        EXPECT_EQ(menu->Items(i)->Owner(), &form);
    }
    ASSERT_EQ(menu->Items(2)->Count(), 1);
    EXPECT_EQ(menu->Items(2)->Items(0)->Name(), "MenuCD");
    menu->Items(0)->Click();
    menu->Items(1)->Click();
    menu->Items(2)->Items(0)->Click();
    EXPECT_EQ(cliccati, (std::vector<std::string>{"A", "B", "D"}));

    // Copying again clashes with the names already used; an unnamed destination names nothing.
    EXPECT_THROW(CopiaMenu(&form, menu, pop), EComponentError);
    TForm altra(nullptr);
    auto* anonimo = new TMenuItem(&altra);
    CopiaMenu(&altra, anonimo, pop);
    EXPECT_EQ(anonimo->Items(1)->Name(), "");
    EXPECT_EQ(anonimo->Items(0)->Name(), "A");

    SvuotaMenu(menu);
    EXPECT_EQ(menu->Count(), 0);
    EXPECT_EQ(form.FindComponent("MenuCD"), nullptr);
    TMenuItem* foglia = menu;
    EXPECT_NO_THROW(SvuotaMenu(foglia));
}

TEST(Menu, TemplateMenuFromAFolder)
{
    AvviaApplicazioneVisuale();
    TCartellaTemporanea radice;
    const std::string cartella = radice.Percorso() + "/Templates/";
    fs::create_directories(cartella + "X.tsd");
    ScriviFile(cartella + "Doc1.tsd");
    ScriviFile(cartella + "doc2.TSD");
    ScriviFile(cartella + "altro.txt");
    TForm form(nullptr);
    auto* modelli = new TMenuItem(&form);
    CreaVoceMenu(&form, modelli, "Vecchia", "Vecchia", nullptr, 0);
    std::vector<std::string> cliccati;
    MenuDaFile(modelli, cartella + "*.tsd", 3,
               [&cliccati](TObject* s) { cliccati.push_back(static_cast<TMenuItem*>(s)->Caption()); });
    ASSERT_EQ(modelli->Count(), 2);
    EXPECT_EQ(modelli->Items(0)->Caption(), "Doc1");
    EXPECT_EQ(modelli->Items(1)->Caption(), "doc2");
    EXPECT_EQ(modelli->Items(1)->Tag, 3);
    EXPECT_EQ(modelli->Items(1)->Owner(), modelli);
    modelli->Items(1)->Click();
    EXPECT_EQ(cliccati, std::vector<std::string>{"doc2"});

    const std::string vuota = radice.Percorso() + "/Nuova/Cartella/";
    MenuDaFile(modelli, vuota + "*.tsd", 3, nullptr);
    EXPECT_EQ(modelli->Count(), 0);
    EXPECT_TRUE(fs::is_directory(vuota));
}

TEST(Menu, FiveThousandTemplates)
{
    AvviaApplicazioneVisuale();
    TCartellaTemporanea radice;
    for (int i = 0; i < 5000; ++i)
        ScriviFile(radice.Percorso() + "/M" + std::to_string(i) + ".tsd");
    TForm form(nullptr);
    auto* modelli = new TMenuItem(&form);
    MenuDaFile(modelli, radice.Percorso() + "/*.tsd", 1, nullptr);
    EXPECT_EQ(modelli->Count(), 5000);
    MenuDaFile(modelli, radice.Percorso() + "/*.tsd", 1, nullptr);
    EXPECT_EQ(modelli->Count(), 5000);
}
