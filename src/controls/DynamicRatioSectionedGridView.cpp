#include "controls/DynamicRatioSectionedGridView.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QSet>

DynamicRatioSectionedGridView::DynamicRatioSectionedGridView(QWidget* parent)
    : QWidget(parent)
{
}

void DynamicRatioSectionedGridView::reloadViews()
{
    QSet<QWidget*> previous;
    for (const Placed& placed : std::as_const(m_items))
        if (placed.view)
            previous.insert(placed.view);
    m_items.clear();

    double top = 0.0;
    const int sections = m_delegate ? std::max(0, m_delegate->gridViewNumSections(this)) : 0;
    for (int section = 0; section < sections; ++section) {
        const int columns = std::max(1, m_delegate->gridViewNumColumnsInSection(this, section));
        const double hSpacing = std::max(0.0, m_delegate->gridViewHorizontalItemSpacingInSection(this, section));
        const double vSpacing = std::max(0.0, m_delegate->gridViewVerticalItemSpacingInSection(this, section));
        const int count = std::max(0, m_delegate->gridViewNumItemsInSection(this, section));
        if (section > 0)
            top += vSpacing;
        const double columnWidth = std::max(0.0, (width() - (columns - 1) * hSpacing) / columns);
        std::vector<double> columnBottoms(size_t(columns), top);
        std::vector<bool> columnUsed(size_t(columns), false);

        for (int index = 0; index < count; ++index) {
            QWidget* view = m_delegate->gridViewViewForSection(this, section, index);
            if (!view)
                continue;
            const QSizeF desired = m_delegate->gridViewDesiredSizeForViewInSection(this, section, index);
            // A degenerate desired size keeps a square item rather than dividing by zero.
            const double ratio =
                (desired.width() > 0 && desired.height() > 0) ? desired.height() / desired.width() : 1.0;
            const auto shortest =
                size_t(std::min_element(columnBottoms.begin(), columnBottoms.end()) - columnBottoms.begin());
            const double x = shortest * (columnWidth + hSpacing);
            const double y = columnBottoms[shortest] + (columnUsed[shortest] ? vSpacing : 0.0);
            const double height = columnWidth * ratio;
            const QRect frame(int(std::lround(x)), int(std::lround(y)), int(std::lround(columnWidth)),
                              int(std::lround(height)));
            columnBottoms[shortest] = y + height;
            columnUsed[shortest] = true;

            if (view->parentWidget() != this)
                view->setParent(this);
            view->setGeometry(frame);
            view->show();
            previous.remove(view);
            m_items.append({section, index, view, frame});
        }
        top = *std::max_element(columnBottoms.begin(), columnBottoms.end());
    }

    for (QWidget* stale : std::as_const(previous)) {
        stale->hide();
        stale->deleteLater();
    }
    resize(width(), int(std::ceil(top)));
}

QList<QWidget*> DynamicRatioSectionedGridView::itemViews() const
{
    QList<QWidget*> views;
    for (const Placed& placed : m_items)
        if (placed.view)
            views.append(placed.view);
    return views;
}

QRect DynamicRatioSectionedGridView::frameOfItem(int section, int index) const
{
    for (const Placed& placed : m_items)
        if (placed.section == section && placed.index == index)
            return placed.frame;
    return {};
}
