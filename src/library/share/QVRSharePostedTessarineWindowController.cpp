#include "library/share/QVRSharePostedTessarineWindowController.h"

#include <iterator>

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/share/QVRFacebookShareWindowController.h"
#include "platform/AlertPresenter.h"
#include "platform/widgets/LinkOpener.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

using ShareLinks::Channel;

constexpr Channel kChannels[] = {Channel::Facebook, Channel::Twitter, Channel::LinkedIn, Channel::Gmail,
                                 Channel::Email};

QLabel* headerLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

PostShareWindowTextField::PostShareWindowTextField(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
}

void PostShareWindowTextField::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    selectAll();
}

void PostShareWindowTextField::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    selectAll();
}

QVRSharePostedTessarineWindowController::QVRSharePostedTessarineWindowController(
    std::shared_ptr<ZERI_TessarineModel> tessarineModel, QWidget* parent)
    : QDialog(parent)
    , m_tessarineModel(std::move(tessarineModel))
{
    setObjectName(QStringLiteral("QVRSharePostedTessarineWindowController"));
    const ShareLinks::Document document =
        m_tessarineModel ? ShareLinks::Document::fromModel(*m_tessarineModel) : ShareLinks::Document();
    const bool published = document.publishURL && !document.publishURL->isEmpty();

    m_titleLabel = new QLabel(this);
    QFont titleFont = m_titleLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    m_titleLabel->setFont(titleFont);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_copyAddressHeaderLabel = headerLabel(UFM::COPY_TESSARINE_ADDRESS_TEXT(), this);
    m_copyAddressField = new PostShareWindowTextField(this);
    m_copyAddressField->setObjectName(QStringLiteral("copyAddressField"));
    m_copyAddressField->setText(ShareLinks::addressFieldText(document));
    m_copyEmbedCodeHeaderLabel = headerLabel(UFM::COPY_TESSARINE_EMBEDCODE_TEXT(), this);
    m_copyEmbedCodeField = new PostShareWindowTextField(this);
    m_copyEmbedCodeField->setObjectName(QStringLiteral("copyEmbedCodeField"));
    m_copyEmbedCodeField->setText(published && m_tessarineModel ? m_tessarineModel->embedCode() : QString());
    // A long code is shown from its beginning, not scrolled to its end.
    m_copyAddressField->setCursorPosition(0);
    m_copyEmbedCodeField->setCursorPosition(0);

    auto* buttons = new QHBoxLayout;
    for (std::size_t i = 0; i < std::size(kChannels); ++i) {
        const Channel channel = kChannels[i];
        auto* button = new QPushButton(ShareLinks::channelName(channel), this);
        button->setObjectName(ShareLinks::channelName(channel) + QStringLiteral("Button"));
        button->setAutoDefault(false);
        button->setEnabled(published);
        connect(button, &QPushButton::clicked, this, [this, channel] { share(channel); });
        m_channelButtons[i] = button;
        buttons->addWidget(button);
    }

    m_doneButton = new QPushButton(UFM::DONE_TEXT(), this);
    m_doneButton->setObjectName(QStringLiteral("doneButton"));
    QPalette palette = m_doneButton->palette();
    palette.setColor(QPalette::ButtonText, Tessutils::tessarineBlackColor());
    m_doneButton->setPalette(palette);
    m_doneButton->setDefault(true);
    connect(m_doneButton, &QPushButton::clicked, this, &QVRSharePostedTessarineWindowController::doneButtonPressed);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(8);
    layout->addWidget(m_titleLabel);
    layout->addSpacing(8);
    layout->addWidget(m_copyAddressHeaderLabel);
    layout->addWidget(m_copyAddressField);
    layout->addWidget(m_copyEmbedCodeHeaderLabel);
    layout->addWidget(m_copyEmbedCodeField);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addStretch(1);
    auto* doneRow = new QHBoxLayout;
    doneRow->addStretch(1);
    doneRow->addWidget(m_doneButton);
    layout->addLayout(doneRow);

    setJustPosted(false);
    resize(600, 400);
}

QVRSharePostedTessarineWindowController::~QVRSharePostedTessarineWindowController() = default;

QVRSharePostedTessarineWindowController*
QVRSharePostedTessarineWindowController::showForDocument(const std::shared_ptr<ZERI_TessarineModel>& tessarineModel,
                                                         QWidget* parent, bool justPosted)
{
    auto* sheet = new QVRSharePostedTessarineWindowController(tessarineModel, parent ? parent->window() : nullptr);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setJustPosted(justPosted);
    sheet->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    sheet->open();
    return sheet;
}

void QVRSharePostedTessarineWindowController::setJustPosted(bool justPosted)
{
    m_justPosted = justPosted;
    m_titleLabel->setText(justPosted ? UFM::TESSARINE_POSTED_TEXT() : UFM::SHARE_YOUR_TESSARINE_TEXT());
    setWindowTitle(m_titleLabel->text());
}

QPushButton* QVRSharePostedTessarineWindowController::shareButton(ShareLinks::Channel channel) const
{
    for (std::size_t i = 0; i < std::size(kChannels); ++i) {
        if (kChannels[i] == channel)
            return m_channelButtons[i];
    }
    return nullptr;
}

void QVRSharePostedTessarineWindowController::share(ShareLinks::Channel channel)
{
    if (!m_tessarineModel || m_networkWindow)
        return;
    const auto url = ShareLinks::shareURL(ShareLinks::Document::fromModel(*m_tessarineModel), channel);
    if (!url || !url->isValid()) {
        qCWarning(lcLibrary) << "nothing to share: the document has no published address";
        return;
    }
    QVRAnalytics::logEvent(QStringLiteral("Sharing Initiated"),
                           {{QStringLiteral("Type"), ShareLinks::channelName(channel)}}, m_tessarineModel);
    if (channel != Channel::Email) {
        openNetworkWindow(channel);
        return;
    }
    if (LinkOpener::shared().openUrl(*url))
        return;
    // Nothing else would show that the button did anything.
    qCWarning(lcLibrary) << "the desktop could not open the share address for" << ShareLinks::channelName(channel);
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = UFM::NO_MAIL_PROGRAM_TEXT();
    AlertPresenter::shared().show(alert, this, {});
}

void QVRSharePostedTessarineWindowController::openNetworkWindow(ShareLinks::Channel channel)
{
    if (channel == Channel::Email)
        return;
    ShareNetworkWindowController* network = channel == Channel::Facebook
                                                ? new QVRFacebookShareWindowController(m_tessarineModel, this)
                                                : new ShareNetworkWindowController(m_tessarineModel, channel, this);
    m_networkWindow = network;
    // Closing the window ends its modal run; the controller (and its window) goes with it.
    network->setOnWebViewCloseBlock([network] { network->deleteLater(); });
    network->window()->setWindowModality(Qt::ApplicationModal);
    network->showWindow();
}
