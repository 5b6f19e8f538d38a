#include "SpeedBarTestSupport.h"

#include "ButtonsTestSupport.h"
#include "ControlsTestSupport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Screen.h"
#include "platform/os/RegistryStore.h"

void SpeedBarFixture::SetUp()
{
    Folder = TestFolder();
    SetRegistryFile(Folder + "/registry.reg");
    Form = TForm::Create<TBarForm>(nullptr);
    Form->SetBounds(80, 60, 420, 340);
    Form->SetClientWidth(400);
    Form->SetClientHeight(300);
    Bar = new TSpeedBar(Form);
    Bar->SetName("BarraPulsanti");
    Bar->SetParent(Form);
}

void SpeedBarFixture::TearDown()
{
    TComponent::Free(Form);
    Application->ProcessMessages();
    SetRegistryFile("");
}

TSpeedItem* SpeedBarFixture::AddItem(int Section, const std::string& Name, int Left, int Top, bool Visible)
{
    TSpeedItem* item = Bar->NewItem(Form, Section, Name);
    item->SetLeft(Left);
    item->SetTop(Top);
    item->SetVisible(Visible);
    return item;
}

TSpeedbarSetupWindow* SpeedBarFixture::SetupWindow() const
{
    for (int i = 0; i < Screen->CustomFormCount(); ++i)
        if (auto* window = dynamic_cast<TSpeedbarSetupWindow*>(Screen->CustomForms(i)))
            return window;
    return nullptr;
}

void SpeedBarFixture::ShowForm()
{
    Form->Show();
    PumpFor(10);
}
