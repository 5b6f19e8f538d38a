#pragma once
// One run of the program-image fuzz target: the input is read as a program image, its resource
// tree walked and every resource's bytes touched; then it is the stub whose icon the ZIP
// component replaces, and the file whose icon is extracted. Nothing may be read outside the
// input, and the icon walk answers only with its own results.

#include "fuzz/UnZipFuzzCase.h"

#include "archive/ZipArchiver.h"
#include "platform/gui/ShellIcons.h"
#include "platform/gui/IcoCodec.h"
#include "platform/os/PeImage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <cstdio>
#include <cstdlib>

// A 766-byte icon file: one 32 x 32 image in 16 colours.
inline std::vector<std::uint8_t> PeFuzzIcon()
{
    TIcoImage image;
    image.Width = image.Height = 32;
    image.Pixels.assign(32 * 32, 0xFF000080);
    image.Transparent.assign(32 * 32, 0);
    return IcoCodec::Write(image, 4);
}

inline void RunPeImageFuzzCase(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    const TPeImage image(data, size);
    unsigned sum = 0;
    for (const TPeResourceDirectory& directory : image.ResourceDirectories())
        for (const TPeResourceEntry& entry : directory.Entries)
            if (const std::uint8_t* bytes = entry.Directory < 0 ? image.ResourceBytes(entry.Data) : nullptr)
                for (std::uint32_t i = 0; i < entry.Data.Size; ++i)
                    sum += bytes[i];
    (void)sum;

    const fs::path stub = FuzzRoot() / "stub.exe";
    {
        std::ofstream out(stub, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    const std::vector<std::uint8_t> icon = PeFuzzIcon();
    TMemoryStream stream;
    stream.WriteBuffer(icon.data(), static_cast<int>(icon.size()));
    stream.SetPosition(0);
    zip.SFXIcon()->LoadFromStream(stream);
    const int handle = FileOpen(stub.string(), fmOpenReadWrite);
    const int result = zip.ReplaceIcon(handle, static_cast<std::uint32_t>(size));
    FileClose(handle);
    if (result != 0 && result != 245 && result != 246) {
        std::fprintf(stderr, "ReplaceIcon answered %d\n", result);
        std::abort();
    }
    HICON extracted = ExtractIconA(nullptr, stub.string().c_str(), 0);
    if (extracted && extracted != reinterpret_cast<HICON>(1))
        DestroyIcon(extracted);
    std::error_code ignored;
    fs::remove(stub, ignored);
}
