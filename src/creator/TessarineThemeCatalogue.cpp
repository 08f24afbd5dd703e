#include "creator/TessarineThemeCatalogue.h"

#include <QPointer>
#include <QTimer>

#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString TessarineThemeCatalogue::kBlankThemeID = QStringLiteral("10");

namespace {

std::unique_ptr<TessarineThemeCatalogue>& installed()
{
    static std::unique_ptr<TessarineThemeCatalogue> s_catalogue;
    return s_catalogue;
}

} // namespace

bool TessarineThemeCatalogue::hasTheme(const QString&) const
{
    return false;
}

QList<QColor> TessarineThemeCatalogue::themeColors(const QString&) const
{
    return {};
}

QStringList TessarineThemeCatalogue::themeFonts(const QString&) const
{
    return {};
}

std::shared_ptr<ZERI_TessarineModel> TessarineThemeCatalogue::sampleDocument(const QString&) const
{
    return nullptr;
}

void TessarineThemeCatalogue::downloadSampleDocument(const QString&, QObject* context, std::function<void()> finished)
{
    // Nothing to fetch: the fetch ends at once, on the next turn.
    QPointer<QObject> guard(context);
    QTimer::singleShot(0, [guard, hadContext = context != nullptr, finished = std::move(finished)] {
        if ((!hadContext || guard) && finished)
            finished();
    });
}

TessarineThemeCatalogue& TessarineThemeCatalogue::shared()
{
    static TessarineThemeCatalogue s_default;
    return installed() ? *installed() : s_default;
}

void TessarineThemeCatalogue::setShared(std::unique_ptr<TessarineThemeCatalogue> catalogue)
{
    installed() = std::move(catalogue);
}
