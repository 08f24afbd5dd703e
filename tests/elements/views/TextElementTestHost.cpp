#include "TextElementTestHost.h"

#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>

#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "elements/views/QVR_MixedMediaElementGenerator.h"
#include "platform/UndoManager.h"
#include "support/UserInput.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

RecordingWindow::RecordingWindow()
{
    auto* layout = new QVBoxLayout(this);
    view = new QGraphicsView(&scene, this);
    view->setDragMode(QGraphicsView::NoDrag);
    scene.setSceneRect(0, 0, 1024, 748);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(view);
    resize(1100, 850);
}

TextElementHost::TextElementHost(const QString& string, const QRectF& frame)
{
    proxy = document.addObject(ZERI_MixedMediaObject::Text, frame);
    TextAttributes attributes;
    attributes.fontName = QStringLiteral("HelveticaNeue");
    attributes.fontSize = 24;
    attributes.foregroundColor = QColor(Qt::black);
    text()->setAttributedString(AttributedText(string, attributes));
    text()->setBackgroundColor(QColor(Qt::white));

    window = new RecordingWindow;
    QVRWindowManager::sharedInstance().addManagedWindow(window);
    window->bar = QVRMainMenu::createMenuBar(window);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000))
        qWarning("the test window did not become active");
    window->view->setFocus();
    if (!QTest::qWaitFor([&] { return window->view->hasFocus(); }, 2000))
        qWarning("the test view did not take the focus");
    makeView();
}

TextElementHost::~TextElementHost()
{
    delete element;
    delete window;
    QVRMainMenu::resetForTesting();
}

std::shared_ptr<ZERI_MMObject_Text> TextElementHost::text() const
{
    return proxy->as<ZERI_MMObject_Text>();
}

std::shared_ptr<ZERI_FlowModel> TextElementHost::flow() const
{
    return document.screen->nearestParentItemOfClass<ZERI_FlowModel>();
}

QString TextElementHost::string() const
{
    return text()->attributedString().string();
}

void TextElementHost::makeView()
{
    delete element;
    element = static_cast<QVR_AttributedTextMixedMediaElementView*>(
        QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(proxy));
    window->scene.addItem(element);
    element->setFrame(text()->frame());
    element->textViewPropertiesDidChange();
    settle();
}

void TextElementHost::startEditing()
{
    element->setEditable(true);
}

void TextElementHost::type(const QString& keys)
{
    UserInput::typeText(window->view, keys);
}

void TextElementHost::key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(window->view, key, modifiers);
}

void TextElementHost::settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

bool TextElementHost::waitForBurstEnd()
{
    return QTest::qWaitFor([&] { return !element->creatingUndoBlockFromTextEntry(); }, 3000);
}

QPoint TextElementHost::viewportPoint(qsizetype index) const
{
    const QVR_AttributedTextView* textView = element->textView();
    const QPointF local =
        textView->layout().caretRect(index).center() + QPointF(textView->inset().width(), textView->inset().height());
    return window->view->mapFromScene(textView->mapToScene(local));
}

int TextElementHost::undoCount() const
{
    return flow()->undoManager().undoCount();
}

void TextElementHost::undo()
{
    // As the creator's undo: an open change is ended first.
    flow()->endUndoableChanges();
    flow()->undoManager().undo();
    settle();
}
