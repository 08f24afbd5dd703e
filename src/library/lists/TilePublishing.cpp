#include "library/lists/TilePublishing.h"

#include <functional>

#include "library/LibraryLogging.h"

namespace {

std::unique_ptr<TilePublishing>& registered()
{
    static std::unique_ptr<TilePublishing> s_publishing;
    return s_publishing;
}

} // namespace

void TilePublishing::postTessarineModel(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*)
{
    qCInfo(lcLibrary) << "publishing is not available";
}

void TilePublishing::shareTessarineModel(const std::shared_ptr<ZERI_TessarineModel>&, QWidget*)
{
    qCInfo(lcLibrary) << "sharing is not available";
}

void TilePublishing::unpublish(const std::shared_ptr<ZERI_qvdFilePackage>&, QWidget*, std::function<void(bool)> onDone)
{
    if (onDone)
        onDone(false);
}

TilePublishing& TilePublishing::shared()
{
    static TilePublishing s_inert;
    return registered() ? *registered() : s_inert;
}

void TilePublishing::setShared(std::unique_ptr<TilePublishing> publishing)
{
    registered() = std::move(publishing);
}
