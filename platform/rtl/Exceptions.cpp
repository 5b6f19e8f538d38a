#include "platform/rtl/Exceptions.h"

namespace {
thread_local TThrowSite lastThrowSite;
}

const TThrowSite& LastThrowSite()
{
    return lastThrowSite;
}

void RecordThrowSite(const std::string& className, const char* file, int line, const void* address)
{
    lastThrowSite.ClassName = className;
    lastThrowSite.File = file;
    lastThrowSite.Line = line;
    lastThrowSite.Address = address;
}
