#include "library/publish/QVRSaveAndPostUtils.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppStartupHooks.h"
#include "app/QVRAnalytics.h"
#include "app/QVRAppDelegate.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/publish/QVREditTessarineDetailsWindowController.h"
#include "library/publish/QVRForkHandler.h"
#include "library/publish/QVRSavePublishDialogueWindowController.h"
#include "library/publish/SheetRunner.h"
#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "service/DocumentServerOperations.h"
#include "service/ZERI_APIBinding.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

bool s_flowRunning = false;

// Marks a Save Draft or Publish flow as running for its lifetime.
class FlowGuard {
public:
    FlowGuard()
        : m_owns(!s_flowRunning)
    {
        s_flowRunning = true;
    }
    ~FlowGuard()
    {
        if (m_owns)
            s_flowRunning = false;
    }
    bool owns() const { return m_owns; }

private:
    bool m_owns;
};

std::shared_ptr<ZERI_qvdFilePackage> packageOf(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model)
        return nullptr;
    if (auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage()))
        return package;
    return ZERI_qvdFilePackage::packageForID(model->qvdID());
}

// The signed-in user's stored record takes the owner record the service wrote into the package, but only when
// that owner is the signed-in user: an administrator publishing somebody else's document keeps their own.
void takeOwnerRecord(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    if (!package)
        return;
    const QJsonObject owner = package->metaData().owner();
    const QString ownerName = owner.value(QStringLiteral("username")).toString();
    const QString storedName = Tessutils::corvikUserDict().stringForKey(QStringLiteral("username"));
    if (owner.isEmpty() || ownerName.isEmpty() || ownerName != storedName)
        return;
    Tessutils::setCorvikUserDict(SafeDictionary(owner));
}

void deleteCopyPackage(const std::shared_ptr<ZERI_TessarineModel>& copy)
{
    if (!copy)
        return;
    if (const auto package = packageOf(copy)) {
        copy->setDontSave(true);
        Error error;
        if (!package->deletePackage(&error))
            qCWarning(lcLibrary) << "cannot remove the administrator's copy:" << error.description();
    }
}

// A sheet of a flow, made over the document window. Closing that window deletes its children, the running sheet
// among them (sign-out closes every document window, and may do so while a sheet of this flow waits for files on
// their way), so the flow deletes the sheet only while it still lives.
template <class Sheet> class FlowSheet {
public:
    explicit FlowSheet(Sheet* sheet)
        : m_sheet(sheet)
    {
    }
    ~FlowSheet() { delete m_sheet.data(); }
    FlowSheet(const FlowSheet&) = delete;
    FlowSheet& operator=(const FlowSheet&) = delete;
    Sheet* operator->() const { return m_sheet.data(); }
    // Runs it; kCancelled when the sheet, or the window it belongs to, went away while it ran.
    int run(QWidget* window)
    {
        const QPointer<QWidget> guardedWindow(window);
        const int result = SheetRunner::run(*m_sheet, window);
        return m_sheet && (!window || guardedWindow) ? result : SheetRunner::kCancelled;
    }

private:
    QPointer<Sheet> m_sheet;
};

QString errorText(const SafeDictionary& error)
{
    const Error asError = ZERI_APIBinding::errorFromApiErrorDict(error);
    if (!asError.message.isEmpty())
        return asError.message;
    return QString::fromUtf8(QJsonDocument(error.dictionary()).toJson(QJsonDocument::Compact));
}

} // namespace

bool QVRSaveAndPostUtils::isFlowRunning()
{
    return s_flowRunning;
}

bool QVRSaveAndPostUtils::requireSignIn()
{
    if (!Tessutils::corvikAuthToken().isEmpty())
        return true;
    if (QVRAppDelegate* delegate = QVRAppDelegate::runningDelegate())
        return delegate->showRegisterWall();
    const auto& wall = AppStartupHooks::shared().runRegisterWall;
    return wall && wall(UFM::YOU_NEED_TO_SIGN_IN_TEXT());
}

void QVRSaveAndPostUtils::saveTessarineDraft(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window)
{
    if (!model || isFlowRunning())
        return;
    FlowGuard guard;
    if (!requireSignIn())
        return;
    const QPointer<QWidget> guardedWindow(window);
    int result = SheetRunner::kCancelled;
    {
        FlowSheet<QVRSavePublishDialogueWindowController> dialogue(
            QVRSavePublishDialogueWindowController::initWithTessarineModel(model, window ? window->window() : nullptr));
        dialogue->setPublishing(false);
        result = dialogue.run(window);
    }
    // The window closed under the sheet (the user signed out): the flow ends with it.
    if (window && !guardedWindow)
        return;
    if (result == SheetRunner::kFork) {
        QVRForkHandler::beginTessarineForkForFilePackage(packageOf(model), false, false, {}, window);
    } else if (result == SheetRunner::kCancelled) {
        QVRAnalytics::logEvent(QStringLiteral("Save Draft"), {{QStringLiteral("Result"), QStringLiteral("Cancelled")}},
                               model);
    }
}

