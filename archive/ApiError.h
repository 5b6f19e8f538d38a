#pragma once
// The system-error exception of the cabinet components and their temporary-file helpers.

#include "platform/rtl/Exceptions.h"

#include <cstdint>
#include <string>

// "Error %d: %s" with the code and the system's text for it.
class EApiError : public Exception {
    TESS_CLASS(EApiError, Exception)
public:
    explicit EApiError(std::uint32_t code);
    std::uint32_t ErrorCode = 0;
};

// Raises EApiError with GetLastError when result is false.
void CheckApiResult(bool result);
// Appends a backslash to a non-empty text that does not end with one.
std::string AddBackslash(const std::string& text);
// GetTempFileNameA in folder with prefix; "" on failure.
std::string ApiTempFileName(const std::string& folder, const std::string& prefix, unsigned unique);
// GetTempPathA; "" on failure.
std::string ApiTempFolder();
