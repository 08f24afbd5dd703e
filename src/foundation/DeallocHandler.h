#pragma once

#include <functional>

#include <QMetaObject>

class QObject;

// Runs a block when an object is destroyed, for clean-up that belongs to the object's lifetime (a
// temporary folder removed with the converter that made it).
namespace DeallocHandler {

// The block runs once, on the thread that destroys `object`, while its QObject part still exists. The
// returned token removes the block with QObject::disconnect before it has run. Without an object or a
// block nothing is registered and the token is invalid.
QMetaObject::Connection addDeallocBlock(QObject* object, std::function<void()> block);

} // namespace DeallocHandler
