// The progress-control registry drives controls by the names of their published properties: the
// progress bar from the start, descendants through their ancestor's entry unless a later entry
// fits them better, float and variant properties too.

#include "ControlsTestSupport.h"

#include "controls/ExPrgrss.h"
#include "platform/gui/Panel.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/ScrollBar.h"

#include <gtest/gtest.h>

namespace ExPrgrssTest {

class TPlainBar : public TProgressBar {
    TESS_CLASS(TPlainBar, TProgressBar)
public:
    explicit TPlainBar(TComponent* AOwner) : TProgressBar(AOwner) {}
};

// A progress bar with properties of its own, in Italian.
class TItalianBar : public TProgressBar {
    TESS_CLASS(TItalianBar, TProgressBar)
public:
    explicit TItalianBar(TComponent* AOwner) : TProgressBar(AOwner) {}
    int Limite = 0, Base = 0, Avanzamento = 0;
};

// A gauge whose bounds are floats and whose position is a variant; Style is an enumeration.
class TFloatGauge : public TGraphicControl {
    TESS_CLASS(TFloatGauge, TGraphicControl)
public:
    explicit TFloatGauge(TComponent* AOwner) : TGraphicControl(AOwner) {}
    double Maximum = 0, Minimum = 0;
    Variant Progress;
    int Style = 0;
};

const std::string longName(70, 'P');

void RegisterTestClasses()
{
    RegisterPublishedProperties();
    RegisterPropInfos("TPlainBar", "TProgressBar", {});
    const auto intProp = [](const char* name, int TItalianBar::*field) {
        return OrdProp<TItalianBar>(
            name, TypeInfoInteger(), [field](TItalianBar& b) -> std::int64_t { return b.*field; },
            [field](TItalianBar& b, std::int64_t v) { b.*field = static_cast<int>(v); });
    };
    RegisterPropInfos("TItalianBar", "TProgressBar",
                      {intProp("Limite", &TItalianBar::Limite), intProp("Base", &TItalianBar::Base),
                       intProp(longName.substr(0, 63).c_str(), &TItalianBar::Avanzamento)});
    RegisterPropInfos(
        "TFloatGauge", "TControl",
        {FloatProp<TFloatGauge>(
             "Maximum", TypeInfoDouble(), [](TFloatGauge& g) { return g.Maximum; },
             [](TFloatGauge& g, double v) { g.Maximum = v; }),
         FloatProp<TFloatGauge>(
             "Minimum", TypeInfoDouble(), [](TFloatGauge& g) { return g.Minimum; },
             [](TFloatGauge& g, double v) { g.Minimum = v; }),
         VariantProp<TFloatGauge>(
             "Progress", [](TFloatGauge& g) { return g.Progress; },
             [](TFloatGauge& g, const Variant& v) { g.Progress = v; }),
         OrdProp<TFloatGauge>(
             "Style", EnumTypeInfo("TGaugeStyle", {"gsLine", "gsPie"}),
             [](TFloatGauge& g) -> std::int64_t { return g.Style; },
             [](TFloatGauge& g, std::int64_t v) { g.Style = static_cast<int>(v); })});
}

TEST(ProgressRegistry, DescendantsFollowTheBaseEntryUntilALaterOneFitsThem)
{
    RegisterTestClasses();
    TPlainBar plain(nullptr);
    TItalianBar italian(nullptr);
    EXPECT_TRUE(SupportsProgressControl(&plain));
    EXPECT_TRUE(SetProgressMax(&plain, 500));
    EXPECT_TRUE(SetProgressMin(&plain, 10));
    EXPECT_TRUE(SetProgressValue(&plain, 250));
    EXPECT_EQ(plain.Max(), 500);
    EXPECT_EQ(plain.Min(), 10);
    EXPECT_EQ(plain.Position(), 250);

    EXPECT_TRUE(SetProgressValue(&italian, 40));
    EXPECT_EQ(italian.Position(), 40) << "through the progress bar's entry";
    RegisterProgressControl("TItalianBar", "Limite", "Base", longName);
    EXPECT_TRUE(SetProgressMax(&italian, 900));
    EXPECT_TRUE(SetProgressMin(&italian, 5));
    EXPECT_TRUE(SetProgressValue(&italian, 70));
    EXPECT_EQ(italian.Limite, 900);
    EXPECT_EQ(italian.Base, 5);
    EXPECT_EQ(italian.Avanzamento, 70) << "the name was cut to 63 characters";
    EXPECT_EQ(italian.Position(), 40);
    EXPECT_TRUE(SetProgressValue(&plain, 260)) << "the base entry still serves the other class";

    // Removing the progress bar removes its descendants' entries too.
    UnRegisterProgressControl("TProgressBar");
    EXPECT_FALSE(SupportsProgressControl(&italian));
    EXPECT_FALSE(SetProgressValue(&italian, 80));
    EXPECT_FALSE(SetProgressValue(&plain, 80));
    EXPECT_EQ(italian.Avanzamento, 70);
    EXPECT_EQ(plain.Position(), 260);
    RegisterProgressControl("TProgressBar", "Max", "Min", "Position");
    EXPECT_TRUE(SetProgressValue(&italian, 45));
    EXPECT_EQ(italian.Position(), 45);
}

TEST(ProgressRegistry, FloatAndVariantPropertiesServeOtherKindsDoNot)
{
    RegisterTestClasses();
    TFloatGauge gauge(nullptr);
    EXPECT_FALSE(SupportsProgressControl(&gauge));
    RegisterProgressControl("TFloatGauge", "Maximum", "Minimum", "Progress");
    EXPECT_TRUE(SetProgressMax(&gauge, 1000));
    EXPECT_TRUE(SetProgressValue(&gauge, 321));
    EXPECT_EQ(gauge.Maximum, 1000.0);
    EXPECT_EQ(static_cast<int>(gauge.Progress), 321);
    RegisterProgressControl("TFloatGauge", "Style", "Nessuna", "Progress");
    EXPECT_FALSE(SetProgressMax(&gauge, 1)) << "an enumeration is no progress value";
    EXPECT_FALSE(SetProgressMin(&gauge, 1)) << "a property that does not exist";
    EXPECT_EQ(gauge.Style, 0);
    UnRegisterProgressControl("TFloatGauge");
    EXPECT_FALSE(SupportsProgressControl(&gauge));
}

TEST(ProgressRegistry, UnregisteredControlsAndNothingAreLeftAlone)
{
    TPanel panel(nullptr);
    panel.SetWidth(77);
    EXPECT_FALSE(SupportsProgressControl(&panel));
    EXPECT_FALSE(SetProgressMax(&panel, 5));
    EXPECT_FALSE(SetProgressValue(&panel, 5));
    EXPECT_EQ(panel.Width(), 77);
    EXPECT_FALSE(SupportsProgressControl(nullptr));
    EXPECT_FALSE(SetProgressValue(nullptr, 1));
}

} // namespace ExPrgrssTest
