#pragma once
// Pictures: the abstract TGraphic, TPicture that holds one of any registered class, and the
// registry of file extensions and clipboard formats.

#include "platform/gui/GdiObjects.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCanvas;
class TBitmap;
class TIcon;
class TMetafile;
class TGraphic;

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
// A class of graphics: its name ("TBitmap") and how to make one.
struct TGraphicClass {
    std::string Name;
    TGraphicFactory Create;
    // True when the class is cls or derives from it (by name chain).
    std::vector<std::string> Ancestors;
};

class TGraphic : public TPersistent {
    TESS_CLASS(TGraphic, TPersistent)
    friend class TCanvas;

public:
    TGraphic() = default;
    ~TGraphic() override = default;

    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);
    bool Modified() const { return FModified; }
    void SetModified(bool value);
    virtual HPALETTE Palette() const { return nullptr; }
    virtual void SetPalette(HPALETTE) {}

    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    // Through the run-time layer's file functions ("\" and any letter case resolve).
    virtual void LoadFromFile(const std::string& fileName);
    // Written to a temporary file and renamed.
    virtual void SaveToFile(const std::string& fileName);
    virtual void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette);
    virtual void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette);

    TNotifyEvent OnChange;

protected:
    // Draws the picture into rect of the canvas (scaled to it).
    virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
    virtual void Changed(TObject* sender);

private:
    bool FTransparent = false;
    bool FModified = false;
};

class TPicture : public TPersistent {
    TESS_CLASS(TPicture, TPersistent)
public:
    TPicture() = default;
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return FGraphic.get(); }
    // Takes a copy of the graphic (nullptr empties the picture).
    void SetGraphic(TGraphic* value);
    // The graphic as a bitmap; a graphic of another class is replaced by a new empty bitmap.
    TBitmap* Bitmap();
    TIcon* Icon();
    TMetafile* Metafile();
    int Width() const;
    int Height() const;

    // The class is chosen by the extension; an unknown one raises EInvalidGraphic "Unknown
    // picture file extension (.%s)"; a damaged file raises the codec's error and the picture
    // stays as it was.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette);
    void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette);
    static bool SupportsClipboardFormat(WORD format);
    void Assign(TPersistent* Source) override;

    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   const TGraphicClass& graphicClass);
    static void RegisterClipboardFormat(WORD format, const TGraphicClass& graphicClass);
    static void UnregisterGraphicClass(const std::string& className);

    TNotifyEvent OnChange;

private:
    template <typename T>
    T* ForceGraphic();
    void Changed(TObject* sender);
    std::unique_ptr<TGraphic> FGraphic;
};

// The built-in classes.
const TGraphicClass& GraphicClassOf(const std::string& name); // "TGraphic", "TBitmap", "TIcon", "TMetafile"
// "All (*.bmp;...)|*.bmp;...|Bitmaps (*.bmp)|*.bmp|..." over the formats of that class.
std::string GraphicFilter(const std::string& graphicClassName);
// The first extension registered for the class ("bmp").
std::string GraphicExtension(const std::string& graphicClassName);
// "*.bmp;*.ico;..." for the class.
std::string GraphicFileMask(const std::string& graphicClassName);
// The class whose signature starts data ("TBitmap", "TIcon", "TMetafile", or the names later
// registrations add); "" when none matches.
std::string GraphicClassForData(const std::uint8_t* data, std::size_t size);
// Adds a signature for later formats (JPEG FF D8, GIF "GIF8").
void RegisterGraphicSignature(const std::string& signature, const std::string& graphicClassName);

// A graphic made by class name through the registry ("TBitmap"); nullptr when unknown.
std::unique_ptr<TGraphic> CreateGraphic(const std::string& graphicClassName);
