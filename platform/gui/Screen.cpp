#include "platform/gui/Screen.h"

#include "platform/gui/Form.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/CursorTable.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/IconTable.h"
#include "platform/rtl/TextUtils.h"

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <map>
#include <memory>

TScreen* Screen = new TScreen(nullptr);

namespace {

struct TCursorTable {
    std::map<int, std::unique_ptr<QCursor>> Cursors;
};

TCursorTable& CursorTable()
{
    static TCursorTable table;
    return table;
}

// The drag cursors the system does not have: a small arrow with a sign.
QCursor DrawnCursor(TCursor kind)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    const QPoint arrow[] = {QPoint(0, 0), QPoint(0, 15), QPoint(4, 11), QPoint(7, 17), QPoint(9, 16),
                            QPoint(6, 10), QPoint(11, 10)};
    painter.drawPolygon(arrow, 7);
    switch (kind) {
    case crNoDrop:
        painter.setPen(QPen(Qt::red, 2));
        painter.drawEllipse(QRect(12, 12, 12, 12));
        painter.drawLine(14, 22, 22, 14);
        break;
    case crMultiDrag:
        painter.drawRect(12, 14, 10, 8);
        painter.drawRect(15, 17, 10, 8);
        break;
    case crSQLWait:
        painter.drawText(QRect(12, 12, 20, 20), Qt::AlignCenter, "SQL");
        break;
    default:
        painter.drawRect(12, 16, 10, 8);
        break;
    }
    painter.end();
    return QCursor(pixmap, 0, 0);
}

