// The glue between libjpeg and the layer's streams: the BMP reader that feeds the compressor, the
// BMP writer that takes the decompressor's rows, the stream source and destination managers and
// the comment-marker skipper.
//
// libjpeg reports an error by calling error_exit, which must not return. Ours formats the message
// and jumps back with longjmp to CodecCall, which started that one codec call; CodecCall raises
// EJPEGException once libjpeg's frames are gone. Between the jump and its target lie only
// libjpeg's frames and callbacks of ours that hold nothing needing destruction, so no C++
// exception and no destructor is ever skipped inside libjpeg. Stream exceptions inside the
// callbacks are caught there and become the codec's own error codes.

#include "reportexport/JpgImg.h"

#include "platform/rtl/Formats.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace JpgImgGlue {

using JpgImg::TJpegOptions;
using JpgImg::TRowProgress;

constexpr int GlueBufferSize = 4096;
constexpr int MaxColorMapEntries = 256;

// The glue's own BMP messages, which libjpeg's table does not hold.
const char* const BmpNotBmp = "Not a BMP file - does not start with BM";
const char* const BmpBadHeader = "Invalid BMP file: bad header length";
const char* const BmpBadDepth = "Only 8- and 24-bit BMP files are supported";
const char* const BmpBadPlanes = "Invalid BMP file: biPlanes not equal to 1";
const char* const BmpCompressed = "Sorry, compressed BMPs not yet supported";
const char* const BmpBadColorMap = "Unsupported BMP colormap format";
const char* const BmpBadSize = "Invalid BMP file: bad image size";
const char* const BmpColorSpace = "BMP output must be grayscale or RGB";
const char* const BmpTooManyColors = "Output file format cannot handle %d colormap entries";

// ---- Errors --------------------------------------------------------------------------------

struct TJpegErrors {
    jpeg_error_mgr Public; // first: libjpeg sees the whole record as its jpeg_error_mgr
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ExitToGlue(j_common_ptr info)
{
    auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->Message);
    std::longjmp(errors->Jump, 1);
}

// Warnings are counted by libjpeg; none is printed.
void KeepQuiet(j_common_ptr) {}

void InitErrors(TJpegErrors& errors)
{
    jpeg_std_error(&errors.Public);
    errors.Public.error_exit = ExitToGlue;
    errors.Public.output_message = KeepQuiet;
    errors.Message[0] = '\0';
}

// The text of one of libjpeg's own message codes.
std::string CodecMessage(int code)
{
    jpeg_error_mgr table;
    jpeg_std_error(&table);
    return table.jpeg_message_table[code];
}

[[noreturn]] void RaiseJpeg(const std::string& message)
{
    RAISE(EJPEGException(message));
}

// Runs one codec call; see the top of the file. The call object is built by the caller, so
// nothing of it is left behind by the jump.
void CodecCall(TJpegErrors& errors, const std::function<void()>& call)
{
    if (setjmp(errors.Jump) != 0)
        RaiseJpeg(errors.Message);
    call();
}

// ---- Small stream routines -----------------------------------------------------------------

// Whether all count bytes were written; a stream that raises counts as a short write.
bool WriteToStream(TStream& stream, const void* data, int count)
{
    try {
        return stream.Write(data, count) == count;
    } catch (...) {
        return false;
    }
}

// The bytes read, 0 at the end; failed is set when the stream raised.
int ReadFromStream(TStream& stream, void* buffer, int count, bool& failed)
{
    try {
        const int read = stream.Read(buffer, count);
        return read < 0 ? 0 : read;
    } catch (...) {
        failed = true;
        return 0;
    }
}

// For the BMP reader and writer, which run in our own frames: short reads and writes raise.
void ReadExactly(TStream& stream, void* buffer, std::size_t count)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const int chunk = static_cast<int>(std::min<std::size_t>(count, 1 << 30));
        const int read = stream.Read(bytes, chunk);
        if (read <= 0)
            RaiseJpeg(CodecMessage(JERR_INPUT_EOF));
        bytes += read;
        count -= static_cast<std::size_t>(read);
    }
}

void WriteExactly(TStream& stream, const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        const int chunk = static_cast<int>(std::min<std::size_t>(count, 1 << 30));
        if (!WriteToStream(stream, bytes, chunk))
            RaiseJpeg(CodecMessage(JERR_FILE_WRITE));
        bytes += chunk;
        count -= static_cast<std::size_t>(chunk);
    }
}

