#pragma once
// The band object as placed on a design page: where a band lies and which type it is. The band
// type is kept in FrameTyp.

#include "report/rpView.h"

enum TrpBandType {
    btReportTitle, btReportSummary, btPageHeader, btPageFooter, btMasterHeader, btMasterData,
    btMasterFooter, btDetailHeader, btDetailData, btDetailFooter, btSubDetailHeader, btSubDetailData,
    btSubDetailFooter, btOverlay, btColumnHeader, btColumnFooter, btGroupHeader, btGroupFooter,
    btCrossHeader, btCrossData, btCrossFooter, btNone
};

constexpr int rpBandTypeCount = 22;

class TrpBandView : public TrpView {
    TESS_CLASS(TrpBandView, TrpView)
public:
    TrpBandView();

    TrpBandType GetBandType() const;
    void SetBandType(TrpBandType bandType);
    // The cross bands lie as columns across the page.
    bool IsCrossBand() const;

    // Drawn only in a designer, which gives the band the length of the edited page.
    void Draw(TCanvas* canvas) override;
    HRGN GetClipRgn(TrpRgnType rgnType) override;
    void DefinePopupMenu(TPopupMenu* menu) override;

private:
    TRect TitleTab() const;
    void DrawTitle(const std::string& name);
};
