// The timer, the folder dialog and the file operator publish their properties by name, as the
// property storage reads and writes them.

#include "ControlsTestSupport.h"

#include "controls/ExTimer.h"
#include "controls/FileUtil.h"
#include "platform/rtl/TypInfo.h"

#include <gtest/gtest.h>

namespace ComponentPropertiesTest {

std::vector<std::string> PropertyNames(const TObject* object)
{
    std::vector<std::string> names;
    for (PPropInfo info : GetPropList(object))
        names.push_back(info->Name);
    return names;
}

TEST(ComponentProperties, EachComponentListsAndTakesItsPublishedValues)
{
    TExTimer timer(nullptr);
    EXPECT_EQ(PropertyNames(&timer),
              (std::vector<std::string>{"Enabled", "Interval", "SyncEvent", "Threaded", "ThreadPriority"}));
    SetOrdProp(&timer, "Interval", 250);
    SetOrdProp(&timer, "ThreadPriority", GetEnumValue(GetPropInfo(&timer, "ThreadPriority")->PropType, "tpLower"));
    SetOrdProp(&timer, "SyncEvent", 0);
    EXPECT_EQ(timer.Interval(), 250u);
    EXPECT_EQ(timer.ThreadPriority(), tpLower);
    EXPECT_FALSE(timer.SyncEvent());

    TBrowseFolderDlg dialog(nullptr);
    EXPECT_EQ(PropertyNames(&dialog), (std::vector<std::string>{"BrowseKind", "DesktopRoot", "DialogText",
                                                                "FolderName", "HelpContext", "Position"}));
    SetStrProp(&dialog, "DialogText", "Cartella dei documenti");
    SetOrdProp(&dialog, "Position", dpDefault);
    EXPECT_EQ(dialog.DialogText, "Cartella dei documenti");
    EXPECT_EQ(dialog.Position, dpDefault);

    TExFileOperator operation(nullptr);
    PPropInfo options = GetPropInfo(&operation, "Options");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->PropType->Kind, tkSet);
    EXPECT_EQ(GetOrdProp(&operation, options), (1 << flAllowUndo) | (1 << flNoConfirmMkDir));
    SetOrdProp(&operation, options, 1 << flSilent);
    EXPECT_EQ(operation.Options, TFileOperFlags{flSilent});
    EXPECT_EQ(GetEnumName(GetPropInfo(&operation, "Operation")->PropType, foRename), "foRename");
    EXPECT_THROW(SetOrdProp(&operation, "Source", 1), EPropertyError);
}

} // namespace ComponentPropertiesTest
