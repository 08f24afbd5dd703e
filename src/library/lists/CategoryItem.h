#pragma once

#include <QDataStream>
#include <QJsonObject>
#include <QString>

// A catalog category as the service describes it; archivable as a JSON object or through QDataStream under its
// ten field names. A key of the wrong type reads as empty (0 for the index).
class CategoryItem {
public:
    QString title;
    QString description;
    QString thumbnail;
    QString url;
    QString type;
    QString feed;
    QString uploadTags;
    double index = 0;
    QString featureButtonNormal;
    QString featureButtonPressed;

    QJsonObject toJson() const;
    static CategoryItem fromJson(const QJsonObject& object);

    friend bool operator==(const CategoryItem&, const CategoryItem&) = default;
};

QDataStream& operator<<(QDataStream& stream, const CategoryItem& item);
QDataStream& operator>>(QDataStream& stream, CategoryItem& item);
