#pragma once

#include <functional>
#include <memory>

class TessarineDataModelItem;
class VideoAssetCompressorPreset;
class ZERI_ContentAsset;
class ZERI_TessarineModel;

// The per-document queue that re-encodes video assets. The media layer registers the real manager's factory;
// until then (and in model-only programs) every document gets an inert manager that queues nothing.
// Main thread only.
class VideoCompressionManager {
public:
    using Factory =
        std::function<std::shared_ptr<VideoCompressionManager>(const std::shared_ptr<ZERI_TessarineModel>&)>;

    virtual ~VideoCompressionManager() = default;

    virtual void enqueueCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                                   const std::shared_ptr<VideoAssetCompressorPreset>& preset) = 0;
    virtual void cancelCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) = 0;
    // Queues again every video asset below the item that still carries a preset (after undo or redo).
    virtual void resumeCompressionForAssetsOfDataModelItem(const std::shared_ptr<TessarineDataModelItem>& item) = 0;
    virtual void cancelEverything() = 0;
    virtual bool hasAsset(const std::shared_ptr<ZERI_ContentAsset>& asset) const = 0;
    virtual int contentAssetCount() const = 0;
    // How far the running re-encoding has come, 0 … 1: the last fraction its compressor reported for the one clip
    // being compressed (not the whole queue).
    virtual double progress() const = 0;
    virtual std::shared_ptr<ZERI_ContentAsset> currentlyCompressingAsset() const = 0;

    // Replaces the factory (nullptr restores the inert default). Documents keep the manager they already made.
    static void registerFactory(Factory factory);
    static bool isRegistered();
    static std::shared_ptr<VideoCompressionManager>
    makeForDocument(const std::shared_ptr<ZERI_TessarineModel>& document);
};

class InertVideoCompressionManager : public VideoCompressionManager {
public:
    void enqueueCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>&,
                                           const std::shared_ptr<VideoAssetCompressorPreset>&) override
    {
    }
    void cancelCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>&) override {}
    void resumeCompressionForAssetsOfDataModelItem(const std::shared_ptr<TessarineDataModelItem>&) override {}
    void cancelEverything() override {}
    bool hasAsset(const std::shared_ptr<ZERI_ContentAsset>&) const override { return false; }
    int contentAssetCount() const override { return 0; }
    double progress() const override { return 0; }
    std::shared_ptr<ZERI_ContentAsset> currentlyCompressingAsset() const override { return nullptr; }
};