unsigned Get16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::int32_t Get32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24));
}
void Put16(std::uint8_t* p, unsigned value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// ---- Stream destination (encoding) ---------------------------------------------------------

struct TStreamDestination {
    jpeg_destination_mgr Public; // first, as libjpeg sees it
    TStream* Stream = nullptr;
    JOCTET Buffer[GlueBufferSize];
};

void InitDestination(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    destination->Public.next_output_byte = destination->Buffer;
    destination->Public.free_in_buffer = GlueBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    if (!WriteToStream(*destination->Stream, destination->Buffer, GlueBufferSize))
        ERREXIT(info, JERR_FILE_WRITE);
    destination->Public.next_output_byte = destination->Buffer;
    destination->Public.free_in_buffer = GlueBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<TStreamDestination*>(info->dest);
    const int count = GlueBufferSize - static_cast<int>(destination->Public.free_in_buffer);
    if (count > 0 && !WriteToStream(*destination->Stream, destination->Buffer, count))
        ERREXIT(info, JERR_FILE_WRITE);
}

// ---- Stream source (decoding) --------------------------------------------------------------

struct TStreamSource {
    jpeg_source_mgr Public; // first, as libjpeg sees it
    TStream* Stream = nullptr;
    bool StartOfFile = true;
    JOCTET Buffer[GlueBufferSize];
};

void InitSource(j_decompress_ptr info)
{
    reinterpret_cast<TStreamSource*>(info->src)->StartOfFile = true;
}

// At the end of the data an end-of-image marker is supplied with a warning, so that a cut file
// still decodes to its end; no data at all is an error.
boolean FillInputBuffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<TStreamSource*>(info->src);
    bool failed = false;
    int count = ReadFromStream(*source->Stream, source->Buffer, GlueBufferSize, failed);
    if (failed)
        ERREXIT(info, source->StartOfFile ? JERR_INPUT_EMPTY : JERR_INPUT_EOF);
    if (count == 0) {
        if (source->StartOfFile)
            ERREXIT(info, JERR_INPUT_EMPTY);
        WARNMS(info, JWRN_JPEG_EOF);
        source->Buffer[0] = 0xFF;
        source->Buffer[1] = JPEG_EOI;
        count = 2;
    }
    source->Public.next_input_byte = source->Buffer;
    source->Public.bytes_in_buffer = static_cast<std::size_t>(count);
    source->StartOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* source = info->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        FillInputBuffer(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// ---- Comment-marker skipper ----------------------------------------------------------------

int NextSourceByte(j_decompress_ptr info)
{
    jpeg_source_mgr* source = info->src;
    if (source->bytes_in_buffer == 0 && !(*source->fill_input_buffer)(info))
        ERREXIT(info, JERR_CANT_SUSPEND);
    source->bytes_in_buffer--;
    return *source->next_input_byte++;
}

boolean SkipCommentMarker(j_decompress_ptr info)
{
    long length = static_cast<long>(NextSourceByte(info)) << 8;
    length += NextSourceByte(info);
    for (length -= 2; length > 0; --length)
        NextSourceByte(info);
    return TRUE;
}

// ---- Codec objects -------------------------------------------------------------------------

J_DCT_METHOD DctOf(JpgImg::TDCTMethod method)
{
    switch (method) {
    case JpgImg::FastInteg:
        return JDCT_IFAST;
    case JpgImg::FloatingPoint:
        return JDCT_FLOAT;
    default:
        return JDCT_ISLOW;
    }
}

J_DITHER_MODE DitherOf(JpgImg::TDither dither)
{
    switch (dither) {
    case JpgImg::None:
        return JDITHER_NONE;
    case JpgImg::Ordered:
        return JDITHER_ORDERED;
    default:
        return JDITHER_FS;
    }
}

// A compression object with its error manager and destination; released on every path.
struct TCompressor {
    TJpegErrors Errors;
    jpeg_compress_struct Info;
    TStreamDestination Destination;

    TCompressor()
    {
        std::memset(&Info, 0, sizeof Info);
        InitErrors(Errors);
        Info.err = &Errors.Public;
        try {
            CodecCall(Errors, [this] { jpeg_create_compress(&Info); });
        } catch (...) {
            jpeg_destroy_compress(&Info);
            throw;
        }
    }
    ~TCompressor() { jpeg_destroy_compress(&Info); }
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    void SetDestination(TStream& stream)
    {
        Destination.Stream = &stream;
        Destination.Public.init_destination = InitDestination;
        Destination.Public.empty_output_buffer = EmptyOutputBuffer;
        Destination.Public.term_destination = TermDestination;
        Info.dest = &Destination.Public;
    }
};

struct TDecompressor {
    TJpegErrors Errors;
    jpeg_decompress_struct Info;
    TStreamSource Source;

    TDecompressor()
    {
        std::memset(&Info, 0, sizeof Info);
        InitErrors(Errors);
        Info.err = &Errors.Public;
        try {
            CodecCall(Errors, [this] { jpeg_create_decompress(&Info); });
        } catch (...) {
            jpeg_destroy_decompress(&Info);
            throw;
        }
    }
    ~TDecompressor() { jpeg_destroy_decompress(&Info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    void SetSource(TStream& stream)
    {
        Source.Stream = &stream;
        Source.Public.init_source = InitSource;
        Source.Public.fill_input_buffer = FillInputBuffer;
        Source.Public.skip_input_data = SkipInputData;
        Source.Public.resync_to_restart = jpeg_resync_to_restart;
        Source.Public.term_source = TermSource;
        Source.Public.bytes_in_buffer = 0;
        Source.Public.next_input_byte = nullptr;
        Info.src = &Source.Public;
    }
};

// ---- BMP reader (compressor input) ---------------------------------------------------------

struct TBmpReader {
    int Width = 0;
    int Height = 0;
    int Bits = 0;
    std::uint32_t ColorMap[MaxColorMapEntries] = {}; // as 4-byte pixels blue, green, red, 0
    std::size_t RowSize = 0;
    std::vector<std::uint8_t> Image;    // the rows read from a stream that is not in memory
    const std::uint8_t* Pixels = nullptr; // the rows as the file holds them, bottom row first
    std::vector<std::uint32_t> Row;     // an 8-bit row through the colour map
    int NextRow = 0;                    // counted from the top
};

// Reads the headers and the colour map and sets the compressor's image size, its input and the
// density. 24-bit rows go to the codec as they are, blue, green, red, and 8-bit rows as pixels of
// blue, green, red and a pad byte: the codec's colour conversion takes those orders as it takes
// red, green, blue, with the same arithmetic.
void StartBmpReader(TBmpReader& reader, TStream& bmp, jpeg_compress_struct& info)
{
    std::uint8_t fileHeader[14];
    ReadExactly(bmp, fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        RaiseJpeg(BmpNotBmp);
    const std::int64_t dataOffset = static_cast<std::uint32_t>(Get32(fileHeader + 10));

    std::uint8_t infoHeader[64];
    ReadExactly(bmp, infoHeader, 4);
    const std::int32_t headerSize = Get32(infoHeader);
    if (headerSize < 12 || headerSize > 64)
        RaiseJpeg(BmpBadHeader);
    ReadExactly(bmp, infoHeader + 4, static_cast<std::size_t>(headerSize - 4));

    std::int64_t width = 0, height = 0, colorsUsed = 0;
    int mapEntrySize = 0;
    unsigned planes = 0;
    if (headerSize == 12) {
        width = Get16(infoHeader + 4);
        height = Get16(infoHeader + 6);
        planes = Get16(infoHeader + 8);
        reader.Bits = static_cast<int>(Get16(infoHeader + 10));
        mapEntrySize = 3;
    } else if (headerSize == 40 || headerSize == 64) {
        width = Get32(infoHeader + 4);
        height = Get32(infoHeader + 8);
        planes = Get16(infoHeader + 12);
        reader.Bits = static_cast<int>(Get16(infoHeader + 14));
        colorsUsed = Get32(infoHeader + 32);
        mapEntrySize = 4;
    } else {
        RaiseJpeg(BmpBadHeader);
    }
    if (reader.Bits != 8 && reader.Bits != 24)
        RaiseJpeg(BmpBadDepth);
    if (reader.Bits == 24)
        mapEntrySize = 0;
    if (planes != 1)
        RaiseJpeg(BmpBadPlanes);
    if (headerSize != 12) {
        if (Get32(infoHeader + 16) != 0)
            RaiseJpeg(BmpCompressed);
        const std::int32_t xPelsPerMeter = Get32(infoHeader + 24);
        const std::int32_t yPelsPerMeter = Get32(infoHeader + 28);
        if (xPelsPerMeter > 0 && yPelsPerMeter > 0) {
            info.density_unit = 2; // dots per centimetre
            info.X_density = static_cast<UINT16>(xPelsPerMeter / 100);
            info.Y_density = static_cast<UINT16>(yPelsPerMeter / 100);
        }
    }
    if (!JpgImg::AcceptableImageSize(width, height))
        RaiseJpeg(BmpBadSize);
    reader.Width = static_cast<int>(width);
    reader.Height = static_cast<int>(height);

    std::int64_t gap = dataOffset - headerSize - 14;
    if (mapEntrySize > 0) {
        if (colorsUsed <= 0)
            colorsUsed = MaxColorMapEntries;
        else if (colorsUsed > MaxColorMapEntries)
            RaiseJpeg(BmpBadColorMap);
        std::vector<std::uint8_t> entries(static_cast<std::size_t>(colorsUsed * mapEntrySize));
        ReadExactly(bmp, entries.data(), entries.size());
        for (std::int64_t i = 0; i < colorsUsed; ++i) {
            const std::uint8_t* entry = &entries[static_cast<std::size_t>(i * mapEntrySize)];
            const std::uint8_t pixel[4] = {entry[0], entry[1], entry[2], 0};
            std::memcpy(&reader.ColorMap[i], pixel, 4);
        }
        gap -= colorsUsed * mapEntrySize;
    }
    if (gap < 0)
        RaiseJpeg(BmpBadHeader);
    std::uint8_t skipped[256];
    while (gap > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(gap, sizeof skipped));
        ReadExactly(bmp, skipped, chunk);
        gap -= static_cast<std::int64_t>(chunk);
    }

    const std::size_t bytesPerPixel = reader.Bits == 8 ? 1 : 3;
    reader.RowSize = (static_cast<std::size_t>(reader.Width) * bytesPerPixel + 3) & ~std::size_t(3);
    info.image_width = static_cast<JDIMENSION>(reader.Width);
    info.image_height = static_cast<JDIMENSION>(reader.Height);
    info.input_components = reader.Bits == 24 ? 3 : 4;
    info.in_color_space = reader.Bits == 24 ? JCS_EXT_BGR : JCS_EXT_BGRX;
    info.data_precision = 8;
}

// Takes the whole image before the first row is delivered: the file holds its rows bottom-up. A
// memory stream's rows are used where they are; a file shorter than its rows is refused before
// anything is allocated for them.
void LoadBmpImage(TBmpReader& reader, TStream& bmp)
{
    const std::size_t imageSize = reader.RowSize * static_cast<std::size_t>(reader.Height);
    const std::int64_t position = bmp.Position();
    if (bmp.Size() - position < static_cast<std::int64_t>(imageSize))
        RaiseJpeg(CodecMessage(JERR_INPUT_EOF));
    if (auto* memory = dynamic_cast<TMemoryStream*>(&bmp)) {
        reader.Pixels = reinterpret_cast<const std::uint8_t*>(memory->Memory()) + position;
        memory->Seek(static_cast<std::int64_t>(imageSize), soFromCurrent);
    } else {
        reader.Image.resize(imageSize);
        ReadExactly(bmp, reader.Image.data(), imageSize);
        reader.Pixels = reader.Image.data();
    }
    if (reader.Bits == 8)
        reader.Row.resize(static_cast<std::size_t>(reader.Width));
}

// The next row from the top: an 8-bit row through the colour map, a 24-bit row where it lies.
JSAMPROW FetchBmpRow(TBmpReader& reader)
{
    const int fileRow = reader.Height - 1 - reader.NextRow++;
    const std::uint8_t* in = reader.Pixels + reader.RowSize * static_cast<std::size_t>(fileRow);
    if (reader.Bits == 24)
        return const_cast<JSAMPROW>(in);
    std::uint32_t* out = reader.Row.data();
    for (int x = 0; x < reader.Width; ++x)
        out[x] = reader.ColorMap[in[x]];
    return reinterpret_cast<JSAMPROW>(reader.Row.data());
}

// ---- BMP writer (decompressor output) ------------------------------------------------------

struct TBmpWriter {
    int Width = 0;
    int Height = 0;
    bool Indexed = false;               // 8 bits with a colour map, else 24 bits
    std::size_t RowSize = 0;
    std::vector<std::uint8_t> Image;    // top row first, padded rows
    int NextRow = 0;
};

// After the output size is known: the output must be grey or RGB and of an acceptable size.
void StartBmpWriter(TBmpWriter& writer, const jpeg_decompress_struct& info)
{
    if (info.out_color_space == JCS_GRAYSCALE)
        writer.Indexed = true;
    else if (info.out_color_space == JCS_RGB)
        writer.Indexed = info.quantize_colors != 0;
    else
        RaiseJpeg(BmpColorSpace);
    if (!JpgImg::AcceptableImageSize(info.output_width, info.output_height))
        RaiseJpeg(BmpBadSize);
    writer.Width = static_cast<int>(info.output_width);
    writer.Height = static_cast<int>(info.output_height);
    const std::size_t bytesPerPixel = writer.Indexed ? 1 : 3;
    writer.RowSize = (static_cast<std::size_t>(writer.Width) * bytesPerPixel + 3) & ~std::size_t(3);
}

void AllocateBmpImage(TBmpWriter& writer)
{
    writer.Image.assign(writer.RowSize * static_cast<std::size_t>(writer.Height), 0);
}

void PutBmpRow(TBmpWriter& writer, const JSAMPLE* in)
{
    std::uint8_t* out = writer.Image.data() + writer.RowSize * static_cast<std::size_t>(writer.NextRow++);
    if (writer.Indexed) {
        std::memcpy(out, in, static_cast<std::size_t>(writer.Width));
        return;
    }
    for (int x = 0; x < writer.Width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

// The 256 entries blue, green, red, 0 of an indexed output.
std::vector<std::uint8_t> BmpColorMap(const jpeg_decompress_struct& info)
{
    std::vector<std::uint8_t> map(4 * MaxColorMapEntries, 0);
    if (info.quantize_colors && info.colormap != nullptr) {
        const int colors = info.actual_number_of_colors;
        if (colors > MaxColorMapEntries)
            RaiseJpeg(Format(BmpTooManyColors, {colors}));
        for (int i = 0; i < colors; ++i) {
            std::uint8_t* entry = &map[static_cast<std::size_t>(4 * i)];
            if (info.out_color_components == 3) {
                entry[0] = info.colormap[2][i];
                entry[1] = info.colormap[1][i];
                entry[2] = info.colormap[0][i];
            } else {
                entry[0] = entry[1] = entry[2] = info.colormap[0][i];
            }
        }
    } else {
        for (int i = 0; i < MaxColorMapEntries; ++i)
            map[static_cast<std::size_t>(4 * i)] = map[static_cast<std::size_t>(4 * i + 1)] =
                map[static_cast<std::size_t>(4 * i + 2)] = static_cast<std::uint8_t>(i);
    }
    return map;
}

// Writes the whole BMP file image from the start of the stream, rows bottom-up.
void FinishBmpWriter(TBmpWriter& writer, const jpeg_decompress_struct& info, TStream& bmp)
{
    const int mapEntries = writer.Indexed ? MaxColorMapEntries : 0;
    const std::uint32_t dataOffset = 14 + 40 + 4 * static_cast<std::uint32_t>(mapEntries);
    const std::uint32_t fileSize = dataOffset + static_cast<std::uint32_t>(writer.RowSize * static_cast<std::size_t>(writer.Height));
    const std::vector<std::uint8_t> map = mapEntries > 0 ? BmpColorMap(info) : std::vector<std::uint8_t>();
    if (dynamic_cast<TMemoryStream*>(&bmp) != nullptr)
        bmp.SetSize(fileSize);
    bmp.SetPosition(0);

    std::uint8_t headers[54] = {};
    headers[0] = 'B';
    headers[1] = 'M';
    Put32(headers + 2, fileSize);
    Put32(headers + 10, dataOffset);
    Put32(headers + 14, 40);
    Put32(headers + 18, static_cast<std::uint32_t>(writer.Width));
    Put32(headers + 22, static_cast<std::uint32_t>(writer.Height));
    Put16(headers + 26, 1);
    Put16(headers + 28, writer.Indexed ? 8 : 24);
    if (info.density_unit == 2) {
        Put32(headers + 38, static_cast<std::uint32_t>(info.X_density) * 100);
        Put32(headers + 42, static_cast<std::uint32_t>(info.Y_density) * 100);
    }
    Put32(headers + 46, static_cast<std::uint32_t>(mapEntries));
    WriteExactly(bmp, headers, sizeof headers);
    WriteExactly(bmp, map.data(), map.size());
    for (int row = writer.Height - 1; row >= 0; --row)
        WriteExactly(bmp, writer.Image.data() + writer.RowSize * static_cast<std::size_t>(row), writer.RowSize);
}

void ApplyEncodeOptions(jpeg_compress_struct& info, const TJpegOptions& options)
{
    jpeg_default_colorspace(&info);
    if (options.GrayScale)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    info.dct_method = DctOf(options.DCTMethod);
    info.optimize_coding = options.FastProcessing ? FALSE : TRUE;
    jpeg_set_quality(&info, options.Quality, FALSE);
    if (options.Progressive)
        jpeg_simple_progression(&info);
}

void ApplyDecodeOptions(jpeg_decompress_struct& info, const TJpegOptions& options)
{
    if (options.NumOfColors != JpgImg::TrueColor) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = options.NumOfColors == JpgImg::_16 ? 16 : 256;
    }
    info.dct_method = DctOf(options.DCTMethod);
    info.dither_mode = DitherOf(options.Dither);
    if (options.FastProcessing) {
        info.two_pass_quantize = FALSE;
        info.dither_mode = JDITHER_ORDERED;
        if (!info.quantize_colors)
            info.desired_number_of_colors = 216;
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
    }
    if (options.GrayScale)
        info.out_color_space = JCS_GRAYSCALE;
    if (options.NoSmooth)
        info.do_fancy_upsampling = FALSE;
    if (options.OnePass)
        info.two_pass_quantize = FALSE;
}

void Report(const TRowProgress& progress, int done, int total)
{
    if (progress)
        progress(done, total);
}

} // namespace JpgImgGlue

namespace JpgImg {

using namespace JpgImgGlue;

bool AcceptableImageSize(long long width, long long height)
{
    return width > 0 && height > 0 && width <= 32767 && height <= 32767 && width * height <= (1LL << 28);
}

void CompressBmp(TStream& bmp, TStream& target, const TJpegOptions& options, const TRowProgress& progress)
{
    TCompressor codec;
    jpeg_compress_struct& info = codec.Info;
    CodecCall(codec.Errors, [&] {
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
    });
    TBmpReader reader;
    StartBmpReader(reader, bmp, info);
    CodecCall(codec.Errors, [&] { ApplyEncodeOptions(info, options); });
    LoadBmpImage(reader, bmp);
    codec.SetDestination(target);
    CodecCall(codec.Errors, [&] { jpeg_start_compress(&info, TRUE); });

    JSAMPROW row = nullptr;
    const std::function<void()> writeRow = [&] { jpeg_write_scanlines(&info, &row, 1); };
    while (reader.NextRow < reader.Height) {
        row = FetchBmpRow(reader);
        CodecCall(codec.Errors, writeRow);
        Report(progress, reader.NextRow, reader.Height);
    }
    CodecCall(codec.Errors, [&] { jpeg_finish_compress(&info); });
}

void DecompressToBmp(TStream& jpeg, TStream& bmp, const TJpegOptions& options, const TRowProgress& progress)
{
    TDecompressor codec;
    jpeg_decompress_struct& info = codec.Info;
    codec.SetSource(jpeg);
    CodecCall(codec.Errors, [&] {
        jpeg_set_marker_processor(&info, JPEG_COM, SkipCommentMarker);
        jpeg_read_header(&info, TRUE);
    });
    if (!AcceptableImageSize(info.image_width, info.image_height))
        RaiseJpeg(BmpBadSize);
    ApplyDecodeOptions(info, options);
    CodecCall(codec.Errors, [&] { jpeg_calc_output_dimensions(&info); });
    TBmpWriter writer;
    StartBmpWriter(writer, info);
    CodecCall(codec.Errors, [&] { jpeg_start_decompress(&info); });
    AllocateBmpImage(writer);

    std::vector<JSAMPLE> buffer(static_cast<std::size_t>(info.output_width) * static_cast<std::size_t>(info.output_components));
    JSAMPROW row = buffer.data();
    JDIMENSION read = 0;
    const std::function<void()> readRow = [&] { read = jpeg_read_scanlines(&info, &row, 1); };
    while (writer.NextRow < writer.Height) {
        CodecCall(codec.Errors, readRow);
        if (read != 1)
            RaiseJpeg(CodecMessage(JERR_CANT_SUSPEND));
        PutBmpRow(writer, row);
        Report(progress, writer.NextRow, writer.Height);
    }
    FinishBmpWriter(writer, info, bmp);
    CodecCall(codec.Errors, [&] { jpeg_finish_decompress(&info); });
    if (info.err->num_warnings > 0)
        RaiseJpeg("There are warnings");
}

} // namespace JpgImg
