#pragma once

#include <optional>

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTextLayout>
#include <QUrl>

#include "foundation/QVREnterpriseGroup.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Utils.h"

// A text with character formats over ranges of it (the platform-neutral form of an attributed string).
struct AttributedString {
    QString string;
    QList<QTextLayout::FormatRange> formats;
};

// One serialised font run of a text object: its "Name" (a PostScript name), "Size" and "Range" ("{location,
// length}") fields. The document model wraps it in its FontAttribute.
struct SerializedFontRun {
    QString name;
    qreal size = 12;
    qint64 location = 0;
    qint64 length = 0;

    QFont font() const;
};

// The application's class-level helpers: identity, brand colours, document font and colour lists, flow
// links, and the signed-in user's state in the user defaults. The setters of user state may be called from
// any thread; notifications are posted on the calling thread.
class Tessutils : public Utils {
public:
    // A new identifier in the platform's usual form: upper-case, hyphenated, without braces.
    static QString generateUniversalID();

    static QColor tessarineBlue();               // 0x1F70A8
    static QColor tessarineBlueForDarkDesigns(); // 0x2079DF
    static QColor tessarineBlackColor();         // white 0.23

    // PostScript names offered to documents; every one is drawn through FontSubstitution.
    static QStringList zeriDefaultFontList();
    // The same list: callers make fonts from these names and sort them as PostScript names.
    static QStringList allAvailableFonts();
    // Default text colours as "0xRRGGBB" texts (those of the blank template).
    static QStringList standardDefaultColorList();
    static QStringList defaultFontSizeList();

    static AttributedString attributedStringWithText(const QString& text, const QFont& font);

    // Missing or empty fields take the defaults "HelveticaNeue" and 12; an unreadable range is empty.
    static SerializedFontRun fontAttributeDictFromSerializedFont(const SafeDictionary& serializedFont);

    // Flow links: "flowLink://stringID=<id>[&screenID=<id>][&screenIndex=<n>]". Values are written as
    // given, unescaped, because other clients read links in exactly this form.
    static QString flowLinkEmbedScheme();
    static bool isFlowLink(const QString& text);
    // Nothing without a string id; an empty screen id or index is left out.
    static std::optional<QString> embeddedFlowLinkWithStringID(const QString& stringID, const QString& screenID = {},
                                                               const QString& screenIndex = {});
    // The value of that key in a flow link; nothing when the text is not a flow link or lacks the key.
    static std::optional<QString> stringIDFromEmbedFlowLink(const QString& link);
    static std::optional<QString> screenIDFromEmbedFlowLink(const QString& link);
    static std::optional<QString> screenIndexFromEmbedFlowLink(const QString& link);

    // "My Trip to Zürich!" -> "my-trip-to-zurich": lower case, runs of white space become one "-",
    // accents are dropped and only URL-unreserved characters (a-z 0-9 - . _ ~) remain.
    static QString urlFriendlyHyphenatedTitleFromString(const QString& title);

    static QString trackableEmail_editablePDFEmailHTMLStringWithSender(const QString& sender, const QString& pdfLink,
                                                                       const QString& pdfName);
    static QStringList trackableEmail_standardNoTrackURLStrings();

    // Stored user state. The auth token is empty when signed out; setting an empty token removes it, and
    // only a non-empty one posts "Auth token set notification name".
    static QString corvikAuthToken();
    static void setCorvikAuthToken(const QString& token);

    // The stored user record: its "user" member when it has one, else the record; empty when none.
    static SafeDictionary corvikUserDict();
    // Stores the record's "profile" member when it has one, else the record; takes a non-empty
    // "upload_max_file_size" as the maximum upload size and marks the user info for update. std::nullopt
    // removes the record.
    static void setCorvikUserDict(const std::optional<SafeDictionary>& userDict);
    static void setCorvikDisplayName(const QString& displayName);
    static bool isUserAdmin();

    static QString corvikCookieAuthToken();
    static void setCorvikCookieAuthToken(const QString& token); // empty removes

    static QString corvikAvatarPositionString();
    static void setCorvikAvatarPositionString(const QString& position); // a null text stores ""

    static qint64 userMaxUploadSize();
    static void setUserMaxUploadSize(qint64 bytes);

    static std::optional<QVREnterpriseGroup> userEnterpriseGroup();
    static void setUserEnterpriseGroup(const std::optional<QVREnterpriseGroup>& group);
    // Stores the group object (std::nullopt removes it) and marks the user info for update.
    static void setUserEnterpriseGroupWithDict(const std::optional<SafeDictionary>& groupDict);

    // Set by the user-record setters; the user-info monitor refreshes the record at its next tick and
    // clears the mark.
    static bool userInfoNeedsUpdate();
    static void setUserInfoNeedsUpdate(bool needsUpdate);

    // A null text when never stored.
    static QString cachedStandardTessarineThemeListString();
    static void setCachedStandardTessarineThemeListString(const QString& listString);

    static bool isPopoverDocked();
    // Stores the flag and posts "PopoverDockStatusChagned" with no sender.
    static void setIsPopoverDocked(bool docked);

    static QUrl lastOpenedDirectoryURL();
    static void setLastOpenedDirectoryURL(const QUrl& url);
};

// The largest whole-point rectangle inside `rect`: origin rounded up, size rounded down, and one point
// less where the far edge would otherwise pass the given one.
QRectF TessutilsIntegralRectInside(const QRectF& rect);

// Names used by Tessutils in the user defaults and the notification centre.
namespace TessutilsKeys {
inline constexpr char kAuthToken[] = "corvikAuthToken";
inline constexpr char kUserDict[] = "corvikUserDict";
inline constexpr char kCookieAuthToken[] = "corvikCookieAuthToken";
inline constexpr char kAvatarPositionString[] = "corvikAvatarPositionString";
inline constexpr char kMaxFileUpload[] = "maxFileUpload";
inline constexpr char kUserEnterpriseGroup[] = "userEnterpriseGroup";
inline constexpr char kThemeStandardList[] = "themeStandardListKey";
inline constexpr char kShowDockedPopoverOnLaunch[] = "showDockedPopoverOnLaunch";
inline constexpr char kLastOpenedDirectoryURL[] = "qvr_lastOpenedDirectoryURLKey";
inline constexpr char kAuthTokenSetNotification[] = "Auth token set notification name";
inline constexpr char kPopoverDockStatusChangedNotification[] = "PopoverDockStatusChagned";
} // namespace TessutilsKeys
