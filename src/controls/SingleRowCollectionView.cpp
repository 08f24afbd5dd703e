#include "controls/SingleRowCollectionView.h"

#include <algorithm>

#include <QMouseEvent>

SingleRowCollectionViewItem::SingleRowCollectionViewItem(const QVariant& representedObject, QWidget* view)
    : m_representedObject(representedObject)
    , m_view(view)
{
}

SingleRowCollectionViewItem::~SingleRowCollectionViewItem()
{
    delete m_view.data();
}

void SingleRowCollectionViewItem::setSelected(bool selected)
{
    m_selected = selected;
    if (m_view)
        m_view->update();
}

SingleRowCollectionView::SingleRowCollectionView(QWidget* parent)
    : QWidget(parent)
{
}

SingleRowCollectionView::~SingleRowCollectionView()
{
    qDeleteAll(m_items);
}

void SingleRowCollectionView::ensureInitialSetup()
{
    if (m_initialSetupDone)
        return;
    m_initialSetupDone = true;
    doInitialSetup();
}

void SingleRowCollectionView::doInitialSetup() {}

SingleRowCollectionViewItem* SingleRowCollectionView::newItemForRepresentedObject(const QVariant& object)
{
    return new SingleRowCollectionViewItem(object, new QWidget);
}

SingleRowCollectionViewItem* SingleRowCollectionView::makeItem(int index)
{
    const QVariant& object = m_content[index];
    SingleRowCollectionViewItem* item = newItemForRepresentedObject(object);
    if (!item)
        item = new SingleRowCollectionViewItem(object, new QWidget);
    item->setParent(this);
    if (QWidget* view = item->view()) {
        view->setParent(this);
        view->setGeometry(frameForItemAtIndex(index));
        view->show();
    }
    return item;
}

void SingleRowCollectionView::setContent(const QVariantList& content)
{
    ensureInitialSetup();
    const int oldCurrent = currentIndex();
    qDeleteAll(m_items);
    m_items.clear();
    m_selection.clear();
    m_content = content;
    // Made before they are placed: frameForItemAtIndex counts the items.
    m_items.fill(nullptr, content.size());
    if (!m_inViewOnly) {
        for (int i = 0; i < content.size(); ++i)
            m_items[i] = makeItem(i);
    }
    relayout();
    updateItemsInReach();
    emit selectionIndexesChanged();
    if (oldCurrent != -1)
        emit currentIndexChanged(-1);
}

void SingleRowCollectionView::updateContent(const QVariantList& content)
{
    ensureInitialSetup();
    const int oldCurrent = currentIndex();
    QVariantList selectedObjects;
    for (int index : std::as_const(m_selection))
        selectedObjects.append(m_content.value(index));

    QList<SingleRowCollectionViewItem*> spare;
    spare.reserve(m_items.size());
    for (SingleRowCollectionViewItem* item : std::as_const(m_items))
        if (item)
            spare.append(item);
    QList<SingleRowCollectionViewItem*> items;
    items.reserve(content.size());
    QList<int> toMake;
    for (const QVariant& object : content) {
        // The items stay in order, so the one sought is nearly always at the front of what is left.
        const auto kept = std::find_if(spare.begin(), spare.end(), [&](SingleRowCollectionViewItem* item) {
            return item->representedObject() == object;
        });
        if (kept != spare.end()) {
            items.append(*kept);
            spare.erase(kept);
            continue;
        }
        if (!m_inViewOnly)
            toMake.append(int(items.size()));
        items.append(nullptr);
    }
    qDeleteAll(spare);
    m_items = items;
    m_content = content;
    for (int index : std::as_const(toMake))
        m_items[index] = makeItem(index);

    QList<int> selection;
    QList<bool> taken(content.size(), false);
    for (const QVariant& object : std::as_const(selectedObjects)) {
        for (int i = 0; i < content.size(); ++i) {
            if (!taken[i] && content[i] == object) {
                taken[i] = true;
                selection.append(i);
                break;
            }
        }
    }
    std::sort(selection.begin(), selection.end());
    m_selection = selection;
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i] && m_items[i]->isSelected() != m_selection.contains(i))
            m_items[i]->setSelected(m_selection.contains(i));
    relayout();
    updateItemsInReach();
    emit selectionIndexesChanged();
    if (currentIndex() != oldCurrent)
        emit currentIndexChanged(currentIndex());
}

void SingleRowCollectionView::setMakesItemsInViewOnly(bool inViewOnly)
{
    if (m_inViewOnly == inViewOnly)
        return;
    m_inViewOnly = inViewOnly;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = inViewOnly ? parentWidget() : nullptr;
    if (m_watchedParent)
        m_watchedParent->installEventFilter(this);
    if (!inViewOnly) {
        for (int i = 0; i < m_items.size(); ++i)
            if (!m_items[i]) {
                m_items[i] = makeItem(i);
                if (m_selection.contains(i))
                    m_items[i]->setSelected(true);
                itemMadeInReach(i, m_items[i]);
            }
    }
    updateItemsInReach();
}

