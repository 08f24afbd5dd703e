#include "library/themes/QVR_TemplateChooserViewController.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QEvent>
#include <QJsonArray>
#include <QJsonObject>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "library/LibraryLogging.h"
#include "library/themes/QVR_TemplateChooserCollectionView.h"
#include "library/themes/QVR_TemplateChooserThumbnailController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "platform/AlertPresenter.h"
#include "platform/Json.h"
#include "service/QVB_TessarinePrecacheHelper.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

double s_retrySeconds = 1.0;
std::function<void(ZERI_TessarineModel&)> s_newDocumentHook;

// Keeps a child covering its parent when the parent is resized (a view over the whole chooser, outside its layout).
class SizeFollower : public QObject {
public:
    explicit SizeFollower(QWidget* follower)
        : QObject(follower)
        , m_follower(follower)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched == m_follower->parentWidget())
            m_follower->setGeometry(m_follower->parentWidget()->rect());
        return false;
    }

private:
    QWidget* m_follower;
};

// All images with the sources of cropped ones, media and galleries (screen previews always come).
constexpr int kPrecacheOptions =
    QVB_TessarinePrecacheHelper::AllImagesAndSources | QVB_TessarinePrecacheHelper::MediaAndGalleries;

// Removes a half-made new document's package, so a failed create leaves nothing behind.
void discardPackage(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model)
        return;
    if (auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage())) {
        Error error;
        if (!package->deletePackage(&error))
            qCWarning(lcLibrary).noquote() << "cannot remove the new document's package:" << error.message;
    }
}

} // namespace

QVR_TemplateChooserViewController::QVR_TemplateChooserViewController(QObject* parent)
    : NavigationControllerFriendlyViewController(parent)
    , m_precacheManager(std::make_unique<QVBPrecacheManager>())
{
    m_precacheManager->setDelegate(this);
}

QVR_TemplateChooserViewController::~QVR_TemplateChooserViewController()
{
    m_themesObservation = NotificationObservation();
    if (m_precacheManager) {
        m_precacheManager->setDelegate(nullptr);
        m_precacheManager->resetEverything();
    }
    setDownloadingTheme(nullptr);
    delete m_previewVC.data();
}

void QVR_TemplateChooserViewController::setSampleRetrySecondsForTesting(double seconds)
{
    s_retrySeconds = seconds > 0 ? seconds : 1.0;
}

void QVR_TemplateChooserViewController::setNewDocumentHookForTesting(std::function<void(ZERI_TessarineModel&)> hook)
{
    s_newDocumentHook = std::move(hook);
}

