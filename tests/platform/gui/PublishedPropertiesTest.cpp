// The visual layer's classes publish their properties: a panel is aligned, anchored and given a
// font through the names alone, as the property storage and the progress registry use them.

#include "GuiTestSupport.h"

#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/ScrollBar.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace PublishedPropertiesTest {

bool Lists(const TPropList& list, const std::string& name)
{
    return std::any_of(list.begin(), list.end(), [&](PPropInfo info) { return info->Name == name; });
}

TEST(PublishedProperties, APanelIsDrivenThroughItsPublishedProperties)
{
    RegisterPublishedProperties();
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 50, 40);
    form.HandleNeeded();

    const TPropList list = GetPropList(panel);
    EXPECT_TRUE(Lists(list, "Align"));
    EXPECT_TRUE(Lists(list, "Width"));
    EXPECT_TRUE(Lists(list, "BevelOuter"));
    EXPECT_TRUE(Lists(list, "TabOrder"));
    EXPECT_EQ(list.front()->Name, "Left") << "the ancestors' properties come first";
    EXPECT_FALSE(Lists(list, "Lines"));

    SetOrdProp(panel, "Align", alRight);
    EXPECT_EQ(panel->Align(), alRight);
    EXPECT_EQ(panel->Left() + panel->Width(), form.ClientWidth()) << "the panel was aligned, not only marked";
    EXPECT_GT(panel->Left(), 0);
    EXPECT_EQ(GetEnumName(GetPropInfo(panel, "Align")->PropType, 4), "alRight");
    EXPECT_EQ(GetEnumValue(TypeInfoTAlign(), "alClient"), 5);

    PPropInfo anchors = GetPropInfo(panel, "anchors");
    ASSERT_NE(anchors, nullptr);
    EXPECT_EQ(anchors->PropType->Kind, tkSet);
    EXPECT_EQ(GetEnumName(anchors->PropType->CompType, akBottom), "akBottom");
    EXPECT_EQ(GetOrdProp(panel, anchors), (1 << akLeft) | (1 << akTop));
    SetOrdProp(panel, anchors, (1 << akRight) | (1 << akBottom));
    EXPECT_EQ(panel->Anchors(), (TAnchors{akRight, akBottom}));

    SetStrProp(panel, "Caption", "Totale");
    EXPECT_EQ(panel->Caption(), "Totale");
    EXPECT_THROW(SetOrdProp(panel, "Caption", 1), EPropertyError);
    EXPECT_THROW(SetStrProp(panel, "Nessuna", "x"), EPropertyError);
}

TEST(PublishedProperties, TheFontIsAClassPropertyWithItsOwnList)
{
    RegisterPublishedProperties();
    TPanel panel(nullptr);
    PPropInfo fontInfo = GetPropInfo(&panel, "Font");
    ASSERT_NE(fontInfo, nullptr);
    EXPECT_EQ(fontInfo->PropType->Kind, tkClass);
    EXPECT_EQ(fontInfo->PropType->ClassName, "TFont");

    auto* font = dynamic_cast<TFont*>(GetObjectProp(&panel, fontInfo));
    ASSERT_EQ(font, panel.Font());
    const TPropList fontList = GetPropList(font);
    EXPECT_TRUE(Lists(fontList, "Color"));
    EXPECT_TRUE(Lists(fontList, "Style"));
    SetOrdProp(font, "Style", (1 << fsBold) | (1 << fsUnderline));
    SetOrdProp(font, "Color", clRed);
    EXPECT_EQ(panel.Font()->Style(), (TFontStyles{fsBold, fsUnderline}));
    EXPECT_EQ(panel.Font()->Color(), clRed);

    TFont other;
    other.SetName("Courier New");
    SetObjectProp(&panel, fontInfo, &other);
    EXPECT_EQ(panel.Font()->Name(), "Courier New") << "a font property takes a copy";
    EXPECT_THROW(SetObjectProp(&panel, fontInfo, &panel), EPropertyError);
}

TEST(PublishedProperties, MemoLinesAndProgressBarBounds)
{
    RegisterPublishedProperties();
    TMemo memo(nullptr);
    TStringList lines;
    lines.Add("uno");
    lines.Add("due");
    SetObjectProp(&memo, "Lines", &lines);
    EXPECT_EQ(memo.Lines()->Count(), 2);
    EXPECT_TRUE(Lists(GetPropList(&memo), "ReadOnly"));

    TProgressBar bar(nullptr);
    SetOrdProp(&bar, "Max", 500);
    SetOrdProp(&bar, "Position", 250);
    EXPECT_EQ(bar.Max(), 500);
    EXPECT_EQ(GetOrdProp(&bar, "position"), 250);
    EXPECT_TRUE(RegisteredClassInheritsFrom("TProgressBar", "TControl"));
    EXPECT_FALSE(RegisteredClassInheritsFrom("TCustomLabel", "TWinControl"));
}

} // namespace PublishedPropertiesTest
