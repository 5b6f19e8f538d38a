#include "platform/gui/private/MetafileRecording.h"

namespace Metafiles {
BOOL RecordMoveTo(TDeviceContext&, int, int) { return TRUE; }
BOOL RecordLineTo(TDeviceContext&, int, int) { return TRUE; }
BOOL RecordPoints(TDeviceContext&, DWORD, const std::vector<TPoint>&) { return TRUE; }
BOOL RecordRect(TDeviceContext&, DWORD, const TRect&, const std::vector<int>&) { return TRUE; }
int RecordFillRect(TDeviceContext&, const RECT&, HBRUSH) { return 1; }
int RecordFrameRect(TDeviceContext&, const RECT&, HBRUSH) { return 1; }
BOOL RecordFocusRect(TDeviceContext&, const RECT&) { return TRUE; }
BOOL RecordSetPixel(TDeviceContext&, int, int, COLORREF) { return TRUE; }
BOOL RecordFloodFill(TDeviceContext&, int, int, COLORREF, UINT) { return TRUE; }
BOOL RecordBlt(TDeviceContext&, int, int, int, int, TDeviceContext*, int, int, int, int, DWORD) { return TRUE; }
BOOL RecordRegion(TDeviceContext&, DWORD, const QRegion&, HBRUSH, int, int) { return TRUE; }
void RecordText(TDeviceContext&, int, int, UINT, const RECT*, const std::u16string&, const std::vector<int>&,
                const TRect&)
{
}
void RecordClip(TDeviceContext&, DWORD, const TRect&, const QRegion&, int) {}
void RecordSaveRestore(TDeviceContext&, DWORD, int) {}
} // namespace Metafiles
