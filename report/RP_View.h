#pragma once
// The preview of prepared reports: the preview window with its toolbar, zoom menu, page box,
// scroll bars and page label, the search in the sheets' texts, and the preview control that a
// host window places on itself and into which it moves the window's page area.

#include "platform/gui/Form.h"
#include "platform/gui/Panel.h"

#include <memory>
#include <string>

class TBevel;
class TLabel;
class TMenuItem;
class TMetafile;
class TOpenDialog;
class TPopupMenu;
class TSaveDialog;
class TScrollBar;
class TScrollBox;
class TrpEMFPages;
class TrpReport;
class TrpSpeedButton;
class TrpTBButton;
class TrpTBPanel;
class TrpTBSeparator;
struct TEmrRecord;

enum TrpScaleMode { mdNone, mdPageWidth, mdOnePage, mdTwoPages };

// The zoom last chosen from a zoom menu or by a report's initial zoom: every preview starts there.
extern double SharedScale;
extern TrpScaleMode SharedScaleMode;

class TrpPreviewForm;

// Paints the sheets of its preview window; it covers every pixel itself.
class TrpPBox : public TPanel {
    TESS_CLASS(TrpPBox, TPanel)
public:
    explicit TrpPBox(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;
    TrpPreviewForm* PreviewForm = nullptr;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
};

class TrpPreviewForm : public TForm {
    TESS_CLASS(TrpPreviewForm, TForm)
    friend class TrpPBox;

public:
    explicit TrpPreviewForm(TComponent* AOwner);
    ~TrpPreviewForm() override;

    // Takes the report's prepared sheets over; the report keeps an empty list.
    void Connect(TrpReport* report);
    // Gives the sheets back to the report.
    void ConnectBack();
    // The standalone window: toolbar per the report's PreviewButtons, modal with ModalPreview
    // (otherwise it frees itself when closed).
    void Show_Modal(TrpReport* report);
    // Page 1 at the shared zoom, every sheet released, painted again.
    void RedrawAll();
    // The layout of the sheets in the page box, the zoom caption and the scroll ranges.
    void FormResize();
    void SetToCurPage();
    void ShowPageNum();
    // Loads a prepared-report file; a damaged file raises and the shown sheets stay.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    // --- Commands ---
    void ZoomBtnClick();
    void ZoomItemClick(TMenuItem* item);
    void LoadBtnClick();
    void SaveBtnClick();
    void PrintBtnClick();
    void FindBtnClick();
    void HelpBtnClick();
    void ExitBtnClick();
    void EditBtnClick();
    void PgUpClick();
    void PgDownClick();

    // --- Search ---
    bool FindNext(bool matchCase, bool fromStart);
    void FindText();
    void FindInEMF(TMetafile* metafile);
    // One record of the sheet being searched; false stops at a hit.
    bool TextRecordCallback(const TEmrRecord& record);

    // --- State ---
    TrpReport* ConnectedReport = nullptr;
    std::unique_ptr<TrpEMFPages> HeldPages;
    TrpPBox* PageBox = nullptr;
    int CurrentPage = 1;
    int ScrollX = 0, ScrollY = 0;
    int PrevHPos = 0, PrevVPos = 0;
    double Scale = 1.0;
    TrpScaleMode ScaleMode = mdNone;
    bool PaintEnabled = true;
    std::string SavedHelpFile;

    std::string SearchText;
    bool MatchCase = false;
    int SearchPage = 0;
    int SearchRecord = 0;
    TRect MatchRect;
    bool MatchFound = false;

    // --- Components ---
    TPanel* TopPanel = nullptr;
    TBevel* Bevel2 = nullptr;
    TrpTBPanel* Panel1 = nullptr;
    TrpTBButton* ZoomBtn = nullptr;
    TrpTBSeparator* rpTBSeparator1 = nullptr;
    TrpTBButton* LoadBtn = nullptr;
    TrpTBButton* SaveBtn = nullptr;
    TrpTBButton* PrintBtn = nullptr;
    TrpTBSeparator* rpTBSeparator2 = nullptr;
    TrpTBButton* FindBtn = nullptr;
    TrpTBButton* HelpBtn = nullptr;
    TrpTBSeparator* rpTBSeparator3 = nullptr;
    TrpTBButton* ExitBtn = nullptr;
    TPanel* PreviewPanel = nullptr;
    TScrollBox* ScrollBox1 = nullptr;
    TPanel* RPanel = nullptr;
    TScrollBar* VScrollBar = nullptr;
    TrpSpeedButton* PgUp = nullptr;
    TrpSpeedButton* PgDown = nullptr;
    TPanel* BPanel = nullptr;
    TBevel* Bevel1 = nullptr;
    TLabel* Label1 = nullptr;
    TScrollBar* HScrollBar = nullptr;
    TPopupMenu* ProcMenu = nullptr;
    TMenuItem *N2001 = nullptr, *N1501 = nullptr, *N1001 = nullptr, *N751 = nullptr, *N501 = nullptr,
              *N251 = nullptr, *N101 = nullptr, *N1 = nullptr, *N2 = nullptr, *N3 = nullptr, *N4 = nullptr,
              *N5 = nullptr, *N6 = nullptr, *N7 = nullptr;
    TOpenDialog* OpenDialog = nullptr;
    TSaveDialog* SaveDialog = nullptr;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void DoClose(TCloseAction& Action) override;
    void Dispatch(TMessage& Message) override;

private:
    void CreateComponents();
    void CreateToolbar();
    void CreatePageArea();
    void CreateZoomMenu();
    TMenuItem* AddZoomItem(const std::string& name, int tag, const std::string& caption);
    void FormKeyDown(WORD& key, TShiftState shift);
    void VScrollBarChange();
    void HScrollBarChange();
    void PageBoxMouseDown(TMouseButton button, int x, int y);
    void PaintPages(TCanvas* canvas);
    // Hands the sheets to the report for work, and takes them back also when the work raises.
    void WithSheetsHandedBack(const std::function<void()>& work);
    // The help mode's press: asks the help for the control under the point.
    void HelpModePress(TPoint point);
    bool FHelpMode = false;
    bool FStandalone = false;
};

// The preview control: the preview window's page area placed on a host window.
class TrpPreview : public TPanel {
    TESS_CLASS(TrpPreview, TPanel)
public:
    explicit TrpPreview(TComponent* AOwner);
    ~TrpPreview() override;

    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    TrpPreviewForm* const PreviewForm;

    void Connect(TrpReport* report);
    int GetPage() const;
    // 1 to GetAllPages; other numbers are ignored.
    void SetPage(int page);
    int GetAllPages() const;
    double GetZoom() const;
    // Not carried over to other previews.
    void SetZoom(double percent);
    void PageWidth();
    void OnePage();
    void TwoPages();
    void First();
    void Next();
    void Prev();
    void Last();
    void LoadFromFile();
    void SaveToFile();
    void Print();
    void Find();
    void Edit();
    bool FindString(const std::string& text, bool matchCase, bool fromStart);
    TScrollBar* GetHorizontalScrollBar() const;
    TScrollBar* GetVerticalScrollBar() const;
    void Dispatch(TMessage& Message) override;

private:
    void SetScaleMode(TrpScaleMode mode);
    bool HasPages() const;
    TScrollStyle FScrollBars = ssBoth;
};
