#include "report/RP_Utils.h"

#include "report/rpEngine.h"
#include "report/rpReport.h"

#include "platform/db/DataSet.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"

namespace RP_Utils {
namespace {

// A form of the screen or a data module of the application, by name.
TComponent* FindGlobalComponent(const std::string& name)
{
    if (Screen) {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (TForm* form = Screen->Forms(i); form && SameText(form->Name(), name))
                return form;
    }
    for (int i = 0; i < DataModuleCount(); ++i)
        if (TDataModule* module = DataModules(i); module && SameText(module->Name(), name))
            return module;
    return nullptr;
}

std::string RemoveQuotes(const std::string& name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return name.substr(1, name.size() - 2);
    return name;
}

TField* FieldOf(TDataSet* dataSet, const std::string& name)
{
    return dataSet ? dataSet->FindField(RemoveQuotes(name)) : nullptr;
}

TComponent* CurrentOwner() { return CurReport ? CurReport->Owner() : nullptr; }

} // namespace
} // namespace RP_Utils

TComponent* rpFindComponent(TComponent* owner, const std::string& name)
{
    const std::string message = "Otsutstvuyet " + name;
    const std::size_t point = name.find('.');
    // Without an owner a bare name has nowhere to be looked for.
    if (point == std::string::npos && !owner)
        RAISE(EClassNotFound(message));
    try {
        if (point == std::string::npos)
            return owner->FindComponent(name);
        TComponent* global = RP_Utils::FindGlobalComponent(name.substr(0, point));
        return global ? global->FindComponent(name.substr(point + 1)) : nullptr;
    } catch (const std::exception&) {
        RAISE(EClassNotFound(message));
    }
}

TDataSet* rpGetDataSet(const std::string& complexName)
{
    return dynamic_cast<TDataSet*>(rpFindComponent(RP_Utils::CurrentOwner(), complexName));
}

void rpGetDataSetAndField(const std::string& complexName, TDataSet*& dataSet, TField*& field)
{
    using namespace RP_Utils;
    field = nullptr;
    const std::size_t first = complexName.find('.');
    if (first == std::string::npos) {
        field = FieldOf(dataSet, complexName);
        return;
    }
    const std::string head = complexName.substr(0, first);
    const std::string rest = complexName.substr(first + 1);
    const std::size_t second = rest.find('.');
    if (second != std::string::npos) {
        TComponent* form = FindGlobalComponent(head);
        dataSet = form ? dynamic_cast<TDataSet*>(form->FindComponent(rest.substr(0, second))) : nullptr;
        field = FieldOf(dataSet, rest.substr(second + 1));
        return;
    }
    dataSet = dynamic_cast<TDataSet*>(rpFindComponent(CurrentOwner(), head));
    field = FieldOf(dataSet, rest);
}

void rpGetComponents(TComponent* owner, const std::string& className, TStrings* list, TComponent* skip)
{
    list->Clear();
    auto collect = [&](TComponent* container) {
        for (int i = 0; i < container->ComponentCount(); ++i) {
            TComponent* component = container->Components(i);
            if (component == skip || !component->InheritsFrom(className))
                continue;
            list->Add(container == owner ? component->Name() : container->Name() + "." + component->Name());
        }
    };
    if (Screen)
        for (int i = 0; i < Screen->FormCount(); ++i)
            collect(Screen->Forms(i));
    for (int i = 0; i < DataModuleCount(); ++i)
        collect(DataModules(i));
}

void rpEnableControls(const std::vector<TControl*>& controls, bool enabled)
{
    for (TControl* control : controls) {
        if (dynamic_cast<TCustomLabel*>(control))
            control->Font()->SetColor(enabled ? clWindowText : clGrayText);
        else if (dynamic_cast<TWinControl*>(control))
            control->SetColor(enabled ? clWindow : clBtnFace);
        control->SetEnabled(enabled);
    }
}

TControl* rpControlAtPos(TWinControl* parent, TPoint point)
{
    for (int i = parent->ControlCount() - 1; i >= 0; --i) {
        TControl* control = parent->Controls(i);
        if (!control->Visible())
            continue;
        if (point.X < control->Left() || point.X >= control->Left() + control->Width() ||
            point.Y < control->Top() || point.Y >= control->Top() + control->Height())
            continue;
        auto* container = dynamic_cast<TWinControl*>(control);
        if (container && control->ControlStyle.Contains(csAcceptsControls) && container->ControlCount() > 0) {
            if (TControl* inner = rpControlAtPos(container, {point.X - control->Left(), point.Y - control->Top()}))
                return inner;
            continue;
        }
        return control;
    }
    return nullptr;
}

int rpGetFontStyle(TFontStyles style)
{
    int result = 0;
    if (style.Contains(fsItalic))
        result |= 1;
    if (style.Contains(fsBold))
        result |= 2;
    if (style.Contains(fsUnderline))
        result |= 4;
    return result;
}

TFontStyles rpSetFontStyle(int style)
{
    TFontStyles result;
    if (style & 1)
        result.Include(fsItalic);
    if (style & 2)
        result.Include(fsBold);
    if (style & 4)
        result.Include(fsUnderline);
    return result;
}

std::string rpGetWindowsVersion() { return "NT"; }
