#pragma once
// The progress-control registry: which published properties of a control class hold a progress
// control's maximum, minimum and position, so that code can drive any registered control without
// knowing its class. TProgressBar ("Max", "Min", "Position") is registered from the start.

#include "platform/gui/Control.h"

#include <string>

// True when the control's class or an ancestor is registered.
bool SupportsProgressControl(TControl* Control);
// Adds an entry (a class registered twice has two); names longer than 63 characters are cut.
// The class's published properties must be registered with the type information.
void RegisterProgressControl(const std::string& ControlClass, const std::string& MaxPropName,
                             const std::string& MinPropName, const std::string& ProgressPropName);
// Removes the entries of the class and of the classes registered as its descendants.
void UnRegisterProgressControl(const std::string& ControlClass);
// Set the property of the latest entry that fits the control; true when one was set. Integer
// properties take the value, float properties the value as a double, variant ones as an integer.
bool SetProgressMax(TControl* Control, long MaxValue);
bool SetProgressMin(TControl* Control, long MinValue);
bool SetProgressValue(TControl* Control, long ProgressValue);
