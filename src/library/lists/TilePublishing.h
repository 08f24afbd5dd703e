#pragma once

#include <functional>
#include <memory>

class QWidget;
class ZERI_TessarineModel;
class ZERI_qvdFilePackage;

// What a document tile asks of publishing: publishing a document with changes not yet posted, sharing a posted
// one, and taking a posted copy down. The publishing library registers its implementation; until it does, the
// inert default below publishes and shares nothing and greys out Share and Unpublish. Main thread only.
class TilePublishing {
public:
    virtual ~TilePublishing() = default;

    // Whether the tile offers Share and Unpublish at all.
    virtual bool canShare() const { return false; }
    virtual bool canUnpublish() const { return false; }
    // Runs the publish flow of the document over `window`.
    virtual void postTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window);
    // Runs the share flow of the posted document over `window`.
    virtual void shareTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window);
    // Asks to take the package's posted copy down; `onDone(true)` when it went (the grid then rebuilds its tiles),
    // `onDone(false)` when the user cancelled.
    virtual void unpublish(const std::shared_ptr<ZERI_qvdFilePackage>& package, QWidget* window,
                           std::function<void(bool unposted)> onDone);

    // The registered implementation, else the inert default.
    static TilePublishing& shared();
    // Takes ownership; nullptr restores the inert default.
    static void setShared(std::unique_ptr<TilePublishing> publishing);
};
