#include "inspector/pickers/QVRFontPicker_v2.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPainter>
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

QIcon arrowIcon()
{
    QPixmap pixmap(8, 5);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd0, 0xd0, 0xd0));
    painter.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(8, 0), QPointF(4, 5)}));
    return QIcon(pixmap);
}
} // namespace

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
    m_family = new LazyComboBox(this, [this] { styleFamilyItems(); });
    m_family->setFixedWidth(kFamilyWidth);
    m_face = new QComboBox(this);
    m_face->setFixedWidth(kFaceWidth);
    m_familyArrow = new QVR_ToolbarButton(this);
    m_faceArrow = new QVR_ToolbarButton(this);
    for (QVR_ToolbarButton* arrow : {m_familyArrow, m_faceArrow}) {
        arrow->setIconImage(arrowIcon(), QSize(8, 5));
        arrow->setFixedSize(16, 22);
    }
    connect(m_familyArrow, &QAbstractButton::clicked, m_family, &QComboBox::showPopup);
    connect(m_faceArrow, &QAbstractButton::clicked, m_face, &QComboBox::showPopup);
    connect(m_family, &QComboBox::activated, this, &QVRFontPicker_v2::familyChosen);
    connect(m_face, &QComboBox::activated, this, &QVRFontPicker_v2::faceChosen);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(m_family);
    layout->addWidget(m_familyArrow);
    layout->addSpacing(4);
    layout->addWidget(m_face);
    layout->addWidget(m_faceArrow);
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
}

void QVRFontPicker_v2::styleFamilyItems()
{
    if (m_familyItemsStyled || !m_fontList)
        return;
    m_familyItemsStyled = true;
    for (int index = 0; index < m_family->count(); ++index) {
        const QString family = m_family->itemText(index);
        const auto font =
            m_fontList->fontForFamilyDashFace(family + FontList::separatorForComponentsSeparatedByStringMethod() +
                                              m_fontList->defaultFontFaceForFamily(family));
        if (!font)
            continue;
        m_family->setItemData(
            index, FontSubstitution::fontForPostScriptName(font->postScriptName, menuPointSizeForFamily(family)),
            Qt::FontRole);
    }
    showChosenFont(m_family);
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
    showChosenFont(m_face);
}

void QVRFontPicker_v2::showChosenFont(QComboBox* box)
{
    const QVariant font = box->currentIndex() >= 0 ? box->itemData(box->currentIndex(), Qt::FontRole) : QVariant();
    box->setFont(font.isValid() ? font.value<QFont>() : QFont());
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
    if (font && onFontChanged)
        onFontChanged(font->postScriptName);
}

void QVRFontPicker_v2::faceChosen(int index)
{
    if (!m_fontList || index < 0)
        return;
    showChosenFont(m_face);
    const auto font = m_fontList->fontForFamilyDashFace(
        m_shownFamily + FontList::separatorForComponentsSeparatedByStringMethod() + m_face->itemText(index));
    if (font && onFontChanged)
        onFontChanged(font->postScriptName);
}

void QVRFontPicker_v2::setSelectedFont(const DocumentFont& font)
{
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

void QVRFontPicker_v2::setDocked(bool docked)
{
    m_docked = docked;
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
