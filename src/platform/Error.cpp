#include "platform/Error.h"

QString Error::description() const
{
    return QStringLiteral("%1 (%2): %3").arg(domain).arg(code).arg(message);
}
