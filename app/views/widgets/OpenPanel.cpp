#include <views/widgets/OpenPanel.h>

#include <views/widgets/SheetRunner.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace quillory {

std::optional<QString> OpenPanel::chooseImage(QWidget *parent, const SheetRunner &sheets)
{
    return choose(parent, QStringLiteral("Add Image"), imageFilter(), sheets);
}

std::optional<QString> OpenPanel::chooseDocument(QWidget *parent, const SheetRunner &sheets)
{
    return choose(parent, QStringLiteral("Add Document"), documentFilter(), sheets);
}

std::optional<QString> OpenPanel::choose(QWidget *parent, const QString &title,
                                         const QString &filter, const SheetRunner &sheets)
{
    QFileDialog panel(parent, title);
    panel.setObjectName(QStringLiteral("openPanel"));
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setNameFilter(filter);
    panel.setDirectory(startFolder());
    sheets.run(panel);
    const QStringList files = panel.selectedFiles();
    if (panel.result() != QDialog::Accepted || files.isEmpty())
        return std::nullopt;
    return files.first();
}

QString OpenPanel::startFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString OpenPanel::imageFilter()
{
    const QMimeDatabase mimes;
    QStringList globs;
    for (const QByteArray &name : QImageReader::supportedMimeTypes())
        globs += mimes.mimeTypeForName(QString::fromLatin1(name)).globPatterns();
    globs.sort();
    globs.removeDuplicates();
    return QStringLiteral("Images (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString OpenPanel::documentFilter()
{
    static const char *const globs =
        "*.pdf *.txt *.text *.md *.markdown *.rtf *.rtfd *.doc *.docx *.odt *.pages *.epub "
        "*.xls *.xlsx *.ods *.numbers *.csv *.tsv *.ppt *.pptx *.odp *.key "
        "*.c *.h *.cc *.cpp *.cxx *.hpp *.m *.mm *.swift *.py *.rb *.js *.ts *.java *.kt "
        "*.go *.rs *.sh *.pl *.php *.cs *.sql *.json *.xml *.yaml *.yml *.toml *.css "
        "*.html *.htm *.xhtml";
    return QStringLiteral("Documents (") + QString::fromLatin1(globs) + QLatin1Char(')');
}

} // namespace quillory
