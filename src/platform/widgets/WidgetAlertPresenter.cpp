#include "platform/widgets/WidgetAlertPresenter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "platform/widgets/ModalActivation.h"

namespace {

const char* const kButtonIndexProperty = "tessAlertButtonIndex";
const char* const kTextFieldName = "tessAlertTextField";

QMessageBox::Icon iconFor(AlertRequest::Style style)
{
    switch (style) {
    case AlertRequest::Style::Warning:
        return QMessageBox::Warning;
    case AlertRequest::Style::Critical:
        return QMessageBox::Critical;
    case AlertRequest::Style::Informational:
        break;
    }
    return QMessageBox::Information;
}

// Gives an alert's text field the keyboard each time the alert shows: the box hands it to its default button as it
// shows, where the first space typed would press it.
class FieldFocusOnShow : public QObject {
public:
    FieldFocusOnShow(QWidget* box, QWidget* field)
        : QObject(field)
        , m_field(field)
    {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, m_field, [field = m_field] {
                if (field && field->isVisible())
                    field->setFocus(Qt::OtherFocusReason);
            });
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> m_field;
};

// Puts `widget` in the box's grid just above its row of buttons, across the whole width.
void placeAboveButtons(QMessageBox* box, QWidget* widget)
{
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (!grid)
        return;
    auto* buttons = box->findChild<QDialogButtonBox*>();
    const int index = buttons ? grid->indexOf(buttons) : -1;
    if (index < 0) {
        grid->addWidget(widget, grid->rowCount(), 0, 1, grid->columnCount());
        return;
    }
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(widget, row, 0, 1, grid->columnCount());
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

// A message box titled with the application's name. It sizes itself to its texts when shown: a short message would
// leave the window manager too little room for the title, which it then cuts short, so it widens to fit the title.
class TitledMessageBox : public QMessageBox {
public:
    explicit TitledMessageBox(QWidget* parent)
        : QMessageBox(parent)
    {
        setWindowTitle(QGuiApplication::applicationDisplayName());
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        const int least = WidgetAlertPresenter::leastWidthForTitle(this);
        if (width() < least)
            setFixedSize(least, height());
    }
};

} // namespace

QMessageBox* WidgetAlertPresenter::makeBox(const AlertRequest& request, QWidget* parent)
{
    auto* box = new TitledMessageBox(parent);
    ModalActivation::keepOnDialog(box);
    box->setIcon(iconFor(request.style));
    box->setText(request.messageText);
    box->setInformativeText(request.informativeText);

    const QStringList titles = request.buttons.isEmpty() ? QStringList{QObject::tr("OK")} : request.buttons;
    for (int i = 0; i < titles.size(); ++i) {
        const bool isCancel = titles[i].compare(QLatin1String("Cancel"), Qt::CaseInsensitive) == 0;
        const auto role = i == 0     ? QMessageBox::AcceptRole
                          : isCancel ? QMessageBox::RejectRole
                                     : QMessageBox::ActionRole;
        QPushButton* button = box->addButton(titles[i], role);
        button->setProperty(kButtonIndexProperty, i);
        if (i == 0)
            box->setDefaultButton(button);
        if (isCancel)
            box->setEscapeButton(button);
    }

    if (request.becomesMoot) {
        auto* watch = new QTimer(box);
        watch->setInterval(kMootCheckIntervalMs);
        QObject::connect(watch, &QTimer::timeout, box, [box, moot = request.becomesMoot, index = request.mootButton] {
            if (!moot())
                return;
            for (QAbstractButton* button : box->buttons()) {
                if (button->property(kButtonIndexProperty).toInt() == index)
                    button->click();
            }
        });
        watch->start();
    }

    // First: the box lays itself out afresh when it gets its check box, which would drop the field below.
    if (request.showsSuppressionButton)
        box->setCheckBox(new QCheckBox(QObject::tr("Do not show this message again"), box));
    if (request.hasTextField) {
        auto* field = new QPlainTextEdit(box);
        field->setObjectName(QLatin1String(kTextFieldName));
        field->setPlainText(request.textFieldValue);
        field->setMinimumSize(300, 80);
        // Tab leaves the field for the buttons instead of typing a tab into it.
        field->setTabChangesFocus(true);
        placeAboveButtons(box, field);
        QWidget::setTabOrder(field, box->defaultButton());
        // The user types at once: the field has the keyboard, not the default button (a space would press it).
        field->moveCursor(QTextCursor::End);
        field->setFocus(Qt::OtherFocusReason);
        new FieldFocusOnShow(box, field);
    }
    return box;
}

int WidgetAlertPresenter::leastWidthForTitle(const QMessageBox* box)
{
    // The window manager draws the title in its own, often bold and larger, font, beside its buttons.
    QFont titleFont = box->font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) * 5 / 4 + kTitleBarButtonsWidth;
}

AlertResponse WidgetAlertPresenter::response(const QMessageBox* box)
{
    AlertResponse response;
    if (const QAbstractButton* clicked = box->clickedButton()) {
        const QVariant index = clicked->property(kButtonIndexProperty);
        response.button = index.isValid() ? index.toInt() : -1;
    }
    if (const auto* field = box->findChild<QPlainTextEdit*>(QLatin1String(kTextFieldName)))
        response.textFieldValue = field->toPlainText();
    return response;
}

AlertResponse WidgetAlertPresenter::runModal(const AlertRequest& request, QWidget* parent)
{
    QPointer<QMessageBox> box = makeBox(request, parent);
    box->exec();
    if (!box) // the parent went away while the dialog ran
        return {-1, request.textFieldValue};
    const AlertResponse answer = response(box);
    delete box;
    return answer;
}

void WidgetAlertPresenter::show(const AlertRequest& request, QWidget* parent,
                                std::function<void(const AlertResponse&)> done)
{
    QMessageBox* box = makeBox(request, parent);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box, [box, done] {
        if (done)
            done(response(box));
    });
    box->open();
}
