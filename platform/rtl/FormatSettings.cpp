#include "platform/rtl/FormatSettings.h"

TFormatSettings& FormatSettings()
{
    static TFormatSettings settings;
    return settings;
}

TFormatSettings DefaultFormatSettings()
{
    return TFormatSettings{};
}

TFormatSettingsSaver::TFormatSettingsSaver() : Saved(FormatSettings()) {}

TFormatSettingsSaver::~TFormatSettingsSaver()
{
    FormatSettings() = Saved;
}
