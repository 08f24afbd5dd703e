#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"

#include <cmath>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "foundation/Tessutils.h"
#include "inspector/TypedNumber.h"
#include "strings/StringTables.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

std::optional<double> screenPropertiesLeadingDuration(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+))"));
    // Typed the way the user's locale writes decimals ("2,5") or with a dot.
    const auto match = number.match(TypedNumber::withDotDecimal(text));
    if (!match.hasMatch())
        return std::nullopt;
    const double value = double(float(match.captured(0).trimmed().toDouble()));
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

QPushButton* toggle(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setCheckable(true);
    // On and off must read at a glance: on is filled with the brand blue and marked, off is white.
    const QString blue = Tessutils::tessarineBlue().name();
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: white; color: %1; border: 1px solid #a0a0a0; border-radius: 4px; "
                       "padding: 3px 12px; }"
                       "QPushButton:checked { background: %2; color: white; border-color: %2; }"
                       "QPushButton:disabled { color: #a0a0a0; border-color: #c8c8c8; }"
                       "QPushButton:checked:disabled { background: #b8cfe6; color: white; }")
            .arg(Tessutils::tessarineBlackColor().name(), blue));
    QObject::connect(button, &QPushButton::toggled, button,
                     [button, title](bool on) { button->setText(on ? QStringLiteral("\u2713 ") + title : title); });
    return button;
}

QComboBox* transitionPopUp(QWidget* parent)
{
    auto* popUp = new QComboBox(parent);
    popUp->addItems({QStringLiteral("Slide"), QStringLiteral("Fade"), QStringLiteral("Instant")});
    return popUp;
}

QString durationText(std::optional<double> duration)
{
    return duration ? TypedNumber::shown(*duration, 1) : QStringLiteral("0");
}

} // namespace

int QVR_ScreenPropertiesMenuViewController::transitionTypeForItem(int item)
{
    switch (item) {
    case 1:
        return 2;
    case 2:
        return 3;
    default:
        return 0;
    }
}

int QVR_ScreenPropertiesMenuViewController::itemForTransitionType(int type)
{
    switch (type) {
    case 0:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    default:
        return -1;
    }
}

