#pragma once

#include <memory>

#include <QPointer>
#include <QWidget>

class QPushButton;
class QVRViewerViewController;
class ZERI_TessarineModel;

// The first-launch tour's page: the tour document played by a viewer, with Get Started, Sign Up and Sign In under
// it. Get Started closes the tour window; Sign Up and Sign In run the sign-in wall as a sheet over it and close the
// tour once somebody signed in. Everything it shows is built in: it works without the service.
//
// Main thread only.
class QVR_FirstLaunchViewController : public QWidget {
    Q_OBJECT
public:
    explicit QVR_FirstLaunchViewController(QWidget* parent = nullptr);
    ~QVR_FirstLaunchViewController() override;

    // The built-in tour: one flow of six screens holding the eight tour texts.
    static std::shared_ptr<ZERI_TessarineModel> makeTourDocument();

    // Runs the sign-in wall as a sheet over the tour window (on its sign-up page when `signUp`), and closes the
    // tour when the sign-in completed.
    void showRegisterWall(bool signUp = false);
    void getStartedPressed();

    QVRViewerViewController* viewerViewController() const { return m_viewer; }
    QPushButton* getStartedButton() const { return m_getStarted; }
    QPushButton* signUpButton() const { return m_signUp; }
    QPushButton* signInButton() const { return m_signIn; }

private:
    QVRViewerViewController* m_viewer = nullptr;
    std::shared_ptr<ZERI_TessarineModel> m_document;
    QPushButton* m_getStarted = nullptr;
    QPushButton* m_signUp = nullptr;
    QPushButton* m_signIn = nullptr;
    bool m_wallShown = false;
};
