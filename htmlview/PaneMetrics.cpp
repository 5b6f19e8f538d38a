#include "htmlview/PaneMetrics.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/TextOutput.h"

#include <atomic>
#include <string>

namespace {

class TScreenPaneMetrics : public TPaneMetrics {
public:
    TPaneFontMetrics FontMetrics(TFont* Font) override
    {
        HDC dc = GetDC(nullptr);
        HGDIOBJ oldFont = SelectObject(dc, Font->Handle());
        TEXTMETRICA metrics;
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, oldFont);
        ReleaseDC(nullptr, dc);
        return {metrics.tmHeight, metrics.tmExternalLeading, metrics.tmDescent, metrics.tmOverhang};
    }

    int TextWidth(HDC DC, const char* P, int N) override
    {
        if (N <= 0)
            return 0;
        SIZE extent{0, 0};
        GetTextExtentExPointA(DC, std::string(P, static_cast<std::size_t>(N)), N, 0, nullptr, nullptr, &extent);
        return extent.cx;
    }

    int FitCount(HDC DC, const char* P, int N, int MaxWidth) override
    {
        if (N <= 0)
            return 0;
        int fit = 0;
        SIZE extent{0, 0};
        GetTextExtentExPointA(DC, std::string(P, static_cast<std::size_t>(N)), N, MaxWidth, &fit, nullptr, &extent);
        return fit;
    }
};

TScreenPaneMetrics screenPaneMetrics;
std::atomic<TPaneMetrics*> installedPaneMetrics{nullptr};

} // namespace

TPaneMetrics& PaneMetrics()
{
    TPaneMetrics* installed = installedPaneMetrics.load();
    return installed != nullptr ? *installed : screenPaneMetrics;
}

void SetPaneMetrics(TPaneMetrics* Provider) { installedPaneMetrics.store(Provider); }
