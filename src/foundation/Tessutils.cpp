#include "foundation/Tessutils.h"

#include <atomic>
#include <cmath>

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextCharFormat>
#include <QUuid>

#include "foundation/FontSubstitution.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace {

std::atomic<bool> g_userInfoNeedsUpdate{false};

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// Records are kept as compact JSON text so the store file stays readable and any JSON value survives.
void storeRecord(const char* name, const std::optional<QJsonObject>& record)
{
    if (!record) {
        UserDefaults::standard().remove(key(name));
        return;
    }
    UserDefaults::standard().setValue(key(name),
                                      QString::fromUtf8(QJsonDocument(*record).toJson(QJsonDocument::Compact)));
}

std::optional<QJsonObject> loadRecord(const char* name)
{
    const QVariant stored = UserDefaults::standard().value(key(name));
    if (!stored.isValid())
        return std::nullopt;
    const SafeDictionary asVariant = SafeDictionary::fromVariant(stored);
    if (!asVariant.isEmpty())
        return asVariant.dictionary();
    const QJsonDocument document = QJsonDocument::fromJson(stored.toString().toUtf8());
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QString> flowLinkValue(const QString& link, QLatin1String wanted)
{
    const QString scheme = Tessutils::flowLinkEmbedScheme();
    const qsizetype start = link.indexOf(scheme);
    if (start < 0)
        return std::nullopt;
    const QStringList pairs = link.mid(start + scheme.size()).split(QLatin1Char('&'));
    for (const QString& pair : pairs) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (QStringView(pair).left(equals) == wanted)
            return pair.mid(equals + 1);
    }
    return std::nullopt;
}

} // namespace

QFont SerializedFontRun::font() const
{
    return FontSubstitution::fontForPostScriptName(name, size);
}

QString Tessutils::generateUniversalID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QColor Tessutils::tessarineBlue()
{
    return colorFromHex(0x1F70A8);
}

QColor Tessutils::tessarineBlueForDarkDesigns()
{
    return colorFromHex(0x2079DF);
}

QColor Tessutils::tessarineBlackColor()
{
    return QColor::fromRgbF(0.23f, 0.23f, 0.23f, 1.0f);
}

QStringList Tessutils::zeriDefaultFontList()
{
    // The application's own display faces first, then the system families documents commonly use.
    // Display family and face names of every entry are free of "-", as the font catalogue requires.
    return {
        QStringLiteral("HelveticaNeue"),
        QStringLiteral("HelveticaNeue-UltraLight"),
        QStringLiteral("HelveticaNeue-UltraLightItalic"),
        QStringLiteral("HelveticaNeue-Light"),
        QStringLiteral("HelveticaNeue-LightItalic"),
        QStringLiteral("HelveticaNeue-Italic"),
        QStringLiteral("HelveticaNeue-Medium"),
        QStringLiteral("HelveticaNeue-Bold"),
        QStringLiteral("HelveticaNeue-BoldItalic"),
        QStringLiteral("HelveticaNeue-CondensedBold"),
        QStringLiteral("Helvetica"),
        QStringLiteral("Helvetica-Oblique"),
        QStringLiteral("Helvetica-Light"),
        QStringLiteral("Helvetica-LightOblique"),
        QStringLiteral("Helvetica-Bold"),
        QStringLiteral("Helvetica-BoldOblique"),
        QStringLiteral("Lavanderia-Delicate"),
        QStringLiteral("Lavanderia-Regular"),
        QStringLiteral("Lavanderia-Sturdy"),
        QStringLiteral("LeagueGothic-Regular"),
        QStringLiteral("Museo-300"),
        QStringLiteral("Museo-500"),
        QStringLiteral("Museo-700"),
        QStringLiteral("Sullivan-Regular"),
        QStringLiteral("Sullivan-Bevel"),
        QStringLiteral("Sullivan-Fill"),
        QStringLiteral("ArialMT"),
        QStringLiteral("Arial-ItalicMT"),
        QStringLiteral("Arial-BoldMT"),
        QStringLiteral("Arial-BoldItalicMT"),
        QStringLiteral("TimesNewRomanPSMT"),
        QStringLiteral("TimesNewRomanPS-ItalicMT"),
        QStringLiteral("TimesNewRomanPS-BoldMT"),
        QStringLiteral("TimesNewRomanPS-BoldItalicMT"),
        QStringLiteral("Georgia"),
        QStringLiteral("Georgia-Italic"),
        QStringLiteral("Georgia-Bold"),
        QStringLiteral("Georgia-BoldItalic"),
        QStringLiteral("Palatino-Roman"),
        QStringLiteral("Palatino-Italic"),
        QStringLiteral("Palatino-Bold"),
        QStringLiteral("Palatino-BoldItalic"),
        QStringLiteral("Courier"),
        QStringLiteral("Courier-Oblique"),
        QStringLiteral("Courier-Bold"),
        QStringLiteral("Courier-BoldOblique"),
    };
}

