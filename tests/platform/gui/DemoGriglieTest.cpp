#include "GridDataSet.h"
#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Calendar.h"
#include "platform/gui/DBGrid.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

// Replaces the desktop opener with one that records its targets (nullptr restores the previous).
void RecordDesktopOpener(std::vector<std::string>* targets);

namespace {

// The three grids of the layer on one form, as a person would look at them.
class TFormDemoGriglie : public TForm {
public:
    TFormDemoGriglie(TComponent* AOwner, TDataSource* source) : TForm(AOwner)
    {
        SetCaption("Griglie");
        SetClientWidth(800);
        SetClientHeight(600);

        Draw = new TDrawGrid(this);
        Draw->SetParent(this);
        Draw->SetBounds(8, 8, 380, 260);
        Draw->SetColCount(20);
        Draw->SetRowCount(200);
        Draw->OnDrawCell = [this](TObject*, int col, int row, TRect rect, TGridDrawState) {
            Draw->Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 4, IntToStr(col) + "," + IntToStr(row));
        };

        Data = new TDBGrid(this);
        Data->SetParent(this);
        Data->SetBounds(8, 280, 784, 312);
        Data->SetOptions(Data->Options() + TDBGridOptions{dgMultiSelect, dgAlwaysShowSelection});
        const char* fields[] = {"Numero", "Cliente", "Importo", "Pagato"};
        for (const char* name : fields) {
            TColumn* column = Data->Columns()->Add();
            column->SetFieldName(name);
        }
        Data->Columns()->Items(1)->SetWidth(260);
        Data->Columns()->Items(3)->SetWidth(70);
        // The window draws the paid column itself: the cell in its colour, a square in the middle.
        Data->OnDrawColumnCell = [this](TObject*, const TRect& rect, int, TColumn* column, TGridDrawState state) {
            if (column->FieldName() != "Pagato" || !column->Field())
                return;
            TCanvas* canvas = Data->Canvas();
            canvas->Brush()->SetColor(state.Contains(gdSelected) ? clHighlight : column->Color());
            canvas->FillRect(rect);
            canvas->Brush()->SetColor(column->Field()->AsBoolean() ? clGreen : clRed);
            const int cx = (rect.Left + rect.Right) / 2, cy = (rect.Top + rect.Bottom) / 2;
            canvas->FillRect({cx - 6, cy - 6, cx + 6, cy + 6});
        };
        Data->SetDataSource(source);

        Month = new TCalendar(this);
        Month->SetParent(this);
        Month->SetBounds(400, 8, 392, 260);
        Month->SetCalendarDate(EncodeDate(2026, 3, 15));
    }

    TDrawGrid* Draw;
    TDBGrid* Data;
    TCalendar* Month;
};

} // namespace

TEST(DemoGriglie, FormWithTheThreeGrids)
{
    TGridDataSet data(nullptr, 1000);
    TDataSource source(nullptr);
    source.SetDataSet(&data);
    auto form = std::make_unique<TFormDemoGriglie>(nullptr, &source);
    data.Open();
    ShowAndActivate(form.get());
    Pump(30);
    // Two rows selected: records 2 and 4; record 4 current.
    data.MoveBy(1);
    form->Data->SelectedRows()->SetCurrentRowSelected(true);
    data.MoveBy(2);
    form->Data->SelectedRows()->SetCurrentRowSelected(true);
    form->Data->Invalidate();
    Pump(30);

    const std::string path = IncludeTrailingPathDelimiter(ScreenshotDir()) + "demo-griglie.png";
    ASSERT_TRUE(GrabToPng(form.get(), path));
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    const QPoint grid =
        Widget(form->Data)->mapTo(Widget(form.get())->window(), QPoint(0, 0)) + ClientOffset(form->Data);
    auto pixel = [&](int x, int y) { return image.pixel(grid.x() + x, grid.y() + y) & 0xFFFFFF; };
    // The Cliente cell of record 2 (a selected row, not current) is highlighted.
    const TRect cliente = form->Data->CellRect(2, 2);
    EXPECT_EQ(pixel(cliente.Right - 4, cliente.Top + 3), PictureRgb(clHighlight));
    // The Pagato square of record 1 (unpaid) is red at the cell's centre; record 2 is paid.
    const TRect unpaid = form->Data->CellRect(4, 1);
    EXPECT_EQ(pixel((unpaid.Left + unpaid.Right) / 2, (unpaid.Top + unpaid.Bottom) / 2), PictureRgb(clRed));
    const TRect paid = form->Data->CellRect(4, 2);
    EXPECT_EQ(pixel((paid.Left + paid.Right) / 2, (paid.Top + paid.Bottom) / 2), PictureRgb(clGreen));
    // Only the square: the field's text is not left under it.
    int ink = 0;
    for (int y = unpaid.Top; y < unpaid.Bottom; ++y)
        for (int x = unpaid.Left; x < unpaid.Left + unpaid.Width() / 3; ++x)
            if (qGray(pixel(x, y)) < 100)
                ++ink;
    EXPECT_EQ(ink, 0);
    EXPECT_EQ(pixel(paid.Left + 3, paid.Top + 3), PictureRgb(clHighlight));
    form.reset();
}

