#include "inspector/pickers/QVRFontPicker_v2.h"

#include <algorithm>
#include <tuple>

#include <QComboBox>
#include <QPainter>
#include <QFontMetrics>
#include <QScrollBar>
#include <QAbstractItemView>
#include <QSignalBlocker>

#include "controls/QVR_StretchableBorderView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "elements/text/FontList.h"
#include "foundation/FontSubstitution.h"

namespace {
// Opens the family menu's item fonts on first showing.
class LazyComboBox : public QComboBox {
public:
    LazyComboBox(QWidget* parent, std::function<void()> beforePopup)
        : QComboBox(parent)
        , m_beforePopup(std::move(beforePopup))
    {
    }
    void showPopup() override
    {
        if (m_beforePopup)
            m_beforePopup();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_beforePopup;
};

} // namespace

QIcon QVRFontPicker_v2::arrowIcon(const QColor& color)
{
    QPixmap pixmap(8, 5);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(8, 0), QPointF(4, 5)}));
    return QIcon(pixmap);
}

qreal QVRFontPicker_v2::menuPointSizeForFamily(const QString& family)
{
    if (family == QLatin1String("Ostrich Sans"))
        return 12;
    if (family == QLatin1String("Deming EP"))
        return 9;
    return 11;
}

QVRFontPicker_v2::QVRFontPicker_v2(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(kPickerSize);
    m_family = new LazyComboBox(this, [this] { styleFamilyItems(); });
    m_face = new QComboBox(this);
    m_familyArrow = new QVR_ToolbarButton(this);
    m_faceArrow = new QVR_ToolbarButton(this);
    // Each menu is a plain white field of one height whatever font its title shows; its only arrow is the
    // arrow button lying over its right end.
    // Tab reaches each menu (the arrows pick, Space or Alt+Down opens it); a click leaves the keyboard where it
    // was, in the text being styled.
    for (auto [box, arrow] : {std::pair{m_family, m_familyArrow}, std::pair{m_face, m_faceArrow}}) {
        box->setFocusPolicy(Qt::TabFocus);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setIconImage(arrowIcon(QColor(0xd0, 0xd0, 0xd0)), QSize(8, 5));
    }
    layoutBoxes();
    connect(m_familyArrow, &QAbstractButton::clicked, m_family, &QComboBox::showPopup);
    connect(m_faceArrow, &QAbstractButton::clicked, m_face, &QComboBox::showPopup);
    connect(m_family, &QComboBox::activated, this, &QVRFontPicker_v2::familyChosen);
    connect(m_face, &QComboBox::activated, this, &QVRFontPicker_v2::faceChosen);
    styleBoxes();
}

void QVRFontPicker_v2::layoutBoxes()
{
    // Floating, the panel border draws its rounded edge a few points inside the picker: the family menu starts
    // within it.
    const int inset = m_docked ? 0 : kFloatingInset;
    const int y = (kPickerSize.height() - kArrowSize.height()) / 2;
    int x = inset;
    for (auto [box, arrow, width] :
         {std::tuple{m_family, m_familyArrow, kFamilyWidth - inset}, std::tuple{m_face, m_faceArrow, kFaceWidth}}) {
        box->setGeometry(x, y, width, kArrowSize.height());
        arrow->setGeometry(x + width - kArrowSize.width(), y, kArrowSize.width(), kArrowSize.height());
        arrow->raise();
        x += width;
    }
}

void QVRFontPicker_v2::styleBoxes()
{
    const QString border =
        m_docked ? QStringLiteral("1px solid #%1").arg(kDockedBorderColor & 0xffffff, 6, 16, QLatin1Char('0'))
                 : QStringLiteral("none");
    const QString sheet = QStringLiteral("QComboBox { background: white; color: black; border: %1; "
                                         "border-radius: %2px; padding: 0px %3px 0px 6px; }"
                                         "QComboBox:focus { border: 2px solid #8CC4FF; }"
                                         "QComboBox::drop-down { width: 0px; border: none; }"
                                         "QComboBox::down-arrow { image: none; width: 0px; height: 0px; }")
                              .arg(border)
                              .arg(m_docked ? 1 : 2)
                              .arg(kArrowSize.width());
    for (QComboBox* box : {m_family, m_face})
        box->setStyleSheet(sheet);
}

void QVRFontPicker_v2::setFontList(const FontList* fontList)
{
    m_fontList = fontList;
    m_familyItemsStyled = false;
    const QSignalBlocker familyBlocker(m_family);
    m_family->clear();
    m_face->clear();
    m_shownFamily.clear();
    if (!fontList)
        return;
    m_family->addItems(fontList->familyList());
    if (m_family->count() > 0) {
        m_family->setCurrentIndex(0);
        m_shownFamily = m_family->itemText(0);
    }
    showChosenFont(m_family);
    // A family is never shown without its faces: until a font is selected, the first family's default face.
    if (!m_shownFamily.isEmpty())
        fillFaces(m_shownFamily, fontList->defaultFontFaceForFamily(m_shownFamily));
}

void QVRFontPicker_v2::styleFamilyItems()
{
    if (m_familyItemsStyled || !m_fontList)
        return;
    m_familyItemsStyled = true;
    for (int index = 0; index < m_family->count(); ++index) {
        const QVariant font = familyItemFont(m_family->itemText(index));
        if (font.isValid())
            m_family->setItemData(index, font, Qt::FontRole);
    }
    widenMenuToItsNames(m_family);
    showChosenFont(m_family);
}

