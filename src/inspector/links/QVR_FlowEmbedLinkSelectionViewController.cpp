#include "inspector/links/QVR_FlowEmbedLinkSelectionViewController.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "creator/CreatorLogging.h"
#include "foundation/Tessutils.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

QString QVR_FlowEmbedLinkSelectionViewController::cleanedStringID(const QString& text)
{
    static const QRegularExpression shortLink(QStringLiteral("\\/s\\/([^\\/\\s?]+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString value = text.toLower();
    const QRegularExpressionMatch match = shortLink.match(value);
    if (match.hasMatch())
        value = match.captured(1);
    for (const QChar c : value)
        if (!c.isLetterOrNumber())
            return {};
    return value;
}

int QVR_FlowEmbedLinkSelectionViewController::leadingInteger(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?\\d+"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return -1;
    bool ok = false;
    const int value = match.captured(0).trimmed().toInt(&ok);
    return ok ? value : -1;
}

void QVR_FlowEmbedLinkSelectionViewController::loadView()
{
    QWidget* view = makePageView();
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(40, 24, 40, 16);
    column->setSpacing(12);
    auto* title = makeLabel(QStringLiteral("Set Flow Link"), view, true);
    auto* detail = makeLabel(QStringLiteral("Link to another published flow by its ID or its short link, and"
                                            " optionally to one of its screens."),
                             view);
    column->addStretch(1);
    column->addWidget(title);
    column->addWidget(detail);

    auto* form = new QFormLayout;
    auto* stringIDLabel = makeLabel(QStringLiteral("Flow ID"), view);
    auto* screenIDLabel = makeLabel(QStringLiteral("Screen"), view);
    m_stringIDField = new QLineEdit(view);
    m_stringIDField->setMinimumWidth(320);
    m_screenIDField = new QLineEdit(view);
    m_screenIDField->setMaximumWidth(120);
    form->addRow(stringIDLabel, m_stringIDField);
    form->addRow(screenIDLabel, m_screenIDField);
    // The fields keep their own widths, centred with the rest of the page.
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    auto* centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addLayout(form);
    centred->addStretch(1);
    column->addLayout(centred);
    m_problemLabel = makeProblemLabel(view);
    column->addWidget(m_problemLabel);
    column->addStretch(2);
    // Tab goes from the id to the screen number.
    QWidget::setTabOrder(m_stringIDField, m_screenIDField);

    auto* buttons = new QHBoxLayout;
    m_clearButton = makeTextButton(QStringLiteral("Clear Link"), view);
    m_saveButton = makeTextButton(QStringLiteral("Save Link"), view);
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    column->addLayout(buttons);
    connect(m_stringIDField, &QLineEdit::textEdited, this, [this] { stringIDTextFieldChanged(); });
    connect(m_screenIDField, &QLineEdit::textEdited, this, [this] { screenIDTextFieldChanged(); });
    // Return in either field saves, as Done does on the other link pages.
    for (QLineEdit* field : {m_stringIDField.data(), m_screenIDField.data()}) {
        connect(field, &QLineEdit::returnPressed, this, [this] { saveLinkButtonPressed(); });
        connect(field, &QLineEdit::textEdited, m_problemLabel, &QWidget::hide);
    }
    connect(m_saveButton, &QPushButton::clicked, this, [this] { saveLinkButtonPressed(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { clearLinkButtonPressed(); });
    setTitle(title->text());
    setView(view);
    updateViews();

    QPointer<QLineEdit> field = m_stringIDField;
    QTimer::singleShot(0, this, [field] {
        if (field)
            field->setFocus();
    });
}

void QVR_FlowEmbedLinkSelectionViewController::updateViews()
{
    setTextFieldsFromMixedMediaObject(mixedMediaObject());
}

void QVR_FlowEmbedLinkSelectionViewController::setTextFieldsFromMixedMediaObject(const Proxy& object)
{
    if (!m_stringIDField || !m_screenIDField || !m_clearButton)
        return;
    m_stringIDField->clear();
    m_screenIDField->clear();
    const auto action = object && object->object() ? (*object)->action() : nullptr;
    m_clearButton->setVisible(action != nullptr);
    const auto web = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>(action);
    if (!web || !Tessutils::isFlowLink(web->weblinkText()))
        return;
    const QString link = web->weblinkText();
    const std::optional<QString> stringID = Tessutils::stringIDFromEmbedFlowLink(link);
    if (!stringID)
        return;
    m_stringIDField->setText(*stringID);

    // Where the screen is now in the local copy of that document, when there is one.
    const std::optional<QString> screenID = Tessutils::screenIDFromEmbedFlowLink(link);
    if (screenID && !stringID->isEmpty()) {
        const auto package = ZERI_qvdFilePackage::packageForStringID(*stringID);
        const auto document = package ? package->model() : nullptr;
        const auto flow = document ? document->firstFlowmodel() : nullptr;
        const auto screen = flow ? flow->screenWithID(*screenID) : nullptr;
        if (screen) {
            m_screenIDField->setText(QString::number(flow->indexOfFlowScreen(screen) + 1));
            return;
        }
    }
    if (const std::optional<QString> index = Tessutils::screenIndexFromEmbedFlowLink(link)) {
        bool ok = false;
        const qint64 value = index->trimmed().toLongLong(&ok);
        if (ok && value >= 0 && value < std::numeric_limits<int>::max())
            m_screenIDField->setText(QString::number(value + 1));
    }
}

QString QVR_FlowEmbedLinkSelectionViewController::getStringIDValueFromStringIDTextField() const
{
    return m_stringIDField ? cleanedStringID(m_stringIDField->text()) : QString();
}

int QVR_FlowEmbedLinkSelectionViewController::getIndexValueFromScreenIDTextField() const
{
    return m_screenIDField ? leadingInteger(m_screenIDField->text()) : -1;
}

void QVR_FlowEmbedLinkSelectionViewController::stringIDTextFieldChanged()
{
    if (m_stringIDField)
        m_stringIDField->setText(getStringIDValueFromStringIDTextField());
}

void QVR_FlowEmbedLinkSelectionViewController::screenIDTextFieldChanged()
{
    if (!m_screenIDField)
        return;
    const int value = getIndexValueFromScreenIDTextField();
    m_screenIDField->setText(value >= 1 ? QString::number(value) : QString());
}

bool QVR_FlowEmbedLinkSelectionViewController::saveLinkButtonPressed()
{
    qCDebug(lcCreator) << "saveLinkButtonPressed";
    const Proxy object = mixedMediaObject();
    if (object && object->object() && (*object)->isLinkable() && liveFlowOf(object)) {
        const QString stringID = getStringIDValueFromStringIDTextField();
        if (stringID.isEmpty()) {
            m_problemLabel->setText(QStringLiteral("Type the ID of a published flow, or paste its short link."));
            m_problemLabel->show();
            return false;
        }
        const int number = getIndexValueFromScreenIDTextField();
        const int index = number >= 1 ? number - 1 : 0;
        const std::optional<QString> url =
            Tessutils::embeddedFlowLinkWithStringID(stringID, QString(), QString::number(index));
        if (url) {
            const auto flow = liveFlowOf(object);
            const QString text = *url;
            setActions({object}, [&text] { return ZERI_MMAction_WebLink::createWithText(text); });
            QVRAnalytics::logEvent(QStringLiteral("Nestception Link Set"),
                                   {{QStringLiteral("Nestception StringID"), stringID}},
                                   flow->nearestParentItemOfClass<ZERI_TessarineModel>());
        }
    }
    dismissPanel();
    return true;
}

void QVR_FlowEmbedLinkSelectionViewController::clearLinkButtonPressed()
{
    setActions({mixedMediaObject()}, nullptr);
    returnToChooser();
}
