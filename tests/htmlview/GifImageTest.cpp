// The animated GIF picture: building it from a stream, drawing its frames stretched through the
// mask, stepping the animation on an injected clock, and copies that share the strip.

#include "GifTestSupport.h"
#include "HtmlTestSupport.h"
#include "htmlview/panegif1.h"
#include "tests/TickSource.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TGIFImage> GifFrom(const std::string& bytes, bool& nonAnimated)
{
    TMemoryStream stream;
    StreamOf(stream, bytes);
    return CreateAGifFromStream(nonAnimated, stream);
}

// Three 2 x 2 frames of colours 1, 2 and 3, with the given delays (1/100 s).
std::string ThreeFrames(int loops, int delay1 = 0, int delay2 = 1, int delay3 = 50)
{
    TTestGif picture{2, 2, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}, {}, loops};
    const int delays[3] = {delay1, delay2, delay3};
    for (int i = 0; i < 3; ++i)
        picture.Frames.push_back({0, 0, 2, 2, std::vector<std::uint8_t>(4, static_cast<std::uint8_t>(i + 1)), 1,
                                  delays[i], -1, false, true});
    return MakeGif(picture);
}

TEST(GifImage, SingleFramePictureFromHandVector)
{
    bool nonAnimated = false;
    auto gif = GifFrom(HexBytes("47 49 46 38 37 61 04 00 01 00 81 00 00 00 00 00 FF 00 00 00 FF 00 00 00 FF 2C 00 00 00 "
                                "00 04 00 01 00 00 02 02 8C 53 00 3B"),
                       nonAnimated);
    ASSERT_NE(gif, nullptr);
    EXPECT_TRUE(nonAnimated);
    EXPECT_FALSE(gif->FIsAnimated);
    EXPECT_EQ(gif->FNumIterations, 0);
    EXPECT_EQ(gif->FFrames.GetFrame(1)->FDelay, 30);
    EXPECT_EQ(gif->FWidth, 4);
    EXPECT_EQ(gif->GetMask(), nullptr);
    TBitmap* first = gif->GetMaskedBitmap();
    ASSERT_EQ(first->Width(), 4);
    EXPECT_EQ(first->Canvas()->Pixels(3, 0), clRed);
}

TEST(GifImage, DamagedOrMissingInputGivesNothing)
{
    bool nonAnimated = false;
    EXPECT_EQ(GifFrom("GIF89a", nonAnimated), nullptr);
    EXPECT_TRUE(nonAnimated);
    EXPECT_EQ(GifFrom(std::string(), nonAnimated), nullptr);
    nonAnimated = false;
    EXPECT_EQ(CreateAGif("/nonexistent/picture.gif", nonAnimated), nullptr);
    EXPECT_TRUE(nonAnimated);
}

TEST(GifImage, DelaysBecomeMilliseconds)
{
    bool nonAnimated = true;
    auto gif = GifFrom(ThreeFrames(-1), nonAnimated);
    ASSERT_NE(gif, nullptr);
    EXPECT_FALSE(nonAnimated);
    EXPECT_EQ(gif->FFrames.GetFrame(1)->FDelay, 30);
    EXPECT_EQ(gif->FFrames.GetFrame(2)->FDelay, 30);
    EXPECT_EQ(gif->FFrames.GetFrame(3)->FDelay, 500);
    EXPECT_EQ(gif->FFrames.GetFrame(3)->FDisposal, panegif1::dtDoNothing);
    EXPECT_EQ(gif->FLastDisposal, panegif1::dtToBackground);
}

// Steps the clock in 10 ms ticks, calling CheckTime at each, and returns the frames shown.
std::vector<int> StepClock(TGIFImage& gif, std::uint32_t& now, int ticks)
{
    std::vector<int> shown;
    for (int i = 0; i < ticks; ++i) {
        now += 10;
        gif.CheckTime(nullptr);
        if (shown.empty() || shown.back() != gif.FCurrentFrame)
            shown.push_back(gif.FCurrentFrame);
    }
    return shown;
}

TEST(GifImage, AnimationStopsOnTheLastFrameAfterItsLoops)
{
    std::uint32_t now = 0xFFFFFF00u; // across the wrap of the counter
    TTickSourceScope clock([&now] { return now; });
    bool nonAnimated = true;
    auto gif = GifFrom(ThreeFrames(2), nonAnimated);
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->FNumIterations, 2);
    gif->SetAnimate(true);
    EXPECT_EQ(gif->FCurrentInterval, 30);
    EXPECT_EQ(StepClock(*gif, now, 2), (std::vector<int>{1}));
    EXPECT_EQ(StepClock(*gif, now, 1), (std::vector<int>{2})) << "30 ms for frame 1";
    EXPECT_EQ(StepClock(*gif, now, 3), (std::vector<int>{2, 3}));
    EXPECT_EQ(gif->FCurrentInterval, 500);
    EXPECT_EQ(StepClock(*gif, now, 49), (std::vector<int>{3}));
    EXPECT_EQ(StepClock(*gif, now, 1), (std::vector<int>{1}));
    EXPECT_EQ(gif->FCurrentIteration, 2);
    StepClock(*gif, now, 500);
    EXPECT_EQ(gif->FCurrentFrame, 3);
    EXPECT_EQ(gif->FCurrentIteration, 2);
    EXPECT_FALSE(gif->FAnimate);
}

