#pragma once
// The root of the class hierarchy and the process-wide values every unit may need.

#include <string>
#include <string_view>
#include <type_traits>

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

// The process's pseudo-random sequence: setting RandSeed makes it repeatable (tests do), Randomize
// starts it from the clock. Random(range) gives 0 <= r < range (0 when range is not positive).
extern int RandSeed;
void Randomize();
int Random(int range);

class TComponent;

// Clears the reference first, then frees the object it held (nothing for nullptr), so that the
// object's destructor and the notifications it sends already see the reference empty. A
// component goes through TComponent::Free, anything else through delete.
template <class T>
void FreeAndNil(T*& reference)
{
    static_assert(sizeof(T) > 0, "FreeAndNil needs the complete type");
    T* object = reference;
    reference = nullptr;
    if constexpr (std::is_base_of_v<TComponent, T>)
        T::TComponent::Free(object); // the base's name through the class, known only here
    else
        delete object;
}
