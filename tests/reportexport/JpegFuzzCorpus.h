#pragma once
// The starting inputs of the JPEG decoding and BMP reader fuzz targets: valid files made by
// cjpeg and by the layer's BMP writer, and the failing cases of the other tests.

#include <filesystem>
#include <string>
#include <vector>

// cjpeg works in scratch.
std::vector<std::string> JpegDecodeCorpus(const std::filesystem::path& scratch);
std::vector<std::string> BmpReaderCorpus();
