#include "elements/players/QVR_AVPlayerVideoPlayingControlsView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ControlsArtwork.h"
#include "controls/NibRegistry.h"
#include "elements/players/VideoPlayerLogging.h"
#include "elements/players/QVR_AVVideoPlayerSlider.h"
#include "elements/players/VideoPlayer.h"
#include "foundation/FontSubstitution.h"
#include "platform/UserDefaults.h"

namespace {

const QString kNibName = QStringLiteral("QVR_AVPlayerVideoPlayingControlsView");
const QString kPlayImage = QStringLiteral("avPlayer-play-button");
const QString kPauseImage = QStringLiteral("avPlayer-pause-button");
const QString kRewindImage = QStringLiteral("avPlayer-rewind-button");
const QString kRewindSelectedImage = QStringLiteral("avPlayer-rewind-button-selected");
const QString kForwardImage = QStringLiteral("avPlayer-forward-icon");
const QString kForwardSelectedImage = QStringLiteral("avPlayer-forward-icon-selected");
constexpr int kButtonIconSize = 28;

QPushButton* makeTransportButton(QWidget* parent, const QString& objectName)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
    button->setFixedSize(kButtonIconSize + 12, kButtonIconSize + 12);
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    return button;
}

QPushButton* makeTimeLabel(QWidget* parent, const QString& objectName)
{
    auto* label = new QPushButton(parent);
    label->setObjectName(objectName);
    label->setFlat(true);
    label->setFocusPolicy(Qt::NoFocus);
    label->setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Medium"), 11));
    label->setStyleSheet(QStringLiteral("QPushButton { color: white; border: none; background: transparent; }"));
    label->setMinimumWidth(70);
    return label;
}

} // namespace

void QVR_AVPlayerVideoPlayingControlsView::registerNib()
{
    NibRegistry::registerNib(kNibName, [](QObject* owner) -> QList<QWidget*> {
        auto* controls = qobject_cast<QVR_AVPlayerVideoPlayingControlsView*>(owner);
        auto* root = new QWidget;
        root->resize(600, 400);
        auto* column = new QVBoxLayout(root);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);

        auto* top = new QWidget(root);
        top->setObjectName(QStringLiteral("topToolbarView"));
        top->setFixedHeight(kToolbarHeight);
        column->addWidget(top);
        column->addStretch(1);

        auto* bottom = new QWidget(root);
        bottom->setObjectName(QStringLiteral("botToolbarView"));
        bottom->setFixedHeight(kToolbarHeight);
        column->addWidget(bottom);

        auto* row = new QHBoxLayout(bottom);
        row->setContentsMargins(12, 0, 12, 0);
        row->setSpacing(8);
        auto* rewind = makeTransportButton(bottom, QStringLiteral("rewindButton"));
        auto* play = makeTransportButton(bottom, QStringLiteral("playButton"));
        auto* forward = makeTransportButton(bottom, QStringLiteral("forwardButton"));
        auto* current = makeTimeLabel(bottom, QStringLiteral("currentTimeButtonLabel"));
        auto* scrubber = new QVR_AVVideoPlayerSlider(Qt::Horizontal, bottom);
        scrubber->setObjectName(QStringLiteral("scrubber"));
        scrubber->setFocusPolicy(Qt::NoFocus);
        auto* remaining = makeTimeLabel(bottom, QStringLiteral("videoTimeButtonLabel"));
        auto* volume = new QVR_AVVideoPlayerSlider(Qt::Horizontal, bottom);
        volume->setObjectName(QStringLiteral("volume"));
        volume->setFocusPolicy(Qt::NoFocus);
        volume->setFixedWidth(100);
        auto* airplay = makeTransportButton(bottom, QStringLiteral("airplayButton"));
        row->addWidget(rewind);
        row->addWidget(play);
        row->addWidget(forward);
        row->addWidget(current);
        row->addWidget(scrubber, 1);
        row->addWidget(remaining);
        row->addWidget(volume);
        row->addWidget(airplay);

        if (controls) {
            controls->m_topToolbarView = top;
            controls->m_botToolbarView = bottom;
            controls->m_scrubber = scrubber;
            controls->m_volume = volume;
            controls->m_rewindButton = rewind;
            controls->m_forwardButton = forward;
            controls->m_playButton = play;
            controls->m_airplayButton = airplay;
            controls->m_videoTimeButtonLabel = remaining;
            controls->m_currentTimeButtonLabel = current;
        }
        return {root};
    });
}

QVR_AVPlayerVideoPlayingControlsView::QVR_AVPlayerVideoPlayingControlsView(QWidget* parent)
    : QVR_AVPlayerVideoPlayingControlsView(QRect(0, 0, 600, 400), parent)
{
}

