#pragma once

#include <QPointF>

// The commands of the insert section that the screen's, the art board's and the elements' context menus share
// (QVR_CreatorSingleScreen::addInsertMenuItemsToMenu builds it): each inserts on the screen at the point where its
// menu was opened. The bold "Insert..." entry is the generic one: it opens the add-element menu there.
//
// Owner provides `QVR_CreatorSingleScreen* insertionScreen() const` (the screen to insert on, nullptr when there
// is none) and `QPointF insertionPoint() const` (the clicked point in scene units).
template <class Owner> class QVR_InsertMenuCommands {
public:
    // Kinds of the insert entries: text, then the object types of the media, 8 for a streaming web video, and
    // 0 for the generic entry.
    static constexpr int kGenericInsertKind = 0;
    static constexpr int kTextInsertKind = 4;

    void directlyInsertTextItem()
    {
        if (auto* screen = owner().insertionScreen())
            screen->directlyInsertTextItemUsingMouseDownWindowLocation(owner().insertionPoint());
    }
    void directlyInsertImageItem() { insertKind(2); }
    void directlyInsertGalleryItem() { insertKind(3); }
    void directlyInsertVideoItem() { insertKind(1); }
    void directlyInsertYoutubeItem() { insertKind(8); }
    void directlyInsertAudioItem() { insertKind(9); }
    void directlyInsertPDFItem() { insertKind(6); }
    void directlyInsertShapeItem() { insertKind(7); }
    void genericInsertItemPressed()
    {
        if (auto* screen = owner().insertionScreen())
            screen->displayGenericInsertItemMenuForWindowLocation(owner().insertionPoint());
    }

    // The entry of that kind was chosen.
    void insertMenuItemChosen(int kind)
    {
        switch (kind) {
        case kGenericInsertKind:
            genericInsertItemPressed();
            break;
        case kTextInsertKind:
            directlyInsertTextItem();
            break;
        default:
            insertKind(kind);
            break;
        }
    }

protected:
    ~QVR_InsertMenuCommands() = default;

private:
    const Owner& owner() const { return static_cast<const Owner&>(*this); }
    void insertKind(int kind)
    {
        if (auto* screen = owner().insertionScreen())
            screen->directlyInsertMixedMediaItemWithType(kind, owner().insertionPoint());
    }
};
