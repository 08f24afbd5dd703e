#pragma once

#include <QString>

#include "foundation/SafeDictionary.h"

// The enterprise group a user belongs to, as the service sends it ("id", "group_name", ...). The whole
// group object is kept so it can be stored back unchanged.
class QVREnterpriseGroup {
public:
    QVREnterpriseGroup() = default;
    explicit QVREnterpriseGroup(const SafeDictionary& dict)
        : m_dictionary(dict)
        , m_groupID(dict.stringForKey(QStringLiteral("id")))
        , m_groupName(dict.stringForKey(QStringLiteral("group_name")))
    {
    }

    QString groupID() const { return m_groupID; }
    QString groupName() const { return m_groupName; }
    const SafeDictionary& dictionary() const { return m_dictionary; }

private:
    SafeDictionary m_dictionary;
    QString m_groupID;
    QString m_groupName;
};
