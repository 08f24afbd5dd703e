#pragma once

#include <functional>
#include <memory>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class ZERI_TessarineModel;

// Turns the user's Save Draft, Publish, Unpublish and Share commands on a document into service operations,
// chaining the details sheet, the save/publish dialogue, the conflict sheet and the share sheet over `window`.
// Main thread only; each flow runs its sheets one after another before the call returns (the conflict
// handling and the share sheet may finish later).
class QVRSaveAndPostUtils {
public:
    static void saveTessarineDraft(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window);
    // In admin mode a copy without the full-sized pictures is published, and removed again afterwards.
    static void postTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window,
                                   bool adminMode = false);
    // `onDone` runs after the answer (with or without error), also for a null document. The outcome is told in
    // `window` when it still shows, else on the desktop.
    static void unpublishTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, std::function<void()> onDone,
                                        QWidget* window = nullptr);
    static void shareTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* window);

    // The sign-in wall when nobody is signed in; whether somebody is signed in afterwards.
    static bool requireSignIn();
    // Whether a Save Draft or Publish flow is running (a second one is refused meanwhile).
    static bool isFlowRunning();
    // The administrator's copy: a new document id in a package of its own (package type 0), the server and
    // string ids kept, pictures reduced to their cropped versions.
    static std::shared_ptr<ZERI_TessarineModel>
    getTessarineModelCopyWithoutFullsizedImage(const std::shared_ptr<ZERI_TessarineModel>& model);
};

// Asks before a document is taken off the web. Confirm unpublishes and ends the sheet with kDone once the
// service answered; Cancel ends it with kCancelled.
class QVR_UnpostConfirmationWindowController : public QDialog {
    Q_OBJECT
public:
    explicit QVR_UnpostConfirmationWindowController(std::shared_ptr<ZERI_TessarineModel> modelToUnpost,
                                                    QWidget* parent = nullptr);

    void confirmBtnPressed();
    void cancelBtnPressed();

    QPushButton* confirmBtn() const { return m_confirmBtn; }
    QPushButton* cancelBtn() const { return m_cancelBtn; }
    QProgressBar* activityIndicator() const { return m_activityIndicator; }

protected:
    void reject() override;

private:
    std::shared_ptr<ZERI_TessarineModel> m_modelToUnpost;
    QPushButton* m_confirmBtn = nullptr;
    QPushButton* m_cancelBtn = nullptr;
    QProgressBar* m_activityIndicator = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    bool m_working = false;
};
