#pragma once

#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

// Pages to another screen of the same document, identified by the screen's internalID.
class ZERI_MMAction_ScreenLink : public ZERI_MMAction {
public:
    // Screen transitions: 0 slide, 1 flow, 2 fade, 3 none.
    enum Transition { Slide = 0, Flow = 1, Fade = 2, None = 3 };

    static std::shared_ptr<ZERI_MMAction_ScreenLink> create(const QString& screenID);

    int type() const override { return ScreenLink; }
    QString actionTypeText() const override { return QStringLiteral("MMActionScreenLink"); }

    QString screenID() const { return m_screenID; }
    void setScreenID(const QString& screenID);
    int transitionType() const { return m_transitionType; }
    void setTransitionType(int transitionType);

protected:
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    QString m_screenID;
    int m_transitionType = Slide;
};
