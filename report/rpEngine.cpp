#include "report/rpEngine.h"

#include "report/Interpretator.h"
#include "report/RP_Intrp.h"
#include "report/rpFunctionLibrary.h"
#include "report/RP_Pars.h"
#include "report/RP_Prntr.h"
#include "report/RP_progr.h"
#include "report/rpEMFPages.h"
#include "report/rpBand.h"
#include "report/rpBandView.h"
#include "report/rpPages.h"
#include "report/rpLineView.h"
#include "report/rpMemoView.h"
#include "report/rpPictureView.h"
#include "report/rpResources.h"
#include "report/rpSubReportView.h"

#include "platform/gui/Bitmap.h"
#include "platform/rtl/TextUtils.h"

TrpView* CurView = nullptr;
TrpReport* CurReport = nullptr;
TrpReport* MasterReport = nullptr;
TrpPage* CurPage = nullptr;
TrpBand* CurBand = nullptr;
TrpBand* AggregateBand = nullptr;
TrpDocMode DocMode = dmDesigning;
bool DisableDrawing = false;
int PageNo = 0;
int TotalPageCount = 0;
std::uint8_t rpVersion = 23;
std::uint8_t rpCharset = 0;
TStringList* SMemo = nullptr;
int rpObjectCounter = 0;
TrpReportDesigner* rpDesigner = nullptr;
TrpDataManager* rpDataManager = nullptr;
TBitmap* ScratchBitmap = nullptr;
TBitmap* rpPatternBitmap = nullptr;
bool ShowBandTitles = true;
TrpParser* rpParser = nullptr;
TrpInterpretator* rpInterpretator = nullptr;
TrpVariables* rpVariables = nullptr;
std::vector<TrpView*> HookedViews;
bool InCrossPass = false;
int CrossShift = 0;
bool ContinueOnPage = false;
bool FooterOnLastPage = false;
int SavedY = 0;
int SavedBottom = 0;
bool AppendNextReport = false;
bool FirstPassStopped = false;
bool FirstBuild = false;

const char* const rpSpecFuncs[rpSpecCount] = {"PAGE#", "", "DATE", "TIME", "LINE#", "LINETHROUGH#", "COLUMN#",
                                              "CURRENT#", "TOTALPAGES"};

std::vector<std::string> rpBandNames;
std::vector<std::string> rpSpecArr;
std::vector<std::string> BooleanFormats;
std::vector<std::string> rpDateFormats;
std::vector<std::string> rpTimeFormats;

std::vector<TrpAddInObjectInfo> rpAddIns;
std::vector<TrpExportFilterInfo> rpFilters;
std::vector<std::unique_ptr<TrpFunctionLibrary>> rpFunctions;
std::vector<TrpToolsInfo> rpTools;

namespace rpEngine {
namespace {

constexpr std::uint8_t AddInType = 10;
constexpr int ScratchSize = 8;

bool Started = false;
bool Busy = false;

std::vector<std::string> LoadTexts(int firstId, int lastId)
{
    std::vector<std::string> texts;
    for (int id = firstId; id <= lastId; ++id)
        texts.push_back(rpLoadStr(id));
    return texts;
}

// White where row plus column is even, silver where it is odd.
void FillCheckerboard(TBitmap& bitmap)
{
    bitmap.SetSize(ScratchSize, ScratchSize);
    TCanvas* canvas = bitmap.Canvas();
    for (int y = 0; y < ScratchSize; ++y)
        for (int x = 0; x < ScratchSize; ++x)
            canvas->SetPixels(x, y, (x + y) % 2 == 0 ? clWhite : clSilver);
}

} // namespace
} // namespace rpEngine

void rpRegisterObject(const TrpViewClass& classRef, TBitmap* buttonBmp, const std::string& buttonHint,
                      TrpObjEditorForm* editorForm)
{
    rpAddIns.push_back({classRef, buttonBmp, buttonHint, editorForm});
    if (rpDesigner)
        rpDesigner->RegisterObject(buttonBmp, buttonHint, rpEngine::AddInType + static_cast<int>(rpAddIns.size()) - 1);
}

void rpRegisterExportFilter(const TrpExportFilterClass& classRef, const std::string& filterDesc,
                            const std::string& filterExt)
{
    rpFilters.push_back({classRef, filterDesc, filterExt});
}

void rpRegisterFunctionLibrary(const TrpFunctionLibraryClass& classRef) { rpFunctions.push_back(classRef()); }

