#pragma once

#include <functional>

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QColorDialog;
class QLineEdit;
class QListWidget;

// The application's one colour panel: a tool window with a colour dialog and, beside it, the list of the
// document's own colours ("Template Colors"). One owner at a time receives its picks; a pick made after the owner
// is gone reaches nothing. The panel hides shortly after another window becomes active.
class ColorPanel : public QWidget {
    Q_OBJECT
public:
    static ColorPanel* shared();
    // The panel if it has been made, without making it.
    static ColorPanel* existing();

    static QString colorListName() { return QStringLiteral("Template Colors"); }
    // The list's key for a colour: "#RRGGBBAA".
    static QString keyForColor(const QColor& color);

    // Makes `owner` the receiver of picks, replacing any earlier owner.
    void takeOwnership(QObject* owner, std::function<void(const QColor&)> onPick);
    // Drops `owner`'s claim and hides the panel; does nothing when someone else owns the panel.
    void releaseOwnership(QObject* owner);
    QObject* owner() const { return m_owner; }

    // Puts the panel beside `control` (global coordinates), on the first side where it covers neither `control`
    // nor `keepClear` and lies within the screen; where no side is free, where it covers least of `keepClear`.
    // Without a control the panel goes beside `keepClear`; with neither it stays where it is.
    void placeBeside(const QRect& control, const QRect& keepClear);
    // What a panel opened from `window` must not cover there besides its control (the window's selection, in
    // global coordinates); the creator registers it.
    static void setKeepClearAreaProvider(std::function<QRect(QWidget* window)> provider);
    static QRect keepClearAreaFor(QWidget* window);

    // Shows `color` without reporting it as a pick.
    void setColorQuietly(const QColor& color);
    void setShowsAlpha(bool showsAlpha);
    void setColorList(const QList<QColor>& colors);
    QStringList colorListKeys() const;

    QColorDialog* dialog() const { return m_dialog; }
    // The dialog's field for a hexadecimal code ("#RRGGBB").
    QLineEdit* hexField() const;
    QListWidget* listView() const { return m_list; }

signals:
    // The mouse went up inside the panel: a drag through colours has ended.
    void dragEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    explicit ColorPanel(QWidget* parent = nullptr);
    void deliver(const QColor& color);
    void onFocusWindowChanged();
    void takeOverHexField();
    void applyHexCode(const QString& text, bool finished);

    QColorDialog* m_dialog = nullptr;
    QListWidget* m_list = nullptr;
    QPointer<QLineEdit> m_hexField;
    QPointer<QObject> m_owner;
    std::function<void(const QColor&)> m_onPick;
    QTimer m_hideTimer;
    // The window that was in front when the panel showed: closed from the keyboard, the panel gives it the
    // keyboard back.
    QPointer<QWidget> m_returnTo;
};
