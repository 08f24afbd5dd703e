#include "library/guides/QVRGuideViewerViewController.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QRegion>
#include <QResizeEvent>
#include <QTimer>
#include <QGridLayout>
#include <QVBoxLayout>

#include "controls/QVRGreyHighlightTableRowView.h"
#include "foundation/SafeDictionary.h"
#include "library/LibraryLogging.h"
#include "library/guides/QVRGuideTableCellView.h"
#include "platform/Json.h"
#include "service/ServiceReachability.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerOptionalControllsView.h"
#include "viewer/QVR_TessarineViewerView.h"

namespace {

// A 30 × 30 spinning ring, shown only while it runs.
class GuideSpinner : public QWidget {
public:
    explicit GuideSpinner(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(30, 30);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
        hide();
    }
    void start()
    {
        m_timer.start();
        show();
        raise();
    }
    void stop()
    {
        m_timer.stop();
        hide();
    }
    bool isRunning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(120, 120, 120), 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(rect().adjusted(3, 3, -3, -3), -m_angle * 16, 270 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

} // namespace

QVRGuideViewerViewController::QVRGuideViewerViewController(QObject* parent)
    : ViewController(parent)
{
}

QVRGuideViewerViewController::~QVRGuideViewerViewController()
{
    if (auto request = std::move(m_activeOpenRequest))
        request->cancel();
    if (m_listRequest)
        m_listRequest->cancel();
}

void QVRGuideViewerViewController::loadView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("guidePanel"));
    view->setAttribute(Qt::WA_StyledBackground);
    view->setStyleSheet(QStringLiteral("#guidePanel { background: white; border-radius: %1px; }").arg(kCornerRadius));
    view->setMinimumSize(320, 460);

    m_tableView = new QListWidget(view);
    m_tableView->setObjectName(QStringLiteral("guideList"));
    m_tableView->setItemDelegate(new QVRGreyHighlightTableRowView::Delegate(m_tableView));
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setMinimumWidth(300);
    // The list lies on the panel's own white, without a frame or a square background of its own: empty, it shows
    // the plain panel.
    m_tableView->setFrameShape(QFrame::NoFrame);
    QPalette listPalette = m_tableView->palette();
    listPalette.setColor(QPalette::Base, Qt::transparent);
    m_tableView->setPalette(listPalette);
    m_tableView->installEventFilter(this);
    m_tableObject = m_tableView.data();
    connect(m_tableView, &QListWidget::itemSelectionChanged, this,
            &QVRGuideViewerViewController::tableViewSelectionDidChange);

    auto* separator = new QWidget(view);
    separator->setAttribute(Qt::WA_StyledBackground);
    separator->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 51);"));
    separator->setFixedWidth(1);

    m_documentArea = new QWidget(view);
    m_documentArea->setObjectName(QStringLiteral("guideDocumentArea"));
    m_documentArea->setFixedWidth(0);
    m_titleTextField = new QLabel(m_documentArea);
    m_titleTextField->setObjectName(QStringLiteral("guideTitleField"));
    m_descriptionTextField = new QLabel(m_documentArea);
    m_descriptionTextField->setObjectName(QStringLiteral("guideDescriptionField"));
    m_descriptionTextField->setWordWrap(true);
    m_tessarineHolderView = new QWidget(m_documentArea);
    m_tessarineHolderView->setObjectName(QStringLiteral("tessarineHolderView"));

    m_viewerViewController = new QVRViewerViewController(this);
    // The player fills the document area with the hover-revealed page buttons over it; they take the player's
    // page changes.
    auto* holderLayout = new QGridLayout(m_tessarineHolderView);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(m_viewerViewController->view(), 0, 0);
    m_viewerViewController->view()->setStyleSheet(QStringLiteral("background: lightgrey;"));
    m_viewerControllsView = new QVRViewerOptionalControllsView(m_tessarineHolderView);
    m_viewerControllsView->setObjectName(QStringLiteral("viewerControllsView"));
    holderLayout->addWidget(m_viewerControllsView, 0, 0);
    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    m_viewerControllsView->setTheViewer(player);
    player->setDelegate(m_viewerControllsView);
    // The hover controls page the player here: the controller's own buttons take no room.
    m_viewerViewController->setMinimumButtonWidth(0);

    auto* areaLayout = new QVBoxLayout(m_documentArea);
    areaLayout->setContentsMargins(8, 8, 8, 8);
    areaLayout->addWidget(m_titleTextField);
    areaLayout->addWidget(m_descriptionTextField);
    areaLayout->addWidget(m_tessarineHolderView, 1);

    auto* row = new QHBoxLayout(view);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_tableView, 1);
    row->addWidget(separator);
    row->addWidget(m_documentArea);

    auto* spinner = new GuideSpinner(m_tableView);
    m_spinner = spinner;
    // Said in the list's place while the service cannot be reached, as the other offline states say it.
    m_noticeLabel = new QLabel(m_tableView);
    m_noticeLabel->setObjectName(QStringLiteral("guideServiceNotice"));
    m_noticeLabel->setWordWrap(true);
    m_noticeLabel->setAlignment(Qt::AlignCenter);
    m_noticeLabel->setStyleSheet(QStringLiteral("color: #2B83C0; font: bold 16px; background: transparent;"));
    m_noticeLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_noticeLabel->hide();
    view->installEventFilter(this);
    m_viewObject = view;
    setView(view);

    spinner->start();
    QPointer<QVRGuideViewerViewController> self(this);
    m_listRequest =
        ZERI_APIBinding::getHelpTessarinesList(QStringLiteral("En"), [self](const QString& text, const QString&) {
            if (self)
                self->listReplied(text);
        });
}