TEST(DemoGriglie, TwoPagePrintout)
{
    std::vector<std::string> opened;
    RecordDesktopOpener(&opened);
    SetPrinterCatalogue(TPrinterCatalogue{});
    auto previous = SetPrinter(std::make_unique<TPrinter>());
    SetVirtualPrinterFolder(ScreenshotDir());
    const std::string path = IncludeTrailingPathDelimiter(ScreenshotDir()) + "demo-stampa.pdf";
    DeleteFile(path);

    TPrinter* printer = Printer();
    printer->Title = "demo-stampa";
    printer->BeginDoc();
    TCanvas* canvas = printer->Canvas();
    const int dpi = PrinterDeviceCaps(printer->Handle(), LOGPIXELSX);
    const int mm = dpi * 10 / 254;
    for (int page = 1; page <= 2; ++page) {
        if (page > 1)
            printer->NewPage();
        canvas->Font()->SetName("Arial");
        canvas->Font()->SetSize(16);
        canvas->Font()->SetStyle(TFontStyles{fsBold});
        canvas->TextOut(10 * mm, 10 * mm, "Elenco fatture - pagina " + IntToStr(page));
        canvas->Font()->SetStyle(TFontStyles{});
        canvas->Font()->SetName("Times New Roman");
        canvas->Font()->SetSize(10);
        const int top = 25 * mm, rowHeight = 5 * mm, left = 10 * mm, right = 190 * mm;
        canvas->Pen()->SetWidth(std::max(1, dpi / 300));
        for (int row = 0; row <= 40; ++row) {
            canvas->MoveTo(left, top + row * rowHeight);
            canvas->LineTo(right, top + row * rowHeight);
        }
        for (int x : {left, left + 30 * mm, left + 130 * mm, right}) {
            canvas->MoveTo(x, top);
            canvas->LineTo(x, top + 40 * rowHeight);
        }
        for (int row = 0; row < 40; ++row) {
            const int n = (page - 1) * 40 + row + 1;
            const int y = top + row * rowHeight + mm;
            canvas->TextOut(left + mm, y, IntToStr(n));
            canvas->TextOut(left + 31 * mm, y, "Cliente " + IntToStr(n) + " \x80");
            const std::string amount = IntToStr(n * 15) + ",00";
            canvas->TextOut(right - mm - canvas->TextWidth(amount), y, amount);
        }
        TBitmap bitmap;
        bitmap.SetWidth(40);
        bitmap.SetHeight(20);
        bitmap.Canvas()->Brush()->SetColor(clNavy);
        bitmap.Canvas()->FillRect({0, 0, 40, 20});
        bitmap.Canvas()->Brush()->SetColor(clYellow);
        bitmap.Canvas()->FillRect({10, 5, 30, 15});
        canvas->StretchDraw({left, top + 41 * rowHeight, left + 40 * mm, top + 41 * rowHeight + 20 * mm}, &bitmap);
        canvas->Font()->SetName("Courier New");
        canvas->Font()->SetSize(9);
        canvas->TextOut(left, top + 41 * rowHeight + 25 * mm, "Stampato dalla stampante virtuale");
    }
    printer->EndDoc();
    SetPrinter(std::move(previous));
    SetVirtualPrinterFolder("");
    ResetPrinterCatalogue();
    RecordDesktopOpener(nullptr);

    ASSERT_TRUE(FileExists(path));
    EXPECT_EQ(RunCommand("qpdf --check '" + path + "' >/dev/null; echo $?"), "0\n");
    const std::string info = RunCommand("pdfinfo '" + path + "'");
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    const std::string text = RunCommand("pdftotext '" + path + "' -");
    EXPECT_NE(text.find("Cliente 40"), std::string::npos);
    EXPECT_NE(text.find("Stampato dalla stampante virtuale"), std::string::npos);
}