std::pair<int, int> SingleRowCollectionView::indexesInReach(int marginViews) const
{
    const int stride = m_itemSize.width() + m_itemSpacing;
    if (m_items.isEmpty() || stride <= 0)
        return {1, 0};
    // The part of the row its parent shows (a scroll area's viewport); all of it without a parent.
    QRect shown = rect();
    if (const QWidget* parent = parentWidget())
        shown = QRect(mapFromParent(QPoint(0, 0)), parent->size()).intersected(rect());
    if (shown.isEmpty())
        return {1, 0};
    const int margin = marginViews * shown.width();
    const int first = std::max(0, (shown.left() - margin) / stride);
    const int last = std::min(int(m_items.size()) - 1, (shown.right() + margin) / stride);
    return {first, last};
}

void SingleRowCollectionView::updateItemsInReach()
{
    if (!m_inViewOnly)
        return;
    // What was made far out of reach goes; what is within a view's width of the view is made.
    const auto [keepFirst, keepLast] = indexesInReach(3);
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items[i] && (i < keepFirst || i > keepLast)) {
            delete m_items[i];
            m_items[i] = nullptr;
        }
    }
    const auto [first, last] = indexesInReach(1);
    for (int i = first; i <= last; ++i) {
        if (m_items[i])
            continue;
        m_items[i] = makeItem(i);
        if (m_selection.contains(i))
            m_items[i]->setSelected(true);
        itemMadeInReach(i, m_items[i]);
    }
}

void SingleRowCollectionView::itemMadeInReach(int, SingleRowCollectionViewItem*) {}

void SingleRowCollectionView::setItemSize(const QSize& size)
{
    m_itemSize = size.expandedTo(QSize(0, 0));
    relayout();
}

void SingleRowCollectionView::setItemSpacing(int spacing)
{
    m_itemSpacing = std::max(0, spacing);
    relayout();
}

int SingleRowCollectionView::currentIndex() const
{
    return m_selection.isEmpty() ? -1 : m_selection.first();
}

void SingleRowCollectionView::setSelectionIndexes(const QList<int>& indexes)
{
    QList<int> cleaned;
    for (int index : indexes)
        if (index >= 0 && index < m_items.size() && !cleaned.contains(index))
            cleaned.append(index);
    std::sort(cleaned.begin(), cleaned.end());
    if (cleaned == m_selection)
        return;
    const int oldCurrent = currentIndex();
    m_selection = cleaned;
    // Only the items whose state changes are told (and repainted): a long row costs no more than a short one.
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i] && m_items[i]->isSelected() != m_selection.contains(i))
            m_items[i]->setSelected(m_selection.contains(i));
    emit selectionIndexesChanged();
    if (currentIndex() != oldCurrent)
        emit currentIndexChanged(currentIndex());
}

QRect SingleRowCollectionView::frameForItemAtIndex(int index) const
{
    if (index < 0 || index >= m_items.size())
        return {};
    return QRect(index * (m_itemSize.width() + m_itemSpacing), 0, m_itemSize.width(), m_itemSize.height());
}

SingleRowCollectionViewItem* SingleRowCollectionView::itemAtIndex(int index) const
{
    return (index >= 0 && index < m_items.size()) ? m_items[index] : nullptr;
}

int SingleRowCollectionView::indexAtPoint(const QPoint& point) const
{
    const int stride = m_itemSize.width() + m_itemSpacing;
    if (stride <= 0 || point.x() < 0 || point.y() < 0 || point.y() >= m_itemSize.height())
        return -1;
    const int index = point.x() / stride;
    return frameForItemAtIndex(index).contains(point) ? index : -1;
}

void SingleRowCollectionView::relayout()
{
    for (int i = 0; i < m_items.size(); ++i)
        if (QWidget* view = m_items[i] ? m_items[i]->view() : nullptr)
            view->setGeometry(frameForItemAtIndex(i));
    const int n = int(m_items.size());
    const int width = n > 0 ? n * m_itemSize.width() + (n - 1) * m_itemSpacing : 0;
    setMinimumSize(width, m_itemSize.height());
    resize(std::max(width, 0), m_itemSize.height());
}

void SingleRowCollectionView::mousePressEvent(QMouseEvent* event)
{
    const int index = indexAtPoint(event->position().toPoint());
    if (index >= 0)
        setSelectionIndexes({index});
    QWidget::mousePressEvent(event);
}

void SingleRowCollectionView::showEvent(QShowEvent* event)
{
    ensureInitialSetup();
    QWidget::showEvent(event);
    if (m_inViewOnly && m_watchedParent != parentWidget()) {
        if (m_watchedParent)
            m_watchedParent->removeEventFilter(this);
        m_watchedParent = parentWidget();
        if (m_watchedParent)
            m_watchedParent->installEventFilter(this);
    }
    updateItemsInReach();
}

void SingleRowCollectionView::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    updateItemsInReach();
}

void SingleRowCollectionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateItemsInReach();
}

bool SingleRowCollectionView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedParent && event->type() == QEvent::Resize)
        updateItemsInReach();
    return QWidget::eventFilter(watched, event);
}
