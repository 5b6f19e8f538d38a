#pragma once
// Everything that keeps settings in this library goes through here: the default names of the
// settings store (INI file, registry key, section of a component), read and write adapters that
// take an INI file or a registry adapter alike, the window placement record, the column widths of
// a grid, and a few form and application helpers.

#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grid.h"
#include "platform/os/IniFiles.h"
#include "platform/os/Registry.h"
#include "platform/rtl/Classes.h"

#include <functional>
#include <string>

class TStrings;

// When set, it decides the default INI file name.
extern std::function<std::string()> OnGetDefaultIniName;
// When not empty, inserted into the default registry key.
extern std::string DefCompanyName;
// When true, the default registry key ends in the application's title (when it has one).
extern bool RegUseAppTitle;

// A form: its class name; a control: its name after its parent form's class name (or its parent
// control's name); another component: "OwnerClass.Name" when a form owns it, else its name.
std::string GetDefaultSection(TComponent* Component);
// The program file's name with ".INI", without folder.
std::string GetDefaultIniName();
// "Software\" + [DefCompanyName + "\"] + the title or the program file's base name.
std::string GetDefaultIniRegKey();
// The INI file name of the first placement on the control's form (its default when none) and
// the control's default section.
void GetDefaultIniData(TControl* Control, std::string& IniFileName, std::string& Section, bool UseRegistry);

// The adapters test the class of the store at each call, the registry adapter first; any other
// object reads the default and writes nothing.
std::string IniReadString(TObject* IniFile, const std::string& Section, const std::string& Ident,
                          const std::string& Default);
// An INI file gets a quoted value wrapped in one more pair of double quotes, so that it reads back
// with its own quotes; the registry keeps values as they are.
void IniWriteString(TObject* IniFile, const std::string& Section, const std::string& Ident, const std::string& Value);
int IniReadInteger(TObject* IniFile, const std::string& Section, const std::string& Ident, int Default);
void IniWriteInteger(TObject* IniFile, const std::string& Section, const std::string& Ident, int Value);
bool IniReadBool(TObject* IniFile, const std::string& Section, const std::string& Ident, bool Default);
void IniWriteBool(TObject* IniFile, const std::string& Section, const std::string& Ident, bool Value);
void IniEraseSection(TObject* IniFile, const std::string& Section);
void IniDeleteKey(TObject* IniFile, const std::string& Section, const std::string& Ident);
void IniReadSections(TObject* IniFile, TStrings* Strings);

// Line breaks (CR LF, LF CR, CR, LF) to "\n" and "\n" back to CR LF. Texts longer than 4096
// characters raise Exception "Line too long".
std::string StrToIniStr(const std::string& Str);
std::string IniStrToStr(const std::string& Str);

// The window placement record: flags, show command, pixels per inch, minimised and maximised
// positions and the normal rectangle, the last two under a key for this screen size as well.
void WriteFormPlacement(TCustomForm* Form, TIniFile* IniFile, const std::string& Section);
void WriteFormPlacementReg(TCustomForm* Form, TRegIniFile* IniFile, const std::string& Section);
void ReadFormPlacement(TCustomForm* Form, TIniFile* IniFile, const std::string& Section, bool LoadState,
                       bool LoadPosition);
void ReadFormPlacementReg(TCustomForm* Form, TRegIniFile* IniFile, const std::string& Section, bool LoadState,
                          bool LoadPosition);
// The record in the section named after the form's class, in a store opened on IniFileName.
void SaveFormPlacement(TCustomForm* Form, const std::string& IniFileName, bool UseRegistry);
void RestoreFormPlacement(TCustomForm* Form, const std::string& IniFileName, bool UseRegistry);

// The open children of an MDI main form. Any other form raises EInvalidOperation
// "Cannot create form. No MDI forms are currently active".
void SaveMDIChildren(TCustomForm* MainForm, TIniFile* IniFile);
void SaveMDIChildrenReg(TCustomForm* MainForm, TRegIniFile* IniFile);
void RestoreMDIChildren(TCustomForm* MainForm, TIniFile* IniFile);
void RestoreMDIChildrenReg(TCustomForm* MainForm, TRegIniFile* IniFile);

// Column widths as "Item0", "Item1"... under the grid's default section.
void SaveGridLayout(TCustomGrid* Grid, TIniFile* IniFile);
void SaveGridLayoutReg(TCustomGrid* Grid, TRegIniFile* IniFile);
void RestoreGridLayout(TCustomGrid* Grid, TIniFile* IniFile);
void RestoreGridLayoutReg(TCustomGrid* Grid, TRegIniFile* IniFile);

// The first form on the screen of the class (descendants count), nullptr when none.
TCustomForm* FindForm(const std::string& FormClassName);
// The first form of the class with this caption (any caption when empty), made through the
// registered class when there is none; shown, and made normal when minimised.
TCustomForm* FindShowForm(const TPersistentClass& FormClass, const std::string& Caption);
// Makes the form, shows it modally and frees it; true for OK and Yes.
bool ShowDialog(const TPersistentClass& FormClass);
// Makes the form through the application only when Reference is empty.
template <typename T>
T* InstantiateForm(T*& Reference)
{
    if (!Reference)
        Application->CreateForm(Reference);
    return Reference;
}

// The first Format(FileMask, i), i = 0, 1, 2..., that is not a file in Path; "" when none.
std::string GetUniqueFileNameInDir(const std::string& Path, const std::string& FileMask);
// Sends the message to every form of the screen, in list order.
void AppBroadcast(UINT Msg, WPARAM wParam, LPARAM lParam);
// Gives the application window a caption (and brings it forward) or takes it away.
void AppTaskbarIcons(bool AppOnly);
