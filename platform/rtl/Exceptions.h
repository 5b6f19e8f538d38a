#pragma once
// The class library's exception classes, and the record of the last throw for the error report.

#include "platform/rtl/System.h"

#include <exception>
#include <string>

class Exception : public TObject, public std::exception {
    TESS_CLASS(Exception, TObject)
public:
    explicit Exception(std::string message = {}, int helpContext = 0)
        : Message(std::move(message)), HelpContext(helpContext)
    {
    }

    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message; // Windows-1252
    int HelpContext = 0;
};

#define TESS_EXCEPTION(Name, Base)                                              \
    class Name : public Base {                                                  \
        TESS_CLASS(Name, Base)                                                  \
    public:                                                                     \
        using Base::Base;                                                       \
    };

// Raised to leave an operation without any message.
TESS_EXCEPTION(EAbort, Exception)
TESS_EXCEPTION(EConvertError, Exception)
TESS_EXCEPTION(EInOutError, Exception)
TESS_EXCEPTION(EStreamError, Exception)
TESS_EXCEPTION(EFCreateError, EStreamError)
TESS_EXCEPTION(EFOpenError, EStreamError)
TESS_EXCEPTION(EFilerError, EStreamError)
TESS_EXCEPTION(EReadError, EFilerError)
TESS_EXCEPTION(EWriteError, EFilerError)
TESS_EXCEPTION(EClassNotFound, EFilerError)
TESS_EXCEPTION(EListError, Exception)
TESS_EXCEPTION(EStringListError, Exception)
TESS_EXCEPTION(EInvalidOperation, Exception)
TESS_EXCEPTION(EInvalidCast, Exception)
TESS_EXCEPTION(EVariantError, Exception)
TESS_EXCEPTION(EOutOfMemory, Exception)
TESS_EXCEPTION(EExternal, Exception)
TESS_EXCEPTION(EMathError, EExternal)
TESS_EXCEPTION(EZeroDivide, EMathError)
TESS_EXCEPTION(EInvalidOp, EMathError) // "Invalid floating point operation"
TESS_EXCEPTION(EIntError, EExternal)
TESS_EXCEPTION(ERangeError, EIntError)
TESS_EXCEPTION(EIntOverflow, EIntError)
TESS_EXCEPTION(EDivByZero, EIntError)
TESS_EXCEPTION(EParserError, Exception)
TESS_EXCEPTION(EResNotFound, Exception)
TESS_EXCEPTION(EComponentError, Exception)
// A published property that does not exist or does not take the value: "Invalid property value".
TESS_EXCEPTION(EPropertyError, Exception)

// Raised for a failed system call; ErrorCode is the Windows error number.
class EOSError : public Exception {
    TESS_CLASS(EOSError, Exception)
public:
    using Exception::Exception;
    unsigned ErrorCode = 0;
};

// Raised for a failed Windows call by the class library's own code, with the message
// "Win32 Error.  Code: %d.\n%s" (the code and the system's text for it).
class EWin32Error : public EOSError {
    TESS_CLASS(EWin32Error, EOSError)
public:
    using EOSError::EOSError;
};

// Where the last exception of this thread was raised.
struct TThrowSite {
    std::string ClassName;
    const char* File = "";
    int Line = 0;
    // A code address inside the function that raised; null when unknown.
    const void* Address = nullptr;
};

const TThrowSite& LastThrowSite();
void RecordThrowSite(const std::string& className, const char* file, int line,
                     const void* address = nullptr);

// Kept out of line so that its return address lies in the function that raised. One byte is
// taken off it: a call to a function that never returns may be the last instruction of its
// function, and the address after it would then belong to the next one.
template <typename E>
[[noreturn, gnu::noinline]] void ThrowAt(E exception, const char* file, int line)
{
    RecordThrowSite(exception.ClassName(), file, line,
                    static_cast<const char*>(__builtin_return_address(0)) - 1);
    throw exception;
}

// RAISE(EConvertError("...")) throws and records the class, the source file and the line.
#define RAISE(exception) ThrowAt((exception), __FILE__, __LINE__)

