#include "creator/addition/QVR_AddElementMenuViewController.h"

#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/NibRegistry.h"
#include "creator/CreatorLogging.h"
#include "strings/UFM.h"

const QString QVR_AddElementMenuViewController::kNibName = QStringLiteral("QVR_AddElementMenuViewController");

namespace {

struct Row {
    const char* name;
    const char* icon;
    const char* pressed;
    const char* hover;
};

// Top to bottom: image, gallery, video, web video, PDF, shape, text, audio.
const Row kRows[] = {
    {"imageCell", "source_image_icon", "source_image_down", "source_image_hover"},
    {"galleryCell", "source_gallery_icon", "source_gallery_down", "source_gallery_hover"},
    {"videoCell", "source_video_icon", "source_video_down", "source_video_hover"},
    {"youTubeCell", "source_youtube_icon", "source_youtube_down", "source_youtube_hover"},
    {"pdfCell", "source_pdf_icon", "source_pdf_down", "source_pdf_hover"},
    {"shapeCell", "source_shape_icon", "source_shape_down", "source_shape_hover"},
    {"textCell", "source_text_icon", "source_text_down", "source_text_hover"},
    {"audioCell", "source_audio_icon", "source_audio_icon_hover", "source_audio_icon_hover"},
};

QString rowTitle(int index)
{
    switch (index) {
    case 0:
        return UFM::CONTENT_TYPE_LIST_IMAGE();
    case 1:
        return UFM::CONTENT_TYPE_LIST_GALLERY();
    case 2:
        return UFM::CONTENT_TYPE_LIST_VIDEO();
    case 3:
        return QStringLiteral("YouTube / Vimeo");
    case 4:
        return UFM::CONTENT_TYPE_LIST_PDF();
    case 5:
        return UFM::CONTENT_TYPE_LIST_SHAPE();
    case 6:
        return UFM::CONTENT_TYPE_LIST_TEXT();
    default:
        return UFM::CONTENT_TYPE_LIST_AUDIO();
    }
}

void registerTheNib()
{
    if (NibRegistry::hasNib(QVR_AddElementMenuViewController::kNibName))
        return;
    NibRegistry::registerNib(QVR_AddElementMenuViewController::kNibName, [](QObject*) -> QList<QWidget*> {
        auto* view = new QWidget;
        view->setObjectName(QStringLiteral("QVR_AddElementMenuViewControllerView"));
        view->setFocusPolicy(Qt::StrongFocus); // takes the keyboard and the first click
        auto* column = new QVBoxLayout(view);
        column->setContentsMargins(0, 4, 0, 4);
        column->setSpacing(0);
        for (const Row& row : kRows) {
            auto* cell = new QVR_TableViewCellLikeView(view);
            cell->setObjectName(QString::fromLatin1(row.name));
            column->addWidget(cell);
        }
        view->resize(240, 4 + 8 * 44 + 4);
        return {view};
    });
}

} // namespace

QPixmap additionMenuIcon(const QString& name)
{
    // Drawn once: each new QIcon would draw its artwork again into the application's pixmap cache under a key of its
    // own, and a menu opened at every insertion would fill that cache with copies.
    static auto* const drawn = new QHash<std::pair<QString, qreal>, QPixmap>; // outlives the application's end
    const std::pair<QString, qreal> key{name, qApp->devicePixelRatio()};
    auto found = drawn->find(key);
    if (found == drawn->end())
        found = drawn->insert(key, QIcon(QStringLiteral(":/creator/addition/%1.svg").arg(name)).pixmap(QSize(24, 24)));
    return found.value();
}

const QList<int>& QVR_AddElementMenuViewController::rowTypes()
{
    static const QList<int> types{2, 3, 1, 8, 6, 7, 4, 9};
    return types;
}

QVR_AddElementMenuViewController::QVR_AddElementMenuViewController(QObject* parent)
    : ViewController(parent)
{
}

