#include "library/lists/QVR_OpenByURLWindowCotroller.h"

#include <functional>
#include <utility>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "controls/FloatingWindowCloser.h"
#include "foundation/Tessutils.h"
#include "library/lists/TilePreviews.h"
#include "service/OpenFailureNotice.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"

namespace {

class SavedTessarinesModel : public QAbstractTableModel {
public:
    explicit SavedTessarinesModel(const std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& packages, QObject* parent)
        : QAbstractTableModel(parent)
        , m_packages(packages)
    {
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(m_packages.size()); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= int(m_packages.size()))
            return {};
        const auto& package = m_packages[size_t(index.row())];
        if (index.column() == 1 && role == Qt::DisplayRole) {
            const QString name = package->metaData().tessarineName();
            return name.isEmpty() ? UFM::UNTITLED_TEXT() : name;
        }
        if (index.column() == 0 && role == Qt::DecorationRole) {
            const QString path = TilePreviews::pictureOnDisk(*package);
            if (path.isEmpty())
                return {};
            QImageReader reader(path);
            reader.setScaledSize(reader.size().scaled(QVROpenSavedTessarineView::kPreviewWidth,
                                                      QVROpenSavedTessarineView::kRowHeight, Qt::KeepAspectRatio));
            const QImage image = reader.read();
            return image.isNull() ? QVariant() : QVariant(image);
        }
        return {};
    }

private:
    const std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& m_packages;
};

QPointer<QVR_OpenByURLWindowCotroller>& sharedWindow()
{
    static QPointer<QVR_OpenByURLWindowCotroller> s_window;
    return s_window;
}

// Runs `then` once `window` is on screen, where its window manager put it: an alert opened over a window before
// that would be centred on where the window was not yet, away from it.
class WhenOnScreen : public QObject {
public:
    static void run(QWidget* window, std::function<void()> then)
    {
        QWindow* handle = window->windowHandle();
        if (!handle || handle->isExposed()) {
            then();
            return;
        }
        handle->installEventFilter(new WhenOnScreen(handle, std::move(then)));
    }

private:
    WhenOnScreen(QWindow* handle, std::function<void()> then)
        : QObject(handle)
        , m_then(std::move(then))
    {
        // A window manager that never shows it still gets its alert.
        QTimer::singleShot(kLongestWaitMs, this, [this] { runOnce(); });
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            QTimer::singleShot(0, this, [this] { runOnce(); });
        return false;
    }
    void runOnce()
    {
        if (auto then = std::exchange(m_then, nullptr))
            then();
        deleteLater();
    }

    static constexpr int kLongestWaitMs = 1000;
    std::function<void()> m_then;
};

} // namespace

QVROpenSavedTessarineView::QVROpenSavedTessarineView(QWidget* parent)
    : QWidget(parent)
    , m_packages(ZERI_qvdFilePackage::allPackages())
{
    m_table = new QTableView(this);
    m_model = new SavedTessarinesModel(m_packages, this);
    m_table->setModel(m_model);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_table->setColumnWidth(0, kPreviewWidth);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setStyleSheet(
        QStringLiteral("QTableView { background: white; border: 1px solid black; font-size: 14px; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    // A double click, or Return on the row that has the keyboard.
    connect(m_table, &QTableView::activated, this, [this](const QModelIndex& index) { onDoubleClick(index.row()); });
}

QVROpenSavedTessarineView::~QVROpenSavedTessarineView() = default;

void QVROpenSavedTessarineView::onDoubleClick(int row)
{
    if (!m_onTessarineCellDoubleClicked || row < 0 || row >= int(m_packages.size()))
        return;
    m_onTessarineCellDoubleClicked(m_packages[size_t(row)]);
}

QVR_OpenByURLWindowCotroller::QVR_OpenByURLWindowCotroller(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(UFM::OPEN_URL_TEXT());
    m_textField = new QLineEdit(this);
    m_textField->setPlaceholderText(UFM::ENTER_URL_OR_STRINGID_TEXT());
    m_openButton = new QPushButton(UFM::OPEN_TEXT(), this);
    // The field's text and the button's title in the theme's black.
    const QString black = QStringLiteral("color: %1;").arg(Tessutils::tessarineBlackColor().name());
    m_textField->setStyleSheet(black);
    m_openButton->setStyleSheet(black);
    m_openButton->setDefault(true);
    m_savedTessarniesTable = new QVROpenSavedTessarineView(this);
    auto* row = new QHBoxLayout;
    row->addWidget(m_textField, 1);
    row->addWidget(m_openButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_savedTessarniesTable, 1);
    connect(m_openButton, &QPushButton::clicked, this, &QVR_OpenByURLWindowCotroller::openPressed);
    connect(m_textField, &QLineEdit::returnPressed, this, &QVR_OpenByURLWindowCotroller::openPressed);
    QPointer<QVR_OpenByURLWindowCotroller> self(this);
    m_savedTessarniesTable->setOnTessarineCellDoubleClicked([self](std::shared_ptr<ZERI_qvdFilePackage> package) {
        auto request = QVROpenRequest::request();
        request->setOpenCue(package);
        request->open([](const Error& error) { OpenFailureNotice::tell(error); });
        if (self)
            self->close();
    });
    resize(560, 420);
    FloatingWindowCloser::install(this, UFM::SAYS_CLOSE());
    m_textField->setFocus();
}

QVR_OpenByURLWindowCotroller* QVR_OpenByURLWindowCotroller::showShared()
{
    if (!sharedWindow())
        sharedWindow() = new QVR_OpenByURLWindowCotroller;
    sharedWindow()->show();
    sharedWindow()->raise();
    sharedWindow()->activateWindow();
    return sharedWindow();
}

void QVR_OpenByURLWindowCotroller::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    // Going now, though deleted later: the next command (or a failure known at once) makes a fresh window.
    if (event->isAccepted() && sharedWindow() == this)
        sharedWindow() = nullptr;
}

void QVR_OpenByURLWindowCotroller::openPressed()
{
    auto request = QVROpenRequest::request();
    request->setOpenCue(m_textField->text());
    request->setOptions(QVROpenRequest::ViewerWindow | QVROpenRequest::DownloadByStringID |
                        QVROpenRequest::PublishedCopyOnly);
    const QString typed = m_textField->text();
    close();
    request->open([typed](const Error& error) {
        if (error.isNull() || error.code == QVROpenRequest::Cancelled)
            return;
        // The window comes back with what was typed (unless the user has typed anew since), and says why.
        QPointer<QVR_OpenByURLWindowCotroller> window = showShared();
        if (window->m_textField->text().isEmpty())
            window->m_textField->setText(typed);
        // Chosen whole once the alert is answered (leaving the field for it drops a selection), so that typing
        // mends or replaces it.
        WhenOnScreen::run(window, [window, error] {
            if (!window)
                return;
            OpenFailureNotice::tell(error, window, [window] {
                if (window) {
                    window->m_textField->setFocus();
                    window->m_textField->selectAll();
                }
            });
        });
    });
}