QVR_AVPlayerVideoPlayingControlsView::QVR_AVPlayerVideoPlayingControlsView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    if (!NibRegistry::hasNib(kNibName))
        registerNib();
    loadFromNib();
    m_currentLabelType = savedEndOfScrubberLabelType();

    // Mouse movement over any part of the view reveals the controls.
    setMouseTracking(true);
    for (QWidget* child : findChildren<QWidget*>())
        child->setMouseTracking(true);

    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &QVR_AVPlayerVideoPlayingControlsView::hideControls);

    // The space bar and mouse movement in this view's window, seen before any other handler.
    qApp->installEventFilter(this);
    updateUIElements();
}

QVR_AVPlayerVideoPlayingControlsView::~QVR_AVPlayerVideoPlayingControlsView()
{
    qApp->removeEventFilter(this);
    QObject::disconnect(m_endConnection);
    QObject::disconnect(m_durationConnection);
    if (m_volume)
        saveVolume(m_volume->value());
}

void QVR_AVPlayerVideoPlayingControlsView::loadFromNib()
{
    if (!NibRegistry::loadFromNib(this) || !m_topToolbarView || !m_botToolbarView || !m_scrubber || !m_volume ||
        !m_playButton || !m_rewindButton || !m_forwardButton || !m_airplayButton || !m_videoTimeButtonLabel ||
        !m_currentTimeButtonLabel) {
        qCWarning(lcVideoPlayer) << "The interface file" << kNibName << "is missing or incomplete";
        return;
    }

    for (QWidget* toolbar : {m_topToolbarView, m_botToolbarView}) {
        toolbar->setAutoFillBackground(true);
        QPalette palette = toolbar->palette();
        palette.setColor(QPalette::Window, Qt::black);
        toolbar->setPalette(palette);
    }
    m_topOpacity = new QGraphicsOpacityEffect(m_topToolbarView);
    m_topOpacity->setOpacity(kToolbarOpacity);
    m_topToolbarView->setGraphicsEffect(m_topOpacity);
    m_botOpacity = new QGraphicsOpacityEffect(m_botToolbarView);
    m_botOpacity->setOpacity(m_topOpacity->opacity());
    m_botToolbarView->setGraphicsEffect(m_botOpacity);
    m_topFade = new QPropertyAnimation(m_topOpacity, "opacity", this);
    m_botFade = new QPropertyAnimation(m_botOpacity, "opacity", this);
    for (QPropertyAnimation* fade : {m_topFade, m_botFade})
        fade->setDuration(kFadeMilliseconds);

    m_scrubber->setRange(0, kPlaceholderScrubberMaximum);
    m_scrubber->setValue(0);
    m_scrubber->setTracking(true);
    connect(m_scrubber, &QSlider::valueChanged, this, [this] {
        if (!m_updatingScrubber)
            scrubberScrubbed();
    });

    m_volume->setRange(0, 100);
    m_volume->setValue(savedVolume());
    connect(m_volume, &QSlider::valueChanged, this, &QVR_AVPlayerVideoPlayingControlsView::volumeAdjusted);

    connect(m_rewindButton, &QPushButton::clicked, this, &QVR_AVPlayerVideoPlayingControlsView::rewindPressed);
    connect(m_forwardButton, &QPushButton::clicked, this, &QVR_AVPlayerVideoPlayingControlsView::fastForwardPressed);
    connect(m_playButton, &QPushButton::clicked, this, &QVR_AVPlayerVideoPlayingControlsView::playPressed);
    connect(m_airplayButton, &QPushButton::clicked, this, &QVR_AVPlayerVideoPlayingControlsView::airplayPressed);
    m_airplayButton->setHidden(true);
    connect(m_videoTimeButtonLabel, &QPushButton::clicked, this,
            &QVR_AVPlayerVideoPlayingControlsView::endOfScrubberButtonPressed);
}

double QVR_AVPlayerVideoPlayingControlsView::topToolbarOpacity() const
{
    return m_topOpacity ? m_topOpacity->opacity() : 0.0;
}

double QVR_AVPlayerVideoPlayingControlsView::botToolbarOpacity() const
{
    return m_botOpacity ? m_botOpacity->opacity() : 0.0;
}

