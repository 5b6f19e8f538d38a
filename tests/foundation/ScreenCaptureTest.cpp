#include "foundation/ScreenCapture.h"

#include "FoundationTestUtils.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/SystemMetrics.h"

#include <gtest/gtest.h>

namespace {

class ScreenCaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { AvviaApplicazioneVisuale(); }

    void SetUp() override
    {
        Cattura.Delay = 0;
        Application->OnMinimize = [this](TObject*) { Eventi += "m"; };
        Application->OnRestore = [this](TObject*) { Eventi += "r"; };
    }
    void TearDown() override
    {
        Application->OnMinimize = nullptr;
        Application->OnRestore = nullptr;
    }

    TScreenCapture Cattura{nullptr};
    std::string Eventi;
};

TEST_F(ScreenCaptureTest, ACaptureHasTheScreensSize)
{
    Cattura.Auto = false;
    Cattura.Minimize = false;
    const std::unique_ptr<TBitmap> immagine = Cattura.Capture();
    ASSERT_NE(immagine, nullptr);
    EXPECT_EQ(immagine->Width(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(immagine->Height(), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(Eventi, "");
}

TEST_F(ScreenCaptureTest, AutoCopiesToTheClipboardAndTheEventRunsOnceWhileMinimised)
{
    Clipboard()->Clear();
    int catture = 0;
    std::string eventiDurante;
    Cattura.OnCapture = [&](TObject* sender) {
        EXPECT_EQ(sender, &Cattura);
        ++catture;
        eventiDurante = Eventi;
    };
    const std::unique_ptr<TBitmap> immagine = Cattura.Capture();
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    EXPECT_EQ(catture, 1);
    EXPECT_EQ(eventiDurante, "m");
    EXPECT_EQ(Eventi, "mr");
}

TEST_F(ScreenCaptureTest, AFailedCaptureStillRestoresTheApplication)
{
    Cattura.Auto = false;
    Cattura.OnCapture = [](TObject*) { RAISE(EInvalidGraphicOperation("rotto")); };
    EXPECT_THROW(Cattura.Capture(), EInvalidGraphicOperation);
    EXPECT_EQ(Eventi, "mr");
}

TEST_F(ScreenCaptureTest, DefaultsAndAFixedVersion)
{
    TScreenCapture nuova(nullptr);
    EXPECT_TRUE(nuova.Auto);
    EXPECT_TRUE(nuova.Minimize);
    EXPECT_EQ(nuova.Delay, 500);
    nuova.SetVersion("TScreenCapture v2.0");
    EXPECT_EQ(nuova.Version(), "TScreenCapture v1.0");
}

} // namespace
