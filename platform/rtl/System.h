#pragma once
// The root of the class hierarchy and the process-wide values every unit may need.

#include <string>
#include <string_view>

// Adds the class name and the name-based inheritance test to a class derived from TObject.
#define TESS_CLASS(Name, Base)                                                  \
public:                                                                         \
    std::string ClassName() const override { return #Name; }                   \
    bool InheritsFrom(std::string_view className) const override                \
    {                                                                           \
        return className == #Name || Base::InheritsFrom(className);             \
    }                                                                           \
                                                                                \
private:

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject() = default;

    virtual std::string ClassName() const { return "TObject"; }
    virtual bool InheritsFrom(std::string_view className) const { return className == "TObject"; }
};

// The command line, as the program received it. ParamStr(0) is the program's own path.
void SetCommandLine(int argc, const char* const* argv);
int ParamCount();
std::string ParamStr(int index);
