#pragma once
// Small helpers of the report engine: finding data sets, fields and components by the names
// templates use, listing components, enabling controls, the control under a point, font style
// codes and the system name.

#include "platform/gui/Control.h"
#include "platform/gui/Font.h"

#include <string>
#include <vector>

class TDataSet;
class TField;
class TStrings;
class TWinControl;

// The data set named so among the components of the current report's owner ("Form.Name" for a
// component of another form or data module); nullptr when there is none.
TDataSet* rpGetDataSet(const std::string& complexName);
// "Form.DataSet.Field", "DataSet.Field" (a data set of the current report's owner) or "Field" of
// dataSet; a field name may be in double quotes. field is nullptr when nothing is found.
void rpGetDataSetAndField(const std::string& complexName, TDataSet*& dataSet, TField*& field);
// A component of owner, or with "Form.Name" a component of that form or data module; nullptr when
// absent. A failed look-up raises EClassNotFound.
TComponent* rpFindComponent(TComponent* owner, const std::string& name);
// Every component of the class (by class name, descendants included) on every form and data
// module, except skip: its name when owner owns it, else "Form.Name".
void rpGetComponents(TComponent* owner, const std::string& className, TStrings* list, TComponent* skip);
// Labels take a grey or a window text colour, window controls a face or a window colour.
void rpEnableControls(const std::vector<TControl*>& controls, bool enabled);
// The innermost visible control under point (in parent's client coordinates), nullptr for none.
TControl* rpControlAtPos(TWinControl* parent, TPoint point);
// The engine's style code: 1 italic, 2 bold, 4 underline.
int rpGetFontStyle(TFontStyles style);
TFontStyles rpSetFontStyle(int style);
std::string rpGetWindowsVersion();

// A component of the engine's windows, which are built in code: a control of class T named name,
// owned by owner, placed on parent at bounds.
template <class T>
T* rpCreateControl(TComponent* owner, TWinControl* parent, const std::string& name, const TRect& bounds)
{
    T* control = new T(owner);
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    return control;
}
