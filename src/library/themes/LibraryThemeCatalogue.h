#pragma once

#include "creator/TessarineThemeCatalogue.h"

// The editor's view of the theme registry: a theme's text colours (what the colour pickers offer) and its sample
// document.
class LibraryThemeCatalogue : public TessarineThemeCatalogue {
public:
    bool hasTheme(const QString& themeID) const override;
    QList<QColor> themeColors(const QString& themeID) const override;
    QStringList themeFonts(const QString& themeID) const override;
    std::shared_ptr<ZERI_TessarineModel> sampleDocument(const QString& themeID) const override;
    void downloadSampleDocument(const QString& themeID, QObject* context, std::function<void()> finished) override;
};
