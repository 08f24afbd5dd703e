#pragma once

#include <functional>
#include <memory>

#include <QSize>

#include "controls/ViewController.h"

class QLabel;
class QPushButton;
class VideoAssetCompressorPreset;

// Asks which size added videos are re-encoded to: Small (480p), Medium (720p) or Large (1080p). Any other way of
// leaving it (Escape, Ctrl+W, its own close button, closing its window, another control wired to
// compressionButtonPressed) gives no preset, which means the videos are kept as they are.
class QVRCompressionSelectionViewController : public ViewController {
    Q_OBJECT
public:
    using SelectionBlock = std::function<void(const std::shared_ptr<VideoAssetCompressorPreset>& preset)>;
    // The chooser is never smaller than this.
    static constexpr QSize kMinimumSize{420, 110};

    explicit QVRCompressionSelectionViewController(QObject* parent = nullptr);
    ~QVRCompressionSelectionViewController() override;

    SelectionBlock onCompressionSelected() const { return m_onCompressionSelected; }
    void setOnCompressionSelected(SelectionBlock block) { m_onCompressionSelected = std::move(block); }

    // The action of the buttons: the sender decides the preset (none for anything but the three buttons).
    void compressionButtonPressed(QObject* sender);

    QLabel* headerLabel() const { return m_headerLabel; }
    QPushButton* smallButton() const { return m_smallButton; }
    QPushButton* mediumButton() const { return m_mediumButton; }
    QPushButton* largeButton() const { return m_largeButton; }

    // Asks in a window of its own, centred over and modal to `window`, and returns at once; `done` runs once with
    // the choice (none after Escape or closing). Without a window the active window is asked over, else the latest
    // active window of the application, else its first shown one; with none at all the Small preset is taken at
    // once, without asking.
    static void choosePreset(QWidget* window, SelectionBlock done);
    // The window the chooser shows over for `window` (nullptr: none given), or nullptr when there is none.
    static QWidget* hostWindow(QWidget* window);

protected:
    void loadView() override;

private:
    SelectionBlock m_onCompressionSelected;
    QLabel* m_headerLabel = nullptr;
    QPushButton* m_smallButton = nullptr;
    QPushButton* m_mediumButton = nullptr;
    QPushButton* m_largeButton = nullptr;
};
