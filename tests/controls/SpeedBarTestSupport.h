#pragma once
// Shared pieces of the speed bar tests: a form of 400 x 300 client pixels holding a top bar, and
// items made the way the program makes them.

#include "controls/SbSetup.h"
#include "controls/SpeedBar.h"

#include <gtest/gtest.h>

#include <string>

class TBarForm : public TForm {
    TESS_CLASS(TBarForm, TForm)
public:
    explicit TBarForm(TComponent* AOwner) : TForm(AOwner) {}
};

class SpeedBarFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A visible item named Name in Section at (Left, Top).
    TSpeedItem* AddItem(int Section, const std::string& Name, int Left, int Top, bool Visible = true);
    // The setup window of the bar, nullptr when none is open.
    TSpeedbarSetupWindow* SetupWindow() const;
    void ShowForm();

    TBarForm* Form = nullptr;
    TSpeedBar* Bar = nullptr;
    std::string Folder;
};