QStringList Tessutils::allAvailableFonts()
{
    return zeriDefaultFontList();
}

QStringList Tessutils::standardDefaultColorList()
{
    return {
        QStringLiteral("0x000000"), QStringLiteral("0xffffff"), QStringLiteral("0xf7931e"), QStringLiteral("0xcac5af"),
        QStringLiteral("0x5a4a42"), QStringLiteral("0xffe5ba"), QStringLiteral("0xc34b28"), QStringLiteral("0xfefefe"),
        QStringLiteral("0xa2bb11"), QStringLiteral("0x11a2bb"), QStringLiteral("0xeeee11"), QStringLiteral("0x11eeee"),
        QStringLiteral("0xee11ee"), QStringLiteral("0x648d93"), QStringLiteral("0x403636"), QStringLiteral("0x222222"),
        QStringLiteral("0x444444"), QStringLiteral("0x666666"), QStringLiteral("0x888888"), QStringLiteral("0xaaaaaa"),
        QStringLiteral("0xcccccc"), QStringLiteral("0xeeeeee"),
    };
}

QStringList Tessutils::defaultFontSizeList()
{
    return {QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("18"),  QStringLiteral("24"),
            QStringLiteral("30"), QStringLiteral("36"), QStringLiteral("48"),  QStringLiteral("60"),
            QStringLiteral("72"), QStringLiteral("96"), QStringLiteral("120"), QStringLiteral("144")};
}

AttributedString Tessutils::attributedStringWithText(const QString& text, const QFont& font)
{
    AttributedString result;
    result.string = text;
    QTextLayout::FormatRange range;
    range.start = 0;
    range.length = static_cast<int>(text.size());
    range.format.setFont(font);
    result.formats.append(range);
    return result;
}

SerializedFontRun Tessutils::fontAttributeDictFromSerializedFont(const SafeDictionary& serializedFont)
{
    SerializedFontRun run;
    const QString name = serializedFont.stringForKey(QStringLiteral("Name")).trimmed();
    run.name = name.isEmpty() ? QStringLiteral("HelveticaNeue") : name;
    const double size = serializedFont.doubleForKey(QStringLiteral("Size"), 12.0);
    run.size = (std::isfinite(size) && size > 0) ? size : 12.0;

    // "{location, length}", as ranges are written in the document.
    static const QRegularExpression rangeForm(QStringLiteral(R"(^\s*\{\s*(\d+)\s*,\s*(\d+)\s*\}\s*$)"));
    const QRegularExpressionMatch match = rangeForm.match(serializedFont.stringForKey(QStringLiteral("Range")));
    if (match.hasMatch()) {
        bool locationOk = false;
        bool lengthOk = false;
        const qint64 location = match.captured(1).toLongLong(&locationOk);
        const qint64 length = match.captured(2).toLongLong(&lengthOk);
        if (locationOk && lengthOk) {
            run.location = location;
            run.length = length;
        }
    }
    return run;
}

QString Tessutils::flowLinkEmbedScheme()
{
    return QStringLiteral("flowLink://");
}

bool Tessutils::isFlowLink(const QString& text)
{
    return text.contains(flowLinkEmbedScheme());
}

std::optional<QString> Tessutils::embeddedFlowLinkWithStringID(const QString& stringID, const QString& screenID,
                                                               const QString& screenIndex)
{
    if (stringID.isEmpty())
        return std::nullopt;
    QString link = flowLinkEmbedScheme() + QStringLiteral("stringID=") + stringID;
    if (!screenID.isEmpty())
        link += QStringLiteral("&screenID=") + screenID;
    if (!screenIndex.isEmpty())
        link += QStringLiteral("&screenIndex=") + screenIndex;
    return link;
}

std::optional<QString> Tessutils::stringIDFromEmbedFlowLink(const QString& link)
{
    return flowLinkValue(link, QLatin1String("stringID"));
}

