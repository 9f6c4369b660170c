#include <views/dialogs/KeptCopyReader.h>

#include <views/dialogs/ReadingDocument.h>
#include <views/widgets/DisplayText.h>

#include <pages/KeptPages.h>
#include <util/BackgroundWork.h>

#include <QDateTime>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillory {

namespace {

// A text view that loads nothing: no picture, style sheet or page, remote or local,
// whatever a document asks for.
class SealedBrowser final : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int, const QUrl &) override { return {}; }
};

} // namespace

KeptCopyReader::KeptCopyReader(KeptPages &pages, const QUuid &itemId, const QString &itemTitle,
                               const QString &searchText, LinkHandler openLink, QWidget *parent)
    : QWidget(parent, Qt::Window), m_itemId(itemId),
      m_words(ReadingDocument::searchWords(searchText)), m_openLink(std::move(openLink))
{
    setObjectName(u"keptCopyReader"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(DisplayText::bounded(itemTitle) + u" \u2014 Kept Copy"_s);
    resize(760, 820);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *header = new QWidget(this);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(20, 14, 20, 10);
    headerLayout->setSpacing(2);
    m_kept = new QLabel(u"Opening the kept copy\u2026"_s, header);
    m_kept->setObjectName(u"keptLine"_s);
    m_kept->setTextFormat(Qt::PlainText);
    m_kept->setWordWrap(true);
    m_kept->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_kept->setForegroundRole(QPalette::PlaceholderText);
    headerLayout->addWidget(m_kept);
    layout->addWidget(header);

    auto *browser = new SealedBrowser(this);
    m_text = browser;
    m_text->setObjectName(u"keptText"_s);
    m_text->setOpenLinks(false);
    m_text->setOpenExternalLinks(false);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->document()->setDocumentMargin(24);
    QFont readingFont = m_text->font();
    readingFont.setPointSizeF(readingFont.pointSizeF() * 1.15);
    m_text->setFont(readingFont);
    m_text->document()->setDefaultStyleSheet(
        u"p, li { line-height: 135%; } blockquote { font-style: italic; }"_s);
    connect(m_text, &QTextBrowser::anchorClicked, this, &KeptCopyReader::followLink);
    layout->addWidget(m_text, 1);

    // Where a link leads, shown before it is followed.
    m_hovered = new QLabel(this);
    m_hovered->setObjectName(u"hoveredLink"_s);
    m_hovered->setTextFormat(Qt::PlainText);
    m_hovered->setContentsMargins(8, 2, 8, 2);
    m_hovered->hide();
    connect(m_text, &QTextBrowser::highlighted, this, [this](const QUrl &anchor) {
        const QUrl target = ReadingDocument::linkOf(anchor, m_links);
        m_hovered->setText(DisplayText::bounded(target.toDisplayString()));
        m_hovered->setVisible(!target.isEmpty());
    });
    layout->addWidget(m_hovered);

    auto *close = new QShortcut(this);
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence &key :
         {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)})
        if (!closeKeys.contains(key))
            closeKeys.append(key);
    close->setKeys(closeKeys);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    pages.read(itemId, this, [this](std::optional<KeptReading> reading) { present(reading); });
}

KeptCopyReader::~KeptCopyReader() = default;

QString KeptCopyReader::keptLine() const
{
    return m_kept->text();
}

void KeptCopyReader::present(const std::optional<KeptReading> &reading)
{
    if (!reading) {
        m_kept->setText(u"This page has no kept copy any more."_s);
        return;
    }
    const QDateTime kept = QDateTime::fromMSecsSinceEpoch(reading->fetchedAt).toLocalTime();
    const QString line = u"Kept "_s + QLocale().toString(kept.date(), u"MMM d, yyyy"_s) +
                         u" from "_s + DisplayText::bounded(reading->finalUrl);
    // A megabyte of text takes a while to mark up; only taking it in needs this thread.
    BackgroundWork::run<ReadingDocument::Built>(
        this,
        [text = reading->text, words = m_words] { return ReadingDocument::build(text, words); },
        [this, line](ReadingDocument::Built built) {
            m_links = std::move(built.links);
            m_text->setHtml(built.html);
            m_kept->setText(line);
        });
}

void KeptCopyReader::followLink(const QUrl &anchor)
{
    const QUrl target = ReadingDocument::linkOf(anchor, m_links);
    if (target.isValid() && m_openLink)
        m_openLink(target);
}

} // namespace quillory
