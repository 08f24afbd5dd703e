#pragma once

#include <functional>
#include <memory>

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "controls/ViewController.h"
#include "service/OpenRequestUi.h"

class ZERI_TessarineModel;

// The card shown in a viewer window while a document's files arrive: the document's preview picture, its title,
// "By" and the author with the author's avatar, a progress bar with a percentage, and Cancel. The open request
// makes it, gives it the document, feeds it progress and gives it its close block.
//
// A document given before the view is made is applied when it is. The first screen's preview, when it is the
// only picture there is, is decoded on a worker thread. Main thread only otherwise.
class QVRViewerDownloadViewController : public ViewController, public ViewerDownloadPanel {
    Q_OBJECT
public:
    static constexpr QSize kCardSize{360, 430};

    explicit QVRViewerDownloadViewController(QObject* parent = nullptr);
    ~QVRViewerDownloadViewController() override;

    // ViewerDownloadPanel
    QWidget* view() override { return ViewController::view(); }
    void setInformation(const std::shared_ptr<ZERI_TessarineModel>& model) override;
    void updateProgress(double progress) override { setProgress(progress); }
    void setCloseBlock(std::function<void()> onClose) override { setOnCloseButtonPressedBlock(std::move(onClose)); }
    void removeView() override;

    double progress() const { return m_progress; }
    // Held to 0 … 1; NaN counts as 0.
    void setProgress(double progress);
    void setOnCloseButtonPressedBlock(std::function<void()> block) { m_onCloseButtonPressedBlock = std::move(block); }
    // Both run the close block when there is one.
    void cancelButtonPressed();
    void onCloseButtonPressed();

    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* authorLabel() const { return m_authorLabel; }
    QLabel* percentCompleteLabel() const { return m_percentCompleteLabel; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QWidget* cardView() const { return m_cardView; }
    QWidget* loadingBarView() const { return m_loadingBarView; }
    QWidget* loadingBarProgressView() const { return m_loadingBarProgressView; }
    QVR_AsynchronousRenderWebImageView* tessarinePreviewImageView() const { return m_tessarinePreviewImageView; }
    QVR_AsynchronousRenderWebImageView* profileImageView() const { return m_profileImageView; }

signals:
    // The preview decoded on a worker was set (a null image when there was none to decode).
    void previewImageDecoded();

protected:
    void loadView() override;
    void viewDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyInformation(const std::shared_ptr<ZERI_TessarineModel>& model);
    void showDefaultAvatar();
    void layoutProgressFill();

    std::shared_ptr<ZERI_TessarineModel> m_model; // given before the view was made
    bool m_awake = false;
    double m_progress = 0;
    std::function<void()> m_onCloseButtonPressedBlock;

    QPointer<QWidget> m_cardView;
    QPointer<QWidget> m_topBoarder;
    QPointer<QVR_AsynchronousRenderWebImageView> m_tessarinePreviewImageView;
    QPointer<QVR_AsynchronousRenderWebImageView> m_profileImageView;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_authorLabel;
    QPointer<QLabel> m_percentCompleteLabel;
    QPointer<QPushButton> m_cancelButton;
    QPointer<QWidget> m_loadingBarView;
    QPointer<QWidget> m_loadingBarProgressView;
};