void QVRFontPicker_v2::widenMenuToItsNames(QComboBox* box)
{
    int widest = 0;
    for (int index = 0; index < box->count(); ++index) {
        const QVariant font = box->itemData(index, Qt::FontRole);
        const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : box->view()->font());
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(index)));
    }
    box->view()->setMinimumWidth(widest + kMenuTextMargins + box->view()->verticalScrollBar()->sizeHint().width());
}

QVariant QVRFontPicker_v2::familyItemFont(const QString& family) const
{
    const auto font =
        m_fontList
            ? m_fontList->fontForFamilyDashFace(family + FontList::separatorForComponentsSeparatedByStringMethod() +
                                                m_fontList->defaultFontFaceForFamily(family))
            : std::nullopt;
    if (!font)
        return {};
    return FontSubstitution::fontForPostScriptName(font->postScriptName, menuPointSizeForFamily(family));
}

void QVRFontPicker_v2::fillFaces(const QString& family, const QString& face)
{
    const QSignalBlocker blocker(m_face);
    m_face->clear();
    const auto faces = m_fontList ? m_fontList->facesForFamily(family) : std::nullopt;
    if (!faces)
        return;
    const QString separator = FontList::separatorForComponentsSeparatedByStringMethod();
    for (const QString& each : *faces) {
        m_face->addItem(each);
        if (const auto font = m_fontList->fontForFamilyDashFace(family + separator + each))
            m_face->setItemData(
                m_face->count() - 1,
                FontSubstitution::fontForPostScriptName(font->postScriptName, menuPointSizeForFamily(family)),
                Qt::FontRole);
    }
    m_face->setCurrentIndex(m_face->findText(face));
    widenMenuToItsNames(m_face);
    showChosenFont(m_face);
}

void QVRFontPicker_v2::showChosenFont(QComboBox* box)
{
    const int index = box->currentIndex();
    QVariant font = index >= 0 ? box->itemData(index, Qt::FontRole) : QVariant();
    // The family menu's items get their fonts as it first opens; its title has its font at once.
    if (!font.isValid() && box == m_family && index >= 0)
        font = familyItemFont(box->itemText(index));
    QFont shown = font.isValid() ? font.value<QFont>() : QFont();
    // The menu's size counts in the picker's own units, as its 120-unit width does: so a family's name fits.
    shown.setPixelSize(qRound(menuPointSizeForFamily(box == m_family ? box->currentText() : m_shownFamily)));
    box->setFont(shown);
}

void QVRFontPicker_v2::familyChosen(int index)
{
    if (!m_fontList || index < 0)
        return;
    const QString family = m_family->itemText(index);
    showChosenFont(m_family);
    if (family == m_shownFamily && m_face->currentIndex() >= 0)
        return;
    m_shownFamily = family;
    const QString face = m_fontList->defaultFontFaceForFamily(family);
    fillFaces(family, face);
    const auto font =
        m_fontList->fontForFamilyDashFace(family + FontList::separatorForComponentsSeparatedByStringMethod() + face);
    if (font)
        fontChosen(font->postScriptName);
}

void QVRFontPicker_v2::faceChosen(int index)
{
    if (!m_fontList || index < 0)
        return;
    showChosenFont(m_face);
    const auto font = m_fontList->fontForFamilyDashFace(
        m_shownFamily + FontList::separatorForComponentsSeparatedByStringMethod() + m_face->itemText(index));
    if (font)
        fontChosen(font->postScriptName);
}

void QVRFontPicker_v2::fontChosen(const QString& postScriptName)
{
    m_currentFontName = postScriptName;
    if (onFontChanged)
        onFontChanged(postScriptName);
}

void QVRFontPicker_v2::setSelectedFont(const DocumentFont& font)
{
    m_currentFontName = font.postScriptName;
    if (!m_fontList)
        return;
    // The family and face come from the catalogue's own reading of the font: family names may hold "-".
    const QString family = FontList::displayableFamilyNameFromFont(font);
    const QString face = FontList::displayableFaceNameFromFont(font);
    const int familyIndex = m_family->findText(family);
    const auto faces = m_fontList->facesForFamily(family);
    if (familyIndex < 0 || !faces || !faces->contains(face))
        return;
    {
        const QSignalBlocker blocker(m_family);
        m_family->setCurrentIndex(familyIndex);
    }
    m_shownFamily = family;
    showChosenFont(m_family);
    fillFaces(family, face);
}

void QVRFontPicker_v2::showNoFontChosen()
{
    m_currentFontName.clear();
    m_shownFamily.clear();
    {
        const QSignalBlocker familyBlocker(m_family);
        m_family->setCurrentIndex(-1);
    }
    const QSignalBlocker faceBlocker(m_face);
    m_face->clear();
}

void QVRFontPicker_v2::setDocked(bool docked)
{
    m_docked = docked;
    styleBoxes();
    layoutBoxes();
    if (docked) {
        delete m_floatingBorder;
    } else if (!m_floatingBorder) {
        m_floatingBorder = new QVR_StretchableBorderView(rect(), false, this);
        m_floatingBorder->lower();
        m_floatingBorder->show();
    }
    update();
}

void QVRFontPicker_v2::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_floatingBorder)
        m_floatingBorder->setGeometry(rect());
}

void QVRFontPicker_v2::paintEvent(QPaintEvent*)
{
    if (!m_docked)
        return;
    QPainter painter(this);
    painter.setPen(QColor::fromRgb(kDockedBorderColor));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
