#include "platform/gui/Graphic.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Metafile.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

struct TFileFormat {
    std::string Extension; // lower case, without the dot
    std::string Description;
    TGraphicClass Class;
};

struct TSignature {
    std::string Bytes;
    std::string ClassName;
};

struct TRegistry {
    std::mutex Mutex;
    std::vector<TFileFormat> Formats;
    std::vector<std::pair<WORD, TGraphicClass>> Clipboard;
    std::vector<TSignature> Signatures;
    TRegistry()
    {
        Formats.push_back({"bmp", "Bitmaps", GraphicClassOf("TBitmap")});
        Formats.push_back({"ico", "Icons", GraphicClassOf("TIcon")});
        Formats.push_back({"emf", "Enhanced Metafiles", GraphicClassOf("TMetafile")});
        Formats.push_back({"wmf", "Metafiles", GraphicClassOf("TMetafile")});
        Clipboard.push_back({CF_BITMAP, GraphicClassOf("TBitmap")});
        Clipboard.push_back({CF_DIB, GraphicClassOf("TBitmap")});
        Clipboard.push_back({CF_ENHMETAFILE, GraphicClassOf("TMetafile")});
    }
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}

bool IsA(const TGraphicClass& graphicClass, const std::string& name)
{
    return graphicClass.Name == name ||
           std::find(graphicClass.Ancestors.begin(), graphicClass.Ancestors.end(), name) != graphicClass.Ancestors.end();
}

} // namespace

const TGraphicClass& GraphicClassOf(const std::string& name)
{
    static const TGraphicClass graphic{"TGraphic", nullptr, {}};
    static const TGraphicClass bitmap{"TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap()); }, {"TGraphic"}};
    static const TGraphicClass icon{"TIcon", [] { return std::unique_ptr<TGraphic>(new TIcon()); }, {"TGraphic"}};
    static const TGraphicClass metafile{"TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile()); },
                                        {"TGraphic"}};
    if (name == "TBitmap")
        return bitmap;
    if (name == "TIcon")
        return icon;
    if (name == "TMetafile")
        return metafile;
    return graphic;
}

std::unique_ptr<TGraphic> CreateGraphic(const std::string& graphicClassName)
{
    const TGraphicClass& builtIn = GraphicClassOf(graphicClassName);
    if (builtIn.Create)
        return builtIn.Create();
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    for (const TFileFormat& format : registry.Formats)
        if (format.Class.Name == graphicClassName && format.Class.Create)
            return format.Class.Create();
    return nullptr;
}

// ---- TGraphic

void TGraphic::SetTransparent(bool value)
{
    if (FTransparent != value) {
        FTransparent = value;
        Changed(this);
    }
}

void TGraphic::SetModified(bool value)
{
    if (value)
        Changed(this);
    else
        FModified = false;
}

void TGraphic::Changed(TObject*)
{
    FModified = true;
    if (OnChange)
        OnChange(this);
}

void TGraphic::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName)
{
    TMemoryStream stream;
    SaveToStream(stream);
    WriteFileAtomically(fileName, std::string_view(stream.Memory(), static_cast<std::size_t>(stream.Size())));
}

void TGraphic::LoadFromClipboardFormat(WORD, HANDLE, HPALETTE)
{
    RAISE(EInvalidGraphic("Unsupported clipboard format"));
}

void TGraphic::SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&)
{
    RAISE(EInvalidGraphicOperation("Unsupported clipboard format"));
}

// ---- TPicture

TPicture::~TPicture() = default;

void TPicture::Changed(TObject*)
{
    if (OnChange)
        OnChange(this);
}

void TPicture::SetGraphic(TGraphic* value)
{
    std::unique_ptr<TGraphic> copy;
    if (value) {
        copy = CreateGraphic(value->ClassName());
        if (!copy)
            RAISE(EInvalidGraphic("Unknown picture class " + value->ClassName()));
        copy->Assign(value);
        copy->OnChange = [this](TObject* sender) { Changed(sender); };
    }
    FGraphic = std::move(copy);
    Changed(this);
}

template <typename T>
T* TPicture::ForceGraphic()
{
    if (auto* existing = dynamic_cast<T*>(FGraphic.get()))
        return existing;
    FGraphic = std::make_unique<T>();
    FGraphic->OnChange = [this](TObject* sender) { Changed(sender); };
    Changed(this);
    return static_cast<T*>(FGraphic.get());
}

TBitmap* TPicture::Bitmap() { return ForceGraphic<TBitmap>(); }
TIcon* TPicture::Icon() { return ForceGraphic<TIcon>(); }
TMetafile* TPicture::Metafile() { return ForceGraphic<TMetafile>(); }

int TPicture::Width() const { return FGraphic ? FGraphic->Width() : 0; }
int TPicture::Height() const { return FGraphic ? FGraphic->Height() : 0; }