QVR_ScreenPropertiesMenuViewController::QVR_ScreenPropertiesMenuViewController(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Presentation"), this));
    auto* global = new QFormLayout;
    m_autoplay = toggle(tr("Auto Advance"), this);
    m_globalDuration = new QLineEdit(this);
    m_globalTransition = transitionPopUp(this);
    m_loop = toggle(tr("Loop"), this);
    global->addRow(tr("Autoplay"), m_autoplay);
    global->addRow(tr("Duration"), m_globalDuration);
    global->addRow(tr("Transition"), m_globalTransition);
    global->addRow(QString(), m_loop);
    layout->addLayout(global);

    layout->addWidget(new QLabel(tr("Screen"), this));
    auto* paging = new QHBoxLayout;
    m_previous = new QPushButton(QStringLiteral("<"), this);
    m_pageField = new QLineEdit(this);
    m_pageField->setFixedWidth(60);
    m_next = new QPushButton(QStringLiteral(">"), this);
    paging->addWidget(m_previous);
    paging->addWidget(m_pageField);
    paging->addWidget(m_next);
    layout->addLayout(paging);
    auto* screen = new QFormLayout;
    m_override = toggle(tr("Override"), this);
    m_screenDurationLabel = new QLabel(tr("Duration"), this);
    m_screenDuration = new QLineEdit(this);
    m_screenTransition = transitionPopUp(this);
    m_notes = new QPlainTextEdit(this);
    // Tab walks on to Done, as in every field of the sheet; it would otherwise stay in the notes for good.
    m_notes->setTabChangesFocus(true);
    screen->addRow(tr("Own timing"), m_override);
    screen->addRow(m_screenDurationLabel, m_screenDuration);
    screen->addRow(tr("Transition"), m_screenTransition);
    screen->addRow(tr("Presenter notes"), m_notes);
    layout->addLayout(screen);
    m_doneButton = new QPushButton(UFM::DONE_TEXT(), this);
    layout->addWidget(m_doneButton, 0, Qt::AlignRight);
    // Return belongs to the field being typed in: no button of the sheet is the dialog's default one, so Return
    // never flips a toggle that last had the focus.
    for (auto* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // Return and focus-out both commit a duration.
    connect(m_globalDuration, &QLineEdit::editingFinished, this, [this] {
        commitGlobalDuration();
        updateViews();
    });
    connect(m_screenDuration, &QLineEdit::editingFinished, this, [this] {
        commitScreenDuration();
        updateViews();
    });
    connect(m_autoplay, &QPushButton::clicked, this, [this] { autoplayToggled(); });
    connect(m_override, &QPushButton::clicked, this, [this] { overrideToggled(); });
    connect(m_loop, &QPushButton::clicked, this, [this] {
        commitGlobalDuration();
        commitScreenDuration();
        if (m_flow)
            m_flow->setAutoAdvanceLoops(m_loop->isChecked());
        updateViews();
    });
    connect(m_globalTransition, &QComboBox::activated, this, [this](int item) {
        if (m_flow)
            m_flow->setAutoAdvanceTransitionType(transitionTypeForItem(item));
        updateViews();
    });
    connect(m_screenTransition, &QComboBox::activated, this, [this](int item) {
        if (auto s = currentScreenModel())
            s->setAutoAdvanceTransitionType(transitionTypeForItem(item));
        updateViews();
    });
    connect(m_notes, &QPlainTextEdit::textChanged, this, [this] {
        if (m_updating)
            return;
        if (auto s = currentScreenModel())
            s->setPresenterNotes(m_notes->toPlainText());
    });
    connect(m_previous, &QPushButton::clicked, this, [this] { goToPage(m_page - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { goToPage(m_page + 1); });
    connect(m_pageField, &QLineEdit::returnPressed, this, [this] {
        bool ok = false;
        const int n = m_pageField->text().trimmed().toInt(&ok);
        if (ok && m_flow && n >= 1 && n <= int(m_flow->screenModels().size()))
            goToPage(n - 1);
        else
            updateViews();
    });
    connect(m_doneButton, &QPushButton::clicked, this, [this] { doneButtonPressed(); });
}

QVR_ScreenPropertiesMenuViewController::~QVR_ScreenPropertiesMenuViewController()
{
    closeChange();
}

void QVR_ScreenPropertiesMenuViewController::closeChange()
{
    if (!m_flow)
        return;
    const auto action = m_openAction.lock();
    if (action && m_flow->currentUndoableAction() == action)
        m_flow->endUndoableChanges();
    m_openAction.reset();
}

void QVR_ScreenPropertiesMenuViewController::setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow)
{
    if (flow == m_flow)
        return;
    closeChange();
    m_flow = flow;
    if (m_flow) {
        m_flow->beginUndoableChanges();
        if (auto action = m_flow->currentUndoableAction()) {
            action->setActionDescription(QStringLiteral("Screen Properties Change"));
            m_openAction = action;
        }
    } else {
        m_page = -1;
    }
    updateViews();
}

void QVR_ScreenPropertiesMenuViewController::setScreenNumber(int page)
{
    m_page = page;
    updateViews();
}

bool QVR_ScreenPropertiesMenuViewController::pageValid() const
{
    return m_flow && m_page >= 0 && m_page < int(m_flow->screenModels().size());
}

std::shared_ptr<ZERI_FlowScreenModel> QVR_ScreenPropertiesMenuViewController::currentScreenModel() const
{
    return pageValid() ? m_flow->screenModels()[size_t(m_page)] : nullptr;
}

void QVR_ScreenPropertiesMenuViewController::updateViews()
{
    const auto screen = currentScreenModel();
    if (!screen)
        return;
    m_updating = true;
    m_loop->setChecked(m_flow->autoAdvanceLoops());
    m_pageField->setText(QString::asprintf("%d/%d", m_page + 1, int(m_flow->screenModels().size())));
    m_override->setChecked(screen->autoAdvanceSlideDuration().has_value());
    m_screenDuration->setText(durationText(screen->autoAdvanceSlideDuration()));
    if (const int item = itemForTransitionType(screen->autoAdvanceTransitionType().value_or(0)); item >= 0)
        m_screenTransition->setCurrentIndex(item);
    if (m_notes->toPlainText() != screen->presenterNotes())
        m_notes->setPlainText(screen->presenterNotes());
    const bool autoplay = m_flow->autoAdvanceSlideDuration().has_value();
    m_autoplay->setChecked(autoplay);
    m_globalDuration->setText(durationText(m_flow->autoAdvanceSlideDuration()));
    if (const int item = itemForTransitionType(m_flow->autoAdvanceTransitionType().value_or(0)); item >= 0)
        m_globalTransition->setCurrentIndex(item);
    // Without autoplay a screen has no timing of its own: the override of each screen shown goes (inside the
    // sheet's one undoable change).
    m_loop->setEnabled(autoplay);
    m_override->setEnabled(autoplay);
    m_screenDurationLabel->setEnabled(autoplay);
    if (!autoplay) {
        if (screen->autoAdvanceSlideDuration())
            screen->setAutoAdvanceSlideDuration(std::nullopt);
        m_override->setChecked(false);
        m_screenDuration->setText(QStringLiteral("0"));
    }
    m_screenDuration->setEnabled(m_override->isChecked());
    m_screenTransition->setEnabled(m_override->isChecked());
    m_updating = false;
}

void QVR_ScreenPropertiesMenuViewController::commitGlobalDuration()
{
    if (!m_flow || !m_globalDuration->isEnabled())
        return;
    const auto value = screenPropertiesLeadingDuration(m_globalDuration->text());
    if (!value || durationText(m_flow->autoAdvanceSlideDuration()) == m_globalDuration->text())
        return;
    m_flow->setAutoAdvanceSlideDuration(*value > 0 ? std::optional<double>(*value) : std::nullopt);
}

void QVR_ScreenPropertiesMenuViewController::commitScreenDuration()
{
    const auto screen = currentScreenModel();
    // A disabled field shows "0" for an override that does not apply; it is not an entry.
    if (!screen || !m_screenDuration->isEnabled())
        return;
    const auto value = screenPropertiesLeadingDuration(m_screenDuration->text());
    if (!value || durationText(screen->autoAdvanceSlideDuration()) == m_screenDuration->text())
        return;
    screen->setAutoAdvanceSlideDuration(*value > 0 ? std::optional<double>(*value) : std::nullopt);
}

void QVR_ScreenPropertiesMenuViewController::autoplayToggled()
{
    commitGlobalDuration();
    commitScreenDuration();
    if (!m_flow)
        return;
    if (m_autoplay->isChecked()) {
        m_flow->setAutoAdvanceSlideDuration(ZERI_FlowModel::defaultAutoAdvanceDuration());
        QVRAnalytics::logEvent(QStringLiteral("Enabled Auto Advance"), {}, m_flow->tessarineModel());
    } else {
        m_flow->setAutoAdvanceSlideDuration(std::nullopt);
        m_flow->setAutoAdvanceLoops(false);
        if (auto screen = currentScreenModel())
            screen->setAutoAdvanceSlideDuration(std::nullopt);
        QVRAnalytics::logEvent(QStringLiteral("Disabled Auto Advance"), {}, m_flow->tessarineModel());
    }
    updateViews();
}

void QVR_ScreenPropertiesMenuViewController::overrideToggled()
{
    commitGlobalDuration();
    commitScreenDuration();
    if (auto screen = currentScreenModel())
        screen->setAutoAdvanceSlideDuration(m_override->isChecked()
                                                ? std::optional<double>(ZERI_FlowModel::defaultAutoAdvanceDuration())
                                                : std::nullopt);
    updateViews();
}

void QVR_ScreenPropertiesMenuViewController::goToPage(int page)
{
    commitScreenDuration();
    commitGlobalDuration();
    if (!m_flow || page < 0 || page >= int(m_flow->screenModels().size()) || page == m_page) {
        updateViews();
        return;
    }
    m_page = page;
    if (m_pageChanged)
        m_pageChanged(page);
    updateViews();
}

void QVR_ScreenPropertiesMenuViewController::doneButtonPressed()
{
    if (m_done)
        return;
    m_done = true;
    commitScreenDuration();
    commitGlobalDuration();
    if (auto screen = currentScreenModel(); screen && screen->presenterNotes() != m_notes->toPlainText())
        screen->setPresenterNotes(m_notes->toPlainText());
    closeChange();
    emit finished();
}

ScreenPropertiesSheet::ScreenPropertiesSheet(QWidget* window, const std::shared_ptr<ZERI_FlowModel>& flow, int page)
    : QDialog(window)
{
    setWindowModality(Qt::WindowModal);
    // Named after what it holds, as the Screen menu's item names it.
    setWindowTitle(LocalizedStringWithEnglishFallback(QStringLiteral("SCREEN_PROPERTIES_TEXT")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 20);
    m_controller = new QVR_ScreenPropertiesMenuViewController(this);
    layout->addWidget(m_controller);
    m_controller->setFlowModel(flow);
    m_controller->setScreenNumber(page);
    connect(m_controller, &QVR_ScreenPropertiesMenuViewController::finished, this, [this] { QDialog::accept(); });
    const QSize size = m_controller->sizeHint();
    resize(size.width(), size.height() + 20);
}

void ScreenPropertiesSheet::reject()
{
    m_controller->doneButtonPressed();
    QDialog::accept();
}

ScreenPropertiesSheet* ScreenPropertiesSheet::openOn(QWidget* window, const std::shared_ptr<ZERI_FlowModel>& flow,
                                                     int page, std::function<void(int)> pageChanged)
{
    auto* sheet = new ScreenPropertiesSheet(window, flow, page);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->controller()->setPageChangedBlock(std::move(pageChanged));
    sheet->open();
    return sheet;
}

bool ScreenPropertiesSheet::isShownOn(const QWidget* window)
{
    if (!window)
        return false;
    for (const auto* sheet : window->findChildren<ScreenPropertiesSheet*>())
        if (sheet->isVisible() && !sheet->controller()->isDone())
            return true;
    return false;
}
