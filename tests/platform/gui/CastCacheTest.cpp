// The cached type tests of the key and mouse paths answer for each class on its own, whatever
// class was asked first.

#include "GuiTestSupport.h"

#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/private/ControlHost.h"

#include <gtest/gtest.h>

TEST(CastCache, EachClassGetsItsOwnAnswer)
{
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    auto* label = new TLabel(&form);
    label->SetParent(&form);

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(AsForm(&form), &form);
        EXPECT_EQ(AsForm(edit), nullptr);
        EXPECT_EQ(AsForm(label), nullptr);
        EXPECT_EQ(AsWinControl(edit), edit);
        EXPECT_EQ(AsWinControl(&form), &form);
        EXPECT_EQ(AsWinControl(label), nullptr);
        EXPECT_EQ(ParentFormOf(label), &form);
        EXPECT_EQ(GetParentForm(edit), &form);
    }
    TEdit orphan(nullptr);
    EXPECT_EQ(ParentFormOf(&orphan), nullptr);
}
