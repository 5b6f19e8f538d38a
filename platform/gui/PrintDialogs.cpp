#include "platform/gui/PrintDialogs.h"

#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Codepage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString Q(const std::string& text) { return QString::fromStdU16String(AnsiToUtf16(text)); }
std::string A(const QString& text) { return Utf16ToAnsi(text.toStdU16String()); }

std::string CurrentPrinterName(TPrinter* printer)
{
    const int index = printer->PrinterIndex();
    TStrings* names = printer->Printers();
    return index >= 0 && index < names->Count() ? names->Strings(index) : std::string();
}

// Makes the named printer current; false when there is none of that name.
bool SelectPrinter(TPrinter* printer, const std::string& name)
{
    const int index = printer->Printers()->IndexOf(name);
    if (index < 0)
        return false;
    printer->SetPrinterIndex(index);
    return true;
}

// Applies a paper by its name as the current printer lists it.
void SelectPaper(TPrinter* printer, const std::string& paperName)
{
    if (paperName.empty())
        return;
    std::string device, driver, port;
    HGLOBAL mode = nullptr;
    printer->GetPrinter(device, driver, port, mode);
    const int count = DeviceCapabilities(device.c_str(), port.c_str(), DC_PAPERS, nullptr, nullptr);
    if (count <= 0)
        return;
    std::vector<WORD> papers(static_cast<std::size_t>(count));
    std::vector<char> names(static_cast<std::size_t>(count) * 64);
    DeviceCapabilities(device.c_str(), port.c_str(), DC_PAPERS, reinterpret_cast<char*>(papers.data()), nullptr);
    DeviceCapabilities(device.c_str(), port.c_str(), DC_PAPERNAMES, names.data(), nullptr);
    for (int i = 0; i < count; ++i)
        if (paperName == std::string(names.data() + i * 64)) {
            if (auto* devMode = static_cast<DEVMODEA*>(GlobalLock(mode))) {
                devMode->dmFields = DM_PAPERSIZE;
                devMode->dmPaperSize = static_cast<short>(papers[static_cast<std::size_t>(i)]);
                GlobalUnlock(mode);
                printer->SetPrinter(device, driver, port, mode);
            }
            return;
        }
}

std::string CurrentPaperName(TPrinter* printer)
{
    std::string device, driver, port;
    HGLOBAL mode = nullptr;
    printer->GetPrinter(device, driver, port, mode);
    DEVMODEA devMode;
    return ReadDevMode(mode, devMode) ? PaperName(devMode.dmPaperSize) : std::string();
}