std::optional<QString> Tessutils::screenIDFromEmbedFlowLink(const QString& link)
{
    return flowLinkValue(link, QLatin1String("screenID"));
}

std::optional<QString> Tessutils::screenIndexFromEmbedFlowLink(const QString& link)
{
    return flowLinkValue(link, QLatin1String("screenIndex"));
}

QString Tessutils::urlFriendlyHyphenatedTitleFromString(const QString& title)
{
    const QString decomposed = title.trimmed().toLower().normalized(QString::NormalizationForm_KD);
    QString result;
    bool pendingHyphen = false;
    for (const QChar c : decomposed) {
        if (c.isSpace()) {
            pendingHyphen = !result.isEmpty();
            continue;
        }
        const char16_t u = c.unicode();
        const bool unreserved =
            (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '.' || u == '_' || u == '~';
        if (!unreserved)
            continue;
        if (pendingHyphen) {
            result.append(QLatin1Char('-'));
            pendingHyphen = false;
        }
        result.append(c);
    }
    return result;
}

QString Tessutils::trackableEmail_editablePDFEmailHTMLStringWithSender(const QString& sender, const QString& pdfLink,
                                                                       const QString& pdfName)
{
    const QString name = pdfName.toHtmlEscaped();
    const QString link = pdfLink.toHtmlEscaped();
    return QStringLiteral("<html><body>"
                          "<p>%1 has shared the PDF &ldquo;%2&rdquo; with you.</p>"
                          "<p><a href=\"%3\">Open %2</a></p>"
                          "</body></html>")
        .arg(sender.toHtmlEscaped(), name, link);
}

QStringList Tessutils::trackableEmail_standardNoTrackURLStrings()
{
    return {QStringLiteral("https://www.tessarine.com"), QStringLiteral("http://www.tessarine.com")};
}

QString Tessutils::corvikAuthToken()
{
    return UserDefaults::standard().string(key(TessutilsKeys::kAuthToken));
}

void Tessutils::setCorvikAuthToken(const QString& token)
{
    if (token.isEmpty()) {
        UserDefaults::standard().remove(key(TessutilsKeys::kAuthToken));
        return;
    }
    UserDefaults::standard().setValue(key(TessutilsKeys::kAuthToken), token);
    NotificationCenter::defaultCenter().post(key(TessutilsKeys::kAuthTokenSetNotification));
}

SafeDictionary Tessutils::corvikUserDict()
{
    const std::optional<QJsonObject> record = loadRecord(TessutilsKeys::kUserDict);
    if (!record)
        return SafeDictionary();
    const SafeDictionary dict(*record);
    if (const auto user = dict.safeDictionaryForKey(QStringLiteral("user")))
        return *user;
    return dict;
}

void Tessutils::setCorvikUserDict(const std::optional<SafeDictionary>& userDict)
{
    if (!userDict) {
        storeRecord(TessutilsKeys::kUserDict, std::nullopt);
        return;
    }
    const SafeDictionary record = userDict->safeDictionaryForKey(QStringLiteral("profile")).value_or(*userDict);
    storeRecord(TessutilsKeys::kUserDict, record.dictionary());

    const QString maxUpload = record.stringForKey(QStringLiteral("upload_max_file_size"));
    bool ok = false;
    const qint64 bytes = maxUpload.toLongLong(&ok);
    if (!maxUpload.isEmpty() && ok)
        setUserMaxUploadSize(bytes);
    setUserInfoNeedsUpdate(true);
}

void Tessutils::setCorvikDisplayName(const QString& displayName)
{
    QJsonObject record = loadRecord(TessutilsKeys::kUserDict).value_or(QJsonObject());
    // Written where corvikUserDict() reads, so the new name shows at once.
    if (record.value(QStringLiteral("user")).isObject()) {
        QJsonObject user = record.value(QStringLiteral("user")).toObject();
        user.insert(QStringLiteral("display_name"), displayName);
        record.insert(QStringLiteral("user"), user);
    } else {
        record.insert(QStringLiteral("display_name"), displayName);
    }
    storeRecord(TessutilsKeys::kUserDict, record);
}

bool Tessutils::isUserAdmin()
{
    return corvikUserDict().stringForKey(QStringLiteral("account_type")) == QLatin1String("admin");
}

QString Tessutils::corvikCookieAuthToken()
{
    return UserDefaults::standard().string(key(TessutilsKeys::kCookieAuthToken));
}

void Tessutils::setCorvikCookieAuthToken(const QString& token)
{
    if (token.isEmpty())
        UserDefaults::standard().remove(key(TessutilsKeys::kCookieAuthToken));
    else
        UserDefaults::standard().setValue(key(TessutilsKeys::kCookieAuthToken), token);
}

QString Tessutils::corvikAvatarPositionString()
{
    return UserDefaults::standard().string(key(TessutilsKeys::kAvatarPositionString));
}

void Tessutils::setCorvikAvatarPositionString(const QString& position)
{
    UserDefaults::standard().setValue(key(TessutilsKeys::kAvatarPositionString),
                                      position.isNull() ? QStringLiteral("") : position);
}

qint64 Tessutils::userMaxUploadSize()
{
    return UserDefaults::standard().integer(key(TessutilsKeys::kMaxFileUpload));
}

void Tessutils::setUserMaxUploadSize(qint64 bytes)
{
    UserDefaults::standard().setValue(key(TessutilsKeys::kMaxFileUpload), bytes);
}

std::optional<QVREnterpriseGroup> Tessutils::userEnterpriseGroup()
{
    const std::optional<QJsonObject> record = loadRecord(TessutilsKeys::kUserEnterpriseGroup);
    if (!record)
        return std::nullopt;
    return QVREnterpriseGroup(SafeDictionary(*record));
}

void Tessutils::setUserEnterpriseGroup(const std::optional<QVREnterpriseGroup>& group)
{
    storeRecord(TessutilsKeys::kUserEnterpriseGroup,
                group ? std::optional<QJsonObject>(group->dictionary().dictionary()) : std::nullopt);
}

void Tessutils::setUserEnterpriseGroupWithDict(const std::optional<SafeDictionary>& groupDict)
{
    storeRecord(TessutilsKeys::kUserEnterpriseGroup,
                groupDict ? std::optional<QJsonObject>(groupDict->dictionary()) : std::nullopt);
    setUserInfoNeedsUpdate(true);
}

bool Tessutils::userInfoNeedsUpdate()
{
    return g_userInfoNeedsUpdate.load();
}

void Tessutils::setUserInfoNeedsUpdate(bool needsUpdate)
{
    g_userInfoNeedsUpdate.store(needsUpdate);
}

QString Tessutils::cachedStandardTessarineThemeListString()
{
    const QVariant stored = UserDefaults::standard().value(key(TessutilsKeys::kThemeStandardList));
    if (!stored.isValid())
        return QString();
    return stored.toString();
}

void Tessutils::setCachedStandardTessarineThemeListString(const QString& listString)
{
    if (listString.isNull())
        UserDefaults::standard().remove(key(TessutilsKeys::kThemeStandardList));
    else
        UserDefaults::standard().setValue(key(TessutilsKeys::kThemeStandardList), listString);
}

bool Tessutils::isPopoverDocked()
{
    return UserDefaults::standard().boolValue(key(TessutilsKeys::kShowDockedPopoverOnLaunch));
}

void Tessutils::setIsPopoverDocked(bool docked)
{
    UserDefaults::standard().setValue(key(TessutilsKeys::kShowDockedPopoverOnLaunch), docked);
    NotificationCenter::defaultCenter().post(key(TessutilsKeys::kPopoverDockStatusChangedNotification));
}

QUrl Tessutils::lastOpenedDirectoryURL()
{
    const QString stored = UserDefaults::standard().string(key(TessutilsKeys::kLastOpenedDirectoryURL));
    return stored.isEmpty() ? QUrl() : QUrl(stored);
}

void Tessutils::setLastOpenedDirectoryURL(const QUrl& url)
{
    if (url.isEmpty())
        UserDefaults::standard().remove(key(TessutilsKeys::kLastOpenedDirectoryURL));
    else
        UserDefaults::standard().setValue(key(TessutilsKeys::kLastOpenedDirectoryURL), url.toString());
}

QRectF TessutilsIntegralRectInside(const QRectF& rect)
{
    const QRectF r = rect.normalized();
    const double x = std::ceil(r.x());
    const double y = std::ceil(r.y());
    double width = std::floor(r.width());
    double height = std::floor(r.height());
    if (x + width > r.x() + r.width())
        width -= 1;
    if (y + height > r.y() + r.height())
        height -= 1;
    return QRectF(x, y, std::max(0.0, width), std::max(0.0, height));
}