void TPicture::LoadFromFile(const std::string& fileName)
{
    std::string extension = LowerCase(ExtractFileExt(fileName));
    if (!extension.empty() && extension[0] == '.')
        extension.erase(0, 1);
    TGraphicClass graphicClass;
    {
        TRegistry& registry = Registry();
        std::lock_guard lock(registry.Mutex);
        for (const TFileFormat& format : registry.Formats)
            if (format.Extension == extension) {
                graphicClass = format.Class;
                break;
            }
    }
    if (!graphicClass.Create)
        RAISE(EInvalidGraphic(Format("Unknown picture file extension (.%s)", {extension})));
    std::unique_ptr<TGraphic> graphic = graphicClass.Create();
    graphic->LoadFromFile(fileName); // a damaged file leaves the picture as it was
    graphic->OnChange = [this](TObject* sender) { Changed(sender); };
    FGraphic = std::move(graphic);
    Changed(this);
}

void TPicture::SaveToFile(const std::string& fileName)
{
    if (FGraphic)
        FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette)
{
    TGraphicClass graphicClass;
    {
        TRegistry& registry = Registry();
        std::lock_guard lock(registry.Mutex);
        for (const auto& [clipboardFormat, registered] : registry.Clipboard)
            if (clipboardFormat == format) {
                graphicClass = registered;
                break;
            }
    }
    if (!graphicClass.Create)
        RAISE(EInvalidGraphic("Unsupported clipboard format"));
    std::unique_ptr<TGraphic> graphic = graphicClass.Create();
    graphic->LoadFromClipboardFormat(format, data, palette);
    graphic->OnChange = [this](TObject* sender) { Changed(sender); };
    FGraphic = std::move(graphic);
    Changed(this);
}

void TPicture::SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette)
{
    if (FGraphic)
        FGraphic->SaveToClipboardFormat(format, data, palette);
}

bool TPicture::SupportsClipboardFormat(WORD format)
{
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    for (const auto& entry : registry.Clipboard)
        if (entry.first == format)
            return true;
    return false;
}

void TPicture::Assign(TPersistent* Source)
{
    if (!Source) {
        SetGraphic(nullptr);
        return;
    }
    if (auto* picture = dynamic_cast<TPicture*>(Source)) {
        SetGraphic(picture->Graphic());
        return;
    }
    if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(graphic);
        return;
    }
    TPersistent::Assign(Source);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const TGraphicClass& graphicClass)
{
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    registry.Formats.push_back({LowerCase(extension), description, graphicClass});
}

void TPicture::RegisterClipboardFormat(WORD format, const TGraphicClass& graphicClass)
{
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    registry.Clipboard.push_back({format, graphicClass});
}

void TPicture::UnregisterGraphicClass(const std::string& className)
{
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    std::erase_if(registry.Formats, [&](const TFileFormat& f) { return f.Class.Name == className; });
    std::erase_if(registry.Clipboard, [&](const auto& entry) { return entry.second.Name == className; });
}

static std::vector<TFileFormat> FormatsOf(const std::string& graphicClassName)
{
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    std::vector<TFileFormat> result;
    for (const TFileFormat& format : registry.Formats)
        if (IsA(format.Class, graphicClassName))
            result.push_back(format);
    return result;
}

std::string GraphicFileMask(const std::string& graphicClassName)
{
    std::string mask;
    for (const TFileFormat& format : FormatsOf(graphicClassName)) {
        if (!mask.empty())
            mask += ';';
        mask += "*." + format.Extension;
    }
    return mask;
}

std::string GraphicFilter(const std::string& graphicClassName)
{
    const std::vector<TFileFormat> formats = FormatsOf(graphicClassName);
    const std::string all = GraphicFileMask(graphicClassName);
    std::string filter = "All (" + all + ")|" + all;
    for (const TFileFormat& format : formats)
        filter += "|" + format.Description + " (*." + format.Extension + ")|*." + format.Extension;
    return filter;
}

std::string GraphicExtension(const std::string& graphicClassName)
{
    for (const TFileFormat& format : FormatsOf(graphicClassName))
        if (format.Class.Name == graphicClassName)
            return format.Extension;
    return {};
}

void RegisterGraphicSignature(const std::string& signature, const std::string& graphicClassName)
{
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    registry.Signatures.push_back({signature, graphicClassName});
}

std::string GraphicClassForData(const std::uint8_t* data, std::size_t size)
{
    if (!data)
        return {};
    auto startsWith = [&](std::initializer_list<std::uint8_t> bytes) {
        return size >= bytes.size() && std::equal(bytes.begin(), bytes.end(), data);
    };
    if (startsWith({'B', 'M'}))
        return "TBitmap";
    if (startsWith({0, 0, 1, 0}))
        return "TIcon";
    if (size >= 44 && startsWith({1, 0, 0, 0}) && std::memcmp(data + 40, " EMF", 4) == 0)
        return "TMetafile";
    if (startsWith({0xD7, 0xCD, 0xC6, 0x9A}) || startsWith({1, 0, 9, 0}) || startsWith({2, 0, 9, 0}))
        return "TMetafile";
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Mutex);
    for (const TSignature& signature : registry.Signatures)
        if (size >= signature.Bytes.size() && std::memcmp(data, signature.Bytes.data(), signature.Bytes.size()) == 0)
            return signature.ClassName;
    return {};
}
