#include "controls/ExConst.h"

#include "controls/ExResources.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"

#include <map>

namespace {

const std::map<int, std::string>& ExConstTexts()
{
    static const std::map<int, std::string> texts = {
        {SInvalidFloatOperation1, "Invalid floating operation"},
        {SInvalidFloatOperation2, "Invalid floating operation"},
        {SInvalidFloatOperation3, "Invalid floating operation"},
        {SDivideByZero, "Divide by zero"},
        {SInvalidCondition, "Invalid condition (no cramp)"},
        {SSyntaxError, "Syntax error"},
        {SSpeedbarEditHint, "To add command buttons, drag and drop buttons onto the SpeedBar. To remove "
                            "command buttons, drag them off of the SpeedBar."},
        {SSpeedbarCategories, "&Categories:"},
        {SSpeedbarAvailButtons, "&Available buttons:"},
        {SCustomizeSpeedbar, "Customize Speedbar"},
        {SClipboardEmpty, "Clipboard is empty"},
        {SClipboardUnknownFormat, "Cannot display. Data in Clipboard is in an unknown format."},
        {SDestination, "&Destination"},
        {SSource, "&Source"},
        {SDetails, "Details"},
        {SLoadLibError, "Could not load '%s' library"},
        {SNotExecutableOrIcon, "File specified is not an executable file, dynamic-link library, or icon file"},
        {SNotImplemented, "Function not yet implemented"},
        {SPrevMonth, "Previous Month|"},
        {SPrevYear, "Previous Year|"},
        {SNextMonth, "Next Month|"},
        {SNextYear, "Next Year|"},
        {SDateDlgTitle, "Select a Date"},
        {SDefaultFilter, "All files (*.*)|*.*"},
        {SBrowse, "Browse"},
    };
    return texts;
}

} // namespace

std::string ExLoadStr(int id)
{
    const auto& texts = ExConstTexts();
    const auto found = texts.find(id);
    return found == texts.end() ? std::string() : found->second;
}

void InstallExCursors()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    RegisterExResources();
    Screen->SetCursors(crHandCursor, LoadCursor(MainInstance(), "EX_HANDCUR"));
    Screen->SetCursors(crDragCursor, LoadCursor(MainInstance(), "EX_DRAGCUR"));
}