QCursor SystemCursor(TCursor cursor)
{
    switch (cursor) {
    case crNone:
        return QCursor(Qt::BlankCursor);
    case crCross:
        return QCursor(Qt::CrossCursor);
    case crIBeam:
        return QCursor(Qt::IBeamCursor);
    case crSizeNESW:
        return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS:
        return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE:
        return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE:
        return QCursor(Qt::SizeHorCursor);
    case crUpArrow:
        return QCursor(Qt::UpArrowCursor);
    case crHourGlass:
        return QCursor(Qt::WaitCursor);
    case crDrag:
    case crNoDrop:
    case crMultiDrag:
    case crSQLWait:
        return DrawnCursor(cursor);
    case crHSplit:
        return QCursor(Qt::SplitHCursor);
    case crVSplit:
        return QCursor(Qt::SplitVCursor);
    case crNo:
        return QCursor(Qt::ForbiddenCursor);
    case crAppStart:
        return QCursor(Qt::BusyCursor);
    case crHelp:
        return QCursor(Qt::WhatsThisCursor);
    case crHandPoint:
        return QCursor(Qt::PointingHandCursor);
    case crSizeAll:
        return QCursor(Qt::SizeAllCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

QCursor* CursorSlot(int index)
{
    auto& cursors = CursorTable().Cursors;
    auto found = cursors.find(index);
    if (found != cursors.end())
        return found->second.get();
    if (index > 0)
        return CursorSlot(crDefault);
    auto cursor = std::make_unique<QCursor>(SystemCursor(index));
    QCursor* result = cursor.get();
    cursors[index] = std::move(cursor);
    return result;
}

// The Qt cursor of a handle: a system cursor of LoadCursorA, a program cursor (an icon object
// with a hot spot) or a slot of the cursor table.
QCursor ScreenCursorOfHandle(HCURSOR cursor)
{
    const int shape = SystemCursorShape(cursor);
    if (shape >= 0)
        return QCursor(static_cast<Qt::CursorShape>(shape));
    if (TIconObject* icon = Icons::Find(reinterpret_cast<HICON>(cursor))) {
        // The mask is white where the cursor is transparent.
        QImage image = icon->Color.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (x < icon->Mask.width() && y < icon->Mask.height() && qGray(icon->Mask.pixel(x, y)) > 127)
                    image.setPixel(x, y, 0);
        return QCursor(QPixmap::fromImage(image), icon->HotX, icon->HotY);
    }
    return *static_cast<QCursor*>(cursor);
}

} // namespace

QCursor QtCursorOf(TCursor cursor) { return *CursorSlot(cursor); }

void ApplyControlCursor(TControl* control)
{
    QWidget* widget = WidgetOf(control);
    if (!widget)
        return;
    if (control->Cursor() == crDefault)
        widget->unsetCursor();
    else
        widget->setCursor(QtCursorOf(control->Cursor()));
}

HCURSOR LoadCursor(HINSTANCE, int id)
{
    switch (id) {
    case IDC_ARROW:
        return CursorSlot(crArrow);
    case IDC_IBEAM:
        return CursorSlot(crIBeam);
    case IDC_WAIT:
        return CursorSlot(crHourGlass);
    case IDC_CROSS:
        return CursorSlot(crCross);
    case IDC_UPARROW:
        return CursorSlot(crUpArrow);
    case IDC_SIZENWSE:
        return CursorSlot(crSizeNWSE);
    case IDC_SIZENESW:
        return CursorSlot(crSizeNESW);
    case IDC_SIZEWE:
        return CursorSlot(crSizeWE);
    case IDC_SIZENS:
        return CursorSlot(crSizeNS);
    case IDC_SIZEALL:
        return CursorSlot(crSizeAll);
    case IDC_NO:
        return CursorSlot(crNo);
    case IDC_HAND:
        return CursorSlot(crHandPoint);
    case IDC_APPSTARTING:
        return CursorSlot(crAppStart);
    case IDC_HELP:
        return CursorSlot(crHelp);
    default:
        return nullptr;
    }
}

HCURSOR SetCursor(HCURSOR cursor)
{
    static HCURSOR current = nullptr;
    HCURSOR previous = current;
    current = cursor;
    TPoint pos;
    GetCursorPos(pos);
    if (TControl* control = FindDragTarget(pos, true))
        if (QWidget* widget = WidgetOf(control)) {
            if (cursor)
                widget->setCursor(ScreenCursorOfHandle(cursor));
            else
                widget->unsetCursor();
        }
    return previous;
}

// --- TScreen ---------------------------------------------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner)
    : TComponent(AOwner), FHintFont(std::make_unique<TFont>()), FMenuFont(std::make_unique<TFont>()),
      FIconFont(std::make_unique<TFont>())
{
    FHintFont->SetColor(clInfoText);
}

TScreen::~TScreen() = default;

TForm* TScreen::Forms(int index) const { return dynamic_cast<TForm*>(FForms.at(static_cast<std::size_t>(index))); }

int TScreen::DataModuleCount() const { return ::DataModuleCount(); }

TDataModule* TScreen::DataModules(int index) const { return ::DataModules(index); }

TCustomForm* TScreen::FindForm(const std::string& name) const
{
    for (TCustomForm* form : FForms)
        if (SameText(form->Name(), name))
            return form;
    return nullptr;
}

TDataModule* TScreen::FindDataModule(const std::string& name) const
{
    for (int i = 0; i < DataModuleCount(); ++i)
        if (TDataModule* module = DataModules(i); module && SameText(module->Name(), name))
            return module;
    return nullptr;
}

int TScreen::IndexOfForm(const TCustomForm* form) const
{
    auto found = std::find(FForms.begin(), FForms.end(), form);
    return found == FForms.end() ? -1 : static_cast<int>(found - FForms.begin());
}

TForm* TScreen::ActiveForm() const { return dynamic_cast<TForm*>(FActiveForm); }

void TScreen::AddForm(TCustomForm* form) { FForms.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form)
{
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FActiveForm == form) {
        FActiveForm = nullptr;
        FActiveControl = nullptr;
    }
}

void TScreen::SetActiveFormInternal(TCustomForm* form)
{
    if (form == FActiveForm)
        return;
    FActiveForm = form;
    // The active form moves to the front of the list, as the class library keeps it.
    auto found = std::find(FForms.begin(), FForms.end(), form);
    if (found != FForms.end())
        std::rotate(FForms.begin(), found, found + 1);
    if (OnActiveFormChange)
        OnActiveFormChange(this);
}

void TScreen::SetActiveControlInternal(TWinControl* control, TCustomForm* form)
{
    if (form && form != FActiveForm && FActiveForm)
        return;
    if (control == FActiveControl)
        return;
    FActiveControl = control;
    if (OnActiveControlChange)
        OnActiveControlChange(this);
}

void TScreen::SetCursor(TCursor value)
{
    CheckGuiThread();
    if (value == FCursor)
        return;
    FCursor = value;
    if (!QGuiApplication::instance())
        return;
    // Never a stack: at most one override cursor.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    if (value != crDefault)
        QGuiApplication::setOverrideCursor(QtCursorOf(value));
}

HCURSOR TScreen::Cursors(int index) const { return CursorSlot(index); }

void TScreen::SetCursors(int index, HCURSOR cursor)
{
    auto& cursors = CursorTable().Cursors;
    if (!cursor) {
        if (index > 0)
            cursors.erase(index);
        return;
    }
    cursors[index] = std::make_unique<QCursor>(ScreenCursorOfHandle(cursor));
}

namespace {

QRect PrimaryGeometry()
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return QRect(0, 0, 1024, 768);
}

QRect VirtualGeometry()
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->virtualGeometry();
    return QRect(0, 0, 1024, 768);
}

} // namespace

int TScreen::Width() const { return PrimaryGeometry().width(); }
int TScreen::Height() const { return PrimaryGeometry().height(); }
int TScreen::DesktopLeft() const { return VirtualGeometry().x(); }
int TScreen::DesktopTop() const { return VirtualGeometry().y(); }
int TScreen::DesktopWidth() const { return VirtualGeometry().width(); }
int TScreen::DesktopHeight() const { return VirtualGeometry().height(); }

TRect TScreen::WorkAreaRect() const
{
    QRect area(0, 0, 1024, 768);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    return Bounds(area.x(), area.y(), area.width(), area.height());
}