void QVRSaveAndPostUtils::postTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window,
                                             bool adminMode)
{
    if (!model || isFlowRunning())
        return;
    FlowGuard guard;
    if (!requireSignIn())
        return;
    std::shared_ptr<ZERI_TessarineModel> modelToPost = model;
    if (adminMode) {
        modelToPost = getTessarineModelCopyWithoutFullsizedImage(model);
        if (!modelToPost)
            return;
    }
    // The administrator's copy goes on every road out of this flow but the share sheet's, which removes it when
    // the sheet closes.
    bool copyHandedOn = false;
    struct CopyRemover {
        std::shared_ptr<ZERI_TessarineModel> copy;
        const bool& handedOn;
        ~CopyRemover()
        {
            if (copy && !handedOn)
                deleteCopyPackage(copy);
        }
    } remover{adminMode ? modelToPost : nullptr, copyHandedOn};

    QWidget* sheetParent = window ? window->window() : nullptr;
    const QPointer<QWidget> guardedWindow(window);
    std::optional<QString> password;
    std::optional<QString> permission;
    {
        FlowSheet<QVREditTessarineDetailsWindowController> details(
            new QVREditTessarineDetailsWindowController(modelToPost, sheetParent));
        if (details.run(window) == SheetRunner::kCancelled)
            return;
        password = details->passwordToSaveWith();
        permission = details->selectedPrivacySetting();
    }
    int result = SheetRunner::kCancelled;
    {
        FlowSheet<QVRSavePublishDialogueWindowController> dialogue(
            QVRSavePublishDialogueWindowController::initWithTessarineModel(modelToPost, sheetParent));
        dialogue->setSavePassword(password);
        dialogue->setPublishPermission(permission);
        dialogue->setPublishing(true);
        result = dialogue.run(window);
    }
    // The window closed under the sheet (the user signed out): the flow ends with it.
    if (window && !guardedWindow)
        return;
    if (result == SheetRunner::kFork) {
        // The document that met the conflict is the one forked: the administrator's copy, when there is one,
        // which then lives until the fork's share sheet closes (or the fork ends without one).
        copyHandedOn = adminMode;
        QVRForkHandler::beginTessarineForkForFilePackage(
            packageOf(modelToPost), true, false,
            [modelToPost, guardedWindow, adminMode](int answer, const Error&) {
                if (!adminMode) {
                    // The fork is a new draft on the service: sharing it publishes it first.
                    if (answer == QVRForkHandler::kForkedAndSaved)
                        QVRSaveAndPostUtils::shareTessarineModel(modelToPost, guardedWindow);
                    return;
                }
                QVRSharePostedTessarineWindowController* sheet = nullptr;
                if (answer == QVRForkHandler::kForkedAndSaved)
                    sheet = QVRSharePostedTessarineWindowController::showForDocument(modelToPost, guardedWindow, false);
                if (sheet)
                    QObject::connect(sheet, &QObject::destroyed, [copy = modelToPost] { deleteCopyPackage(copy); });
                else
                    deleteCopyPackage(modelToPost);
            },
            window);
        return;
    }
    if (result == SheetRunner::kCancelled) {
        QVRAnalytics::logEvent(QStringLiteral("Publish"), {{QStringLiteral("Result"), QStringLiteral("Cancelled")}},
                               modelToPost);
        return;
    }
    takeOwnerRecord(packageOf(modelToPost));
    auto* sheet = QVRSharePostedTessarineWindowController::showForDocument(modelToPost, window, true);
    if (adminMode && sheet) {
        copyHandedOn = true;
        QObject::connect(sheet, &QObject::destroyed, [copy = modelToPost] { deleteCopyPackage(copy); });
    }
}

void QVRSaveAndPostUtils::shareTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window)
{
    if (!model)
        return;
    const auto package = packageOf(model);
    if (package && (package->metaData().packageType() & 1) && !package->publishedVersionExists()) {
        // Publishing shows the share sheet itself when it succeeds; a cancelled or failed one shares nothing.
        postTessarineModel(model, window);
        return;
    }
    QVRSharePostedTessarineWindowController::showForDocument(model, window, false);
}

