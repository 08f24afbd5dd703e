#include "service/ZERI_APIBinding.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using Parameters = BlockRequester::Parameters;

void addIfGiven(Parameters& parameters, const char* key, const QString& value)
{
    if (!value.isEmpty())
        parameters.append({QString::fromLatin1(key), value});
}

void add(Parameters& parameters, const char* key, const QString& value)
{
    parameters.append({QString::fromLatin1(key), value});
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString categoriesText(const QStringList& categories)
{
    if (categories.isEmpty())
        return {};
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(categories)).toJson(QJsonDocument::Compact));
}

// The document fields shared by "tessarine.create", "tessarine.update" and "tessarine.fork". The password is
// the one field whose empty value means something: sent empty, it removes the document's password; left out,
// the service keeps the one it has.
void addDocumentFields(Parameters& parameters, const QString& qvdJson, std::optional<bool> published,
                       const QString& privacyOption, const std::optional<QString>& password)
{
    addIfGiven(parameters, "document_json", qvdJson);
    if (published)
        add(parameters, "published", flag(*published));
    addIfGiven(parameters, "privacy", privacyOption);
    if (password)
        add(parameters, "password", *password);
}

} // namespace

Error ZERI_APIBinding::errorFromApiErrorDict(const SafeDictionary& errorDictionary)
{
    const QString codeText = errorDictionary.stringForKey(QStringLiteral("errorCode"));
    bool numeric = false;
    const int code = codeText.trimmed().toInt(&numeric);
    QString message = errorDictionary.stringForKey(QStringLiteral("errorMessage"));
    if (message.isEmpty())
        message = errorDictionary.stringForKey(QStringLiteral("localizedDescription"));
    QString domain = errorDictionary.stringForKey(QStringLiteral("domainCode"));
    if (domain.isEmpty())
        domain = QString::fromLatin1(kErrorDomain);
    return Error(domain, numeric ? code : 0, message, errorDictionary.dictionary().toVariantMap());
}

