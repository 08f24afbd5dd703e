#pragma once

#include <memory>

#include <QColor>

#include "tessarine_data_model/TessarineDataModelItem.h"

class ZERI_ContentAsset;

// The background of a screen: a colour (invalid: none) and an optional picture asset (a theme's background).
// Its parent is the screen, whose backgroundColor is this colour.
class ZERI_FlowScreenBackgroundModel : public TessarineDataModelItem {
public:
    ZERI_FlowScreenBackgroundModel() = default;

    QColor color() const { return m_color; }
    // Reported as "backgroundColor", the key screen observers watch.
    void setColor(const QColor& color);
    std::shared_ptr<ZERI_ContentAsset> backgroundAsset() const { return m_backgroundAsset; }
    void setBackgroundAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);

protected:
    void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const override;
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    QColor m_color;
    std::shared_ptr<ZERI_ContentAsset> m_backgroundAsset;
};
