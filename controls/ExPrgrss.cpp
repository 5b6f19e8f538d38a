#include "controls/ExPrgrss.h"

#include "platform/rtl/TypInfo.h"

#include <memory>
#include <vector>

namespace {

constexpr std::size_t ExPrgrssNameLength = 63;

struct TProgressProp {
    std::string ControlClass;
    std::string Names[3]; // maximum, minimum, position
};

enum TExPrgrssProperty { ExPrgrssMax, ExPrgrssMin, ExPrgrssValue };

// Made at first use with the progress bar's entry; GUI thread only.
std::vector<TProgressProp>& ExPrgrssRegistry()
{
    static std::unique_ptr<std::vector<TProgressProp>> registry;
    if (!registry) {
        registry = std::make_unique<std::vector<TProgressProp>>();
        registry->push_back({"TProgressBar", {"Max", "Min", "Position"}});
    }
    return *registry;
}

const TProgressProp* ExPrgrssFind(TControl* control)
{
    const auto& registry = ExPrgrssRegistry();
    for (auto entry = registry.rbegin(); entry != registry.rend(); ++entry)
        if (control->InheritsFrom(entry->ControlClass))
            return &*entry;
    return nullptr;
}

bool ExPrgrssSet(TControl* control, TExPrgrssProperty which, long value)
{
    if (!control)
        return false;
    const TProgressProp* entry = ExPrgrssFind(control);
    if (!entry)
        return false;
    PPropInfo info = GetPropInfo(control, entry->Names[which]);
    if (!info || !info->PropType)
        return false;
    switch (info->PropType->Kind) {
    case tkInteger:
        SetOrdProp(control, info, value);
        return true;
    case tkFloat:
        SetFloatProp(control, info, static_cast<double>(value));
        return true;
    case tkVariant:
        SetVariantProp(control, info, Variant(static_cast<long long>(value)));
        return true;
    default:
        return false;
    }
}

} // namespace

bool SupportsProgressControl(TControl* Control) { return Control && ExPrgrssFind(Control); }

void RegisterProgressControl(const std::string& ControlClass, const std::string& MaxPropName,
                             const std::string& MinPropName, const std::string& ProgressPropName)
{
    ExPrgrssRegistry().push_back({ControlClass,
                                  {MaxPropName.substr(0, ExPrgrssNameLength), MinPropName.substr(0, ExPrgrssNameLength),
                                   ProgressPropName.substr(0, ExPrgrssNameLength)}});
}

void UnRegisterProgressControl(const std::string& ControlClass)
{
    auto& registry = ExPrgrssRegistry();
    std::erase_if(registry, [&](const TProgressProp& entry) {
        return RegisteredClassInheritsFrom(entry.ControlClass, ControlClass);
    });
}

bool SetProgressMax(TControl* Control, long MaxValue) { return ExPrgrssSet(Control, ExPrgrssMax, MaxValue); }
bool SetProgressMin(TControl* Control, long MinValue) { return ExPrgrssSet(Control, ExPrgrssMin, MinValue); }
bool SetProgressValue(TControl* Control, long ProgressValue)
{
    return ExPrgrssSet(Control, ExPrgrssValue, ProgressValue);
}
