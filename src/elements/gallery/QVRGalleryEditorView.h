#pragma once

#include <functional>

#include <QWidget>

// The gallery editor's own view: Return and Enter that nothing inside took go to the editor's default button,
// and its background has no context menu.
class QVRGalleryEditorView : public QWidget {
    Q_OBJECT
public:
    explicit QVRGalleryEditorView(QWidget* parent = nullptr);
    void setReturnHandler(std::function<void()> handler) { m_returnHandler = std::move(handler); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::function<void()> m_returnHandler;
};