void QVR_TemplateChooserViewController::loadView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("templateChooser"));

    m_chooseTemplateLabel = new QLabel(UFM::CHOOSE_ONE_OF_OUR_TEMPLATES(), view);
    m_chooseTemplateLabel->setObjectName(QStringLiteral("chooseTemplateLabel"));
    m_chooseTemplateLabel->setAlignment(Qt::AlignCenter);
    m_chooseTemplateLabel->setStyleSheet(QStringLiteral("color: white;"));

    m_collectionView = new QVR_TemplateChooserCollectionView(view);
    const QRect item = QVR_TemplateChooserCollectionView::itemFrame(0);
    m_collectionView->setFixedSize(2 * item.width(), QVR_TemplateChooserCollectionView::kRows * item.height());

    const QString pagingStyle =
        QStringLiteral("QPushButton { background: rgba(0, 0, 0, 204); color: white; border: none; font-size: 24px; }");
    m_previousPageButton = new QPushButton(QStringLiteral("‹"), view);
    m_previousPageButton->setObjectName(QStringLiteral("previousPageButton"));
    m_nextPageButton = new QPushButton(QStringLiteral("›"), view);
    m_nextPageButton->setObjectName(QStringLiteral("nextPageButton"));
    for (QPushButton* button : {m_previousPageButton.data(), m_nextPageButton.data()}) {
        button->setStyleSheet(pagingStyle);
        button->setFixedSize(40, 80);
        // A hidden button keeps its place: the grid stays put and the window's least width holds both buttons.
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
    }
    connect(m_nextPageButton, &QPushButton::clicked, this, &QVR_TemplateChooserViewController::nextPageButtonPressed);
    connect(m_previousPageButton, &QPushButton::clicked, this,
            &QVR_TemplateChooserViewController::previousButtonPessed);

    auto* row = new QHBoxLayout;
    row->addWidget(m_previousPageButton, 0, Qt::AlignVCenter);
    row->addWidget(m_collectionView, 1, Qt::AlignCenter);
    row->addWidget(m_nextPageButton, 0, Qt::AlignVCenter);
    // While the service cannot be reached only the scratch tile (and templates seen before) can be offered.
    m_serviceNoticeLabel = new QLabel(view);
    m_serviceNoticeLabel->setObjectName(QStringLiteral("serviceNoticeLabel"));
    m_serviceNoticeLabel->setAlignment(Qt::AlignCenter);
    m_serviceNoticeLabel->setWordWrap(true);
    m_serviceNoticeLabel->setStyleSheet(QStringLiteral("color: #F5B041;"));
    m_serviceNoticeLabel->hide();
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(12, 12, 12, 12);
    column->addWidget(m_chooseTemplateLabel);
    column->addWidget(m_serviceNoticeLabel);
    column->addLayout(row, 1);

    m_loadingViewPlacementView = new QWidget(view);
    m_loadingViewPlacementView->setObjectName(QStringLiteral("loadingViewPlacementView"));
    m_loadingViewPlacementView->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    // A dark panel over the grid; the loading view's own controls keep their look.
    m_loadingViewPlacementView->setAttribute(Qt::WA_StyledBackground);
    m_loadingViewPlacementView->setStyleSheet(
        QStringLiteral("#loadingViewPlacementView { background: rgba(0, 0, 0, 204); border-radius: 6px; }"));
    m_loadingViewPlacementView->resize(320, 120);
    m_loadingViewPlacementView->hide();

    m_thumbnailController = new QVR_TemplateChooserThumbnailController(this, m_collectionView, this);
    setView(view);
    makeLoadingView();
    m_previousPageButton->hide();
    // The keyboard moving onto a tile out of view scrolls the grid too: the paging buttons follow.
    connect(m_collectionView->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_isAnimating)
            hideOrShowPagingButtons();
    });

    m_themesObservation = NotificationObservation(TessarineTheme::kThemesDownloadedNotification, nullptr,
                                                  [this](const Notification&) { themesLoaded(); });
    // The scratch tile shows at once, whatever the list brings.
    m_thumbnailController->setTemplatesFromCollectionViewObjectArray({});
    hideOrShowPagingButtons();
    TessarineTheme::loadThemesFromWeb();
}

void QVR_TemplateChooserViewController::makeLoadingView()
{
    if (m_loadingVC) {
        m_loadingVC->setDelegate(nullptr);
        m_loadingVC->deleteLater();
    }
    m_loadingVC = new QVR_LoadingViewController(this);
    m_loadingVC->setDelegate(this);
    QWidget* loadingView = m_loadingVC->view();
    loadingView->setParent(m_loadingViewPlacementView);
    loadingView->setGeometry(m_loadingViewPlacementView->rect());
    loadingView->hide();
}

void QVR_TemplateChooserViewController::showLoadingView()
{
    QWidget* host = view();
    m_loadingViewPlacementView->move((host->width() - m_loadingViewPlacementView->width()) / 2,
                                     (host->height() - m_loadingViewPlacementView->height()) / 2);
    m_loadingViewPlacementView->show();
    m_loadingViewPlacementView->raise();
    m_loadingVC->view()->setGeometry(m_loadingViewPlacementView->rect());
    m_loadingVC->view()->show();
    // While a template loads, the grid behind takes no keys (a Space there would start another template) and Cancel
    // has the keyboard; it goes back to the tile when the loading view goes.
    QWidget* focused = QApplication::focusWidget();
    if (focused && host->isAncestorOf(focused) && !m_loadingViewPlacementView->isAncestorOf(focused)) {
        m_focusBeforeLoading = focused;
        // The tiles are made anew when the list comes again: the tile is found again by its template.
        m_focusTemplateBeforeLoading.clear();
        for (QVR_TemplateCollectionViewObject* tile : m_thumbnailController->templatesArray()) {
            if (tile->cellView() && (tile->cellView() == focused || tile->cellView()->isAncestorOf(focused)))
                m_focusTemplateBeforeLoading = tile->templateId();
        }
    }
    setTilesEnabled(false);
    if (QPushButton* cancel = m_loadingVC->cancelButton())
        cancel->setFocus(Qt::OtherFocusReason);
}

