#pragma once
// Status bars: panels of text (or drawn by the program) along the bottom of a form; they accept
// child controls, which the main window places on them.

#include "platform/gui/Canvas.h"
#include "platform/gui/Label.h"
#include "platform/gui/WinControl.h"

#include <memory>
#include <vector>

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };
enum TStatusPanelStyle { psText, psOwnerDraw };

class TStatusBar;

class TStatusPanel : public TPersistent {
    TESS_CLASS(TStatusPanel, TPersistent)
public:
    explicit TStatusPanel(TStatusBar* bar) : FBar(bar) {}
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TStatusPanelBevel Bevel() const { return FBevel; }
    void SetBevel(TStatusPanelBevel value);
    TStatusPanelStyle Style() const { return FStyle; }
    void SetStyle(TStatusPanelStyle value);
    int Index() const;

private:
    void Changed();
    TStatusBar* FBar;
    std::string FText;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    TStatusPanelBevel FBevel = pbLowered;
    TStatusPanelStyle FStyle = psText;
};

class TStatusPanels : public TPersistent {
    TESS_CLASS(TStatusPanels, TPersistent)
public:
    explicit TStatusPanels(TStatusBar* bar) : FBar(bar) {}
    ~TStatusPanels() override;
    TStatusPanel* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EStringListError "List index out of bounds (%d)" out of range.
    TStatusPanel* Items(int index) const;
    void Delete(int index);
    void Clear();
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

private:
    friend class TStatusPanel;
    void Changed();
    TStatusBar* FBar;
    std::vector<std::unique_ptr<TStatusPanel>> FItems;
    int FUpdateCount = 0;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TWinControl {
    TESS_CLASS(TStatusBar, TWinControl)
public:
    explicit TStatusBar(TComponent* AOwner);
    ~TStatusBar() override;

    TStatusPanels* Panels() const { return FPanels.get(); }
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool value);
    const std::string& SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string& value);
    bool SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(bool value);
    TCanvas* Canvas() const { return FCanvas.get(); }
    // The rectangle of a panel in client coordinates.
    TRect PanelRect(int index) const;
    TDrawPanelEvent OnDrawPanel;
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    virtual void DrawPanel(TStatusPanel* Panel, const TRect& Rect);

private:
    std::unique_ptr<TStatusPanels> FPanels;
    std::unique_ptr<TControlCanvas> FCanvas;
    bool FSimplePanel = false;
    std::string FSimpleText;
    bool FSizeGrip = true;
};