void QVR_AddElementMenuViewController::loadView()
{
    registerTheNib();
    const QList<QWidget*> views = NibRegistry::instantiate(kNibName, this);
    QWidget* view = views.value(0);
    if (!view)
        view = new QWidget;
    const auto find = [view](const char* name) {
        return view->findChild<QVR_TableViewCellLikeView*>(QString::fromLatin1(name));
    };
    m_imageCell = find("imageCell");
    m_galleryCell = find("galleryCell");
    m_videoCell = find("videoCell");
    m_youTubeCell = find("youTubeCell");
    m_pdfCell = find("pdfCell");
    m_shapeCell = find("shapeCell");
    m_textCell = find("textCell");
    m_audioCell = find("audioCell");
    setView(view);
    awakeFromNib();
}

QList<QVR_TableViewCellLikeView*> QVR_AddElementMenuViewController::cells() const
{
    return {m_imageCell, m_galleryCell, m_videoCell, m_youTubeCell, m_pdfCell, m_shapeCell, m_textCell, m_audioCell};
}

void QVR_AddElementMenuViewController::awakeFromNib()
{
    const QList<QVR_TableViewCellLikeView*> rows = cells();
    for (int i = 0; i < rows.size(); ++i) {
        QVR_TableViewCellLikeView* cell = rows[i];
        if (!cell)
            continue;
        const Row& row = kRows[i];
        cell->setCellTitle(rowTitle(i));
        cell->setIconImage(additionMenuIcon(QString::fromLatin1(row.icon)));
        cell->setIconImage_pressedState(additionMenuIcon(QString::fromLatin1(row.pressed)));
        cell->setIconImage_hoverState(additionMenuIcon(QString::fromLatin1(row.hover)));
        cell->setDelegate(this);
        cell->setFocusPolicy(Qt::StrongFocus);
        cell->installEventFilter(this);
    }
    if (view())
        view()->installEventFilter(this);
}

bool QVR_AddElementMenuViewController::eventFilter(QObject* watched, QEvent* event)
{
    // The rows are read only for the events handled here: the filter also sees the events a row sends while it is
    // being destroyed, when it is no longer a row.
    if (watched == view() && event->type() == QEvent::Show) {
        // The menu is presented in its popover: the keyboard starts on the first row.
        QPointer<QVR_TableViewCellLikeView> first = cells().value(0);
        QTimer::singleShot(0, this, [first] {
            if (first && first->isVisible())
                first->setFocus(Qt::PopupFocusReason);
        });
    } else if (event->type() == QEvent::KeyPress) {
        const QList<QVR_TableViewCellLikeView*> rows = cells();
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = key == Qt::Key_Down ? 1 : key == Qt::Key_Up ? -1 : 0;
        const int at = rows.indexOf(qobject_cast<QVR_TableViewCellLikeView*>(watched));
        if (step != 0 && at >= 0) {
            for (int next = at + step; next >= 0 && next < rows.size(); next += step) {
                if (rows[next] && rows[next]->isVisible() && rows[next]->isEnabled()) {
                    rows[next]->setFocus(Qt::TabFocusReason);
                    break;
                }
            }
            return true;
        }
    }
    return ViewController::eventFilter(watched, event);
}

void QVR_AddElementMenuViewController::tableViewCellLikeViewClicked(QVR_TableViewCellLikeView* view)
{
    if (!view)
        return;
    if (view == m_imageCell)
        imageClicked();
    else if (view == m_galleryCell)
        galleryClicked();
    else if (view == m_videoCell)
        videoClicked();
    else if (view == m_youTubeCell)
        youtubeClicked();
    else if (view == m_pdfCell)
        pdfClicked();
    else if (view == m_shapeCell)
        shapeClicked();
    else if (view == m_textCell)
        textClicked();
    else if (view == m_audioCell)
        audioClicked();
}

void QVR_AddElementMenuViewController::audioClicked()
{
    qCInfo(lcCreator).noquote() << "audio clicked";
    selectionMade(9);
}

void QVR_AddElementMenuViewController::selectionMade(int type)
{
    if (m_delegate)
        m_delegate->addElementMenuSelectionMadeWithType(type);
}