bool QVRGuideViewerViewController::eventFilter(QObject* watched, QEvent* event)
{
    // Compared as plain objects: events also come while the list and the view are being destroyed.
    if (event->type() == QEvent::Resize && watched == m_tableObject) {
        if (m_spinner) {
            const QSize size = static_cast<QWidget*>(watched)->size();
            m_spinner->move((size.width() - 30) / 2, (size.height() - 30) / 2);
        }
        placeNotice();
    }
    if (event->type() == QEvent::Resize && watched == m_viewObject)
        roundCorners();
    if (event->type() == QEvent::Show && watched == m_viewObject)
        viewWasAddedToWindow();
    if (event->type() == QEvent::ParentChange && watched == m_viewObject)
        followParent();
    // Floating over a window, the panel keeps its distance from the window's right edge when the window's size
    // changes.
    if (event->type() == QEvent::Resize && watched == m_floatingParent && m_floatingParent) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        if (resize->oldSize().isValid() && m_viewObject) {
            QWidget* panel = view();
            panel->move(panel->x() + resize->size().width() - resize->oldSize().width(), panel->y());
        }
    }
    return ViewController::eventFilter(watched, event);
}

void QVRGuideViewerViewController::followParent()
{
    if (m_floatingParent)
        m_floatingParent->removeEventFilter(this);
    QWidget* parent = view()->parentWidget();
    // A parent that lays the panel out moves it itself.
    m_floatingParent = parent && !parent->layout() ? parent : nullptr;
    if (m_floatingParent)
        m_floatingParent->installEventFilter(this);
}

