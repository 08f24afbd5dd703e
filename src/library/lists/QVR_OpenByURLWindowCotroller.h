#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QAbstractTableModel>
#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableView;
class ZERI_qvdFilePackage;

// The table of the local packages known when it was made: picture and title (UNTITLED_TEXT when empty); a
// double-click hands the row's package to the block.
class QVROpenSavedTessarineView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 100;
    static constexpr int kPreviewWidth = 150;

    explicit QVROpenSavedTessarineView(QWidget* parent = nullptr);
    ~QVROpenSavedTessarineView() override;

    void setOnTessarineCellDoubleClicked(std::function<void(std::shared_ptr<ZERI_qvdFilePackage>)> block)
    {
        m_onTessarineCellDoubleClicked = std::move(block);
    }
    const std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& displayedTessarinePackages() const { return m_packages; }
    QTableView* tessarinesTable() const { return m_table; }
    void onDoubleClick(int row);

private:
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> m_packages;
    QTableView* m_table = nullptr;
    QAbstractTableModel* m_model = nullptr;
    std::function<void(std::shared_ptr<ZERI_qvdFilePackage>)> m_onTessarineCellDoubleClicked;
};

// The Open URL window: a share address or string id to open in a viewer, and the local documents to open with
// a double-click. One at a time; the window goes when it closes.
class QVR_OpenByURLWindowCotroller : public QWidget {
    Q_OBJECT
public:
    explicit QVR_OpenByURLWindowCotroller(QWidget* parent = nullptr);

    // Shows the one window (made when none is open) and makes it key.
    static QVR_OpenByURLWindowCotroller* showShared();

    void openPressed();
    QLineEdit* textField() const { return m_textField; }
    QPushButton* openButton() const { return m_openButton; }
    QVROpenSavedTessarineView* savedTessarniesTable() const { return m_savedTessarniesTable; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLineEdit* m_textField = nullptr;
    QPushButton* m_openButton = nullptr;
    QVROpenSavedTessarineView* m_savedTessarniesTable = nullptr;
};
