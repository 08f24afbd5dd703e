#include "CreatorTestSupport.h"

#include <QApplication>
#include <QJsonArray>
#include <QWheelEvent>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace creator_test {

std::shared_ptr<ZERI_TessarineModel> makeDocument(int screens)
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    const auto flow = document->firstFlowmodel();
    for (int i = 0; i < screens; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        screen->setInternalID(QStringLiteral("S%1").arg(i));
        flow->addFlowScreen(screen);
    }
    return document;
}

PostCounter::PostCounter(const QString& name)
    : observation(name, nullptr, [this](const Notification& notification) {
        ++count;
        lastSender = notification.sender;
        lastUserInfo = notification.userInfo;
    })
{
}

void setViewportSize(QVR_SingleScreenArtBoardView& board, int width, int height)
{
    board.resize(width, height);
    const QSize viewport = board.theScrollView()->maximumViewportSize();
    board.resize(2 * width - viewport.width(), 2 * height - viewport.height());
}

void wheel(QWidget* target, double notches, Qt::KeyboardModifiers modifiers, bool horizontal)
{
    const int delta = static_cast<int>(notches * 120);
    const QPoint angle = horizontal ? QPoint(delta, 0) : QPoint(0, delta);
    const QPointF position(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(position, target->mapToGlobal(position), QPoint(), angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

int greyAt(const QImage& image, QPoint point)
{
    return qGray(image.pixel(point));
}

std::optional<QJsonObject> CapturedActionLog::find(const QString& name) const
{
    QApplication::processEvents();
    const QJsonArray events = log.backlog();
    for (auto it = events.end(); it != events.begin();) {
        --it;
        if (it->toObject().value("name").toString() == name)
            return it->toObject().value("parameters").toObject();
    }
    return std::nullopt;
}

} // namespace creator_test
