#pragma once
// Start and end of the report export library: the classes it makes by name are registered here.
// Both calls may be repeated.

void InitReportExport();
void DoneReportExport();
