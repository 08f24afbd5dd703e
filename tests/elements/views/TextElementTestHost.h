#pragma once

#include <memory>

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QStringList>
#include <QWidget>

#include "ElementViewTestSupport.h"

class QMenuBar;
class QVR_AttributedTextMixedMediaElementView;
class ZERI_FlowModel;
class ZERI_MMObject_Text;

// A managed document window that records the commands it performs.
class RecordingWindow : public QWidget {
    Q_OBJECT
public:
    RecordingWindow();
    Q_INVOKABLE bool canCopy() const { return true; }
    Q_INVOKABLE void performCopy(uint) { calls << QStringLiteral("copy"); }
    Q_INVOKABLE bool canCut() const { return true; }
    Q_INVOKABLE void performCut(uint) { calls << QStringLiteral("cut"); }
    Q_INVOKABLE bool canPaste() const { return true; }
    Q_INVOKABLE void performPaste(uint) { calls << QStringLiteral("paste"); }
    Q_INVOKABLE bool canUndo() const { return true; }
    Q_INVOKABLE void performUndo(uint) { calls << QStringLiteral("undo"); }
    Q_INVOKABLE bool canDelete() const { return true; }
    Q_INVOKABLE void performDelete(uint) { calls << QStringLiteral("delete"); }
    Q_INVOKABLE bool canNudgeRight() const { return true; }
    Q_INVOKABLE void performNudgeRight(uint) { calls << QStringLiteral("nudgeRight"); }
    Q_INVOKABLE bool canSelectAll() const { return true; }
    Q_INVOKABLE void performSelectAll(uint) { calls << QStringLiteral("selectAll"); }

    QGraphicsScene scene;
    QGraphicsView* view = nullptr;
    QMenuBar* bar = nullptr;
    QStringList calls;
};

// A text object on a one-screen flow, shown by its element view in a plain scene inside a shown, active, managed
// window with the application's menu bar, the way the creator's container would drive it.
struct TextElementHost {
    explicit TextElementHost(const QString& text = QStringLiteral("Old"), const QRectF& frame = {100, 200, 300, 100});
    ~TextElementHost();

    std::shared_ptr<ZERI_MMObject_Text> text() const;
    std::shared_ptr<ZERI_FlowModel> flow() const;
    QString string() const;
    // Makes the element view anew (the old one goes), placed at the object's frame.
    void makeView();
    void startEditing();
    void type(const QString& keys);
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Lets the end-of-turn work run (re-measuring, spelling).
    static void settle();
    // Waits until the typing change has closed.
    bool waitForBurstEnd();
    // The point of a text index, in the viewport's coordinates.
    QPoint viewportPoint(qsizetype index) const;
    int undoCount() const;
    void undo();

    TestDocument document;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> proxy;
    RecordingWindow* window = nullptr;
    QVR_AttributedTextMixedMediaElementView* element = nullptr;
};
