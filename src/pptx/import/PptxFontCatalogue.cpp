#include "pptx/import/PptxFontCatalogue.h"

#include <QSet>
#include <QStringList>

#include "elements/text/FontList.h"
#include "foundation/Tessutils.h"
#include "pptx/converter/QVRPowerPointConverter.h"

const FontList& PptxFontCatalogue::fontList()
{
    static const FontList* catalogue = [] {
        auto* list = new FontList;
        list->setList(FontList::documentFontsForNames(Tessutils::zeriDefaultFontList(), kPointSize));
        return list;
    }();
    return *catalogue;
}

QString PptxFontCatalogue::offeredTypeface(const QString& name)
{
    if (name.isEmpty())
        return {};
    static const QSet<QString> listed = [] {
        const QStringList names = Tessutils::zeriDefaultFontList();
        return QSet<QString>(names.begin(), names.end());
    }();
    if (listed.contains(name))
        return name;
    const FontList& catalogue = fontList();
    if (!catalogue.facesForFamily(name))
        return {};
    const auto font = catalogue.fontForFamilyDashFace(name + FontList::separatorForComponentsSeparatedByStringMethod() +
                                                      catalogue.defaultFontFaceForFamily(name));
    return font ? font->postScriptName : QString();
}

void PptxFontCatalogue::registerWithConverter()
{
    QVRPowerPointConverter::setOfferedTypefaceLookup([](const QString& name) { return offeredTypeface(name); });
}
