#include "tessarine_data_model/FontAttribute.h"

#include "foundation/FontSubstitution.h"

FontAttribute::FontAttribute(const QString& postScriptName, double pointSize, TextRange range)
    : m_postScriptName(postScriptName)
    , m_pointSize(pointSize)
    , m_range(range)
{
}

QFont FontAttribute::font() const
{
    QMutexLocker lock(&m_mutex);
    return FontSubstitution::fontForPostScriptName(m_postScriptName, m_pointSize);
}

QString FontAttribute::postScriptName() const
{
    QMutexLocker lock(&m_mutex);
    return m_postScriptName;
}

double FontAttribute::pointSize() const
{
    QMutexLocker lock(&m_mutex);
    return m_pointSize;
}

void FontAttribute::setFont(const QString& postScriptName, double pointSize)
{
    QMutexLocker lock(&m_mutex);
    m_postScriptName = postScriptName;
    m_pointSize = pointSize;
}

TextRange FontAttribute::range() const
{
    QMutexLocker lock(&m_mutex);
    return m_range;
}

void FontAttribute::setRange(TextRange range)
{
    QMutexLocker lock(&m_mutex);
    m_range = range;
}
