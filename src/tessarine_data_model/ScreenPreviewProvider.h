#pragma once

#include <functional>
#include <memory>

class ZERI_FlowScreenModel;

// Makes the preview images of a screen (normal and text-less) and stores them as the screen's preview assets.
// The viewer layer registers the real generator's factory; by default screens get an inert provider that
// finishes at once without making anything. Main thread only.
class ScreenPreviewProvider {
public:
    using Factory = std::function<std::unique_ptr<ScreenPreviewProvider>()>;

    virtual ~ScreenPreviewProvider() = default;

    // Draws the screen's previews and sets them on the screen (setPreviewScreenShotAsset…), then calls `done`
    // once on the main thread. The provider holds the screen weakly.
    virtual void generatePreviews(const std::shared_ptr<ZERI_FlowScreenModel>& screen, std::function<void()> done) = 0;
    virtual void cancelCurrentDraw() = 0;

    static void registerFactory(Factory factory);
    static bool isRegistered();
    static std::unique_ptr<ScreenPreviewProvider> make();
};

class InertScreenPreviewProvider : public ScreenPreviewProvider {
public:
    void generatePreviews(const std::shared_ptr<ZERI_FlowScreenModel>&, std::function<void()> done) override;
    void cancelCurrentDraw() override {}
};
