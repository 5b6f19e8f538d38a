#pragma once
// Start and end of the report export library: the classes it makes by name are registered here,
// and the editor dialogs of its report objects live from one call to the other. Both calls may
// be repeated. The application must be initialized first: the dialogs measure their fonts.

void InitReportExport();
void DoneReportExport();
