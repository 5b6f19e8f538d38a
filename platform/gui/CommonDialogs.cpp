// Common dialogs.

#include "platform/gui/CommonDialogs.h"

#include "platform/gui/FontEngine.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>

#include <algorithm>
#include <cstring>

namespace {

std::string Replace(const std::string& text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    return at == std::string::npos ? text : text.substr(0, at) + with + text.substr(at + what.size());
}

} // namespace

void TCommonDialog::DoShow()
{
    if (OnShow)
        OnShow(this);
}

void TCommonDialog::DoClose()
{
    if (OnClose)
        OnClose(this);
}

// --- File dialogs ---------------------------------------------------------------------------------------

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), FFiles(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

void TOpenDialog::SetDefaultExt(const std::string& value)
{
    std::string ext = value;
    if (ext.rfind("*.", 0) == 0)
        ext = ext.substr(2);
    else if (ext.rfind(".", 0) == 0)
        ext = ext.substr(1);
    FDefaultExt = ext;
}

bool TOpenDialog::AcceptAnswer(std::string& name)
{
    if (!name.empty() && name[0] != '/' && name[0] != '\\' && !InitialDir.empty())
        name = IncludeTrailingPathDelimiter(InitialDir) + name;
    Options.Exclude(ofExtensionDifferent);
    const std::string ext = ExtractFileExt(name);
    if (!FDefaultExt.empty()) {
        if (ext.empty() || ext == ".")
            name = (ext == "." ? name : name + ".") + FDefaultExt;
        else if (!AnsiSameText(ext.substr(1), FDefaultExt))
            Options.Include(ofExtensionDifferent);
    }
    if (IsSave() && Options.Contains(ofOverwritePrompt) && FileExists(name)) {
        const std::string text = Replace("Il file %s esiste gi\xE0.\nSostituirlo?", "%s", name);
        if (Dialogs().MessageBox(nullptr, text, Title.empty() ? DefaultTitle() : Title,
                                 MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
    }
    if (!IsSave() && Options.Contains(ofFileMustExist) && !FileExists(name)) {
        const std::string text = Replace("Il file %s non esiste.", "%s", name);
        Dialogs().MessageBox(nullptr, text, Title.empty() ? DefaultTitle() : Title, MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}

bool TOpenDialog::Execute()
{
    FileDialogRequest request;
    request.Title = Title.empty() ? DefaultTitle() : Title;
    request.Filter = Filter;
    request.FilterIndex = FilterIndex;
    request.InitialDir = InitialDir;
    request.FileName = FileName;
    request.DefaultExt = FDefaultExt;
    request.Options = static_cast<unsigned>(Options.Bits());
    DoShow();
    bool accepted = false;
    for (;;) {
        FileDialogRequest asked = request;
        if (!(IsSave() ? Dialogs().SaveFile(asked) : Dialogs().OpenFile(asked)))
            break;
        std::string name = asked.FileName;
        if (!AcceptAnswer(name)) {
            request.FileName = asked.FileName;
            request.FilterIndex = asked.FilterIndex;
            continue;
        }
        FileName = name;
        FilterIndex = asked.FilterIndex;
        FFiles->Clear();
        if (Options.Contains(ofAllowMultiSelect) && !asked.Files.empty())
            for (const std::string& file : asked.Files)
                FFiles->Add(file);
        else
            FFiles->Add(FileName);
        accepted = true;
        break;
    }
    DoClose();
    return accepted;
}

TOpenPictureDialog::TOpenPictureDialog(TComponent* AOwner) : TOpenDialog(AOwner) { Filter = GraphicFilter("TGraphic"); }

// --- Font and colour ---------------------------------------------------------------------------------------

std::string WindowsFontFamily(const std::string& family)
{
    if (AnsiSameText(family, "Liberation Sans"))
        return "Arial";
    if (AnsiSameText(family, "Liberation Serif"))
        return "Times New Roman";
    if (AnsiSameText(family, "Liberation Mono"))
        return "Courier New";
    return family;
}

bool TFontDialog::Execute()
{
    FontDialogRequest request;
    request.Font.Assign(&FFont);
    request.Options = Options;
    request.MinFontSize = MinFontSize;
    request.MaxFontSize = MaxFontSize;
    DoShow();
    const bool accepted = Dialogs().ChooseFont(request);
    if (accepted) {
        FFont.Assign(&request.Font);
        FFont.SetName(WindowsFontFamily(FFont.Name()));
    }
    DoClose();
    return accepted;
}

TColorDialog::TColorDialog(TComponent* AOwner) : TCommonDialog(AOwner), FCustomColors(std::make_unique<TStringList>()) {}

TColorDialog::~TColorDialog() = default;

bool TColorDialog::Execute()
{
    ColorDialogRequest request;
    request.Color = Color;
    request.Options = Options;
    for (int i = 0; i < FCustomColors->Count(); ++i)
        request.CustomColors.push_back(FCustomColors->Strings(i));
    DoShow();
    const bool accepted = Dialogs().ChooseColor(request);
    if (accepted) {
        Color = request.Color;
        FCustomColors->Clear();
        for (const std::string& line : request.CustomColors)
            FCustomColors->Add(line);
    }
    DoClose();
    return accepted;
}

// --- Folders -------------------------------------------------------------------------------------------------

bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory)
{
    FolderDialogRequest request;
    request.Title = caption;
    request.Folder = directory.empty() ? root : directory;
    if (!Dialogs().SelectFolder(request))
        return false;
    directory = request.Folder;
    return true;
}

bool SelectDirectory(std::string& directory, TSelectDirOpts options, int)
{
    FolderDialogRequest request;
    request.Title = "Seleziona cartella";
    request.Folder = directory;
    request.Options = static_cast<unsigned>(options.Bits());
    if (!Dialogs().SelectFolder(request))
        return false;
    std::string chosen = request.Folder;
    if (!DirectoryExists(chosen) && options.Contains(sdAllowCreate)) {
        if (options.Contains(sdPrompt)) {
            const std::string text = Replace("La cartella %s non esiste. Crearla?", "%s", chosen);
            if (Dialogs().MessageBox(nullptr, text, "Conferma", MB_YESNO | MB_ICONQUESTION) != IDYES)
                return false;
        }
        if (options.Contains(sdPerformCreate))
            ForceDirectories(chosen);
    }
    directory = chosen;
    return true;
}

namespace {

// What the callback asked of the dialog window before the dialog shows.
struct TBrowseState {
    HWND Window = nullptr;
    std::string Selection;
    bool OkEnabled = true;
};

void BrowseWindowMessage(TBrowseState& state, TMessage& Message)
{
    switch (Message.Msg) {
    case BFFM_SETSELECTION:
        if (Message.WParam)
            state.Selection = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
        else if (!PathFromIDList(reinterpret_cast<LPCITEMIDLIST>(Message.LParam), state.Selection))
            state.Selection.clear();
        Message.Result = TRUE;
        return;
    case BFFM_ENABLEOK:
        state.OkEnabled = Message.LParam != 0;
        return;
    default:
        Message.Result = DefWindowProcA(state.Window, Message.Msg, Message.WParam, Message.LParam);
    }
}

void CopyDisplayName(const std::string& folder, char* buffer)
{
    if (!buffer)
        return;
    std::string name = ExtractFileName(ExcludeTrailingPathDelimiter(folder));
    if (name.empty())
        name = folder;
    const std::size_t count = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::memcpy(buffer, name.data(), count);
    buffer[count] = 0;
}

} // namespace

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info)
{
    if (!info || (info->ulFlags & BIF_BROWSEFORCOMPUTER))
        return nullptr;
    TBrowseState state;
    PathFromIDList(info->pidlRoot, state.Selection);
    HWND window = AllocateHWnd([&state](TMessage& Message) { BrowseWindowMessage(state, Message); });
    state.Window = window;
    struct TWindowEnd {
        HWND Window;
        ~TWindowEnd() { DeallocateHWnd(Window); }
    } windowEnd{window};
    if (info->lpfn) {
        info->lpfn(window, BFFM_INITIALIZED, 0, info->lParam);
        LPITEMIDLIST selected = ILCreateFromPathA(state.Selection.c_str());
        info->lpfn(window, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(selected), info->lParam);
        ILFree(selected);
    }
    FolderDialogRequest request;
    request.Title = info->lpszTitle ? info->lpszTitle : "";
    request.Folder = state.Selection;
    request.Options = info->ulFlags;
    if (!Dialogs().SelectFolder(request))
        return nullptr;
    LPITEMIDLIST chosen = ILCreateFromPathA(request.Folder.c_str());
    if (chosen)
        CopyDisplayName(request.Folder, info->pszDisplayName);
    return chosen;
}

// --- Qt implementations ---------------------------------------------------------------------------------------

namespace {

// "*.PDF" -> "*.[pP][dD][fF]": Windows matches masks without regard to case.
QString CaseFreeMask(const QString& mask)
{
    QString result;
    for (QChar c : mask) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            result += c;
    }
    return result;
}

// Qt name filters from "description|mask;mask|...": the descriptions show as given.
QStringList QtFilters(const std::string& filter)
{
    if (filter.empty())
        return {QStringLiteral("Tutti i file (*)")};
    QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    if (parts.size() % 2 == 1)
        parts.append(parts.back());
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks;
        for (const QString& mask : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            masks << CaseFreeMask(mask.trimmed());
        filters << parts[i] + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    if (filters.isEmpty())
        filters << QStringLiteral("Tutti i file (*)");
    return filters;
}

} // namespace

bool QtOpenFileDialog(FileDialogRequest& request, bool save)
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setWindowTitle(ToQString(request.Title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool multi = (request.Options >> ofAllowMultiSelect) & 1;
    dialog.setFileMode(save ? QFileDialog::AnyFile : multi ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Cerca in:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nome file:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo file:"));
    dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("Salva") : QStringLiteral("Apri"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annulla"));
    const QStringList filters = QtFilters(request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    const QString initial = ToQString(request.InitialDir);
    dialog.setDirectory(!initial.isEmpty() && QDir(initial).exists() ? initial : QDir::homePath());
    if (!request.FileName.empty())
        dialog.selectFile(ToQString(request.FileName));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    request.FileName = ToAnsi(chosen.front());
    request.Files.clear();
    for (const QString& file : chosen)
        request.Files.push_back(ToAnsi(file));
    request.FilterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

bool QtSelectFolderDialog(FolderDialogRequest& request)
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowTitle(ToQString(request.Title));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Cerca in:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Cartella:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annulla"));
    const QString folder = ToQString(request.Folder);
    dialog.setDirectory(!folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    request.Folder = ToAnsi(dialog.selectedFiles().front());
    return true;
}

bool QtChooseFontDialog(FontDialogRequest& request)
{
    QFontDialog dialog;
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("Carattere"));
    QFont initial(ToQString(SubstituteFontName(request.Font.Name())));
    initial.setPointSize(std::max(request.Font.Size(), 1));
    initial.setBold(request.Font.Style().Contains(fsBold));
    initial.setItalic(request.Font.Style().Contains(fsItalic));
    dialog.setCurrentFont(initial);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QFont chosen = dialog.selectedFont();
    request.Font.SetName(WindowsFontFamily(ToAnsi(chosen.family())));
    request.Font.SetSize(chosen.pointSize());
    TFontStyles style;
    if (chosen.bold())
        style.Include(fsBold);
    if (chosen.italic())
        style.Include(fsItalic);
    if (chosen.underline())
        style.Include(fsUnderline);
    if (chosen.strikeOut())
        style.Include(fsStrikeOut);
    request.Font.SetStyle(style);
    return true;
}

bool QtChooseColorDialog(ColorDialogRequest& request)
{
    QColorDialog dialog;
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("Colore"));
    dialog.setCurrentColor(ToQColor(request.Color));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    request.Color = ToTColor(dialog.selectedColor());
    return true;
}
