#pragma once

#include <functional>

#include <QPointer>
#include <QWidget>

#include "foundation/DocumentFont.h"

class FontList;
class QComboBox;
class QVR_StretchableBorderView;
class QVR_ToolbarButton;

// Two menus, font family and face, over a FontList. Choosing a family reports the PostScript name of its default
// face; choosing a face reports that face's. Programmatic selection never reports. Each menu item is drawn in its
// own font; the family menu's fonts are made the first time the menu opens.
class QVRFontPicker_v2 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFamilyWidth = 120;
    static constexpr int kFaceWidth = 110;
    static constexpr QRgb kDockedBorderColor = 0x515151;
    static constexpr QSize kPickerSize{236, 50};
    static constexpr QSize kArrowSize{16, 22};
    // Where the floating panel border's rounded edge lies inside the picker.
    static constexpr int kFloatingInset = 5;
    // Around a family's name in its menu: the item's own margins and the check mark's place.
    static constexpr int kMenuTextMargins = 36;

    explicit QVRFontPicker_v2(QWidget* parent = nullptr);

    // The catalogue to show; it must outlive the picker or be replaced first. Selects the first family and its
    // default face.
    void setFontList(const FontList* fontList);
    // Shows `font`'s family and face as the catalogue files them. A font the catalogue does not hold leaves the
    // menus as they were.
    void setSelectedFont(const DocumentFont& font);
    // The PostScript name of the font last selected or chosen.
    QString currentFontName() const { return m_currentFontName; }
    // Text of several fonts: both menus show nothing chosen (as the size box shows no size) until a family is
    // picked.
    void showNoFontChosen();

    // Docked pickers draw a 1-point dark border; floating ones sit on the floating panel border.
    void setDocked(bool docked);
    bool isDocked() const { return m_docked; }

    QComboBox* familyBox() const { return m_family; }
    QComboBox* faceBox() const { return m_face; }
    // Gives each family item its own font (done once per catalogue; the family menu calls it as it opens).
    void styleFamilyItems();
    // The small downward triangle of the pickers' arrow buttons.
    static QIcon arrowIcon(const QColor& color);
    // The size a family's menu items are drawn at.
    static qreal menuPointSizeForFamily(const QString& family);

    std::function<void(const QString& postScriptName)> onFontChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void familyChosen(int index);
    void faceChosen(int index);
    void fillFaces(const QString& family, const QString& face);
    void layoutBoxes();
    void showChosenFont(QComboBox* box);
    // The menu of `box` opens as wide as its widest name in that name's own font, however narrow the box.
    static void widenMenuToItsNames(QComboBox* box);
    void fontChosen(const QString& postScriptName);
    void styleBoxes();
    // The family's default face at the family's menu size; invalid when the catalogue has no such font.
    QVariant familyItemFont(const QString& family) const;

    const FontList* m_fontList = nullptr;
    QComboBox* m_family = nullptr;
    QComboBox* m_face = nullptr;
    QVR_ToolbarButton* m_familyArrow = nullptr;
    QVR_ToolbarButton* m_faceArrow = nullptr;
    QString m_shownFamily;
    QString m_currentFontName;
    bool m_familyItemsStyled = false;
    bool m_docked = true;
    QPointer<QVR_StretchableBorderView> m_floatingBorder;
};
