// The speed bar's layout in an INI file, in the registry and through a form's placement.

#include "ButtonsTestSupport.h"
#include "SpeedBarTestSupport.h"

#include "controls/AppUtils.h"
#include "controls/Placemnt.h"
#include "platform/os/IniFiles.h"
#include "platform/os/Registry.h"

#include <gtest/gtest.h>

#include <map>

namespace SpeedBarLayoutTest {

const std::string Section = "TBarFormBarraPulsanti";
const std::string RegistryKey = "Software\\Ventisca\\Tessellarium\\";

class SpeedBarLayoutFixture : public SpeedBarFixture {
protected:
    void SetUp() override
    {
        SpeedBarFixture::SetUp();
        IniPath = Folder + "/Tessellarium.ini";
        Bar->SetHeight(31);
        Bar->AddSection("Documenti");
        Bar->AddSection("Stampa");
        Nuovo = AddItem(0, "Nuovo", 3, 3);
        Apri = AddItem(0, "Apri", 27, 3);
        Stampa = AddItem(1, "Stampa", 59, 3);
        Chiudi = AddItem(1, "Chiudi", 83, 3, false);
        Apri->SetStored(false);
    }
    // A second bar on a second form of the same class, with the same items, all hidden.
    TSpeedBar* FreshBar(TBarForm*& OtherForm)
    {
        OtherForm = TForm::Create<TBarForm>(nullptr);
        auto* bar = new TSpeedBar(OtherForm);
        bar->SetName("BarraPulsanti");
        bar->SetParent(OtherForm);
        bar->AddSection("Documenti");
        bar->AddSection("Stampa");
        for (const char* name : {"Nuovo", "Apri"})
            bar->NewItem(OtherForm, 0, name);
        for (const char* name : {"Stampa", "Chiudi"})
            bar->NewItem(OtherForm, 1, name);
        return bar;
    }
    std::string IniPath;
    TSpeedItem* Nuovo = nullptr;
    TSpeedItem* Apri = nullptr;
    TSpeedItem* Stampa = nullptr;
    TSpeedItem* Chiudi = nullptr;
};

TEST_F(SpeedBarLayoutFixture, TheSavedSectionHoldsTheStoredVisibleItemsInOrder)
{
    {
        TIniFile ini(IniPath);
        ini.WriteString(Section, "Vecchio", "1");
        Bar->SaveLayout(&ini);
    }
    TIniFile ini(IniPath);
    const std::vector<std::string> expected{"Position=1",
                                            "Width=31",
                                            "Version=0",
                                            "PixelsPerInch=96",
                                            "BtnWidth=24",
                                            "BtnHeight=23",
                                            "Button1=Nuovo,3,3",
                                            "Button2=Stampa,59,3",
                                            "Count=2"};
    EXPECT_EQ(ini.SectionValues(Section), expected);
}

TEST_F(SpeedBarLayoutFixture, ARestoredBarShowsExactlyTheSavedItemsAtTheirPlaces)
{
    Bar->SetOptions(Bar->Options() + TSpeedbarOptions{sbAllowResize});
    Bar->SetHeight(54);
    {
        TIniFile ini(IniPath);
        Bar->SaveLayout(&ini);
    }
    TBarForm* other = nullptr;
    TSpeedBar* fresh = FreshBar(other);
    fresh->SetOptions(fresh->Options() + TSpeedbarOptions{sbAllowResize});
    fresh->SearchItem("Chiudi")->SetVisible(true);
    {
        TIniFile ini(IniPath);
        fresh->RestoreLayout(&ini);
    }
    EXPECT_EQ(fresh->Height(), 54);
    std::vector<std::string> shown;
    for (const char* name : {"Nuovo", "Apri", "Stampa", "Chiudi"}) {
        TSpeedItem* item = fresh->SearchItem(name);
        if (item->Visible())
            shown.push_back(Format("%s,%d,%d", {item->Name(), item->Left(), item->Top()}));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Nuovo,3,3", "Stampa,59,3"}));
    TComponent::Free(other);
}

TEST_F(SpeedBarLayoutFixture, ALowerVersionChangesNothingAndAnotherResolutionMovesOnlyTheEdge)
{
    Bar->SetAlign(alLeft);
    {
        TIniFile ini(IniPath);
        Bar->SaveLayout(&ini);
    }
    TBarForm* other = nullptr;
    TSpeedBar* fresh = FreshBar(other);
    int posChanges = 0;
    fresh->OnPosChanged = [&](TObject*) { ++posChanges; };
    fresh->Version = 1;
    {
        TIniFile ini(IniPath);
        fresh->RestoreLayout(&ini);
    }
    EXPECT_EQ(fresh->Align(), alTop);
    EXPECT_FALSE(fresh->SearchItem("Nuovo")->Visible());
    EXPECT_EQ(posChanges, 0);

    fresh->Version = 0;
    {
        TIniFile ini(IniPath);
        ini.WriteInteger(Section, "PixelsPerInch", 120);
        fresh->RestoreLayout(&ini);
    }
    EXPECT_EQ(fresh->Align(), alLeft);
    EXPECT_FALSE(fresh->SearchItem("Nuovo")->Visible());
    EXPECT_EQ(posChanges, 1);
    TComponent::Free(other);
}

TEST_F(SpeedBarLayoutFixture, TheRegistryHoldsTheSameValues)
{
    {
        TIniFile ini(IniPath);
        Bar->SaveLayout(&ini);
        TRegIniFile registry(RegistryKey);
        Bar->SaveLayoutReg(&registry);
    }
    TIniFile ini(IniPath);
    TRegIniFile registry(RegistryKey);
    for (const std::string& line : ini.SectionValues(Section)) {
        const std::string key = line.substr(0, line.find('='));
        EXPECT_EQ(registry.ReadString(Section, key, "?"), ini.ReadString(Section, key, "!")) << key;
    }
    TBarForm* other = nullptr;
    TSpeedBar* fresh = FreshBar(other);
    fresh->RestoreLayoutReg(&registry);
    EXPECT_TRUE(fresh->SearchItem("Stampa")->Visible());
    EXPECT_EQ(fresh->SearchItem("Stampa")->Left(), 59);
    EXPECT_FALSE(fresh->SearchItem("Apri")->Visible());
    TComponent::Free(other);
}

// A window that keeps its placement and its bar's layout in the same store.
class TPlacedBarForm : public TBarForm {
    TESS_CLASS(TPlacedBarForm, TBarForm)
public:
    TPlacedBarForm(TComponent* AOwner, const std::string& IniFileName) : TBarForm(AOwner)
    {
        Placement = new TFormPlacement(this);
        Placement->SetIniFileName(IniFileName);
        Placement->SetIniSection("Finestra");
        Bar = new TSpeedBar(this);
        Bar->SetName("BarraPulsanti");
        Bar->SetParent(this);
        Bar->SetIniStorage(Placement);
        Bar->AddSection("Tessellarium");
        Bar->NewItem(this, 0, "Nuovo")->SetVisible(true);
        Bar->NewItem(this, 0, "Apri");
    }
    TFormPlacement* Placement;
    TSpeedBar* Bar;
};

TEST_F(SpeedBarLayoutFixture, ThroughAPlacementTheBarKeepsItsLayoutUnderThePlacementsSection)
{
    auto* first = TForm::Create<TPlacedBarForm>(nullptr, IniPath);
    first->Show();
    first->Bar->SearchItem("Apri")->SetLeft(51);
    first->Bar->SearchItem("Apri")->SetVisible(true);
    first->Bar->SearchItem("Nuovo")->SetVisible(false);
    first->Close();
    TComponent::Free(first);
    {
        TIniFile ini(IniPath);
        EXPECT_EQ(ini.ReadString("Finestra\\TPlacedBarFormBarraPulsanti", "Button1", ""), "Apri,51,3");
        EXPECT_EQ(ini.ReadString("Finestra\\TPlacedBarFormBarraPulsanti", "Count", ""), "1");
    }
    auto* second = TForm::Create<TPlacedBarForm>(nullptr, IniPath);
    second->Show();
    EXPECT_TRUE(second->Bar->SearchItem("Apri")->Visible());
    EXPECT_EQ(second->Bar->SearchItem("Apri")->Left(), 51);
    EXPECT_FALSE(second->Bar->SearchItem("Nuovo")->Visible());
    second->Close();
    TComponent::Free(second);

    // An unnamed bar is not stored.
    auto* third = TForm::Create<TPlacedBarForm>(nullptr, IniPath + ".2");
    third->Bar->SetName("");
    third->Show();
    third->Close();
    TComponent::Free(third);
    TIniFile ini(IniPath + ".2");
    EXPECT_TRUE(ini.SectionValues("Finestra\\TPlacedBarForm").empty());
}

TEST_F(SpeedBarLayoutFixture, HandEditedLayoutsFallBackWithoutErrors)
{
    Bar->SetOptions(Bar->Options() + TSpeedbarOptions{sbAllowResize});
    Nuovo->SetLeft(35);
    {
        TIniFile ini(IniPath);
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
                 {"Count", "100000"},
                 {"Button1", ",,"},
                 {"Button2", "Missing,1,2"},
                 {"Button3", "Nuovo,abc,-5"},
                 {"Button4", "Stampa 75 3"},
                 {"Position", "7"},
                 {"Width", "-40"},
                 {"Version", "x"}})
            ini.WriteString(Section, key, value);
    }
    Bar->SetAlign(alLeft);
    TIniFile ini(IniPath);
    EXPECT_NO_THROW(Bar->RestoreLayout(&ini));
    EXPECT_EQ(Bar->Align(), alTop);
    EXPECT_EQ(Bar->Height(), 31);
    EXPECT_TRUE(Nuovo->Visible());
    EXPECT_EQ(Nuovo->Left(), 35);
    EXPECT_EQ(Nuovo->Top(), 3);
    EXPECT_TRUE(Stampa->Visible());
    EXPECT_EQ(Stampa->Left(), 75);
    EXPECT_FALSE(Apri->Visible());
    EXPECT_FALSE(Chiudi->Visible());

    // A refused position in a stored layout leaves the bar on top.
    ini.WriteString(Section, "Position", "5");
    Bar->SetAlign(alBottom);
    EXPECT_NO_THROW(Bar->RestoreLayout(&ini));
    EXPECT_EQ(Bar->Align(), alTop);
}

} // namespace SpeedBarLayoutTest
