#pragma once
// The files of recorded metafiles. The recording is replayed onto a 24-bit bitmap of the
// metafile's size and the file holds that picture as one stretched DIB, so that every program
// that reads EMF or WMF files shows the page as it was drawn:
// - EMF: EMR_HEADER, one EMR_STRETCHDIBITS, EMR_EOF;
// - WMF: the placeable header, the metafile header, the window origin and extent, one
//   META_STRETCHDIB, the end record.

#include <cstdint>
#include <string>

class TMetafile;
class TStream;

namespace MetafileWriter {

// The bytes of a META_STRETCHDIB record that come before its DIB: record size in words, function,
// SRCCOPY, DIB_RGB_COLORS and the source and destination rectangles of width × height at 0, 0.
std::string StretchDibRecordHead(std::uint32_t dibBytes, int width, int height);

void WriteEnhancedMetafile(const TMetafile& metafile, TStream& stream);
void WriteWindowsMetafile(const TMetafile& metafile, TStream& stream);

// Makes the two writers the layer's writers of recorded metafiles.
void InstallMetafileWriters();
// Leaves the layer without writers again.
void RemoveMetafileWriters();

} // namespace MetafileWriter
