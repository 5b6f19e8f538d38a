#include "platform/db/DBCommon.h"

#include "platform/rtl/Classes.h"
#include "platform/rtl/TextUtils.h"

void DatabaseError(const std::string& message, TComponent* component)
{
    if (component && !component->Name().empty())
        RAISE(EDatabaseError(component->Name() + ": " + message));
    RAISE(EDatabaseError(message));
}

void DatabaseErrorFmt(const std::string& message, std::initializer_list<TVarRec> args,
                      TComponent* component)
{
    DatabaseError(Format(message, args), component);
}

std::string FieldTypeName(TFieldType type)
{
    static const char* const names[] = {
        "Unknown",    "String",     "SmallInt",  "Integer",  "Word",        "Boolean",
        "Float",      "Currency",   "BCD",       "Date",     "Time",        "DateTime",
        "Bytes",      "VarBytes",   "AutoInc",   "Blob",     "Memo",        "Graphic",
        "FmtMemo",    "ParadoxOle", "dBaseOle",  "TypedBinary", "Cursor",   "FixedChar",
        "WideString", "Largeint",   "ADT",       "Array",    "Reference",   "DataSet",
        "OraBlob",    "OraClob",    "Variant",   "Interface", "IDispatch",  "Guid",
        "TimeStamp",  "FMTBcd"};
    const auto index = static_cast<std::size_t>(type);
    if (index >= sizeof(names) / sizeof(names[0]))
        return "Unknown";
    return names[index];
}

bool IsBlobType(TFieldType type)
{
    return (type >= ftBlob && type <= ftTypedBinary) || type == ftOraBlob || type == ftOraClob;
}

std::string ExtractFieldName(const std::string& fields, std::size_t& pos)
{
    std::size_t end = pos;
    while (end < fields.size() && fields[end] != ';')
        ++end;
    std::string name = Trim(fields.substr(pos, end - pos));
    pos = end < fields.size() ? end + 1 : end;
    return name;
}