void QVR_TemplateChooserViewController::hideLoadingView()
{
    if (m_loadingVC)
        m_loadingVC->view()->hide();
    if (m_loadingViewPlacementView)
        m_loadingViewPlacementView->hide();
    setTilesEnabled(true);
    QPointer<QWidget> before = std::exchange(m_focusBeforeLoading, nullptr);
    const QString templateBefore = std::exchange(m_focusTemplateBeforeLoading, QString());
    if ((!before || !before->isVisible()) && !templateBefore.isEmpty() && m_thumbnailController) {
        for (QVR_TemplateCollectionViewObject* tile : m_thumbnailController->templatesArray()) {
            if (tile->templateId() == templateBefore)
                before = tile->cellView();
        }
    }
    if (before && before->isVisible())
        before->setFocus(Qt::OtherFocusReason);
}

bool QVR_TemplateChooserViewController::isLoadingViewShown() const
{
    return m_loadingViewPlacementView && m_loadingViewPlacementView->isVisible();
}

void QVR_TemplateChooserViewController::setTilesEnabled(bool enabled)
{
    for (QWidget* behind :
         {static_cast<QWidget*>(m_collectionView.data()), static_cast<QWidget*>(m_nextPageButton.data()),
          static_cast<QWidget*>(m_previousPageButton.data())}) {
        if (behind)
            behind->setEnabled(enabled);
    }
}

QVR_TemplateChooserCollectionView* QVR_TemplateChooserViewController::collectionView()
{
    view();
    return m_collectionView;
}

QPushButton* QVR_TemplateChooserViewController::nextPageButton()
{
    view();
    return m_nextPageButton;
}

QPushButton* QVR_TemplateChooserViewController::previousPageButton()
{
    view();
    return m_previousPageButton;
}

QLabel* QVR_TemplateChooserViewController::chooseTemplateLabel()
{
    view();
    return m_chooseTemplateLabel;
}

QVR_TemplateChooserThumbnailController* QVR_TemplateChooserViewController::templateThumbnailController()
{
    view();
    return m_thumbnailController;
}

void QVR_TemplateChooserViewController::themesLoaded()
{
    view();
    QStringList keys = TessarineTheme::allTessarineTemplateKeysInPriorityOrder();
    keys.removeAll(TessarineTheme::kBlankThemeID);
    QList<QVR_TemplateCollectionViewObject*> tiles;
    for (const QString& key : keys) {
        auto* tile = new QVR_TemplateCollectionViewObject;
        tile->setTemplateId(key);
        if (const auto theme = TessarineTheme::tessarineThemeForID(key))
            tile->setPreviewURLString(theme->themeIconImageURLString());
        tiles.append(tile);
    }
    m_themeKeys = keys;
    m_thumbnailController->setTemplatesFromCollectionViewObjectArray(tiles);
    hideOrShowPagingButtons();
    const QString notice = TessarineTheme::themeListNotice();
    m_serviceNoticeLabel->setText(notice);
    m_serviceNoticeLabel->setVisible(!notice.isEmpty());
}

QString QVR_TemplateChooserViewController::serviceNoticeShown()
{
    view();
    return m_serviceNoticeLabel->isVisibleTo(view()) ? m_serviceNoticeLabel->text() : QString();
}

double QVR_TemplateChooserViewController::collectionViewItemWith()
{
    if (!m_collectionView || m_collectionView->tiles().isEmpty())
        return 0;
    return QVR_TemplateChooserCollectionView::itemFrame(0).width();
}

void QVR_TemplateChooserViewController::nextPageButtonPressed()
{
    m_collectionView->deselectAllCollectionViewObjects();
    if (m_isAnimating)
        return;
    VazScrollViewAnimation::animatedScrollToNextPageinScrollView(m_collectionView, 2 * collectionViewItemWith(), this);
}

void QVR_TemplateChooserViewController::previousButtonPessed()
{
    m_collectionView->deselectAllCollectionViewObjects();
    if (m_isAnimating)
        return;
    VazScrollViewAnimation::animatedScrollToPreviousPageinScrollView(m_collectionView, 2 * collectionViewItemWith(),
                                                                     this);
}

bool QVR_TemplateChooserViewController::animationShouldStart(QAbstractAnimation* animation)
{
    if (m_currentAnimation && m_currentAnimation != animation)
        m_currentAnimation->stop();
    m_currentAnimation = animation;
    m_isAnimating = true;
    return true;
}

void QVR_TemplateChooserViewController::animationDidEnd(QAbstractAnimation*)
{
    m_isAnimating = false;
    m_currentAnimation.clear();
    hideOrShowPagingButtons();
}

void QVR_TemplateChooserViewController::animationDidStop(QAbstractAnimation* animation)
{
    animationDidEnd(animation);
}

