#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QJsonArray>
#include <QSizeF>

#include "platform/UndoManager.h"
#include "tessarine_data_model/TessarineDataModelItem.h"

class ZERI_FlowScreenModel;

// A flow: the ordered screens of a document (the first flow's title is the document's title), its canvas size
// and auto-advance settings. Its parent is the document. Each flow holds the undo manager (500 levels) that
// the edits of its screens and objects register with.
class ZERI_FlowModel : public TessarineDataModelItem {
public:
    static constexpr int kUndoLevels = 500;

    ZERI_FlowModel();
    ~ZERI_FlowModel() override;

    // A new flow without screens, with a new id.
    static std::shared_ptr<ZERI_FlowModel> create();
    static std::shared_ptr<ZERI_FlowModel> initWithDict(const QJsonObject& dict, Error* error = nullptr);
    static double defaultAutoAdvanceDuration() { return 30.0; }

    // Begins an undoable change whose undo and redo page the creator to `screen`: the change carries
    // {"screenToPageTo": the screen's id} (nothing for a null screen or one without an id).
    void beginUndoableChangesPagingToScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                            bool endOnNextBegin = false);

    const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screenModels() const { return m_screens; }
    std::shared_ptr<ZERI_FlowScreenModel> screenWithID(const QString& internalID) const;
    qsizetype indexOfFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen) const;

    // Each of these reports "screenModels". An index beyond the count appends; a screen already in the flow is
    // not inserted twice.
    void insertFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen, qsizetype index);
    void addFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    void removeFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    // Inserts a copy right after the screen: new ids for the copy, its objects and their assets (links and
    // selections compare by id). Returns the copy; nullptr when the screen is not in the flow.
    std::shared_ptr<ZERI_FlowScreenModel> duplicateFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    // Moves the screen at `from` so that it ends up at `to`; out-of-range indexes do nothing.
    void sendFlowScreenAtIndex(qsizetype from, qsizetype to);

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    // Empty: none.
    QString themeID() const { return m_themeID; }
    void setThemeID(const QString& themeID);
    QSizeF viewSize() const { return m_viewSize; }
    void setViewSize(const QSizeF& size);

    // Seconds; none: auto-advance off.
    std::optional<double> autoAdvanceSlideDuration() const { return m_autoAdvanceSlideDuration; }
    void setAutoAdvanceSlideDuration(std::optional<double> seconds);
    // 0 slide in, 1 flow to screen, 2 fade, 3 none; none when not set.
    std::optional<int> autoAdvanceTransitionType() const { return m_autoAdvanceTransitionType; }
    void setAutoAdvanceTransitionType(std::optional<int> transitionType);
    bool autoAdvanceLoops() const { return m_autoAdvanceLoops; }
    void setAutoAdvanceLoops(bool loops);

    UndoManager& undoManager() { return *m_undoManager; }

protected:
    void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const override;
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    void prepareScreenDictionaries() const;
    void readFreshScreens(const QJsonArray& entries, const std::vector<qsizetype>& indexes,
                          const ModelJsonReader& reader, std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens);

    std::vector<std::shared_ptr<ZERI_FlowScreenModel>> m_screens;
    QString m_title;
    QString m_themeID;
    QSizeF m_viewSize;
    std::optional<double> m_autoAdvanceSlideDuration;
    std::optional<int> m_autoAdvanceTransitionType;
    bool m_autoAdvanceLoops = false;
    std::unique_ptr<UndoManager> m_undoManager;
};