TEST(GifImage, WithoutALoopLimitTheAnimationKeepsCycling)
{
    std::uint32_t now = 1000;
    TTickSourceScope clock([&now] { return now; });
    for (int loops : {0, -1}) {
        SCOPED_TRACE(loops);
        bool nonAnimated = true;
        auto gif = GifFrom(ThreeFrames(loops, 5, 5, 5), nonAnimated);
        ASSERT_NE(gif, nullptr);
        EXPECT_EQ(gif->FNumIterations, 0);
        gif->SetAnimate(true);
        const std::vector<int> shown = StepClock(*gif, now, 50 * 30);
        EXPECT_EQ(shown.size(), 301u) << "every 50 ms a new frame, from frame 1";
        EXPECT_TRUE(gif->FAnimate);
        EXPECT_GE(gif->FCurrentIteration, 100);
    }
}

TEST(GifImage, FrameNumbersOutsideTheRangeAndSingleFrames)
{
    bool nonAnimated = true;
    auto gif = GifFrom(ThreeFrames(0), nonAnimated);
    ASSERT_NE(gif, nullptr);
    gif->SetCurrentFrame(0);
    EXPECT_EQ(gif->FCurrentFrame, 3);
    gif->SetCurrentFrame(2);
    EXPECT_EQ(gif->FLastDisposal, panegif1::dtToBackground);
    EXPECT_EQ(gif->FCurrentFrame, 2);
    gif->SetCurrentFrame(7);
    EXPECT_EQ(gif->FCurrentFrame, 1);

    std::uint32_t now = 0;
    TTickSourceScope clock([&now] { return now; });
    TTestGif single{2, 2, {0, 0xFFFFFF}, {{0, 0, 2, 2, {1, 1, 1, 1}, 0, 0, -1, false, false}}, -1};
    auto still = GifFrom(MakeGif(single), nonAnimated);
    ASSERT_NE(still, nullptr);
    EXPECT_TRUE(nonAnimated);
    still->SetAnimate(true);
    EXPECT_EQ(StepClock(*still, now, 300), (std::vector<int>{1}));
    still->SetCurrentFrame(5);
    EXPECT_EQ(still->FCurrentFrame, 1);
}

// A 10 x 10 picture of two frames whose transparent index 0 covers the left half; frame 1 is
// blue elsewhere, frame 2 (disposal none) puts green on the lower right quarter.
std::string TransparentTwoFrames()
{
    TTestGif picture{10, 10, {0x000000, 0xFF0000, 0x00FF00, 0xFFFFFF}, {}, 0};
    TTestGifFrame first{0, 0, 10, 10, {}, 1, 10, 0, false, true};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            first.Pixels.push_back(x < 5 ? 0 : 1);
    TTestGifFrame second{5, 5, 5, 5, std::vector<std::uint8_t>(25, 2), 1, 10, 0, false, true};
    second.Pixels[0] = 0; // transparent in a later frame: frame 1 shows through
    picture.Frames = {first, second};
    return MakeGif(picture);
}

TEST(GifImage, TransparentPixelsShowTheCanvasInEveryFrame)
{
    bool nonAnimated = true;
    auto gif = GifFrom(TransparentTwoFrames(), nonAnimated);
    ASSERT_NE(gif, nullptr);
    ASSERT_TRUE(gif->FTransparent);
    for (int frame = 1; frame <= 2; ++frame) {
        SCOPED_TRACE(frame);
        auto canvas = NewFilledBitmap(30, 30, clRed);
        gif->SetCurrentFrame(frame);
        gif->Draw(canvas->Canvas(), nullptr, nullptr, 5, 5, 20, 20); // stretched twice
        SavePicture(*canvas, "h02-gif-frame" + std::to_string(frame));
        TCanvas* c = canvas->Canvas();
        EXPECT_EQ(c->Pixels(6, 6), clRed) << "transparent left half";
        EXPECT_EQ(c->Pixels(14, 24), clRed);
        EXPECT_EQ(c->Pixels(16, 6), clBlue);
        EXPECT_EQ(c->Pixels(2, 2), clRed) << "outside the picture";
        EXPECT_EQ(c->Pixels(24, 24), frame == 1 ? clBlue : clLime);
        EXPECT_EQ(c->Pixels(15, 15), clBlue) << "a transparent pixel of frame 2 shows frame 1";
    }
    EXPECT_EQ(gif->FDrawRect.Right, 25);
    ASSERT_NE(gif->GetMask(), nullptr);
    EXPECT_EQ(gif->GetMask()->Canvas()->Pixels(0, 0), clWhite);
    EXPECT_EQ(gif->GetMask()->Canvas()->Pixels(9, 0), clBlack);
}

TEST(GifImage, CopiesShareTheStripAndOutliveTheOriginal)
{
    bool nonAnimated = true;
    auto original = GifFrom(TransparentTwoFrames(), nonAnimated);
    ASSERT_NE(original, nullptr);
    auto copy = std::make_unique<TGIFImage>(*original);
    EXPECT_TRUE(copy->FIsCopy);
    EXPECT_EQ(copy->FBitmap, original->FBitmap);
    EXPECT_EQ(copy->FFrames.Count(), 2);
    EXPECT_TRUE(copy->FFrames.GetFrame(2)->FIsCopy);
    original->SetCurrentFrame(2);
    EXPECT_EQ(copy->FCurrentFrame, 1) << "each copy animates on its own";
    original.reset();
    auto canvas = NewFilledBitmap(10, 10, clRed);
    copy->SetCurrentFrame(2);
    copy->Draw(canvas->Canvas(), nullptr, nullptr, 0, 0, 10, 10);
    EXPECT_EQ(canvas->Canvas()->Pixels(9, 9), clLime);
    EXPECT_EQ(canvas->Canvas()->Pixels(0, 0), clRed);
    copy->FVisible = false;
    auto untouched = NewFilledBitmap(10, 10, clRed);
    copy->Draw(untouched->Canvas(), nullptr, nullptr, 0, 0, 10, 10);
    EXPECT_EQ(InkIn(*untouched, Rect(0, 0, 10, 10), clRed), 0);
}

} // namespace
