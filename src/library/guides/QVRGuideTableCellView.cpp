#include "library/guides/QVRGuideTableCellView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "foundation/SafeDictionary.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_WebDownloader.h"

QVRGuideTableCellView::QVRGuideTableCellView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("guideCell"));
    setFixedHeight(kHeight);
    m_previewImageView = new QVR_AsynchronousRenderWebImageView(QRect(0, 0, 100, 73), this);
    m_previewImageView->setFixedSize(100, 73);
    m_titleTextField = new QLabel(this);
    m_titleTextField->setObjectName(QStringLiteral("guideTitle"));
    QFont bold = m_titleTextField->font();
    bold.setBold(true);
    m_titleTextField->setFont(bold);
    m_textField = new QLabel(this);
    m_textField->setObjectName(QStringLiteral("guideDescription"));
    m_textField->setWordWrap(true);
    m_textField->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_separatorView = new QWidget(this);
    m_separatorView->setAttribute(Qt::WA_StyledBackground);
    m_separatorView->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 51);"));
    m_separatorView->setFixedHeight(1);
    for (QLabel* label : {m_titleTextField, m_textField})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_previewImageView->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->addWidget(m_titleTextField);
    texts->addWidget(m_textField, 1);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(6, 5, 6, 5);
    row->addWidget(m_previewImageView);
    row->addLayout(texts, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row, 1);
    column->addWidget(m_separatorView);
}

void QVRGuideTableCellView::setRecord(const QJsonObject& record)
{
    const SafeDictionary guide(record);
    m_titleTextField->setText(guide.stringForKey(QStringLiteral("title")));
    m_textField->setText(guide.stringForKey(QStringLiteral("description")));
    const QString preview = guide.safeDictionaryForKey(QStringLiteral("document_json_published_metadata"))
                                .value_or(SafeDictionary())
                                .stringForKey(QStringLiteral("first_preview_url"));
    const QUrl url(preview);
    if (preview.isEmpty() || !url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return;
    if (auto downloader =
            ZERI_WebDownloader::downloaderForUrl(url, AppPaths::temporary(), ZERI_WebDownloader::Kind::Picture)) {
        m_previewImageView->setDownloader(downloader);
        downloader->downloadAndCache();
    }
}
