#include "creator/window/CreatorContentAddition.h"

#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString CreatorContentAddition::kBusyChangedNotification = QStringLiteral("CreatorContentAdditionBusyChanged");

namespace {
std::shared_ptr<CreatorContentAddition>& registeredAddition()
{
    static std::shared_ptr<CreatorContentAddition> addition;
    return addition;
}

std::function<bool(const QWidget*)>& cropQuery()
{
    static std::function<bool(const QWidget*)> query;
    return query;
}
} // namespace

void CreatorContentAddition::registerAddition(std::shared_ptr<CreatorContentAddition> addition)
{
    registeredAddition() = std::move(addition);
}

std::shared_ptr<CreatorContentAddition> CreatorContentAddition::shared()
{
    return registeredAddition();
}

void CreatorCropState::setQuery(std::function<bool(const QWidget* board)> query)
{
    cropQuery() = std::move(query);
}

bool CreatorCropState::isCropping(const QWidget* board)
{
    return board && cropQuery() && cropQuery()(board);
}

void CreatorContentAddition::postBusyChanged(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    postBusyChanged(document.get());
}

void CreatorContentAddition::postBusyChanged(const ZERI_TessarineModel* document)
{
    NotificationCenter::defaultCenter().post(kBusyChangedNotification, document);
}