QComboBox* PrinterList(QWidget* parent, const std::string& current)
{
    auto* combo = new QComboBox(parent);
    TStrings* names = Printer()->Printers();
    for (int i = 0; i < names->Count(); ++i)
        combo->addItem(Q(names->Strings(i)));
    const int index = combo->findText(Q(current));
    combo->setCurrentIndex(index >= 0 ? index : std::max(0, Printer()->PrinterIndex()));
    return combo;
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

bool TPrintDialog::Execute()
{
    TPrinter* printer = Printer();
    PrintDialogRequest request;
    request.Copies = Copies > 0 ? Copies : printer->Copies();
    request.Collate = Collate;
    request.FromPage = FromPage;
    request.ToPage = ToPage;
    request.MinPage = MinPage;
    request.MaxPage = MaxPage;
    request.PrintRange = static_cast<PrintDialogRequest::TRange>(PrintRange);
    request.PrinterName = CurrentPrinterName(printer);
    request.Options = static_cast<unsigned>(Options.Bits()) | (PrintToFile ? 0x100u : 0u);
    if (!Dialogs().Print(request))
        return false;
    SelectPrinter(printer, request.PrinterName);
    Copies = std::max(1, request.Copies);
    printer->SetCopies(Copies);
    Collate = request.Collate;
    FromPage = request.FromPage;
    ToPage = request.ToPage;
    PrintRange = static_cast<TPrintRange>(request.PrintRange);
    PrintToFile = (request.Options & 0x100u) != 0;
    return true;
}

bool TPrinterSetupDialog::Execute()
{
    TPrinter* printer = Printer();
    PrinterSetupRequest request;
    request.PrinterName = CurrentPrinterName(printer);
    request.Orientation =
        printer->Orientation() == poLandscape ? PrinterSetupRequest::poLandscape : PrinterSetupRequest::poPortrait;
    request.Paper = CurrentPaperName(printer);
    if (!Dialogs().PrinterSetup(request))
        return false;
    SelectPrinter(printer, request.PrinterName);
    printer->SetOrientation(request.Orientation == PrinterSetupRequest::poLandscape ? poLandscape : poPortrait);
    SelectPaper(printer, request.Paper);
    return true;
}

bool ExecuteQtPrintDialog(PrintDialogRequest& request)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Stampa"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    QComboBox* printers = PrinterList(&dialog, request.PrinterName);
    form->addRow(QStringLiteral("Stampante:"), printers);
    auto* copies = new QSpinBox(&dialog);
    copies->setRange(1, 999);
    copies->setValue(std::max(1, request.Copies));
    form->addRow(QStringLiteral("Copie:"), copies);
    auto* collate = new QCheckBox(QStringLiteral("Fascicola"), &dialog);
    collate->setChecked(request.Collate);
    form->addRow(QString(), collate);
    layout->addLayout(form);

    auto* range = new QGroupBox(QStringLiteral("Intervallo"), &dialog);
    auto* rangeLayout = new QVBoxLayout(range);
    auto* all = new QRadioButton(QStringLiteral("Tutte"), range);
    auto* pagesRow = new QHBoxLayout;
    auto* pages = new QRadioButton(QStringLiteral("Pagine da"), range);
    auto* from = new QSpinBox(range);
    auto* to = new QSpinBox(range);
    const int low = std::max(1, request.MinPage);
    const int high = std::max(low, request.MaxPage > 0 ? request.MaxPage : 9999);
    from->setRange(low, high);
    to->setRange(low, high);
    from->setValue(std::clamp(request.FromPage, low, high));
    to->setValue(std::clamp(request.ToPage > 0 ? request.ToPage : high, low, high));
    pagesRow->addWidget(pages);
    pagesRow->addWidget(from);
    pagesRow->addWidget(new QLabel(QStringLiteral("a"), range));
    pagesRow->addWidget(to);
    auto* selection = new QRadioButton(QStringLiteral("Selezione"), range);
    rangeLayout->addWidget(all);
    rangeLayout->addLayout(pagesRow);
    rangeLayout->addWidget(selection);
    const unsigned pageNumsAllowed = 1u << poPageNums, selectionAllowed = 1u << poSelection;
    pages->setEnabled((request.Options & pageNumsAllowed) != 0);
    from->setEnabled(pages->isEnabled());
    to->setEnabled(pages->isEnabled());
    selection->setEnabled((request.Options & selectionAllowed) != 0);
    (request.PrintRange == PrintDialogRequest::prPageNums && pages->isEnabled()       ? pages
     : request.PrintRange == PrintDialogRequest::prSelection && selection->isEnabled() ? selection
                                                                                        : all)
        ->setChecked(true);
    layout->addWidget(range);
    layout->addWidget(OkCancel(&dialog));

    if (dialog.exec() != QDialog::Accepted)
        return false;
    request.PrinterName = A(printers->currentText());
    request.Copies = copies->value();
    request.Collate = collate->isChecked();
    request.PrintRange = pages->isChecked()       ? PrintDialogRequest::prPageNums
                         : selection->isChecked() ? PrintDialogRequest::prSelection
                                                  : PrintDialogRequest::prAllPages;
    request.FromPage = from->value();
    request.ToPage = to->value();
    return true;
}

bool ExecuteQtPrinterSetupDialog(PrinterSetupRequest& request)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Imposta stampante"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    QComboBox* printers = PrinterList(&dialog, request.PrinterName);
    form->addRow(QStringLiteral("Stampante:"), printers);
    auto* papers = new QComboBox(&dialog);
    form->addRow(QStringLiteral("Formato:"), papers);
    auto fillPapers = [papers, printers, &request] {
        papers->clear();
        const std::string device = A(printers->currentText());
        const int count = DeviceCapabilities(device.c_str(), "", DC_PAPERNAMES, nullptr, nullptr);
        if (count <= 0)
            return;
        std::vector<char> names(static_cast<std::size_t>(count) * 64);
        DeviceCapabilities(device.c_str(), "", DC_PAPERNAMES, names.data(), nullptr);
        for (int i = 0; i < count; ++i)
            papers->addItem(Q(std::string(names.data() + i * 64)));
        const int index = papers->findText(Q(request.Paper));
        papers->setCurrentIndex(std::max(0, index));
    };
    fillPapers();
    QObject::connect(printers, &QComboBox::currentIndexChanged, &dialog, fillPapers);
    layout->addLayout(form);
    auto* orientation = new QGroupBox(QStringLiteral("Orientamento"), &dialog);
    auto* orientationLayout = new QVBoxLayout(orientation);
    auto* portrait = new QRadioButton(QStringLiteral("Verticale"), orientation);
    auto* landscape = new QRadioButton(QStringLiteral("Orizzontale"), orientation);
    orientationLayout->addWidget(portrait);
    orientationLayout->addWidget(landscape);
    (request.Orientation == PrinterSetupRequest::poLandscape ? landscape : portrait)->setChecked(true);
    layout->addWidget(orientation);
    layout->addWidget(OkCancel(&dialog));

    if (dialog.exec() != QDialog::Accepted)
        return false;
    request.PrinterName = A(printers->currentText());
    request.Paper = A(papers->currentText());
    request.Orientation = landscape->isChecked() ? PrinterSetupRequest::poLandscape : PrinterSetupRequest::poPortrait;
    return true;
}
