#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <QColor>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "foundation/SafeDictionary.h"

class QNetworkReply;
class ZERI_ContentAsset;
class ZERI_TessarineModel;
class ZERI_qvdFilePackage;
class TessarineTheme;

// Told when a theme's sample document has arrived (or failed to). Called on the main thread.
class TessarineThemeDownloadingDelegate {
public:
    virtual ~TessarineThemeDownloadingDelegate() = default;
    virtual void themeDocumentDidFinishDownloading(TessarineTheme* theme) = 0;
};

// A theme (template): its fonts, colours, sizes, priority, icon and sample document; and, on the class side, the
// process-wide registry of themes by theme id. The registry always holds the blank theme "10", built in code; the
// others come from the service's template list, whose last good text is kept in the user defaults so that an
// error reply still fills the registry.
//
// Each theme's sample document lives in a package of type 64 whose metadata names the theme. Samples are fetched,
// built, saved and registered on the main thread. Everything here is main thread only.
class TessarineTheme : public std::enable_shared_from_this<TessarineTheme> {
public:
    using Registry = std::map<QString, std::shared_ptr<TessarineTheme>>;

    static const QString kThemesDownloadedNotification; // "TessarineThemesDownloadedNotification"
    static const QString kBlankThemeID;                 // "10"

    // Makes a theme from a template dictionary and enters it in the registry (or `registry`) under its id,
    // replacing a theme of that id. A dictionary without a "themeId" makes nothing (nullptr).
    static std::shared_ptr<TessarineTheme> initWithDict(const SafeDictionary& dict);
    static std::shared_ptr<TessarineTheme> initWithDict(const SafeDictionary& dict, Registry& registry);

    // Re-reads every property from a template dictionary, then looks for the sample package.
    void setPropertiesFromDict(const SafeDictionary& dict);
    // The first package of type 64 whose metadata names this theme becomes the sample package; when none does the
    // earlier one is kept.
    void findAndSetThemeFilePackage();
    std::shared_ptr<ZERI_qvdFilePackage> themeSampleFilePackage() const { return m_samplePackage.lock(); }

    // Fetches the sample document from the "url" of "themeSampleJSON".
    void downloadDocument();
    // Fetches the sample document from `url` (a JSON text value); the delegate hears of the outcome whatever it is.
    void downloadDocumentFromURL(const QJsonValue& url);
    // Runs once when the fetch on its way (or the next one) ends, before the delegate hears of it.
    void addDownloadCompletion(std::function<void()> completion);
    bool isLoadingDocumentJSON() const { return m_isLoadingDocumentJSON; }
    // The sample document: the sample package's document with every text theme text and no screen link; for the
    // blank theme the document built from the blank template. nullptr when there is none yet.
    std::shared_ptr<ZERI_TessarineModel> tessarineSampleModel();

    // Not owned; cleared by the delegate when it goes.
    void setDelegate(TessarineThemeDownloadingDelegate* delegate) { m_delegate = delegate; }
    TessarineThemeDownloadingDelegate* delegate() const { return m_delegate; }

    QJsonObject jsonDictionary() const;
    QString description() const;

    QString themeID() const { return m_themeID; }
    QString apiID() const { return m_apiID; }
    int numSamplePages() const { return m_numSamplePages; }
    QStringList availableFonts() const { return m_availableFonts; }
    QList<QColor> availableBackgroundColors() const { return m_availableBackgroundColors; }
    QList<QColor> availableTextColors() const { return m_availableTextColors; }
    std::shared_ptr<ZERI_ContentAsset> backgroundAsset() const { return m_backgroundAsset; }
    QJsonObject tessarineSampleJSONURLsDict() const { return m_sampleJSONURLs; }
    QJsonObject themeAssets() const { return m_themeAssets; }
    QString priority() const { return m_priority; }
    QString texturedBackgroundFilePath() const { return m_texturedBackgroundFilePath; }
    int minimumFontSize() const { return m_minimumFontSize; }
    int maximumFontSize() const { return m_maximumFontSize; }
    QString themeIconImageURLString() const { return m_themeIconImageURLString; }