void QVRGuideViewerViewController::roundCorners()
{
    // What the panel holds (the list's selection, the player) is cut to its rounded outline too.
    QWidget* panel = view();
    QPainterPath outline;
    outline.addRoundedRect(QRectF(panel->rect()), kCornerRadius, kCornerRadius);
    panel->setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void QVRGuideViewerViewController::placeNotice()
{
    if (!m_noticeLabel || !m_tableView)
        return;
    const int width = std::max(0, m_tableView->width() - 40);
    const int height = std::min(m_noticeLabel->heightForWidth(width), m_tableView->height());
    m_noticeLabel->setGeometry(20, (m_tableView->height() - height) / 2, width, height);
}

QString QVRGuideViewerViewController::serviceNoticeShown()
{
    view();
    return m_noticeLabel->isVisibleTo(view()) ? m_noticeLabel->text() : QString();
}

void QVRGuideViewerViewController::viewWasAddedToWindow()
{
    if (m_tableView && view()->window())
        m_tableView->setFocus();
}

QListWidget* QVRGuideViewerViewController::tableView()
{
    view();
    return m_tableView;
}

QWidget* QVRGuideViewerViewController::tessarineHolderView()
{
    view();
    return m_tessarineHolderView;
}

QLabel* QVRGuideViewerViewController::titleTextField()
{
    view();
    return m_titleTextField;
}

QLabel* QVRGuideViewerViewController::descriptionTextField()
{
    view();
    return m_descriptionTextField;
}

QVRViewerViewController* QVRGuideViewerViewController::viewerViewController()
{
    view();
    return m_viewerViewController;
}

bool QVRGuideViewerViewController::isSpinnerRunning() const
{
    return m_spinner && static_cast<GuideSpinner*>(m_spinner.data())->isRunning();
}

int QVRGuideViewerViewController::tessarineAreaWidth() const
{
    return m_documentArea ? m_documentArea->width() : 0;
}

void QVRGuideViewerViewController::setTessarineAreaWidth(int width)
{
    if (!m_documentArea)
        return;
    m_documentArea->setFixedWidth(width);
    // A panel floating over a window (not laid out by its parent) grows with its document area, towards the
    // left: it keeps its place at the window's right edge.
    QWidget* panel = view();
    if (panel->parentWidget() && !panel->parentWidget()->layout()) {
        const int right = panel->geometry().right();
        panel->adjustSize();
        panel->move(right + 1 - panel->width(), panel->y());
    }
}

void QVRGuideViewerViewController::listReplied(const QString& text)
{
    m_listRequest.reset();
    const auto reply = Json::readObject(text.toUtf8());
    qCDebug(lcLibrary).noquote() << "guide list:" << text.left(2000);
    const SafeDictionary dict(reply.value_or(QJsonObject()));
    if (!reply)
        qCWarning(lcLibrary) << "the help list reply is not a JSON object";
    if (dict.contains(QStringLiteral("error")))
        qCWarning(lcLibrary) << "There was an error getting the tessarines help list";
    if (m_spinner)
        static_cast<GuideSpinner*>(m_spinner.data())->stop();
    const bool unreachable = ServiceReply::parse(text).outcome == ServiceReply::Outcome::ConnectionFailure;
    const QJsonValue list = dict.safeDictionaryForKey(QStringLiteral("help_list"))
                                .value_or(SafeDictionary())
                                .valueForKey(QStringLiteral("tessarine"));
    if (!list.isArray() && !list.isUndefined())
        qCWarning(lcLibrary) << "the help list's guides are not a list";
    for (const QJsonValue& guide : list.toArray()) {
        if (guide.isObject())
            m_tessarinesArray.append(guide);
        else
            qCWarning(lcLibrary) << "a guide that is not a record is skipped:" << guide;
    }
    respondToRecievingTessarinesList();
    // An empty list says why it is empty: the service could not be reached, or it has no guide to list.
    if (m_tessarinesArray.isEmpty() && m_noticeLabel) {
        m_noticeLabel->setText(unreachable ? ServiceReachability::unreachableText() : UFM::GUIDES_NONE_LISTED());
        placeNotice();
        m_noticeLabel->show();
        m_noticeLabel->raise();
    }
}

void QVRGuideViewerViewController::respondToRecievingTessarinesList()
{
    view();
    const QSignalBlocker blocker(m_tableView);
    m_tableView->clear();
    for (const QJsonValue& guide : std::as_const(m_tessarinesArray)) {
        auto* item = new QListWidgetItem(m_tableView);
        item->setSizeHint(QSize(0, QVRGuideTableCellView::kHeight));
        auto* cell = new QVRGuideTableCellView;
        cell->setRecord(guide.toObject());
        m_tableView->setItemWidget(item, cell);
    }
}

void QVRGuideViewerViewController::tableViewSelectionDidChange()
{
    const QList<QListWidgetItem*> selected = m_tableView->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = m_tableView->row(selected.front());
    if (row < 0 || row >= m_tessarinesArray.size())
        return;

    if (tessarineAreaWidth() != kTessarineAreaWidth &&
        (!m_widthAnimation || m_widthAnimation->state() != QAbstractAnimation::Running)) {
        auto* animation = new QPropertyAnimation(this, "tessarineAreaWidth", this);
        animation->setDuration(250);
        animation->setStartValue(tessarineAreaWidth());
        animation->setEndValue(kTessarineAreaWidth);
        m_widthAnimation = animation;
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    }

    const SafeDictionary guide(m_tessarinesArray.at(row).toObject());
    m_titleTextField->setText(guide.stringForKey(QStringLiteral("title")));
    m_descriptionTextField->setText(guide.stringForKey(QStringLiteral("description")));

    if (auto previous = std::move(m_activeOpenRequest))
        previous->cancel();
    const QString stringID = guide.stringForKey(QStringLiteral("string_id"));
    if (stringID.isEmpty()) {
        qCWarning(lcLibrary) << "the guide" << guide.stringForKey(QStringLiteral("title")) << "has no string id";
        return;
    }
    auto request = QVROpenRequest::request();
    m_activeOpenRequest = request;
    request->setDelegate(this);
    request->setOptions(kOpenOptions);
    request->setOpenCue(stringID);
    QPointer<QVRGuideViewerViewController> self(this);
    std::weak_ptr<QVROpenRequest> weakRequest = request;
    request->open([self, weakRequest](const Error& error) {
        if (self && self->m_activeOpenRequest == weakRequest.lock())
            self->m_activeOpenRequest.reset();
        if (!error.isNull())
            qCWarning(lcLibrary).noquote() << "Error opening Tessarine. Error:" << error.message;
    });
}

void QVRGuideViewerViewController::openRequesterWantsToDisplayLoadingView(QObject* loadingView)
{
    if (auto* widget = qobject_cast<QWidget*>(loadingView))
        m_viewerViewController->addLoadingView(widget);
}

void QVRGuideViewerViewController::openRequesterHasFinishedLoadingModel(
    const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model)
        return;
    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    player->setOriginalTessarineModel(model);
    player->setFlowModel(model->firstFlowmodel());
    m_viewerViewController->dismissAnyModalView();
}
