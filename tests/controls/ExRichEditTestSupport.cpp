#include "ExRichEditTestSupport.h"

#include "platform/rtl/Streams.h"

#include <cstdio>
#include <fstream>

void ExRichEditFixture::SetUp()
{
    RichEditVersion = 3;
    form = TForm::Create<TForm>(nullptr);
    form->SetBounds(40, 40, 640, 480);
}

void ExRichEditFixture::TearDown()
{
    TComponent::Free(form);
    RichEditVersion = 3;
}

TExRichEdit* ExRichEditFixture::Make(int version, int left, int top, int width, int height)
{
    RichEditVersion = version;
    auto* edit = new TExRichEdit(form);
    edit->SetParent(form);
    edit->SetBounds(left, top, width, height);
    edit->HandleNeeded();
    return edit;
}

std::string ExRichEditFixture::Rtf(TExRichEdit* edit)
{
    TMemoryStream stream;
    edit->Lines()->SaveToStream(stream);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

void ExRichEditFixture::Load(TExRichEdit* edit, const std::string& bytes)
{
    TStringStream stream(bytes);
    edit->Lines()->LoadFromStream(stream);
}

std::vector<std::string> ExRichEditFixture::LinesOf(TExRichEdit* edit)
{
    std::vector<std::string> lines;
    for (int i = 0; i < edit->Lines()->Count(); ++i)
        lines.push_back(edit->Lines()->Strings(i));
    return lines;
}

void ExRichEditFixture::Type(TExRichEdit* edit, const std::string& text)
{
    for (char c : text)
        edit->Perform(WM_CHAR, static_cast<unsigned char>(c), 0);
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}