void QVRSaveAndPostUtils::unpublishTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model,
                                                  std::function<void()> onDone, QWidget* window)
{
    const auto package = packageOf(model);
    QPointer<QWidget> shownIn(window);
    if (!model || !package) {
        QVRAppDelegate::postUserNotification(UFM::ERROR_TEXT(), QStringLiteral("The document has no saved copy."),
                                             shownIn);
        if (onDone)
            onDone();
        return;
    }
    DocumentServerOperations::unpublish(package, [weakPackage = std::weak_ptr<ZERI_qvdFilePackage>(package), onDone,
                                                  shownIn](const std::optional<SafeDictionary>& error) {
        if (error) {
            QVRAppDelegate::postUserNotification(UFM::ERROR_TEXT(), errorText(*error), shownIn);
        } else {
            QVRAppDelegate::postUserNotification(UFM::SUCCESS_TEXT(), UFM::UNPOST_SUCCESS_TEXT(), shownIn);
            if (const auto target = weakPackage.lock()) {
                target->deletePublishedData();
                takeOwnerRecord(target);
            }
        }
        if (onDone)
            onDone();
    });
}

std::shared_ptr<ZERI_TessarineModel>
QVRSaveAndPostUtils::getTessarineModelCopyWithoutFullsizedImage(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model)
        return nullptr;
    Error error;
    auto copy = ZERI_qvdFilePackage::getTessarineModelCopyWithoutFullsizedImage(model, &error);
    if (!copy)
        qCWarning(lcLibrary) << "cannot make the administrator's copy:" << error.description();
    return copy;
}

QVR_UnpostConfirmationWindowController::QVR_UnpostConfirmationWindowController(
    std::shared_ptr<ZERI_TessarineModel> modelToUnpost, QWidget* parent)
    : QDialog(parent)
    , m_modelToUnpost(std::move(modelToUnpost))
{
    m_titleLabel = new QLabel(UFM::WILL_UNPOST_IS_USER_SURE(), this);
    m_titleLabel->setWordWrap(true);
    QFont headline = m_titleLabel->font();
    headline.setBold(true);
    m_titleLabel->setFont(headline);
    m_descriptionLabel = new QLabel(UFM::REPOST_GIVES_BACK_SAME_SHARE_URL(), this);
    m_descriptionLabel->setWordWrap(true);
    m_activityIndicator = new QProgressBar(this);
    m_activityIndicator->setRange(0, 0);
    m_activityIndicator->setTextVisible(false);
    m_activityIndicator->setFixedWidth(60);
    m_activityIndicator->hide();
    m_cancelBtn = new QPushButton(UFM::CANCEL_TEXT(), this);
    QString confirmTitle = UFM::UNPOST_TEXT().toLower();
    QStringList words = confirmTitle.split(QLatin1Char(' '));
    for (QString& word : words) {
        if (!word.isEmpty())
            word[0] = word[0].toUpper();
    }
    m_confirmBtn = new QPushButton(words.join(QLatin1Char(' ')), this);
    m_confirmBtn->setDefault(true);
    m_confirmBtn->setAutoDefault(true);
    setWindowTitle(m_confirmBtn->text());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_activityIndicator);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelBtn);
    buttons->addWidget(m_confirmBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_descriptionLabel);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    connect(m_confirmBtn, &QPushButton::clicked, this, [this] { confirmBtnPressed(); });
    connect(m_cancelBtn, &QPushButton::clicked, this, [this] { cancelBtnPressed(); });
}

void QVR_UnpostConfirmationWindowController::confirmBtnPressed()
{
    if (m_working)
        return;
    m_working = true;
    m_confirmBtn->setEnabled(false);
    QVRAnalytics::logEvent(QStringLiteral("Unposted Flow"), {}, m_modelToUnpost);
    m_activityIndicator->show();
    QPointer<QVR_UnpostConfirmationWindowController> self(this);
    QVRSaveAndPostUtils::unpublishTessarineModel(
        m_modelToUnpost,
        [self] {
            if (!self)
                return;
            self->m_activityIndicator->hide();
            self->m_working = false;
            self->done(SheetRunner::kDone);
        },
        parentWidget());
}

void QVR_UnpostConfirmationWindowController::cancelBtnPressed()
{
    if (m_working)
        return;
    qCInfo(lcLibrary) << "unpublishing was cancelled";
    done(SheetRunner::kCancelled);
}

void QVR_UnpostConfirmationWindowController::reject()
{
    cancelBtnPressed();
}
