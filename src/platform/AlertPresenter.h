#pragma once

#include <deque>
#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

class QWidget;

// A message shown to the user with one or more buttons.
struct AlertRequest {
    enum class Style { Informational, Warning, Critical };

    Style style = Style::Informational;
    QString messageText;     // the bold first line
    QString informativeText; // the explanation under it
    QStringList buttons;     // left to right in reading order; the first is the default. Empty = one "OK".
    bool hasTextField = false;
    bool showsSuppressionButton = false; // a "Do not show this message again" box (its state is not reported)
    QString textFieldValue;              // initial text of the field
    // A question the program sees become moot while it is up (the video it warns of has finished compressing):
    // asked a few times a second, and once it answers true the alert closes by itself, answering `mootButton`.
    std::function<bool()> becomesMoot;
    int mootButton = 0;
};

struct AlertResponse {
    // Index into the request's buttons (0 = the first, default one); -1 when the alert was closed otherwise.
    int button = -1;
    QString textFieldValue; // the field's text when the alert closed, whatever closed it
};

// Shows alerts. The application registers the dialog implementation (platform/widgets) at start-up; tests
// register a RecordingAlertPresenter, so no test ever waits on a modal dialog. Main thread only.
class AlertPresenter {
public:
    virtual ~AlertPresenter();

    // Blocks until the user answers (application-modal).
    virtual AlertResponse runModal(const AlertRequest& request, QWidget* parent = nullptr) = 0;
    // Shows the alert modal to `parent`'s window and returns at once; `done` runs on the main thread when the
    // alert closes.
    virtual void show(const AlertRequest& request, QWidget* parent, std::function<void(const AlertResponse&)> done) = 0;

    // The registered presenter; without one, a presenter that logs each alert and answers -1 (closed).
    static AlertPresenter& shared();
    // Does not take ownership; pass nullptr to unregister.
    static void setShared(AlertPresenter* presenter);
    // Whether a presenter is registered (otherwise shared() is the fallback).
    static bool isRegistered();
};

// Records every alert and answers from a script: the queued responses first, then `defaultResponse`.
// show() delivers its answer from the event loop, as a real dialog would.
class RecordingAlertPresenter : public AlertPresenter {
public:
    AlertResponse runModal(const AlertRequest& request, QWidget* parent = nullptr) override;
    void show(const AlertRequest& request, QWidget* parent, std::function<void(const AlertResponse&)> done) override;

    void queueResponse(AlertResponse response) { m_responses.push_back(std::move(response)); }
    void queueButton(int button) { m_responses.push_back({button, {}}); }

    AlertResponse defaultResponse{0, {}};
    std::vector<AlertRequest> requests;

private:
    AlertResponse next(const AlertRequest& request);
    std::deque<AlertResponse> m_responses;
};
