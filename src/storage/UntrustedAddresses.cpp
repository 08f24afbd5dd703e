#include "storage/UntrustedAddresses.h"

#include <QDir>
#include <QFileInfo>

#include "storage/StorageLogging.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// Log the address without its query: signed and tokenised URLs must not reach the log.
QString safeUrlText(const QUrl& url)
{
    return url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment);
}

// The path with links resolved as far as they exist (a file not yet there keeps its own name).
QString resolved(const QString& path)
{
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

bool UntrustedAddresses::isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

int UntrustedAddresses::refuseNonWebAssetAddresses(ZERI_TessarineModel& document, const QString& origin)
{
    int refused = 0;
    for (const auto& asset : document.getAllContentAssets()) {
        const QUrl url = asset->externalURL();
        if (url.isEmpty() || isWebAddress(url))
            continue;
        qCWarning(lcStorage).noquote() << "refusing the address" << safeUrlText(url) << "of an asset of" << origin
                                       << "- addresses from the service are web addresses only";
        asset->setExternalURL(QUrl());
        ++refused;
    }
    return refused;
}

bool UntrustedAddresses::isInsideFolder(const QString& path, const QString& folder)
{
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QString root = resolved(folder);
    const QString file = resolved(path);
    return file.startsWith(root + QLatin1Char('/'));
}
