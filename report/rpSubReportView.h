#pragma once
// The subreport frame: marks where the bands of another design page are printed.

#include "report/rpView.h"

class TrpSubReportView : public TrpView {
    TESS_CLASS(TrpSubReportView, TrpView)
public:
    TrpSubReportView();

    void Assign(TrpView* from) override;
    // A white box with the caption and the page number.
    void Draw(TCanvas* canvas) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void DefinePopupMenu(TPopupMenu* menu) override;

    // The index (from 0) of the design page that holds the subreport's bands.
    int SubPage = 0;
};
