#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "controls/QVR_ModalViewWithCloseButton.h"

namespace {

QWidget* topmostChild(QWidget* parent)
{
    QWidget* top = nullptr;
    for (QObject* child : parent->children())
        if (auto* widget = qobject_cast<QWidget*>(child))
            top = widget; // children() is in stacking order, bottom first
    return top;
}

} // namespace

TEST(ModalViewWithCloseButton, CloseButtonStaysTopmostWhicheverWayChildrenAreAdded)
{
    QVR_ModalViewWithCloseButton modal(QRect(0, 0, 640, 480));
    modal.show();

    auto* first = new QLabel(QStringLiteral("first"));
    modal.addSubview(first);
    EXPECT_EQ(topmostChild(&modal), modal.closeButton());

    auto* second = new QLabel(QStringLiteral("second"));
    modal.addSubview(second, QVR_ModalViewWithCloseButton::Ordering::Above, first);
    EXPECT_EQ(topmostChild(&modal), modal.closeButton());

    auto* third = new QLabel(QStringLiteral("third"));
    modal.addSubview(third, QVR_ModalViewWithCloseButton::Ordering::Below, first);
    EXPECT_EQ(topmostChild(&modal), modal.closeButton());

    // A child made with the modal view as its parent, bypassing addSubview, is caught too.
    auto* fourth = new QLabel(QStringLiteral("fourth"), &modal);
    fourth->setGeometry(modal.rect());
    fourth->show();
    EXPECT_EQ(topmostChild(&modal), modal.closeButton());

    // Relative ordering of the added views is honoured: third below first below second.
    const QObjectList order = modal.children();
    EXPECT_LT(order.indexOf(third), order.indexOf(first));
    EXPECT_LT(order.indexOf(first), order.indexOf(second));

    // The close button answers hit tests over a view that covers the whole modal view.
    const QPoint buttonCentre = modal.closeButton()->geometry().center();
    EXPECT_EQ(modal.childAt(buttonCentre), modal.closeButton());
}

TEST(ModalViewWithCloseButton, ClickingCloseRunsTheBlockOnceAndToleratesDeletionInside)
{
    auto* modal = new QVR_ModalViewWithCloseButton(QRect(0, 0, 300, 200));
    modal->show();
    modal->addSubview(new QLabel(QStringLiteral("content")));
    int runs = 0;
    modal->setClosedPressedBlock([&runs, modal] {
        ++runs;
        modal->deleteLater();
    });
    QPointer<QVR_ModalViewWithCloseButton> guard(modal);
    QTest::mouseClick(modal->closeButton(), Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, 2000));
}
