#include "library/lists/CategoryItem.h"

#include <QVariantMap>

namespace {

QString text(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

} // namespace

QJsonObject CategoryItem::toJson() const
{
    return {{"title", title},
            {"description", description},
            {"thumbnail", thumbnail},
            {"url", url},
            {"type", type},
            {"feed", feed},
            {"uploadTags", uploadTags},
            {"index", index},
            {"featureButtonNormal", featureButtonNormal},
            {"featureButtonPressed", featureButtonPressed}};
}

CategoryItem CategoryItem::fromJson(const QJsonObject& object)
{
    CategoryItem item;
    item.title = text(object, "title");
    item.description = text(object, "description");
    item.thumbnail = text(object, "thumbnail");
    item.url = text(object, "url");
    item.type = text(object, "type");
    item.feed = text(object, "feed");
    item.uploadTags = text(object, "uploadTags");
    const QJsonValue index = object.value(QLatin1String("index"));
    item.index = index.isDouble() ? index.toDouble() : 0;
    item.featureButtonNormal = text(object, "featureButtonNormal");
    item.featureButtonPressed = text(object, "featureButtonPressed");
    return item;
}

QDataStream& operator<<(QDataStream& stream, const CategoryItem& item)
{
    return stream << item.toJson().toVariantMap();
}

QDataStream& operator>>(QDataStream& stream, CategoryItem& item)
{
    QVariantMap map;
    stream >> map;
    item =
        stream.status() == QDataStream::Ok ? CategoryItem::fromJson(QJsonObject::fromVariantMap(map)) : CategoryItem();
    return stream;
}
