#pragma once
// The common base of everything placed on a report page: geometry, frame and fill, scaling onto
// any canvas, the stream form shared by templates and prepared pages, unique names, clip regions
// and the print step; and the hooks a designer, a data manager, an object editor and a function
// library plug into.

#include "platform/gui/Canvas.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Form.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <memory>
#include <string>

class TBitmap;
class TDataSet;
class TField;
class TMenuItem;
class TPopupMenu;
class TStream;
class TrpBand;
class TrpPage;
class TrpView;

enum TrpStreamMode : std::uint8_t { smDesigning, smPrinting };
enum TrpDrawMode : std::uint8_t { drAll, drCalcHeight, drAfterCalcHeight, drPart };
enum TrpRgnType { rtNormal, rtExtended };

// Frame sides in FrameTyp.
constexpr std::uint16_t rpFrameRight = 1, rpFrameBottom = 2, rpFrameLeft = 4, rpFrameTop = 8,
                        rpFrameAll = 15;
// FrameStyle 5 draws a double line.
constexpr std::uint16_t rpDoubleFrame = 5;

class TrpView : public TObject {
    TESS_CLASS(TrpView, TObject)
public:
    // Frame width 1, black frame, no fill, visible, Flags 1, prefix "View"; the ID is the next
    // value of the engine's object counter.
    TrpView();
    ~TrpView() override;
    TrpView(const TrpView&) = delete;
    TrpView& operator=(const TrpView&) = delete;

    virtual void ShowBackGround();
    virtual void ShowFrame();
    // Loads a blob field's content; kinds that show blobs override it.
    virtual void GetBlob(TField* field);
    virtual void OnHook(TrpView* view);
    // Copies the designed fields (not the ID, the working text or the run-time fields).
    virtual void Assign(TrpView* from);
    // Scales the geometry in place for drawing and computes DrawRect and the gaps.
    virtual void CalcGaps();
    virtual void RestoreCoord();
    virtual void Draw(TCanvas* canvas) = 0;
    // The print step of a build: the object's prepared form goes to the stream when visible.
    virtual void Print(TStream& stream);
    virtual void ExportData();
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream& stream);
    virtual void Resized();
    virtual void DefinePopupMenu(TPopupMenu* menu);
    // The region the object paints; the caller owns it.
    virtual HRGN GetClipRgn(TrpRgnType rgnType);

    void SetBounds(int left, int top, int width, int height);
    void BeginDraw(TCanvas* canvas);
    // Prefix plus the first number from 1 to 10000 no object of the current report has.
    void CreateUniqueName();

    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::uint16_t Flags = 1;
    std::uint16_t FrameTyp = 0;
    float FrameWidth = 1.0f;
    TColor FrameColor = clBlack;
    std::uint16_t FrameStyle = 0;
    TColor FillColor = clNone;
    // Category, variant, decimals, decimal separator (high byte to low).
    std::uint32_t Format = 0;
    std::string FormatText;
    // A 16-bit boolean: 0 false, any other value true.
    std::int16_t Visible = -1;
    const std::unique_ptr<TStringList> Memo;
    const std::unique_ptr<TStringList> WorkMemo;
    const std::unique_ptr<TStringList> Script;
    std::string Name;
    std::string NamePrefix = "View";
    std::uint8_t ObjectType = 0;
    int ID = 0;
    bool Selected = false;
    TrpBand* Parent = nullptr;
    TrpStreamMode StreamMode = smDesigning;
    TDataSet* DataSet = nullptr;
    std::string DataField;
    double ScaleX = 1.0, ScaleY = 1.0;
    int OriginX = 0, OriginY = 0;
    bool IsPrinting = false;
    TCanvas* Canvas = nullptr;
    TRect DrawRect;
    int GapX = 0, GapY = 0;

    // The geometry and frame width as they were before CalcGaps.
    int SavedLeft = 0, SavedTop = 0, SavedWidth = 0, SavedHeight = 0;
    float SavedFrameWidth = 0;

protected:
    // The right and bottom edges of the scaled object, without frame corrections.
    int ScaledRight() const;
    int ScaledBottom() const;
    // A checked designer entry for a Flags bit; a click toggles the bit on the selected objects
    // of the edited page, or on this object alone.
    TMenuItem* AddFlagItem(TPopupMenu* menu, int captionId, std::uint16_t bit, bool selectedObjects = true);
    static void AddSeparator(TPopupMenu* menu);
    // The font of the captions objects show in a designer: Arial 8, black, the engine's charset.
    void SetCaptionFont();

private:
    void DrawFrameLine(int x1, int y1, int x2, int y2);
    void ReadCommonPart(TStream& stream);
    void WriteCommonPart(TStream& stream);
};

// An object whose height follows its content and can be split over pages.
class TrpStretcheable : public TrpView {
    TESS_CLASS(TrpStretcheable, TrpView)
public:
    virtual int CalcHeight() = 0;
    virtual int MinHeight() = 0;
    virtual int RemainHeight() = 0;

    int ActualHeight = 0;
    TrpDrawMode DrawMode = drAll;
};

// A report designer, which this program never installs; the engine checks rpDesigner first.
class TrpReportDesigner : public TForm {
    TESS_CLASS(TrpReportDesigner, TForm)
public:
    explicit TrpReportDesigner(TComponent* AOwner) : TForm(AOwner) {}

    virtual void RegisterObject(TBitmap* buttonBmp, const std::string& buttonHint, int buttonTag) = 0;
    virtual void RegisterTool(const std::string& caption, TBitmap* buttonBmp, TNotifyEvent onClick) = 0;
    virtual void BeforeChange() = 0;
    virtual void AfterChange() = 0;
    virtual void RedrawPage() = 0;

    // The design page being edited.
    TrpPage* Page = nullptr;
};

// A data manager, which this program never installs.
class TrpDataManager : public TObject {
    TESS_CLASS(TrpDataManager, TObject)
public:
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void BeforePreparing() = 0;
    virtual void AfterPreparing() = 0;
    virtual void PrepareDataSet(TDataSet* dataSet) = 0;
    virtual bool ShowParamsDialog() = 0;
    virtual void AfterParamsDialog() = 0;
};

// The editor window of an add-in object.
class TrpObjEditorForm : public TForm {
    TESS_CLASS(TrpObjEditorForm, TForm)
public:
    explicit TrpObjEditorForm(TComponent* AOwner) : TForm(AOwner) {}
    virtual void ShowEditor(TrpView* view);
};

// A library of functions that report expressions may call. Arguments arrive as the texts of the
// argument expressions; the result is expression text.
class TrpFunctionLibrary : public TObject {
    TESS_CLASS(TrpFunctionLibrary, TObject)
public:
    TrpFunctionLibrary();
    ~TrpFunctionLibrary() override;
    TrpFunctionLibrary(const TrpFunctionLibrary&) = delete;
    TrpFunctionLibrary& operator=(const TrpFunctionLibrary&) = delete;

    // True when List has the name (case ignored); DoFunction then computes val.
    bool OnFunction(const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
                    std::string& val);
    virtual void DoFunction(int functionIndex, const Variant& p1, const Variant& p2, const Variant& p3,
                            std::string& val) = 0;

    // The function names, sorted.
    const std::unique_ptr<TStringList> List;
};
