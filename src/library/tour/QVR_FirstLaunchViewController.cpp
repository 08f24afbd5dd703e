#include "library/tour/QVR_FirstLaunchViewController.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "library/LibraryLogging.h"
#include "library/account/QVRRegisterWallWindowController.h"
#include "library/publish/SheetRunner.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerOptionalControllsView.h"
#include "viewer/QVRViewerViewController.h"

namespace {

constexpr int kCentredText = 2;

void addText(const std::shared_ptr<ZERI_FlowScreenModel>& screen, const QString& text, const QRectF& frame,
             double pointSize, const QColor& color)
{
    auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    auto object = std::dynamic_pointer_cast<ZERI_MMObject_Text>(proxy->object());
    if (!object)
        return;
    object->setFrame(frame);
    object->setText(text);
    object->setFont(ZERI_MMObject_Text::defaultFontName(), pointSize);
    object->setTextColor(color);
    object->setTextAlignment(kCentredText);
    screen->addMixedMediaObject(proxy);
}

std::shared_ptr<ZERI_FlowScreenModel> addScreen(const std::shared_ptr<ZERI_FlowModel>& flow, const QColor& background)
{
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(background);
    flow->addFlowScreen(screen);
    return screen;
}

QPushButton* makeButton(const QString& title, QWidget* parent, bool prominent)
{
    auto* button = new QPushButton(title, parent);
    button->setMinimumSize(140, 34);
    button->setCursor(Qt::PointingHandCursor);
    // Return presses the button that has the keyboard, as in a dialogue.
    button->setAutoDefault(true);
    if (prominent)
        button->setDefault(true);
    return button;
}

} // namespace

std::shared_ptr<ZERI_TessarineModel> QVR_FirstLaunchViewController::makeTourDocument()
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    auto flow = document->firstFlowmodel();
    // The screens' own size: 1024 × 748.
    const QColor dark(0x2B, 0x83, 0xC0);
    const QColor light(0xEA, 0xE8, 0xE2);
    const QColor white(Qt::white);
    const QColor ink(0x33, 0x33, 0x33);

    auto first = addScreen(flow, dark);
    addText(first, UFM::TESSARINE_IS_DESIGNED(), QRectF(112, 200, 800, 140), 48, white);
    addText(first, UFM::TESSARINE_20_YEARS_AGO(), QRectF(112, 420, 380, 80), 22, white);
    addText(first, UFM::TESSARINE_WITH_TESSARINE(), QRectF(532, 420, 380, 80), 22, white);

    const QString texts[] = {UFM::TESSARINE_LIVES_IN_CLOUD(), UFM::TO_CREATE_A_TESSARINE(),
                             UFM::NAVIGATION_TO_BRING_STORY(), UFM::WHEN_YOU_ARE_READY(),
                             UFM::THEN_SHARE_AND_PRESENT()};
    bool onLight = true;
    for (const QString& text : texts) {
        auto screen = addScreen(flow, onLight ? light : dark);
        addText(screen, text, QRectF(112, 240, 800, 260), 40, onLight ? ink : white);
        onLight = !onLight;
    }
    return document;
}

QVR_FirstLaunchViewController::QVR_FirstLaunchViewController(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("firstLaunchView"));
    m_document = makeTourDocument();
    m_viewer = new QVRViewerViewController(this);

    auto* holder = new QWidget(this);
    auto* holderLayout = new QGridLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(m_viewer->view(), 0, 0);
    auto* controls = new QVRViewerOptionalControllsView(holder);
    holderLayout->addWidget(controls, 0, 0);
    QVR_TessarineViewerView* player = m_viewer->viewerView();
    controls->setTheViewer(player);
    player->setDelegate(controls);
    // The hover-revealed buttons page the tour: the controller's own buttons take no room under them, and the
    // built-in tour has no copy on the service a viewer window could open.
    m_viewer->setMinimumButtonWidth(0);
    controls->setAllowsExpand(false);
    player->setOriginalTessarineModel(m_document);
    player->setFlowModel(m_document->firstFlowmodel());

    m_getStarted = makeButton(UFM::SAYS_GET_STARTED(), this, true);
    m_getStarted->setObjectName(QStringLiteral("getStartedButton"));
    m_signUp = makeButton(UFM::SAYS_SIGN_UP(), this, false);
    m_signUp->setObjectName(QStringLiteral("signUpButton"));
    m_signIn = makeButton(UFM::SIGN_IN_TEXT(), this, false);
    m_signIn->setObjectName(QStringLiteral("signInButton"));
    connect(m_getStarted, &QPushButton::clicked, this, [this] { getStartedPressed(); });
    // Escape leaves the tour as Get Started does, also where no window manager offers a close button.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("closeOnEscape"));
    connect(escape, &QShortcut::activated, this, [this] { getStartedPressed(); });
    // Return in the tour itself (the player pages it and has nothing to open) presses the default button.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* press = new QShortcut(QKeySequence(key), holder);
        press->setContext(Qt::WidgetWithChildrenShortcut);
        connect(press, &QShortcut::activated, m_getStarted, [this] { m_getStarted->animateClick(); });
    }
    connect(m_signUp, &QPushButton::clicked, this, [this] { showRegisterWall(true); });
    connect(m_signIn, &QPushButton::clicked, this, [this] { showRegisterWall(false); });

    // Tab walks from the tour (where the arrows page it) to the buttons as they stand, left to right.
    setTabOrder(m_signIn, m_signUp);
    setTabOrder(m_signUp, m_getStarted);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(20, 12, 20, 16);
    buttons->setSpacing(12);
    buttons->addWidget(m_signIn);
    buttons->addStretch(1);
    buttons->addWidget(m_signUp);
    buttons->addWidget(m_getStarted);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(holder, 1);
    layout->addLayout(buttons);
}

QVR_FirstLaunchViewController::~QVR_FirstLaunchViewController() = default;

void QVR_FirstLaunchViewController::getStartedPressed()
{
    if (QWidget* tour = window())
        tour->close();
}

void QVR_FirstLaunchViewController::showRegisterWall(bool signUp)
{
    if (m_wallShown)
        return;
    m_wallShown = true;
    QPointer<QWidget> tour = window();
    bool signedIn = false;
    {
        QVRRegisterWallWindowController wall(tour);
        wall.setPresentedAsModalSheet(true);
        wall.setShouldCloseOnSuccess(true);
        wall.setLandingVCMessageText(UFM::SIGNUP_FREE());
        // Each button opens the form it names, the landing page one step back.
        wall.switchToVC(signUp ? QVRRegisterWallWindowController::Page::Signup
                               : QVRRegisterWallWindowController::Page::Login);
        SheetRunner::run(wall, tour);
        wall.hide();
        signedIn = wall.loginCompleted();
    }
    m_wallShown = false;
    qCInfo(lcLibrary) << "tour sign-in wall ended; signed in:" << signedIn;
    if (signedIn && tour)
        tour->close();
}
