#pragma once

#include <functional>
#include <memory>

class QObject;
class QWidget;
class ZERI_TessarineModel;

// The transient panels the creator toolbar opens: the guide and the title and description editor. Both belong
// to later libraries, which register their makers here. Until then the guide button is disabled (and the guide
// never opens by itself) and the document title is not clickable. Main thread only.
struct CreatorToolbarPanels {
    // Makes the guide panel as a child of `parent`.
    std::function<QWidget*(QWidget* parent)> guide;
    // Answers once, unless `context` goes first, whether the guide has something to show now. The guide opens by
    // itself only after a yes (and is not counted otherwise); unset, it opens without asking.
    std::function<void(QObject* context, std::function<void(bool available)> answer)> guideAvailable;
    // Makes the title and description editor of `document` as a child of `parent`.
    std::function<QWidget*(QWidget* parent, const std::shared_ptr<ZERI_TessarineModel>& document)> titleEditor;

    static CreatorToolbarPanels& shared();
};
