#include "library/share/ShareLinks.h"

#include "foundation/Tessutils.h"
#include "service/ExternalWebSites.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceWebSite.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace ShareLinks {

namespace {

constexpr qsizetype kLongestWholeTitle = 52;
constexpr qsizetype kCutTitleLength = 51;

// The channel's link: the short link when the document has an alias, else the document link and the suffix.
std::optional<QString> channelLink(const Document& document, Channel channel)
{
    if (auto shortAddress = shortLink(document))
        return shortAddress;
    if (auto link = documentLink(document))
        return *link + channelSuffix(channel);
    return std::nullopt;
}

QString message(const Document& document, const QString& title, const QString& link)
{
    const QString format = document.ownedByCurrentUser ? UFM::JUST_CREATED_SOMETHING_AT_SOMEWHERE_ON_TESSARINE()
                                                       : UFM::JUST_FOUND_SOMETHING_AT_SOMEWHERE_ON_TESSARINE();
    // One arg() call, so a "%1" inside the title is never filled in again.
    return format.arg(title, link);
}

QString emailMessage(const Document& document, const QString& title, const QString& link)
{
    const QString format = document.ownedByCurrentUser ? UFM::JUST_CREATED_SOMETHING_AT_SOMEWHERE_ON_TESSARINE_EMAIL()
                                                       : UFM::JUST_FOUND_SOMETHING_AT_SOMEWHERE_ON_TESSARINE_EMAIL();
    return format.arg(title, link);
}

QUrl strictURL(const QString& encoded)
{
    return QUrl::fromEncoded(encoded.toLatin1(), QUrl::StrictMode);
}

} // namespace

Document Document::fromModel(const ZERI_TessarineModel& model)
{
    Document document;
    document.publishURL = model.publishURL();
    document.title = model.title();
    document.alias = model.alias().trimmed();
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model.filePackage());
    document.ownedByCurrentUser = package && package->ownedByCurrentUser();
    return document;
}

QString channelName(Channel channel)
{
    switch (channel) {
    case Channel::Facebook:
        return QStringLiteral("Facebook");
    case Channel::Twitter:
        return QStringLiteral("Twitter");
    case Channel::LinkedIn:
        return QStringLiteral("LinkedIn");
    case Channel::Gmail:
        return QStringLiteral("Gmail");
    case Channel::Email:
        return QStringLiteral("Email");
    }
    return {};
}

QString channelSuffix(Channel channel)
{
    switch (channel) {
    case Channel::Facebook:
        return QStringLiteral("/f");
    case Channel::Twitter:
        return QStringLiteral("/t");
    case Channel::LinkedIn:
        return QStringLiteral("/l");
    case Channel::Gmail:
        return QStringLiteral("/g");
    case Channel::Email:
        return QStringLiteral("/e");
    }
    return {};
}

QString cutTitle(const QString& title)
{
    if (title.size() <= kLongestWholeTitle)
        return title;
    qsizetype length = kCutTitleLength;
    if (title.at(length - 1).isHighSurrogate())
        --length;
    return title.left(length) + QChar(0x2026);
}

QString percentEncoded(const QString& text)
{
    // QUrl's default keeps exactly the unreserved characters A–Z a–z 0–9 - . _ ~.
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

std::optional<QString> documentLink(const Document& document)
{
    if (!document.publishURL || document.publishURL->isEmpty())
        return std::nullopt;
    const QString slug = Tessutils::urlFriendlyHyphenatedTitleFromString(document.title);
    QString link = ZERI_TessarineModel::publishWebScheme() + QStringLiteral("://") + *document.publishURL;
    if (!slug.isEmpty())
        link += u'/' + slug;
    return link;
}

std::optional<QString> shortLink(const Document& document)
{
    if (document.alias.isEmpty())
        return std::nullopt;
    return QVROpenRequest::shortLinkBase() + document.alias;
}

QString addressFieldText(const Document& document)
{
    if (!document.publishURL || document.publishURL->isEmpty())
        return {};
    return shortLink(document).value_or(*document.publishURL);
}

std::optional<QUrl> shareURL(const Document& document, Channel channel)
{
    if (!document.publishURL || document.publishURL->isEmpty())
        return std::nullopt;
    const auto link = channelLink(document, channel);
    if (!link)
        return std::nullopt;

    switch (channel) {
    case Channel::Facebook: {
        QString target;
        if (auto shortAddress = shortLink(document)) {
            target = *shortAddress;
        } else {
            const QString slug = Tessutils::urlFriendlyHyphenatedTitleFromString(document.title);
            target = slug.isEmpty() ? *document.publishURL : *document.publishURL + u'/' + slug;
        }
        target += channelSuffix(Channel::Facebook);
        return strictURL(ExternalWebSites::rootString(ExternalWebSites::Site::Facebook) +
                         QStringLiteral("/dialog/feed?app_id=%1&display=popup&link=%2&redirect_uri=%3")
                             .arg(percentEncoded(ExternalWebSites::facebookAppID()), percentEncoded(target),
                                  percentEncoded(ServiceWebSite::rootString())));
    }
    case Channel::Twitter: {
        const QString text = shortLink(document) ? *link : message(document, cutTitle(document.title), *link);
        return strictURL(ExternalWebSites::rootString(ExternalWebSites::Site::Twitter) +
                         QStringLiteral("/intent/tweet?text=") + percentEncoded(text));
    }
    case Channel::LinkedIn:
        return strictURL(ExternalWebSites::rootString(ExternalWebSites::Site::LinkedIn) +
                         QStringLiteral("/shareArticle?summary=&title=&mini=true&url=%1&source=Tessarine")
                             .arg(percentEncoded(*link)));
    case Channel::Gmail:
        return strictURL(ExternalWebSites::rootString(ExternalWebSites::Site::Gmail) +
                         QStringLiteral("/mail/u/0/?view=cm&fs=1&tf=1&body=") +
                         percentEncoded(emailMessage(document, cutTitle(document.title), *link)));
    case Channel::Email:
        return strictURL(QStringLiteral("mailto:?BODY=") +
                         percentEncoded(emailMessage(document, document.title, *link)));
    }
    return std::nullopt;
}

} // namespace ShareLinks
