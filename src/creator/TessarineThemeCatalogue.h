#pragma once

#include <functional>
#include <memory>

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class ZERI_TessarineModel;

// The themes a document can be made from, as the editor needs them: a theme's colours and its sample document
// (the screens the new-screen chooser offers). The themes library registers the real catalogue; until then the
// default knows no theme. Main thread only.
class TessarineThemeCatalogue {
public:
    static const QString kBlankThemeID; // "10"

    virtual ~TessarineThemeCatalogue() = default;

    virtual bool hasTheme(const QString& themeID) const;
    // The theme's colour palette; empty for an unknown theme.
    virtual QList<QColor> themeColors(const QString& themeID) const;
    // The PostScript names of the theme's fonts; empty for an unknown theme or one that names none.
    virtual QStringList themeFonts(const QString& themeID) const;
    // The theme's sample document when it is on this computer, else nullptr.
    virtual std::shared_ptr<ZERI_TessarineModel> sampleDocument(const QString& themeID) const;
    // Starts fetching the theme's sample document; `finished` runs on the main thread when the fetch has ended,
    // whatever its outcome, unless `context` is gone by then.
    virtual void downloadSampleDocument(const QString& themeID, QObject* context, std::function<void()> finished);

    static TessarineThemeCatalogue& shared();
    // Installs the catalogue (nullptr: the default again).
    static void setShared(std::unique_ptr<TessarineThemeCatalogue> catalogue);
};