ZERI_APIBinding::Requester ZERI_APIBinding::getHelpTessarinesList(const QString& language, Completion completion)
{
    return BlockRequester::post(QStringLiteral("tessarine.getHelpList"), {{QStringLiteral("language"), language}},
                                std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::getTessarineByStringId(const QString& stringID, const QString& authToken,
                                                                   const QString& password, Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "string_id", stringID);
    addIfGiven(parameters, "auth_token", authToken);
    addIfGiven(parameters, "password", password);
    return BlockRequester::get(QStringLiteral("tessarine.getByStringId"), parameters, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::getTessarineById(const QString& apiID, const QString& authToken,
                                                             Completion completion)
{
    Parameters parameters{{QStringLiteral("id"), apiID}};
    addIfGiven(parameters, "auth_token", authToken);
    return BlockRequester::post(QStringLiteral("tessarine.getById"), parameters, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::getTessarineByAlias(const QString& alias, Completion completion)
{
    return BlockRequester::post(QStringLiteral("tessarine.getByAlias"), {{QStringLiteral("alias"), alias}},
                                std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::getTessarineTemplateListWithGroupID(const QString& groupID,
                                                                                const QString& authToken,
                                                                                Completion completion)
{
    Q_UNUSED(groupID)
    return BlockRequester::post(QStringLiteral("tessarine.getTemplates"),
                                {{QStringLiteral("auth_token"), authToken},
                                 {QStringLiteral("guid"), QStringLiteral("0")},
                                 {QStringLiteral("platform"), QStringLiteral("macosx")}},
                                std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::sendTrackableEmailWithAuthToken(
    const QString& authToken, const QString& sender, const QString& recipient, const QString& subject,
    const QString& message, const QString& tessarineID, bool shouldNotify, Completion completion)
{
    return BlockRequester::post(QStringLiteral("corvik.mailgun.send"),
                                {{QStringLiteral("auth_token"), authToken},
                                 {QStringLiteral("sender"), sender},
                                 {QStringLiteral("recipient"), recipient},
                                 {QStringLiteral("tessarine_id"), tessarineID},
                                 {QStringLiteral("should_notify"), flag(shouldNotify)},
                                 {QStringLiteral("subject"), subject},
                                 {QStringLiteral("message"), message}},
                                std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::tessarineUpdateWithAuthToken(
    const QString& authToken, const QString& qvdID, const QString& qvdJson, std::optional<bool> published, bool deleted,
    const QString& title, const QString& description, const QStringList& categories, const QString& privacyOption,
    const std::optional<QString>& password, const QString& parentTessarineDraftFileID,
    const QString& parentTessarinePublishedFileID, const QString& alias, Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "auth_token", authToken);
    addIfGiven(parameters, "id", qvdID);
    addDocumentFields(parameters, qvdJson, published, privacyOption, password);
    if (deleted)
        add(parameters, "deleted", QStringLiteral("1"));
    addIfGiven(parameters, "title", title);
    addIfGiven(parameters, "description", description);
    addIfGiven(parameters, "categories", categoriesText(categories));
    addIfGiven(parameters, "parent_draft_file_id", parentTessarineDraftFileID);
    addIfGiven(parameters, "parent_published_file_id", parentTessarinePublishedFileID);
    addIfGiven(parameters, "alias", alias);
    return BlockRequester::post(QStringLiteral("tessarine.update"), parameters, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::tessarineCreateWithAuthToken(
    const QString& authToken, const QString& qvdJson, std::optional<bool> published, const QString& title,
    const QString& description, const QStringList& categories, const QString& privacyOption,
    const std::optional<QString>& password, const QString& alias, Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "auth_token", authToken);
    addDocumentFields(parameters, qvdJson, published, privacyOption, password);
    addIfGiven(parameters, "title", title);
    addIfGiven(parameters, "description", description);
    addIfGiven(parameters, "categories", categoriesText(categories));
    addIfGiven(parameters, "alias", alias);
    return BlockRequester::post(QStringLiteral("tessarine.create"), parameters, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::tessarineForkWithAuthToken(
    const QString& authToken, const QString& qvdID, const QString& qvdJson, std::optional<bool> published,
    const QString& privacyOption, const std::optional<QString>& password, bool overwrite, Completion completion)
{
    Parameters parameters;
    addIfGiven(parameters, "auth_token", authToken);
    addIfGiven(parameters, "id", qvdID);
    addDocumentFields(parameters, qvdJson, published, privacyOption, password);
    add(parameters, "overwrite", flag(overwrite));
    return BlockRequester::post(QStringLiteral("tessarine.fork"), parameters, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::userDiskQuota(const QString& authToken, Completion completion)
{
    return BlockRequester::post(QStringLiteral("corvik.users.getDiskQuota"),
                                {{QStringLiteral("auth_token"), authToken}}, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::getUserTessarinesWithAuthToken(const QString& authToken,
                                                                           Completion completion)
{
    return BlockRequester::post(QStringLiteral("tessarine.getUserTessarines"),
                                {{QStringLiteral("auth_token"), authToken}}, std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::deleteContentItem(const QString& contentID, const QString& authToken,
                                                              Completion completion)
{
    return BlockRequester::post(QStringLiteral("corvik.channel.delete"),
                                {{QStringLiteral("content_id"), contentID}, {QStringLiteral("auth_token"), authToken}},
                                std::move(completion));
}

ZERI_APIBinding::Requester ZERI_APIBinding::addContentItems(const QList<BlockRequester::FilePart>& files,
                                                            const QString& authToken, Completion completion,
                                                            BlockRequester::UploadProgress progress)
{
    QList<BlockRequester::FilePart> parts = files;
    for (int i = 0; i < parts.size(); ++i)
        parts[i].fieldName = QStringLiteral("file%1").arg(i);
    return BlockRequester::post(QStringLiteral("corvik.channel.add.multiple"),
                                {{QStringLiteral("auth_token"), authToken}}, std::move(completion), parts,
                                std::move(progress));
}

ZERI_APIBinding::Requester ZERI_APIBinding::logActions(const QString& eventsJson, const QString& authToken,
                                                       Completion completion)
{
    Parameters parameters{{QStringLiteral("events"), eventsJson}};
    addIfGiven(parameters, "auth_token", authToken);
    return BlockRequester::post(QStringLiteral("tessarine.log"), parameters, std::move(completion));
}
