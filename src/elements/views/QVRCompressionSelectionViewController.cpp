#include "elements/views/QVRCompressionSelectionViewController.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QVRWindowManager.h"
#include "controls/FloatingWindowCloser.h"
#include "controls/ViewControllerWindowController.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"

namespace {

// The chooser's view: Escape anywhere in it counts as leaving without a choice.
class ChooserView : public QWidget {
public:
    std::function<void()> onEscape;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && onEscape) {
            onEscape();
            return;
        }
        QWidget::keyPressEvent(event);
    }
};

// Reports a window that closes (or goes away) before a choice was made.
class CloseWatcher : public QObject {
public:
    CloseWatcher(QWidget* window, std::function<void()> onClose)
        : QObject(window)
        , m_onClose(std::move(onClose))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && m_onClose)
            m_onClose();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onClose;
};

} // namespace

QVRCompressionSelectionViewController::QVRCompressionSelectionViewController(QObject* parent)
    : ViewController(parent)
{
}

QVRCompressionSelectionViewController::~QVRCompressionSelectionViewController() = default;

void QVRCompressionSelectionViewController::loadView()
{
    auto* view = new ChooserView;
    view->onEscape = [this] { compressionButtonPressed(nullptr); };
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);

    m_headerLabel = new QLabel(UFM::SET_VIDEO_COMPRESSION_TEXT(), view);
    m_headerLabel->setObjectName(QStringLiteral("headerlabel"));
    m_headerLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_headerLabel);

    auto* buttons = new QHBoxLayout;
    auto makeButton = [&](const QString& title, const char* name) {
        auto* button = new QPushButton(title, view);
        button->setObjectName(QString::fromLatin1(name));
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, Tessutils::tessarineBlackColor());
        button->setPalette(palette);
        // Return presses the choice that has the keyboard, as Space does.
        button->setAutoDefault(true);
        connect(button, &QPushButton::clicked, this, [this, button] { compressionButtonPressed(button); });
        buttons->addWidget(button);
        return button;
    };
    m_smallButton = makeButton(UFM::SMALL_480P_TEXT(), "smallButton");
    m_mediumButton = makeButton(UFM::MEDIUM_720P_TEXT(), "mediumButton");
    m_largeButton = makeButton(UFM::LARGE_1080P_TEXT(), "largeButton");
    layout->addLayout(buttons);
    // A floor, not a first size: the sheet's window is fitted to its content after this.
    view->setMinimumSize(kMinimumSize);
    view->resize(view->sizeHint().expandedTo(kMinimumSize));
    setTitle(UFM::SET_VIDEO_COMPRESSION_TEXT());
    setView(view);
}

void QVRCompressionSelectionViewController::compressionButtonPressed(QObject* sender)
{
    std::shared_ptr<VideoAssetCompressorPreset> preset;
    if (sender && sender == m_smallButton)
        preset = VideoAssetCompressorPreset::small480p();
    else if (sender && sender == m_mediumButton)
        preset = VideoAssetCompressorPreset::medium720p();
    else if (sender && sender == m_largeButton)
        preset = VideoAssetCompressorPreset::large1080p();
    if (m_onCompressionSelected) {
        // The block may end the chooser; keep it alive through the call.
        const SelectionBlock block = m_onCompressionSelected;
        block(preset);
    }
}

QWidget* QVRCompressionSelectionViewController::hostWindow(QWidget* window)
{
    if (window)
        return window->window();
    if (QWidget* active = QApplication::activeWindow())
        return active;
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    if (QWidget* main = manager.activeManagedWindow())
        return main;
    for (QWidget* shown : manager.windows())
        if (shown && shown->isVisible())
            return shown;
    return nullptr;
}

void QVRCompressionSelectionViewController::choosePreset(QWidget* window, SelectionBlock done)
{
    QWidget* parentWindow = hostWindow(window);
    if (!parentWindow) {
        if (done)
            done(VideoAssetCompressorPreset::small480p());
        return;
    }
    auto* windowController = new ViewControllerWindowController(parentWindow);
    auto* chooser = new QVRCompressionSelectionViewController;
    windowController->setViewController(chooser);
    QWidget* sheet = windowController->window();
    sheet->setParent(parentWindow, Qt::Dialog);
    sheet->setWindowModality(Qt::WindowModal);
    // Escape, Ctrl+W and a close button of its own leave it without a choice, also where no window manager
    // decorates the window.
    FloatingWindowCloser::install(sheet, UFM::SAYS_CLOSE());
    // Centred over its window, as the other dialogs are, not at the window's corner over its toolbar.
    sheet->adjustSize();
    QRect frame(QPoint(0, 0), sheet->size());
    frame.moveCenter(parentWindow->geometry().center());
    sheet->move(frame.topLeft());

    auto answered = std::make_shared<bool>(false);
    QPointer<ViewControllerWindowController> controller(windowController);
    auto finish = [answered, done, controller](const std::shared_ptr<VideoAssetCompressorPreset>& preset) {
        if (*answered)
            return;
        *answered = true;
        if (done)
            done(preset);
        if (controller) {
            controller->close();
            controller->deleteLater();
        }
    };
    chooser->setOnCompressionSelected(finish);
    new CloseWatcher(sheet, [finish] { finish(nullptr); });
    windowController->showWindow();
}
