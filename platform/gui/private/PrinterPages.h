#pragma once
// The pages of a printer job: the recorded drawing of each page, rendered on a Qt paint device
// (a PDF writer) when the job ends.

#include "platform/gui/private/MetafileRecording.h"

#include <QPageSize>
#include <QPainter>

#include <memory>
#include <string>
#include <vector>

struct TPrinterPage {
    std::vector<TEmrRecord> Records;
};

struct TPdfJob {
    std::string Path;      // the PDF file to write (Windows-1252, as the file functions take it)
    std::string Title;     // Windows-1252
    QPageSize PageSize;
    bool Landscape = false;
    int Resolution = 1200;
    int OffsetX = 0;       // the printable area's origin in device pixels
    int OffsetY = 0;
    int Copies = 1;
    std::vector<std::shared_ptr<TPrinterPage>> Pages;
};

// Paints the records of one page on painter, whose origin is the printable area's top-left and
// whose unit is one device pixel; fonts are realised at pixelsPerInch, the job's resolution.
void RenderPrinterPage(QPainter& painter, const std::vector<TEmrRecord>& records, int pixelsPerInch);

// Writes the job to a temporary file beside Path and renames it over Path; on failure removes
// the temporary, leaves Path untouched and returns false with the reason in error.
bool WritePdfJob(const TPdfJob& job, std::string& error);
