// Writes a PNG of each shared control in its states into a folder, for review:
//   controls_gallery <output folder> [scale]
// Runs offscreen unless QT_QPA_PLATFORM says otherwise; scale (default 2) is the device pixel ratio.

#include <cstdio>
#include <functional>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/AsynchronousRenderImageView.h"
#include "controls/ComboBoxView.h"
#include "controls/ContentSheddingScrollView.h"
#include "controls/CustomProgressView.h"
#include "controls/DynamicRatioSectionedGridView.h"
#include "controls/HoverAreaView.h"
#include "controls/INAppStoreWindow.h"
#include "controls/MouseEventShieldWindow.h"
#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/QVOCircularProgressView.h"
#include "controls/QVRGreyHighlightTableRowView.h"
#include "controls/QVR_LoadingViewController.h"
#include "controls/QVR_ModalViewWithCloseButton.h"
#include "controls/QVR_StretchableBorderView.h"
#include "controls/QVR_TableViewCellLikeView.h"
#include "controls/QVR_Toast.h"
#include "controls/SheetLikePanelViewController.h"
#include "controls/SingleRowCollectionView.h"
#include "controls/UniversalPopover.h"
#include "controls/VerticallyCenteredTextFieldCell.h"
#include "controls/ViewUtils.h"

namespace {

QString g_folder;
int g_written = 0;

void save(QWidget* widget, const QString& name, bool settle = true)
{
    widget->show();
    if (settle)
        QApplication::processEvents();
    const QString path = QDir(g_folder).filePath(name + QStringLiteral(".png"));
    if (widget->grab().save(path)) {
        ++g_written;
        std::printf("%s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

// A backdrop so that light and translucent controls are visible in the pictures.
QWidget* backdrop(const QSize& size, QColor color = QColor(0xEA, 0xE8, 0xE2))
{
    auto* host = new QWidget;
    host->resize(size);
    ViewUtils::setBackgroundColor(host, color);
    return host;
}

QWidget* labelled(const QString& text, const QSize& size, QColor color)
{
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->resize(size);
    ViewUtils::setBackgroundColor(label, color);
    return label;
}

QString writeSampleImage(const QTemporaryDir& dir)
{
    QImage image(400, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 400, 200);
    gradient.setColorAt(0, QColor(0x1F, 0x70, 0xA8));
    gradient.setColorAt(1, QColor(0xF2, 0xB1, 0x34));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 40, QFont::Bold));
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("2 : 1"));
    painter.end();
    const QString path = dir.filePath(QStringLiteral("sample.png"));
    image.save(path);
    return path;
}

class Page : public NavigationControllerFriendlyViewController {
public:
    Page(const QString& title, QColor color)
        : m_color(color)
    {
        setTitle(title);
    }

protected:
    void loadView() override { setView(labelled(title(), QSize(360, 400), m_color)); }

private:
    QColor m_color;
};

class Tiles : public DynamicRatioSectionedGridViewDelegate {
public:
    int gridViewNumColumnsInSection(DynamicRatioSectionedGridView*, int) override { return 4; }
    double gridViewHorizontalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override { return 10; }
    double gridViewVerticalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override { return 20; }
    int gridViewNumItemsInSection(DynamicRatioSectionedGridView*, int) override { return 10; }
    QWidget* gridViewViewForSection(DynamicRatioSectionedGridView*, int, int index) override
    {
        return labelled(QStringLiteral("Tile %1").arg(index + 1), QSize(10, 10),
                        QColor::fromHsv((index * 37) % 360, 60, 240));
    }
    QSizeF gridViewDesiredSizeForViewInSection(DynamicRatioSectionedGridView*, int, int index) override
    {
        return index % 3 == 0 ? QSizeF(4, 5) : QSizeF(4, 3);
    }
};

void modalView()
{
    QVR_ModalViewWithCloseButton modal(QRect(0, 0, 480, 320));
    modal.setBackgroundColor(QColor(0, 0, 0, 220));
    auto* content = labelled(QStringLiteral("Gallery viewer"), QSize(300, 200), QColor(0x55, 0x55, 0x55));
    modal.addSubview(content);
    content->move(90, 60);
    save(&modal, QStringLiteral("modal_view_with_close_button"));
}

void popovers()
{
    const struct {
        int side;
        const char* name;
        QRectF anchor;
    } cases[] = {
        {UniversalPopover::ArrowPositionTop, "top", QRectF(230, 40, 40, 24)},
        {UniversalPopover::ArrowPositionBottom, "bottom", QRectF(230, 300, 40, 24)},
        {UniversalPopover::ArrowPositionLeft, "left", QRectF(40, 160, 40, 24)},
        {UniversalPopover::ArrowPositionRight, "right", QRectF(420, 160, 40, 24)},
    };
    for (const auto& c : cases) {
        std::unique_ptr<QWidget> host(backdrop(QSize(500, 360)));
        auto* anchor = new QPushButton(QStringLiteral("●"), host.get());
        anchor->setGeometry(c.anchor.toRect());
        auto* content = labelled(QStringLiteral("Popover content"), QSize(200, 110), Qt::transparent);
        UniversalPopover popover(0, QColor::fromRgbF(0.98f, 0.98f, 0.98f), content);
        popover.setPreferedPopoverArrowPosition(c.side);
        popover.presentPopoverInView(host.get(), c.side, c.anchor, false);
        save(host.get(), QStringLiteral("universal_popover_arrow_%1").arg(QLatin1String(c.name)));
        popover.setParent(nullptr);
    }
}

void shield()
{
    std::unique_ptr<QWidget> window(backdrop(QSize(600, 400)));
    new QLabel(QStringLiteral("Window below the shield"), window.get());
    MouseEventShieldWindow* shieldWindow = MouseEventShieldWindow::sheildWindowForWindow(window.get());
    shieldWindow->setBackgroundColor(QColor(0, 0, 0, 77));
    auto* guide = labelled(QStringLiteral("Guide"), QSize(220, 260), Qt::white);
    guide->setParent(shieldWindow->closeOnClickView());
    guide->move(600 - 220 - 20, 75);
    shieldWindow->show();
    save(window.get(), QStringLiteral("mouse_event_shield_window"));
}

void progress()
{
    for (double p : {0.0, 0.25, 0.5, 1.0}) {
        std::unique_ptr<QWidget> host(backdrop(QSize(120, 120), QColor(0x33, 0x33, 0x33)));
        auto* ring = new QVOCircularProgressView(host.get());
        ring->setGeometry(10, 10, 100, 100);
        ring->setProgress(p);
        save(host.get(), QStringLiteral("circular_progress_%1").arg(int(p * 100)));
    }
    for (float p : {0.0f, 0.4f, 1.0f}) {
        std::unique_ptr<QWidget> host(backdrop(QSize(260, 40), Qt::white));
        auto* bar = new CustomProgressView(host.get());
        bar->setGeometry(10, 10, 240, 20);
        bar->setProgress(p);
        bar->setLabelText(QStringLiteral("Uploading 2 of 5"));
        save(host.get(), QStringLiteral("custom_progress_%1").arg(int(p * 100)));
    }
    QVR_LoadingViewController loading;
    ViewUtils::setBackgroundColor(loading.view(), QColor(0x33, 0x33, 0x33));
    loading.startSpinner();
    loading.setProgress(0.6);
    loading.progressView()->setLabelText(QStringLiteral("Downloading"));
    save(loading.view(), QStringLiteral("loading_view"));
}

void panel()
{
    SheetLikePanelViewController panelController;
    panelController.setEnableCloseButton(true);
    panelController.setEnableNavigationBackButton(true);
    panelController.view()->resize(360, 444);
    panelController.navigationController()->setRootViewController(
        new Page(QStringLiteral("Link"), QColor(0x44, 0x47, 0x4C)));
    save(panelController.view(), QStringLiteral("sheet_like_panel_root"));
    panelController.navigationController()->pushViewController(
        new Page(QStringLiteral("Link to screen"), QColor(0x4C, 0x4F, 0x55)), false);
    save(panelController.view(), QStringLiteral("sheet_like_panel_pushed"));
}

void windows()
{
    INAppStoreWindow plain;
    plain.resize(640, 300);
    plain.setTitleBarHeight(60);
    plain.setWindowTitle(QStringLiteral("My Documents"));
    plain.setShowsTitle(true);
    save(&plain, QStringLiteral("inappstore_window_default"));

    INAppStoreWindow creator;
    creator.resize(640, 300);
    creator.setTitleBarHeight(72);
    creator.setWindowTitle(QStringLiteral("Untitled"));
    creator.setShowsTitle(true);
    creator.setTitleTextColor(Qt::white);
    creator.setTitleTextShadow({QColor(0, 0, 0, 120), QPointF(0, 1)});
    creator.setTitleBarDrawingBlock(
        [](QPainter* painter, bool main, const QRectF& rect, Qt::Edge, const QPainterPath&) {
            QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
            gradient.setColorAt(0, main ? QColor(0x2A, 0x83, 0xC2) : QColor(0x8A, 0x9B, 0xA8));
            gradient.setColorAt(1, main ? QColor(0x1F, 0x70, 0xA8) : QColor(0x7A, 0x8B, 0x98));
            painter->fillRect(rect, gradient);
        });
    auto* play = new QPushButton(QStringLiteral("Play"), creator.titleBarView());
    play->setGeometry(540, 20, 80, 32);
    save(&creator, QStringLiteral("inappstore_window_custom_drawing"));

    std::unique_ptr<QWidget> host(backdrop(QSize(500, 240)));
    QVR_Toast::toast(QStringLiteral("Error sending mail. Recipient or sender missing."), host.get());
    save(host.get(), QStringLiteral("toast"));
}

void images(const QString& sample)
{
    const struct {
        int mode;
        const char* name;
    } modes[] = {{0, "stretch"}, {1, "aspect_fit"}, {2, "aspect_fill"}};
    for (const auto& m : modes) {
        std::unique_ptr<QWidget> host(backdrop(QSize(220, 220)));
        auto* view = new AsynchronousRenderImageView(QRect(10, 10, 200, 200), host.get());
        view->setContentMode(m.mode);
        view->setImagePath(sample);
        host->show();
        if (!QTest::qWaitFor([&] { return !view->renderedImage().isNull(); }, 5000))
            std::fprintf(stderr, "image view did not render in time\n");
        save(host.get(), QStringLiteral("asynchronous_render_image_view_%1").arg(QLatin1String(m.name)));
    }
}

void collections()
{
    SingleRowCollectionView row;
    row.setItemSize(QSize(120, 80));
    row.setItemSpacing(8);
    row.setContent({1, 2, 3, 4});
    for (int i = 0; i < row.count(); ++i)
        ViewUtils::setBackgroundColor(row.itemAtIndex(i)->view(),
                                      i == 1 ? QColor(0x1F, 0x70, 0xA8) : QColor(0xCC, 0xCC, 0xCC));
    row.setSelectionIndexes({1});
    save(&row, QStringLiteral("single_row_collection_view_selected_1"));

    Tiles tiles;
    DynamicRatioSectionedGridView grid;
    grid.resize(600, 10);
    ViewUtils::setBackgroundColor(&grid, QColor(0xEA, 0xE8, 0xE2));
    grid.setDelegate(&tiles);
    grid.reloadViews();
    save(&grid, QStringLiteral("dynamic_ratio_sectioned_grid_view"));
    grid.setDelegate(nullptr);

    ContentSheddingScrollView pages(QRect(0, 0, 400, 200));
    auto* document = new QWidget;
    document->resize(1600, 200);
    for (int i = 0; i < 4; ++i) {
        auto* pageView = labelled(QStringLiteral("Page %1").arg(i), QSize(400, 200), QColor::fromHsv(i * 80, 80, 230));
        pageView->setParent(document);
        pageView->move(i * 400, 0);
    }
    pages.setPage_Width(400);
    pages.setDocumentView(document);
    pages.show();
    pages.scrollToPoint(QPoint(800, 0));
    save(&pages, QStringLiteral("content_shedding_scroll_view_page_2"));
}

void smallViews()
{
    QPixmap icon(16, 16);
    icon.fill(QColor(0x1F, 0x70, 0xA8));
    const char* states[] = {"normal", "hover", "pressed"};
    for (int state = 0; state < 3; ++state) {
        std::unique_ptr<QWidget> host(backdrop(QSize(260, 44), Qt::white));
        auto* cell = new QVR_TableViewCellLikeView(host.get());
        cell->setGeometry(host->rect());
        cell->setCellTitle(QStringLiteral("Settings"));
        cell->setIconImage(icon);
        host->show();
        QApplication::processEvents(); // showing sends the pointer's leave; the state is set after it
        cell->setCurrentControlState(state);
        save(host.get(), QStringLiteral("table_view_cell_like_view_%1").arg(QLatin1String(states[state])), false);
    }

    std::unique_ptr<QWidget> comboHost(backdrop(QSize(200, 46), Qt::white));
    auto* combo = new ComboBoxView(comboHost.get());
    combo->setGeometry(10, 10, 180, 26);
    combo->label()->setText(QStringLiteral("Fade in"));
    save(comboHost.get(), QStringLiteral("combo_box_view"));

    for (bool docked : {true, false}) {
        std::unique_ptr<QWidget> host(backdrop(QSize(240, 300), QColor(0xDD, 0xDD, 0xDD)));
        new QVR_StretchableBorderView(QRect(10, 10, 220, 280), docked, host.get());
        save(host.get(), QStringLiteral("stretchable_border_view_%1")
                             .arg(docked ? QStringLiteral("docked") : QStringLiteral("floating")));
    }

    std::unique_ptr<QWidget> rows(backdrop(QSize(240, 72), Qt::white));
    auto* layout = new QVBoxLayout(rows.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 3; ++i) {
        auto* row = new QVRGreyHighlightTableRowView;
        row->setSelected(i == 1);
        auto* rowLayout = new QVBoxLayout(row);
        rowLayout->setContentsMargins(8, 0, 8, 0);
        rowLayout->addWidget(new VerticallyCenteredTextFieldCell(QStringLiteral("Row %1").arg(i + 1)));
        layout->addWidget(row);
    }
    save(rows.get(), QStringLiteral("grey_highlight_rows_vertically_centred_text"));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray scale = argc > 2 ? QByteArray(argv[2]) : QByteArray("2");
    qputenv("QT_SCALE_FACTOR", scale);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: controls_gallery <output folder> [scale]\n");
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir temporary;
    modalView();
    popovers();
    shield();
    progress();
    panel();
    windows();
    images(writeSampleImage(temporary));
    collections();
    smallViews();
    std::printf("%d pictures\n", g_written);
    return g_written > 0 ? 0 : 1;
}
