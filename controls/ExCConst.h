#pragma once
// Numbers of the control library's texts for its dialogs and editors (the date dialog and
// calendar buttons, the file-name edit, library loading and icon extraction). ExLoadStr
// (controls/ExConst.h) gives their texts.

constexpr int SDetails = 61254;
constexpr int SLoadLibError = 61255;
constexpr int SNotExecutableOrIcon = 61256;
constexpr int SNotImplemented = 61257;
constexpr int SPrevMonth = 61258;
constexpr int SPrevYear = 61259;
constexpr int SNextMonth = 61260;
constexpr int SNextYear = 61261;
constexpr int SDateDlgTitle = 61262;
constexpr int SDefaultFilter = 61263;
constexpr int SBrowse = 61264;