void QVR_AVPlayerVideoPlayingControlsView::setAvPlayer(VideoPlayer* player)
{
    QObject::disconnect(m_endConnection);
    QObject::disconnect(m_durationConnection);
    m_avPlayer = player;
    if (player) {
        m_durationConnection = connect(player, &VideoPlayer::durationChanged, this, [this](qint64 milliseconds) {
            if (milliseconds > 0)
                setDuration(milliseconds);
        });
    }
    volumeAdjusted();
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::setDuration(qint64 milliseconds)
{
    m_duration = std::max<qint64>(0, milliseconds);
    if (m_scrubber) {
        m_updatingScrubber = true;
        // The scrubber counts milliseconds in an int: clips of more than 24 days are out of reach anyway.
        m_scrubber->setRange(0, int(std::min<qint64>(m_duration, std::numeric_limits<int>::max())));
        m_updatingScrubber = false;
    }
    m_hideTimer.start(kHideAfterDurationMilliseconds);
}

void QVR_AVPlayerVideoPlayingControlsView::update(VideoPlayer*)
{
    updateScrubber();
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::updateScrubber()
{
    if (!m_scrubber)
        return;
    const qint64 position = m_avPlayer ? m_avPlayer->position() : 0;
    m_updatingScrubber = true;
    m_scrubber->setValue(int(reconcileCurrentTimeWithDuration(position)));
    m_updatingScrubber = false;
}

void QVR_AVPlayerVideoPlayingControlsView::setButtonImage(QPushButton* button, const QString& name, QString& current)
{
    if (!button || current == name)
        return;
    current = name;
    button->setIcon(ControlsArtwork::icon(name, QSize(kButtonIconSize, kButtonIconSize)));
}

void QVR_AVPlayerVideoPlayingControlsView::updateUIElements()
{
    const double rate = m_avPlayer ? m_avPlayer->rate() : 0.0;
    setButtonImage(m_playButton, rate != 0.0 ? kPauseImage : kPlayImage, m_playImage);
    if (rate < 0) {
        setButtonImage(m_rewindButton, kRewindSelectedImage, m_rewindImage);
        setButtonImage(m_forwardButton, kForwardImage, m_forwardImage);
    } else {
        setButtonImage(m_rewindButton, kRewindImage, m_rewindImage);
        setButtonImage(m_forwardButton, rate > 1.0 ? kForwardSelectedImage : kForwardImage, m_forwardImage);
    }
    const qint64 position = m_avPlayer ? m_avPlayer->position() : 0;
    if (m_videoTimeButtonLabel)
        m_videoTimeButtonLabel->setText(titleForTime(position, m_currentLabelType));
    if (m_currentTimeButtonLabel)
        m_currentTimeButtonLabel->setText(titleForTime(position, TimeElapsed));
}

void QVR_AVPlayerVideoPlayingControlsView::avPlayerCurrentItemWillChange()
{
    QObject::disconnect(m_endConnection);
}

void QVR_AVPlayerVideoPlayingControlsView::avPlayerCurrentItemDidChange()
{
    if (m_avPlayer)
        m_endConnection = connect(m_avPlayer, &VideoPlayer::playedToEnd, this,
                                  &QVR_AVPlayerVideoPlayingControlsView::avPlayerDidFinish);
    setDuration(m_avPlayer ? m_avPlayer->duration() : 0);
}

void QVR_AVPlayerVideoPlayingControlsView::avPlayerDidFinish()
{
    updateScrubber();
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::pause()
{
    if (m_avPlayer)
        m_avPlayer->setRate(0.0);
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::playPressed()
{
    if (!m_avPlayer)
        return;
    if (m_avPlayer->isAtEnd()) {
        m_avPlayer->setPosition(0);
        m_avPlayer->setRate(1.0);
    } else {
        // Play also ends rewinding and fast forward.
        m_avPlayer->setRate(m_avPlayer->rate() == 0.0 ? 1.0 : 0.0);
    }
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::rewindPressed()
{
    if (!m_avPlayer)
        return;
    if (m_avPlayer->rate() >= 0.0)
        m_avPlayer->setRate(-2.0);
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::fastForwardPressed()
{
    if (!m_avPlayer)
        return;
    if (m_avPlayer->rate() <= 1.0)
        m_avPlayer->setRate(2.0);
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::airplayPressed()
{
    qCInfo(lcVideoPlayer) << "airplayPressed";
}

void QVR_AVPlayerVideoPlayingControlsView::scrubberScrubbed()
{
    if (!m_avPlayer || !m_scrubber)
        return;
    // Each new seek replaces the pending one; the player keeps its rate.
    m_avPlayer->setPosition(m_scrubber->value());
    updateUIElements();
}

void QVR_AVPlayerVideoPlayingControlsView::volumeAdjusted()
{
    if (!m_avPlayer || !m_volume || m_volume->maximum() <= 0)
        return;
    m_avPlayer->setVolume(float(float(m_volume->value()) / float(m_volume->maximum())));
}

void QVR_AVPlayerVideoPlayingControlsView::endOfScrubberButtonPressed()
{
    m_currentLabelType = m_currentLabelType == TimeRemaining ? TotalDuration : TimeRemaining;
    saveEndOfScrubberLabelType(m_currentLabelType);
    if (m_videoTimeButtonLabel)
        m_videoTimeButtonLabel->setText(titleForTime(m_avPlayer ? m_avPlayer->position() : 0, m_currentLabelType));
}

void QVR_AVPlayerVideoPlayingControlsView::revealControls()
{
    if (!m_topOpacity || !m_botOpacity)
        return;
    m_topFade->stop();
    m_botFade->stop();
    m_topOpacity->setOpacity(kToolbarOpacity);
    m_botOpacity->setOpacity(m_topOpacity->opacity());
}

void QVR_AVPlayerVideoPlayingControlsView::hideControls()
{
    fadeToolbars(0.0);
}

void QVR_AVPlayerVideoPlayingControlsView::fadeToolbars(double to)
{
    if (!m_topOpacity || !m_botOpacity)
        return;
    for (auto [fade, effect] : {std::pair{m_topFade, m_topOpacity}, std::pair{m_botFade, m_botOpacity}}) {
        fade->stop();
        fade->setStartValue(effect->opacity());
        fade->setEndValue(to);
        fade->start();
    }
}

void QVR_AVPlayerVideoPlayingControlsView::mouseMoved()
{
    revealControls();
    m_hideTimer.start(kHideAfterMouseMoveMilliseconds);
}

QString QVR_AVPlayerVideoPlayingControlsView::titleForTime(qint64 milliseconds, unsigned type) const
{
    const double total = double(m_duration) / 1000.0;
    const double at = double(std::max<qint64>(0, milliseconds)) / 1000.0;
    double seconds = 0;
    switch (type) {
    case TotalDuration:
        seconds = total;
        break;
    case TimeElapsed:
        seconds = at;
        break;
    default:
        seconds = total - at;
        break;
    }
    // A position reported past the end reads as none left rather than as a negative clock.
    seconds = std::clamp(seconds, 0.0, double(std::numeric_limits<qint32>::max()));
    const qint32 whole = qint32(seconds);
    const qint32 hours = qint32(seconds / 3600);
    const qint32 minutes = (whole / 60) % 60;
    const qint32 secs = whole % 60;
    const QString text = QString::asprintf("%.2d:%.2d:%.2d", hours, minutes, secs);
    return type == TotalDuration || type == TimeElapsed ? text : QStringLiteral("-") + text;
}

double QVR_AVPlayerVideoPlayingControlsView::reconcileCurrentTimeWithDuration(qint64 milliseconds) const
{
    return double(std::max<qint64>(0, milliseconds));
}

int QVR_AVPlayerVideoPlayingControlsView::savedVolume()
{
    UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.boolValue(kDidSaveVolumeKey))
        return 50;
    return int(std::clamp<qint64>(defaults.integer(kSavedVolumeKey), 0, 100));
}

void QVR_AVPlayerVideoPlayingControlsView::saveVolume(int volume)
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setValue(kDidSaveVolumeKey, true);
    defaults.setValue(kSavedVolumeKey, std::clamp(volume, 0, 100));
}

unsigned QVR_AVPlayerVideoPlayingControlsView::savedEndOfScrubberLabelType()
{
    const qint64 stored = UserDefaults::standard().integer(kEndOfScrubberLabelTypeKey);
    return stored == TotalDuration ? TotalDuration : TimeRemaining;
}

void QVR_AVPlayerVideoPlayingControlsView::saveEndOfScrubberLabelType(unsigned type)
{
    UserDefaults::standard().setValue(kEndOfScrubberLabelTypeKey, type == TotalDuration ? 1 : 0);
}

bool QVR_AVPlayerVideoPlayingControlsView::belongsToMyWindow(QObject* object) const
{
    auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->window() == window();
}

bool QVR_AVPlayerVideoPlayingControlsView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && belongsToMyWindow(watched)) {
            if (!key->isAutoRepeat())
                playPressed();
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && (widget == this || isAncestorOf(widget)))
            mouseMoved();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void QVR_AVPlayerVideoPlayingControlsView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    playPressed();
}

void QVR_AVPlayerVideoPlayingControlsView::mouseMoveEvent(QMouseEvent* event)
{
    // Movement over the view itself reaches the application filter too; nothing more to do here.
    event->accept();
}