void QVR_TemplateChooserViewController::hideOrShowPagingButtons()
{
    if (!m_collectionView)
        return;
    m_nextPageButton->setVisible(!VazScrollViewAnimation::scrollViewIsAtEnd(m_collectionView));
    m_previousPageButton->setVisible(!VazScrollViewAnimation::scrollViewIsAtBegining(m_collectionView));
}

void QVR_TemplateChooserViewController::startPreviewWithTemplateCollectionViewObject(
    QVR_TemplateCollectionViewObject* tile)
{
    start(tile, PreviewReason);
}

void QVR_TemplateChooserViewController::startOpenWithTemplateCollectionViewObject(
    QVR_TemplateCollectionViewObject* tile)
{
    start(tile, CreateReason);
}

void QVR_TemplateChooserViewController::setDownloadingTheme(const std::shared_ptr<TessarineTheme>& theme)
{
    if (m_downloadingTheme && m_downloadingTheme != theme && m_downloadingTheme->delegate() == this)
        m_downloadingTheme->setDelegate(nullptr);
    m_downloadingTheme = theme;
    if (m_retryTimer) {
        m_retryTimer->stop();
        m_retryTimer->deleteLater();
    }
}

void QVR_TemplateChooserViewController::start(QVR_TemplateCollectionViewObject* tile, int reason)
{
    view();
    if (!tile)
        return;
    const QString templateId = tile->templateId();
    const auto theme = TessarineTheme::tessarineThemeForID(templateId);
    if (!theme) {
        qCWarning(lcLibrary) << "no template" << templateId;
        return;
    }
    if (theme == m_downloadingTheme) {
        // The running work ends in the newly chosen action.
        m_preloadReason = reason;
        return;
    }
    if (m_isDownloading)
        cancelPrecache();
    m_clickedTile = tile;
    m_clickedTemplateId = templateId;
    m_preloadReason = reason;
    setDownloadingTheme(theme);
    m_loadingVC->setProgress(0);
    m_loadingVC->startSpinner();
    showLoadingView();
    if (!theme->tessarineSampleModel()) {
        theme->setDelegate(this);
        m_sampleFetches = 1;
        theme->downloadDocument();
        return;
    }
    preloadThemeAssets();
}

void QVR_TemplateChooserViewController::themeDocumentDidFinishDownloading(TessarineTheme* theme)
{
    if (!m_downloadingTheme || theme != m_downloadingTheme.get())
        return;
    if (theme->tessarineSampleModel()) {
        preloadThemeAssets();
        return;
    }
    fetchSampleAgainOrGiveUp();
}

void QVR_TemplateChooserViewController::fetchSampleAgainOrGiveUp()
{
    if (m_sampleFetches >= kMaxSampleFetches) {
        qCWarning(lcLibrary) << "the sample of template" << m_clickedTemplateId << "did not come after"
                             << m_sampleFetches << "tries";
        cancelPrecache();
        AlertRequest alert;
        alert.style = AlertRequest::Style::Warning;
        alert.messageText = UFM::ERROR_DOWNLOADING_TESSARINE();
        AlertPresenter::shared().show(alert, view(), [](const AlertResponse&) {});
        return;
    }
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    m_retryTimer = timer;
    std::weak_ptr<TessarineTheme> expected = m_downloadingTheme;
    connect(timer, &QTimer::timeout, this, [this, timer, expected] {
        timer->deleteLater();
        const auto theme = expected.lock();
        if (!theme || theme != m_downloadingTheme)
            return;
        ++m_sampleFetches;
        theme->downloadDocument();
    });
    timer->start(static_cast<int>(s_retrySeconds * 1000));
}

void QVR_TemplateChooserViewController::preloadThemeAssets()
{
    if (!m_downloadingTheme)
        return;
    const auto sample = m_downloadingTheme->tessarineSampleModel();
    if (!sample)
        return;
    m_isDownloading = true;
    qCInfo(lcLibrary) << "precache has begun for template.";
    m_precacheManager->setDelegate(this);
    QPointer<QVR_TemplateChooserViewController> self(this);
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(sample, kPrecacheOptions, *m_precacheManager, [self] {
        if (!self)
            return;
        self->hideLoadingView();
        self->m_isDownloading = false;
        self->finishPreload();
    });
}

void QVR_TemplateChooserViewController::finishPreload()
{
    const int reason = m_preloadReason;
    setDownloadingTheme(nullptr);
    if (reason == CreateReason)
        tellTheCreatorWindowToOpen();
    else if (reason == PreviewReason)
        beginTemplatePreview();
}

