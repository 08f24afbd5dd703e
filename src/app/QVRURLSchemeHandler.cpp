#include "app/QVRURLSchemeHandler.h"

#include <array>

#include <QUrl>

#include "app/AppLogging.h"

namespace {

constexpr std::array kSchemePrefixes{"tessarine://", "quorvanta://", "Quorvanta://"};

QVRURLSchemeHandler::OpenRequestStarter& starter()
{
    static QVRURLSchemeHandler::OpenRequestStarter s_starter;
    return s_starter;
}

// Shortened for the log: a hostile link may be long or carry control characters.
QString forLog(const QString& link)
{
    QString text = link.left(160);
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    }
    return link.size() > text.size() ? text + QStringLiteral("...") : text;
}

bool isIDCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '-' ||
           u == '.' || u == '~';
}

bool isAcceptableArgument(const QString& argument)
{
    if (argument.isEmpty() || argument.size() > QVRURLSchemeHandler::kMaxArgumentLength)
        return false;
    if (argument == QLatin1String(".") || argument == QLatin1String(".."))
        return false;
    for (QChar c : argument) {
        if (!isIDCharacter(c))
            return false;
    }
    return true;
}

} // namespace

bool QVRURLSchemeHandler::hasOwnScheme(const QString& text)
{
    for (const char* prefix : kSchemePrefixes) {
        if (text.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

std::optional<QVROpenRequestCue> QVRURLSchemeHandler::cueForLink(const QString& link)
{
    if (link.size() > kMaxLinkLength) {
        qCWarning(lcApp) << "ignoring an overlong link of" << link.size() << "characters";
        return std::nullopt;
    }
    QString rest;
    for (const char* prefix : kSchemePrefixes) {
        if (link.startsWith(QLatin1String(prefix))) {
            rest = link.mid(qsizetype(qstrlen(prefix)));
            break;
        }
    }
    if (rest.isNull()) {
        qCWarning(lcApp) << "ignoring a link of another scheme:" << forLog(link);
        return std::nullopt;
    }

    // "<command>/<argument>", "<command>?id=<argument>", "<command>/?id=<argument>"; a trailing slash is allowed.
    QString query;
    if (const qsizetype q = rest.indexOf(QLatin1Char('?')); q >= 0) {
        query = rest.mid(q + 1);
        rest.truncate(q);
    }
    if (const qsizetype hash = query.indexOf(QLatin1Char('#')); hash >= 0)
        query.truncate(hash);
    else if (const qsizetype h = rest.indexOf(QLatin1Char('#')); h >= 0)
        rest.truncate(h);
    while (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);

    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString command = (slash < 0 ? rest : rest.left(slash)).toLower();
    QString encodedArgument = slash < 0 ? QString() : rest.mid(slash + 1);
    if (encodedArgument.isEmpty() && !query.isEmpty()) {
        for (const QString& pair : query.split(QLatin1Char('&'))) {
            if (pair.startsWith(QLatin1String("id=")))
                encodedArgument = pair.mid(3);
        }
    }
    const QString argument = QUrl::fromPercentEncoding(encodedArgument.toUtf8());

    QVROpenRequestCue cue;
    if (command == QLatin1String("startnewtessarine")) {
        cue.kind = QVROpenRequestCue::Kind::Null;
        return cue;
    }
    if (command == QLatin1String("loadbyid")) {
        cue.kind = QVROpenRequestCue::Kind::ServerID;
        cue.options = 0;
    } else if (command == QLatin1String("loadbystringid")) {
        cue.kind = QVROpenRequestCue::Kind::StringID;
        cue.options = kLoadByStringIDOptions;
    } else if (command == QLatin1String("playbystringid")) {
        cue.kind = QVROpenRequestCue::Kind::StringID;
        cue.options = kPlayByStringIDOptions;
    } else {
        qCWarning(lcApp) << "ignoring a link with an unknown command:" << forLog(link);
        return std::nullopt;
    }
    if (!isAcceptableArgument(argument)) {
        qCWarning(lcApp) << "ignoring a link without a usable id:" << forLog(link);
        return std::nullopt;
    }
    cue.value = argument;
    return cue;
}

bool QVRURLSchemeHandler::handleURLEvent(const QString& link)
{
    const std::optional<QVROpenRequestCue> cue = cueForLink(link);
    if (!cue)
        return false;
    if (!starter()) {
        qCWarning(lcApp) << "no open request is available yet; dropping the link" << forLog(link);
        return false;
    }
    qCInfo(lcApp) << "opening link" << forLog(link);
    starter()(*cue);
    return true;
}

void QVRURLSchemeHandler::setOpenRequestStarter(OpenRequestStarter s)
{
    starter() = std::move(s);
}

bool QVRURLSchemeHandler::hasOpenRequestStarter()
{
    return bool(starter());
}