void rpRegisterTool(const std::string& caption, TBitmap* buttonBmp, TNotifyEvent onClick)
{
    rpTools.push_back({caption, buttonBmp, onClick});
    if (rpDesigner)
        rpDesigner->RegisterTool(caption, buttonBmp, onClick);
}

std::unique_ptr<TrpView> rpCreateObject(std::uint8_t typ, const std::string& className)
{
    switch (typ) {
    case 0:
        return std::make_unique<TrpMemoView>();
    case 1:
        return std::make_unique<TrpPictureView>();
    case 2:
        return std::make_unique<TrpBandView>();
    case 3:
        return std::make_unique<TrpSubReportView>();
    case 4:
        return std::make_unique<TrpLineView>();
    case rpEngine::AddInType:
        for (const TrpAddInObjectInfo& addIn : rpAddIns) {
            if (addIn.ClassRef.ClassName == className) {
                std::unique_ptr<TrpView> view(addIn.ClassRef.Create());
                view->ObjectType = rpEngine::AddInType;
                return view;
            }
        }
        RAISE(EClassNotFound("Ne nayden klass " + className));
    default:
        return nullptr;
    }
}

TDataSet* GetDefaultDataSet()
{
    if (!CurBand)
        return nullptr;
    TrpBand* band = CurBand;
    if (!band->DataSource) {
        TrpBand* governing = nullptr;
        for (TrpBandType type : {btMasterData, btDetailData, btSubDetailData})
            for (TrpBand* data = band->Page->Bands(type); data && !governing; data = data->NextBand)
                if (data->Header == band || data->Footer == band)
                    governing = data;
        if (!governing && band->IsDataBand())
            governing = band->DataBand();
        if (!governing)
            governing = band->Page->Bands(btMasterData);
        band = governing;
    }
    return rpPlatformDataSet(band->DataSource);
}

void rpDoScript(TStrings* script)
{
    if (rpInterpretator)
        rpInterpretator->DoScript(script);
}

TrpBusyScope::TrpBusyScope()
{
    if (rpEngine::Busy)
        RAISE(EInvalidOperation("Un report \xE8 gi\xE0 in elaborazione."));
    rpEngine::Busy = true;
}

TrpBusyScope::~TrpBusyScope() { rpEngine::Busy = false; }

bool rpEngineBusy() { return rpEngine::Busy; }

void rpInitEngine()
{
    using namespace rpEngine;
    if (Started)
        return;
    Started = true;
    SMemo = new TStringList;
    rpPatternBitmap = new TBitmap;
    FillCheckerboard(*rpPatternBitmap);
    ScratchBitmap = new TBitmap;
    ScratchBitmap->SetSize(ScratchSize, ScratchSize);
    rpCharset = static_cast<std::uint8_t>(StrToIntDef(rpLoadStr(55337), 0));
    rpBandNames = LoadTexts(55077, 55098);
    rpSpecArr = LoadTexts(55110, 55118);
    BooleanFormats = LoadTexts(55170, 55173);
    rpDateFormats = LoadTexts(55175, 55178);
    rpTimeFormats = LoadTexts(55179, 55182);
    rpParser = new TrpParser;
    rpInterpretator = new TInterpretator;
    rpVariables = new TrpVariables;
    rpRegisterFunctionLibrary([] { return std::make_unique<TrpStdFunctionLibrary>(); });
    rpPrinter();
    rpProgressForm = TForm::Create<TrpProgressForm>(nullptr);
    rpCompressor = new TrpCompressor;
}

void rpDoneEngine()
{
    using namespace rpEngine;
    if (!Started)
        return;
    Started = false;
    delete rpCompressor;
    rpCompressor = nullptr;
    TComponent::Free(rpProgressForm);
    rpProgressForm = nullptr;
    rpFreePrinter();
    rpFunctions.clear();
    delete rpVariables;
    rpVariables = nullptr;
    delete rpInterpretator;
    rpInterpretator = nullptr;
    delete rpParser;
    rpParser = nullptr;
    delete ScratchBitmap;
    ScratchBitmap = nullptr;
    delete rpPatternBitmap;
    rpPatternBitmap = nullptr;
    delete SMemo;
    SMemo = nullptr;
    rpBandNames.clear();
    rpSpecArr.clear();
    BooleanFormats.clear();
    rpDateFormats.clear();
    rpTimeFormats.clear();
    CurView = nullptr;
    CurReport = nullptr;
    MasterReport = nullptr;
    CurPage = nullptr;
    CurBand = nullptr;
    AggregateBand = nullptr;
    HookedViews.clear();
}

bool rpEngineStarted() { return rpEngine::Started; }
