// The help viewer: shows the page named by its one argument, with the page's title as window
// title. Links inside the help folder are followed here; any other link opens on the desktop.
// Pages are Windows-1252 unless they declare another character set.

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QUrl>

namespace {

// The page's declared character set, "" when none.
QByteArray CharsetDichiarato(const QByteArray& pagina)
{
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch trovato = charset.match(QString::fromLatin1(pagina.left(4096)));
    return trovato.hasMatch() ? trovato.captured(1).toLatin1() : QByteArray();
}

QString Decodifica(const QByteArray& pagina)
{
    const QByteArray dichiarato = CharsetDichiarato(pagina);
    if (!dichiarato.isEmpty()) {
        QStringDecoder decoder(dichiarato.constData());
        if (decoder.isValid())
            return decoder(pagina);
    }
    QStringDecoder windows1252("windows-1252");
    if (windows1252.isValid())
        return windows1252(pagina);
    return QString::fromLatin1(pagina);
}

// The argument as a local path: the program hands Windows paths, with backslashes.
QString PercorsoLocale(QString argomento)
{
    if (argomento.size() >= 2 && argomento.startsWith(QLatin1Char('"')) && argomento.endsWith(QLatin1Char('"')))
        argomento = argomento.mid(1, argomento.size() - 2);
    argomento.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return argomento;
}

class TGuida : public QTextBrowser {
public:
    explicit TGuida(const QString& cartella) : FCartella(QDir::cleanPath(QDir(cartella).absolutePath()))
    {
        setOpenLinks(false);
        connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) { Segui(link); });
    }

    void Mostra(const QString& percorso)
    {
        QFile file(percorso);
        if (!file.open(QIODevice::ReadOnly)) {
            setPlainText(QStringLiteral("Pagina non trovata: ") + percorso);
            setWindowTitle(QStringLiteral("Guida"));
            return;
        }
        setSearchPaths({QFileInfo(percorso).absolutePath()});
        setHtml(Decodifica(file.readAll()));
        document()->setMetaInformation(QTextDocument::DocumentUrl,
                                       QUrl::fromLocalFile(QFileInfo(percorso).absoluteFilePath()).toString());
        FPagina = QFileInfo(percorso).absoluteFilePath();
        const QString titolo = documentTitle().trimmed();
        setWindowTitle(titolo.isEmpty() ? QFileInfo(percorso).fileName() : titolo);
    }

private:
    void Segui(const QUrl& link)
    {
        if (link.scheme().isEmpty() || link.isLocalFile()) {
            const QString relativo = link.isLocalFile() ? link.toLocalFile() : link.path();
            if (relativo.isEmpty()) {
                if (!link.fragment().isEmpty())
                    scrollToAnchor(link.fragment());
                return;
            }
            const QString destinazione =
                QDir::cleanPath(QFileInfo(relativo).isAbsolute()
                                    ? relativo
                                    : QFileInfo(FPagina).absolutePath() + QLatin1Char('/') + relativo);
            if (destinazione.startsWith(FCartella + QLatin1Char('/'))) {
                Mostra(destinazione);
                if (!link.fragment().isEmpty())
                    scrollToAnchor(link.fragment());
                return;
            }
            QDesktopServices::openUrl(QUrl::fromLocalFile(destinazione));
            return;
        }
        QDesktopServices::openUrl(link);
    }

    QString FCartella;
    QString FPagina;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication applicazione(argc, argv);
    const QStringList argomenti = applicazione.arguments();
    const QString pagina = argomenti.size() > 1 ? PercorsoLocale(argomenti.at(1)) : QString();
    TGuida guida(QFileInfo(QCoreApplication::applicationFilePath()).absolutePath());
    guida.resize(800, 600);
    guida.Mostra(pagina);
    guida.show();
    return applicazione.exec();
}
