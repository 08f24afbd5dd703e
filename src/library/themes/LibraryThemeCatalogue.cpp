#include "library/themes/LibraryThemeCatalogue.h"

#include <QPointer>

#include "library/themes/TessarineTheme.h"

bool LibraryThemeCatalogue::hasTheme(const QString& themeID) const
{
    return TessarineTheme::tessarineThemeForID(themeID) != nullptr;
}

QList<QColor> LibraryThemeCatalogue::themeColors(const QString& themeID) const
{
    return TessarineTheme::availableTextColorsForFlowThemeID(themeID);
}

QStringList LibraryThemeCatalogue::themeFonts(const QString& themeID) const
{
    return TessarineTheme::availableFontNamesForFlowThemeID(themeID);
}

std::shared_ptr<ZERI_TessarineModel> LibraryThemeCatalogue::sampleDocument(const QString& themeID) const
{
    return TessarineTheme::sampleModelForFlowThemeID(themeID);
}

void LibraryThemeCatalogue::downloadSampleDocument(const QString& themeID, QObject* context,
                                                   std::function<void()> finished)
{
    const auto theme = TessarineTheme::tessarineThemeForID(themeID);
    if (!theme) {
        TessarineThemeCatalogue::downloadSampleDocument(themeID, context, std::move(finished));
        return;
    }
    QPointer<QObject> guard(context);
    theme->addDownloadCompletion([guard, hadContext = context != nullptr, finished = std::move(finished)] {
        if ((!hadContext || guard) && finished)
            finished();
    });
    theme->downloadDocument();
}