    // Class side.
    static void loadDefaultThemes();
    static void loadBlankTheme();
    // Asks the service for the template list (once while a request is in flight); the reply fills the registry
    // and posts kThemesDownloadedNotification.
    static void loadThemesFromWeb();
    static bool isLoadingThemes();
    // Why the last list request gave no list (the cached list stood in): the service could not be reached, or it
    // answered with an error. Empty after a list.
    static QString themeListNotice();
    static QString themeRequestErrorString();
    // Fills `registry` from a reply text: the array under `mainKey`. Answers whether the text was an object whose
    // `mainKey` is an array; bad elements are logged and skipped.
    static bool parseAPIReturn(const QString& text, const QString& mainKey, Registry& registry);
    static std::shared_ptr<TessarineTheme> tessarineThemeForID(const QString& themeID);
    static QString defaultThemeName() { return kBlankThemeID; }
    static Registry allTessarineTemplates();
    static QStringList allTessarineTemplateKeysInPriorityOrder();
    static QStringList sortedTemplateKeysInPriorityOrderForDict(const Registry& registry);
    static std::shared_ptr<ZERI_TessarineModel> sampleModelForFlowThemeID(const QString& themeID);

    static QStringList availableFontNamesForFlowThemeID(const QString& themeID);
    static QList<QColor> availableTextColorsForFlowThemeID(const QString& themeID);
    static QList<QColor> availableBackgroundColorsForFlowThemeID(const QString& themeID);
    static int minimumFontSizeForTheme(const QString& themeID);
    static int maximumFontSizeForTheme(const QString& themeID);
    static QString priorityForTheme(const QString& themeID);
    static std::shared_ptr<ZERI_ContentAsset> backgroundAssetForFlowThemeID(const QString& themeID);
    static QString filepathForTexturedBackgroundForThemeID(const QString& themeID);
    static QStringList themeAssetKeysForFlowThemeID(const QString& themeID);
    static QStringList themeAssetsForFlowThemeID(const QString& themeID, const QString& assetKey);
    static QStringList allThemeAssetFilepathsForFlowThemeID(const QString& themeID);

    // Sample clean-ups: screen links go (other links stay); every text becomes theme text.
    static void removeScreenLinkObjects(const std::shared_ptr<ZERI_TessarineModel>& model);
    static void setTextObjectsWithBooleanFlag(const std::shared_ptr<ZERI_TessarineModel>& model);

    // "<Application Support>/Tessarine/BlankTemplateAssets/" and its working copy "NewBlankTemplate.txt".
    static QString blankTemplateFolder();
    // Removes the working copy's folder; a missing folder is no error.
    static void deletePrecachedBlankTheme();
    // The blank template as the working copy holds it: "BLANKTEMPLATE/" removed, baked assets and theme texts
    // marked YES.
    static QString preparedBlankTemplateText(const QString& resourceText);
    // The blank template's resource (":/library/NewBlankTemplate.txt" unless set; empty restores it).
    static void setBlankTemplateResourceForTesting(const QString& path);
    // Empties the registry, forgets the list request and the blank sample (tests).
    static void resetForTesting();

    ~TessarineTheme();

private:
    TessarineTheme() = default;
    void sampleReplyFinished(QNetworkReply* reply);
    std::shared_ptr<ZERI_TessarineModel> buildBlankSample();
    void storeSampleText(const QByteArray& data);
    void tellDownloadFinished();

    QString m_themeID;
    QString m_apiID;
    int m_numSamplePages = 0;
    QStringList m_availableFonts;
    QList<QColor> m_availableBackgroundColors;
    QList<QColor> m_availableTextColors;
    std::shared_ptr<ZERI_ContentAsset> m_backgroundAsset;
    QJsonObject m_sampleJSONURLs;
    QJsonObject m_themeAssets;
    QString m_priority = QStringLiteral("0");
    QString m_texturedBackgroundFilePath;
    int m_minimumFontSize = 0;
    int m_maximumFontSize = 0;
    QString m_themeIconImageURLString;
    TessarineThemeDownloadingDelegate* m_delegate = nullptr;
    std::vector<std::function<void()>> m_completions;
    bool m_isLoadingDocumentJSON = false;
    QPointer<QNetworkReply> m_sampleReply;
    std::shared_ptr<ZERI_TessarineModel> m_sampleModel;
    std::weak_ptr<ZERI_qvdFilePackage> m_samplePackage;
};
