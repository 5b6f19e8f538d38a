// The registry of published properties: lists follow the class chain, names ignore case, the most
// derived registered class wins, and wrong names or kinds raise the class library's error.

#include "platform/rtl/TypInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace TypInfoTest {

class TTypInfoShape : public TObject {
    TESS_CLASS(TTypInfoShape, TObject)
public:
    int Width = 10;
    std::string Title = "shape";
    double Ratio = 1.5;
    Variant Data;
    TObject* Partner = nullptr;
};

class TTypInfoBox : public TTypInfoShape {
    TESS_CLASS(TTypInfoBox, TTypInfoShape)
public:
    int Kind = 0;
};

// Registered with no properties of its own beyond what its parent has.
class TTypInfoCrate : public TTypInfoBox {
    TESS_CLASS(TTypInfoCrate, TTypInfoBox)
};

// Not registered: it takes the list of its nearest registered ancestor.
class TTypInfoBigCrate : public TTypInfoCrate {
    TESS_CLASS(TTypInfoBigCrate, TTypInfoCrate)
};

PTypeInfo KindType() { return EnumTypeInfo("TTypInfoKind", {"tkPlain", "tkRound", "tkSharp"}); }

void RegisterTestClasses()
{
    RegisterPropInfos(
        "TTypInfoShape", "",
        {OrdProp<TTypInfoShape>(
             "Width", TypeInfoInteger(), [](TTypInfoShape& s) -> std::int64_t { return s.Width; },
             [](TTypInfoShape& s, std::int64_t v) { s.Width = static_cast<int>(v); }),
         StrProp<TTypInfoShape>(
             "Title", [](TTypInfoShape& s) { return s.Title; },
             [](TTypInfoShape& s, const std::string& v) { s.Title = v; }),
         FloatProp<TTypInfoShape>(
             "Ratio", TypeInfoDouble(), [](TTypInfoShape& s) { return s.Ratio; },
             [](TTypInfoShape& s, double v) { s.Ratio = v; }),
         VariantProp<TTypInfoShape>(
             "Data", [](TTypInfoShape& s) { return s.Data; }, [](TTypInfoShape& s, const Variant& v) { s.Data = v; }),
         ObjectProp<TTypInfoShape>(
             "Partner", "TTypInfoShape", [](TTypInfoShape& s) { return s.Partner; },
             [](TTypInfoShape& s, TObject* v) { s.Partner = v; }),
         StrProp<TTypInfoShape>("Label", [](TTypInfoShape&) { return std::string("read only"); })});
    RegisterPropInfos("TTypInfoBox", "TTypInfoShape",
                      {OrdProp<TTypInfoBox>(
                           "Kind", KindType(), [](TTypInfoBox& b) -> std::int64_t { return b.Kind; },
                           [](TTypInfoBox& b, std::int64_t v) { b.Kind = static_cast<int>(v); }),
                       StrProp<TTypInfoBox>("Title", [](TTypInfoBox&) { return std::string("box title"); })});
    RegisterPropInfos("TTypInfoCrate", "TTypInfoBox", {});
    // A second registration of a class keeps the first list.
    RegisterPropInfos("TTypInfoBox", "", {});
}

std::vector<std::string> Names(const TPropList& list)
{
    std::vector<std::string> names;
    for (PPropInfo info : list)
        names.push_back(info->Name);
    return names;
}

class TypInfoRegistry : public testing::Test {
protected:
    static void SetUpTestSuite() { RegisterTestClasses(); }
};

