#include "foundation/DeallocHandler.h"

#include <QObject>

QMetaObject::Connection DeallocHandler::addDeallocBlock(QObject* object, std::function<void()> block)
{
    if (!object || !block)
        return {};
    // Direct connection without a context object: destroyed() is emitted by the dying object itself, and
    // the block must run whatever thread that happens on.
    return QObject::connect(object, &QObject::destroyed, [block = std::move(block)](QObject*) { block(); });
}
