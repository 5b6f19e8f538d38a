#pragma once
// One run of the RTF reader's fuzz target: any bytes are read into a fresh document, written back
// and read again. Besides crashes and bad reads, a broken promise aborts the run: what the reader
// accepted must write RTF that reads again, and that second reading must write the same bytes.

#include "platform/gui/private/RichDocument.h"

#include <cstdint>
#include <cstdlib>
#include <string>

inline void RunRtfReaderFuzzCase(const std::uint8_t* data, std::size_t size)
{
    const std::string rtf(reinterpret_cast<const char*>(data), size);
    TRichDocument first;
    std::string error;
    if (!first.LoadRtf(rtf, nullptr, error))
        return;
    const std::string written = first.SaveRtf(nullptr, false);
    TRichDocument second;
    if (!second.LoadRtf(written, nullptr, error))
        std::abort();
    if (second.SaveRtf(nullptr, false) != written || second.Text() != first.Text())
        std::abort();
}