TEST_F(TypInfoRegistry, ListsFollowTheChainOfTheMostDerivedRegisteredClass)
{
    const std::vector<std::string> shape{"Width", "Title", "Ratio", "Data", "Partner", "Label"};
    std::vector<std::string> box = shape;
    box.insert(box.end(), {"Kind", "Title"});

    TTypInfoShape plain;
    TTypInfoBigCrate big;
    EXPECT_EQ(Names(GetPropList(&plain)), shape);
    EXPECT_EQ(Names(GetPropList(&big)), box);
    EXPECT_EQ(Names(GetPropList(&big, {tkLString})), (std::vector<std::string>{"Title", "Label", "Title"}));
    EXPECT_EQ(Names(GetPropList(&big, tkOrdinal)), (std::vector<std::string>{"Width", "Kind"}));

    // The derived class's property of the same name hides the ancestor's.
    EXPECT_EQ(GetStrProp(&big, "title"), "box title");
    EXPECT_EQ(GetStrProp(&plain, "TITLE"), "shape");

    TObject unregistered;
    EXPECT_TRUE(GetPropList(&unregistered).empty());
    EXPECT_EQ(GetPropInfo(&unregistered, "Width"), nullptr);
    EXPECT_EQ(GetPropInfo(nullptr, "Width"), nullptr);

    EXPECT_TRUE(RegisteredClassInheritsFrom("TTypInfoCrate", "ttypinfoshape"));
    EXPECT_TRUE(RegisteredClassInheritsFrom("TTypInfoBox", "TTypInfoBox"));
    EXPECT_FALSE(RegisteredClassInheritsFrom("TTypInfoShape", "TTypInfoBox"));
    EXPECT_FALSE(RegisteredClassInheritsFrom("TTypInfoBigCrate", "TTypInfoShape")) << "not registered";
}

TEST_F(TypInfoRegistry, ValuesOfEveryKindAreReadAndWrittenByName)
{
    TTypInfoBox box;
    TTypInfoShape partner;
    SetOrdProp(&box, "width", 42);
    SetOrdProp(&box, "Kind", GetEnumValue(KindType(), "TKSHARP"));
    SetFloatProp(&box, "Ratio", 0.25);
    SetVariantProp(&box, "Data", Variant(7));
    SetObjectProp(&box, "Partner", &partner);
    EXPECT_EQ(box.Width, 42);
    EXPECT_EQ(GetEnumName(KindType(), static_cast<int>(GetOrdProp(&box, "Kind"))), "tkSharp");
    EXPECT_EQ(GetFloatProp(&box, "Ratio"), 0.25);
    EXPECT_EQ(static_cast<int>(GetVariantProp(&box, "Data")), 7);
    EXPECT_EQ(GetObjectProp(&box, "Partner"), &partner);
    EXPECT_EQ(GetPropInfo(&box, "Partner")->PropType->ClassName, "TTypInfoShape");
}

TEST_F(TypInfoRegistry, MissingPropertiesWrongKindsAndReadOnlyWritesRaise)
{
    TTypInfoShape shape;
    const std::vector<std::function<void()>> calls = {
        [&] { GetOrdProp(&shape, "Height"); },
        [&] { SetOrdProp(&shape, "Title", 1); },
        [&] { SetStrProp(&shape, "Width", "12"); },
        [&] { GetFloatProp(&shape, "Width"); },
        [&] { SetVariantProp(&shape, "Ratio", Variant(1)); },
        [&] { GetObjectProp(&shape, "Title"); },
        [&] { SetStrProp(&shape, "Label", "x"); },
        [&] { SetOrdProp(nullptr, GetPropInfo(&shape, "Width"), 1); },
        [&] { SetOrdProp(&shape, static_cast<PPropInfo>(nullptr), 1); },
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
        try {
            calls[i]();
            ADD_FAILURE() << "call " << i << " did not raise";
        } catch (const EPropertyError& e) {
            EXPECT_EQ(e.Message, "Invalid property value") << i;
        }
    }
    EXPECT_EQ(shape.Width, 10);
    EXPECT_EQ(shape.Title, "shape");
}

TEST_F(TypInfoRegistry, EnumerationNamesAndValues)
{
    EXPECT_EQ(GetEnumName(TypeInfoBoolean(), 0), "False");
    EXPECT_EQ(GetEnumName(TypeInfoBoolean(), 1), "True");
    EXPECT_EQ(GetEnumValue(TypeInfoBoolean(), "true"), 1);
    EXPECT_EQ(GetEnumName(KindType(), 3), "");
    EXPECT_EQ(GetEnumName(KindType(), -1), "");
    EXPECT_EQ(GetEnumName(TypeInfoInteger(), -5), "-5");
    EXPECT_EQ(GetEnumValue(KindType(), "tkNone"), -1);
    EXPECT_EQ(GetEnumValue(TypeInfoInteger(), "1"), -1);
    EXPECT_EQ(GetEnumValue(nullptr, "x"), -1);
    // The same name gives the same type.
    EXPECT_EQ(KindType(), EnumTypeInfo("ttypinfokind", {}));
    EXPECT_EQ(TypeInfoBoolean()->Kind, tkEnumeration);
}

} // namespace TypInfoTest