void QVR_TemplateChooserViewController::precacheManagerStartedLoad(QVBPrecacheManager*) {}

void QVR_TemplateChooserViewController::precacheManager(QVBPrecacheManager*, quint64, quint64,
                                                        int downloadedObjectsSoFar, int totalObjects)
{
    // Without a total the fraction means nothing: the progress stays as it was.
    if (totalObjects <= 0)
        return;
    const double progress = static_cast<double>(downloadedObjectsSoFar) / totalObjects;
    qCDebug(lcLibrary) << "progress of theme download:" << progress;
    m_loadingVC->setProgress(progress);
}

void QVR_TemplateChooserViewController::precacheManagerDoneCaching(QVBPrecacheManager*)
{
    m_isDownloading = false;
    qCInfo(lcLibrary) << "precache has finished for template.";
    m_loadingVC->stopSpinner();
    hideLoadingView();
    finishPreload();
}

void QVR_TemplateChooserViewController::precacheManagerFailedTooManyTimes(QVBPrecacheManager*)
{
    m_isDownloading = false;
    qCWarning(lcLibrary) << "The precacheManager has failed too many times and is quitting.";
    cancelPrecache();
}

void QVR_TemplateChooserViewController::loadingViewCancelButtonPressed()
{
    cancelPrecache();
}

void QVR_TemplateChooserViewController::cancelPrecache()
{
    m_precacheManager->setDelegate(nullptr);
    m_precacheManager->resetEverything();
    m_precacheManager = std::make_unique<QVBPrecacheManager>();
    setDownloadingTheme(nullptr);
    hideLoadingView();
    makeLoadingView();
    m_isDownloading = false;
    m_preloadReason = NoReason;
}

void QVR_TemplateChooserViewController::removePreview()
{
    if (!m_previewVC)
        return;
    m_previewVC->setDelegate(nullptr);
    m_previewVC->deleteLater();
    QWidget* focus = view()->window()->focusWidget();
    const bool hadKeyboard = m_previewVC->isViewLoaded() && focus && m_previewVC->view()->isAncestorOf(focus);
    if (m_previewVC->isViewLoaded())
        m_previewVC->view()->hide();
    m_previewVC.clear();
    if (!hadKeyboard)
        return;
    // The keyboard goes back to where it was when the preview opened: the tile it was started from, or that
    // template's tile when a new list replaced the tiles meanwhile.
    QWidget* back = m_focusBeforePreview;
    if ((!back || !back->isVisible()) && m_thumbnailController) {
        back = nullptr;
        for (QVR_TemplateCollectionViewObject* tile : m_thumbnailController->templatesArray())
            if (tile && tile->templateId() == m_clickedTemplateId)
                back = tile->cellView();
    }
    if (back && back->isVisible())
        back->setFocus(Qt::OtherFocusReason);
}

void QVR_TemplateChooserViewController::beginTemplatePreview()
{
    m_collectionView->deselectAllCollectionViewObjects();
    removePreview();
    m_focusBeforePreview = view()->window()->focusWidget();
    m_previewVC = new QVR_TemplatePreviewViewController(m_clickedTemplateId, this);
    m_previewVC->setDelegate(this);
    QWidget* preview = m_previewVC->view();
    preview->setParent(view());
    preview->setGeometry(view()->rect());
    preview->show();
    preview->raise();
    view()->installEventFilter(new SizeFollower(preview));
    m_previewVC->viewerView()->setFocus();
    QVRAnalytics::logEvent(QStringLiteral("Template Previewed"),
                           {{QStringLiteral("action_value"), m_clickedTemplateId}});
}

void QVR_TemplateChooserViewController::tempatePreviewWantToClose()
{
    removePreview();
}

void QVR_TemplateChooserViewController::tempatePreviewWantToChooseTemplate(const QString& templateId)
{
    if (m_clickedTile)
        m_clickedTile->setTemplateId(templateId);
    m_clickedTemplateId = templateId;
    tellTheCreatorWindowToOpen();
}

