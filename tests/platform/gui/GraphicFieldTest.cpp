#include "GridDataSet.h"
#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/GraphicField.h"

#include <gtest/gtest.h>

namespace {

std::string SmallBmp(int width, int height)
{
    TBitmap bitmap;
    bitmap.SetWidth(width);
    bitmap.SetHeight(height);
    TStringStream stream;
    bitmap.SaveToStream(stream);
    return stream.DataString();
}

std::string WithHeader(const std::string& bytes)
{
    std::string header = {1, 0, 0, 1};
    const auto size = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i)
        header += static_cast<char>((size >> (8 * i)) & 0xFF);
    return header + bytes;
}

} // namespace

TEST(GraphicField, PicturesInBlobs)
{
    TGridDataSet data(nullptr, 3, true);
    data.Open();
    TField* foto = data.FieldByName("Foto");
    TPicture picture;

    // Written without a header: exactly the bitmap's own stream.
    TBitmap bitmap;
    bitmap.SetWidth(2);
    bitmap.SetHeight(1);
    picture.SetGraphic(&bitmap);
    data.Edit();
    AssignFieldFromPicture(*foto, picture);
    data.Post();
    const std::string stored = data.BlobOfCurrent();
    EXPECT_EQ(stored.size(), 62u);
    EXPECT_EQ(stored.substr(0, 2), "BM");
    EXPECT_EQ(stored, SmallBmp(2, 1));

    struct TCase {
        const char* Name;
        std::string Bytes;
        int Width, Height;
    };
    const TCase cases[] = {
        {"with header", WithHeader(SmallBmp(5, 3)), 5, 3},
        {"without header", SmallBmp(4, 7), 4, 7},
        {"written above", stored, 2, 1},
    };
    for (const TCase& c : cases) {
        data.BlobOfCurrent() = c.Bytes;
        TPicture loaded;
        AssignPictureFromField(loaded, *foto);
        ASSERT_NE(loaded.Graphic(), nullptr) << c.Name;
        EXPECT_NE(dynamic_cast<TBitmap*>(loaded.Graphic()), nullptr) << c.Name;
        EXPECT_EQ(loaded.Width(), c.Width) << c.Name;
        EXPECT_EQ(loaded.Height(), c.Height) << c.Name;
    }

    data.BlobOfCurrent().clear();
    AssignPictureFromField(picture, *foto);
    EXPECT_EQ(picture.Graphic(), nullptr);

    // Bytes that are no picture, or a bitmap cut short: the picture stays as it was.
    picture.SetGraphic(&bitmap);
    const std::string notPictures[] = {"questo non \xE8 un'immagine", SmallBmp(4, 7).substr(0, 20),
                                       WithHeader(SmallBmp(4, 7)).substr(0, 30)};
    for (const std::string& bytes : notPictures) {
        data.BlobOfCurrent() = bytes;
        try {
            AssignPictureFromField(picture, *foto);
            ADD_FAILURE() << "no exception for " << bytes.size() << " bytes";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Bitmap image is not valid");
        }
        EXPECT_EQ(picture.Width(), 2);
        EXPECT_EQ(picture.Height(), 1);
    }
}
