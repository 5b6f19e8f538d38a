#pragma once
// Report models as JSON in the shape the Python reader of the tests (frf_dump.py) prints, so that
// the files the engine writes can be checked against an independent reader.

#include "report/RP_Class.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ReportJson {

// A Windows-1252 text as a JSON string.
std::string Json(const std::string& ansi);
std::string Json(std::int64_t number);
std::string JsonBool(bool value);
std::string Json(TStrings* lines);
std::string Members(const std::vector<std::pair<std::string, std::string>>& members);
std::uint32_t Unsigned(TColor color);
// Nine significant digits, as Python prints the frame widths it reads.
std::string FrameWidthJson(float width);
std::string PictureJson(TrpPictureView& view);
// The four bytes of the test add-in.
std::string StubExtraJson(std::uint32_t extra);

// The prepared sheets, their objects loaded from the page streams.
std::string PreparedJson(TrpEMFPages& pages);

} // namespace ReportJson
