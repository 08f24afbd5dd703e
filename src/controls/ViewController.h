#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// A controller of one view, made on first use (loadView). The controller owns its view: the view may be placed
// into any window or parent, and is deleted with the controller unless it was deleted first.
class ViewController : public QObject {
    Q_OBJECT
public:
    explicit ViewController(QObject* parent = nullptr);
    ~ViewController() override;

    // The view, made by loadView() on first call.
    QWidget* view();
    bool isViewLoaded() const { return !m_view.isNull(); }
    // Replaces the view (the previous one is deleted).
    void setView(QWidget* view);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

signals:
    void titleChanged(const QString& title);

protected:
    // Makes the view; the default is an empty widget. Subclasses build theirs in code and call setView().
    virtual void loadView();
    // After loadView.
    virtual void viewDidLoad() {}

private:
    QPointer<QWidget> m_view;
    QString m_title;
    bool m_loading = false;
};