std::shared_ptr<ZERI_TessarineModel>
QVR_TemplateChooserViewController::newDocumentFromSample(const std::shared_ptr<ZERI_TessarineModel>& sample,
                                                         const QString& templateId)
{
    // Only the screens the new document keeps are copied (with their files), retitled and themed, so that the
    // copy's own save already writes the final draft. The trimmed source is the sample's dictionary cut down, read
    // against the sample's package (where its files are) and never saved.
    const size_t keep = templateId == TessarineTheme::kBlankThemeID ? 1 : 3;
    QJsonObject root = sample->jsonDictionary();
    QJsonObject body = root.value(QStringLiteral("tessarine")).toObject();
    QJsonArray flows = body.value(QStringLiteral("flows")).toArray();
    for (qsizetype i = 0; i < flows.size(); ++i) {
        QJsonObject flow = flows[i].toObject();
        QJsonArray screens = flow.value(QStringLiteral("screens")).toArray();
        while (screens.size() > static_cast<qsizetype>(keep))
            screens.removeLast();
        flow.insert(QStringLiteral("screens"), screens);
        flow.insert(QStringLiteral("themeID"), templateId);
        if (i == 0)
            flow.insert(QStringLiteral("title"), UFM::UNTITLED_TEXT());
        flows[i] = flow;
    }
    body.insert(QStringLiteral("flows"), flows);
    root.insert(QStringLiteral("tessarine"), body);
    Error readError;
    const auto trimmed = ZERI_TessarineModel::initWithDict(root, sample->filePackage(), &readError);
    if (!trimmed) {
        qCWarning(lcLibrary).noquote() << "cannot read the sample of template" << templateId << readError.message;
        return nullptr;
    }
    trimmed->setDontSave(true);
    Error error;
    const auto copy = ZERI_qvdFilePackage::getTessarineModelCopy(trimmed, &error);
    if (!copy) {
        qCWarning(lcLibrary).noquote() << "cannot copy the sample of template" << templateId << error.message;
        return nullptr;
    }
    if (auto flow = copy->firstFlowmodel())
        flow->setTitle(UFM::UNTITLED_TEXT());
    QString text = QString::fromUtf8(Json::write(copy->jsonDictionary()));
    text.replace(QStringLiteral("\"isThemeTessarine\":\"YES\""), QStringLiteral("\"isThemeTessarine\":\"NO\""));
    const auto dict = Json::readObject(text.toUtf8());
    if (!dict) {
        qCWarning(lcLibrary) << "Something went wrong while trying to copy the sample tessarine json.";
        discardPackage(copy);
        return nullptr;
    }
    // The new document takes the copy's package (and id): storage keeps one package per id.
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(copy->filePackage());
    const auto document = ZERI_TessarineModel::initWithDict(*dict, package, &error);
    if (!document) {
        qCWarning(lcLibrary).noquote() << "cannot read the copied sample:" << error.message;
        discardPackage(copy);
        return nullptr;
    }
    for (const auto& flow : document->flowModels()) {
        flow->setThemeID(templateId);
        while (flow->screenModels().size() > keep)
            flow->removeFlowScreen(flow->screenModels()[keep]);
    }
    if (s_newDocumentHook)
        s_newDocumentHook(*document);
    if (!package) {
        discardPackage(copy);
        return nullptr;
    }
    // The save writes the metadata with the draft.
    package->metaData().setPackageType(ZERI_qvdFilePackage::OwnDocument);
    if (!document->saveToFile(&error)) {
        qCWarning(lcLibrary).noquote() << "cannot save the new document:" << error.message;
        discardPackage(copy);
        return nullptr;
    }
    if (package->metaData().tessarineName() != UFM::UNTITLED_TEXT()) {
        package->metaData().setTessarineName(UFM::UNTITLED_TEXT());
        package->saveMetadata();
    }
    return document;
}

void QVR_TemplateChooserViewController::tellTheCreatorWindowToOpen()
{
    const QString templateId = m_clickedTemplateId;
    if (templateId.isEmpty()) {
        qCWarning(lcLibrary) << "no template to make a document from";
        return;
    }
    const auto sample = TessarineTheme::sampleModelForFlowThemeID(templateId);
    if (!sample) {
        qCWarning(lcLibrary) << "template" << templateId << "has no sample";
        return;
    }
    const auto document = newDocumentFromSample(sample, templateId);
    if (!document)
        return;
    QVRAnalytics::logEvent(QStringLiteral("Tessarine Created"), {{QStringLiteral("Theme"), templateId}});

    auto request = QVROpenRequest::request();
    request->setOpenCue(document);
    request->setOptions(kNewDocumentOptions);
    QPointer<QVR_TemplateChooserViewController> self(this);
    request->open([self](const Error& openError) {
        if (!openError.isNull()) {
            qCWarning(lcLibrary).noquote() << openError.message;
            return;
        }
        if (self)
            emit self->documentOpened();
    });
}
