#include "platform/leap/ScriptedBackend.h"

#include <cmath>
#include <limits>
#include <set>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/leap/LeapLogging.h"

namespace Leap {

namespace {

// Reads one script line's fields; the first problem found is kept in `problem` and later reads are no-ops.
class Reader {
public:
    QString problem;

    bool ok() const { return problem.isEmpty(); }
    void fail(const QString& message)
    {
        if (problem.isEmpty())
            problem = message;
    }

    float number(const QJsonObject& o, const char* key, float fallback)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isDouble() || !std::isfinite(v.toDouble()) ||
            std::fabs(v.toDouble()) > double(std::numeric_limits<float>::max())) {
            fail(QStringLiteral("\"%1\" must be a finite number").arg(QLatin1String(key)));
            return fallback;
        }
        return float(v.toDouble());
    }

    std::int64_t integer(const QJsonValue& v, const QString& what, std::int64_t low, std::int64_t high)
    {
        const double d = v.toDouble(std::numeric_limits<double>::quiet_NaN());
        if (!v.isDouble() || d != std::floor(d) || d < double(low) || d > double(high)) {
            fail(QStringLiteral("%1 must be an integer from %2 to %3").arg(what).arg(low).arg(high));
            return 0;
        }
        return std::int64_t(d);
    }

    std::int32_t id(const QJsonObject& o, const char* key, std::optional<std::int32_t> fallback = std::nullopt)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            if (!fallback)
                fail(QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
            return fallback.value_or(0);
        }
        return std::int32_t(integer(v, QStringLiteral("\"%1\"").arg(QLatin1String(key)),
                                    std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max()));
    }

    Vector vector(const QJsonObject& o, const char* key, const Vector& fallback)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != 3) {
            fail(QStringLiteral("\"%1\" must be an array of three numbers").arg(QLatin1String(key)));
            return fallback;
        }
        Vector result;
        float* components[] = {&result.x, &result.y, &result.z};
        for (int i = 0; i < 3; ++i) {
            const double d = a[i].toDouble(std::numeric_limits<double>::quiet_NaN());
            if (!a[i].isDouble() || !std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max())) {
                fail(QStringLiteral("\"%1\" must be an array of three finite numbers").arg(QLatin1String(key)));
                return fallback;
            }
            *components[i] = float(d);
        }
        return result;
    }

    std::vector<std::int32_t> ids(const QJsonObject& o, const char* key)
    {
        std::vector<std::int32_t> result;
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return result;
        if (!v.isArray())
            fail(QStringLiteral("\"%1\" must be an array of ids").arg(QLatin1String(key)));
        for (const QJsonValue& item : v.toArray())
            result.push_back(std::int32_t(integer(item, QStringLiteral("an id in \"%1\"").arg(QLatin1String(key)),
                                                  std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max())));
        return result;
    }

    QJsonArray objects(const QJsonObject& o, const char* key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return {};
        bool allObjects = v.isArray();
        for (const QJsonValue& item : v.toArray())
            allObjects = allObjects && item.isObject();
        if (!allObjects) {
            fail(QStringLiteral("\"%1\" must be an array of objects").arg(QLatin1String(key)));
            return {};
        }
        return v.toArray();
    }

    // A number, or one of `names` standing for its number.
    int named(const QJsonObject& o, const char* key, const std::vector<std::pair<const char*, int>>& names)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isString()) {
            for (const auto& [name, value] : names)
                if (v.toString() == QLatin1String(name))
                    return value;
        } else if (v.isDouble()) {
            return int(integer(v, QStringLiteral("\"%1\"").arg(QLatin1String(key)), -1, 1000));
        }
        fail(QStringLiteral("\"%1\" is missing or unknown").arg(QLatin1String(key)));
        return -1;
    }
};

HandData readHand(Reader& r, const QJsonObject& o)
{
    HandData h;
    h.id = r.id(o, "id");
    h.palmPosition = r.vector(o, "palmPosition", h.palmPosition);
    h.stabilizedPalmPosition = r.vector(o, "stabilizedPalmPosition", h.palmPosition);
    h.palmVelocity = r.vector(o, "palmVelocity", h.palmVelocity);
    h.palmNormal = r.vector(o, "palmNormal", h.palmNormal);
    h.direction = r.vector(o, "direction", h.direction);
    h.sphereCenter = r.vector(o, "sphereCenter", h.palmPosition);
    h.sphereRadius = r.number(o, "sphereRadius", h.sphereRadius);
    h.timeVisible = r.number(o, "timeVisible", h.timeVisible);
    return h;
}

PointableData readPointable(Reader& r, const QJsonObject& o)
{
    PointableData p;
    p.id = r.id(o, "id");
    p.handId = r.id(o, "handId", -1);
    const QJsonValue tool = o.value(QLatin1String("tool"));
    if (!tool.isUndefined() && !tool.isBool())
        r.fail(QStringLiteral("\"tool\" must be true or false"));
    p.isTool = tool.toBool();
    p.tipPosition = r.vector(o, "tipPosition", p.tipPosition);
    p.stabilizedTipPosition = r.vector(o, "stabilizedTipPosition", p.tipPosition);
    p.tipVelocity = r.vector(o, "tipVelocity", p.tipVelocity);
    p.direction = r.vector(o, "direction", p.direction);
    p.width = r.number(o, "width", p.width);
    p.length = r.number(o, "length", p.length);
    p.touchDistance = r.number(o, "touchDistance", p.touchDistance);
    p.timeVisible = r.number(o, "timeVisible", p.timeVisible);
    return p;
}

GestureData readGesture(Reader& r, const QJsonObject& o)
{
    GestureData g;
    g.id = r.id(o, "id");
    g.type = r.named(o, "type", {{"swipe", 1}, {"circle", 4}, {"screenTap", 5}, {"keyTap", 6}});
    g.state = r.named(o, "state", {{"start", 1}, {"update", 2}, {"stop", 3}});
    const QJsonValue duration = o.value(QLatin1String("duration"));
    if (!duration.isUndefined())
        g.durationMicroseconds = r.integer(duration, QStringLiteral("\"duration\""), 0, std::int64_t(1) << 52);
    g.handIds = r.ids(o, "handIds");
    g.pointableIds = r.ids(o, "pointableIds");
    g.position = r.vector(o, "position", g.position);
    g.startPosition = r.vector(o, "startPosition", g.position);
    g.direction = r.vector(o, "direction", g.direction);
    g.speed = r.number(o, "speed", g.speed);
    g.progress = r.number(o, "progress", g.progress);
    g.center = r.vector(o, "center", g.center);
    g.normal = r.vector(o, "normal", g.normal);
    g.radius = r.number(o, "radius", g.radius);
    return g;
}

template <class T> bool uniqueIds(const std::vector<T>& items)
{
    std::set<std::int32_t> seen;
    for (const T& item : items)
        if (!seen.insert(item.id).second)
            return false;
    return true;
}

FrameData readFrame(Reader& r, const QJsonObject& o, std::int64_t previousId, std::int64_t previousTimestamp)
{
    constexpr std::int64_t kMax = std::int64_t(1) << 52; // exactly representable in a JSON number
    FrameData f;
    const QJsonValue id = o.value(QLatin1String("id"));
    f.id = id.isUndefined() ? previousId + 1 : r.integer(id, QStringLiteral("\"id\""), 0, kMax);
    if (r.ok() && f.id <= previousId)
        r.fail(QStringLiteral("frame ids must increase (%1 after %2)").arg(f.id).arg(previousId));
    const QJsonValue timestamp = o.value(QLatin1String("timestamp"));
    f.timestampMicroseconds =
        timestamp.isUndefined() ? -1 : r.integer(timestamp, QStringLiteral("\"timestamp\""), 0, kMax);
    if (r.ok() && f.timestampMicroseconds >= 0 && f.timestampMicroseconds < previousTimestamp)
        r.fail(QStringLiteral("frame timestamps must not decrease"));
    f.framesPerSecond = r.number(o, "framesPerSecond", 0);
    const QJsonValue box = o.value(QLatin1String("interactionBox"));
    if (!box.isUndefined()) {
        if (!box.isObject())
            r.fail(QStringLiteral("\"interactionBox\" must be an object"));
        const QJsonObject b = box.toObject();
        f.interactionBox.center = r.vector(b, "center", f.interactionBox.center);
        f.interactionBox.width = r.number(b, "width", f.interactionBox.width);
        f.interactionBox.height = r.number(b, "height", f.interactionBox.height);
        f.interactionBox.depth = r.number(b, "depth", f.interactionBox.depth);
        if (!(f.interactionBox.width > 0 && f.interactionBox.height > 0 && f.interactionBox.depth > 0))
            r.fail(QStringLiteral("the interaction box must have a positive size"));
    }
    for (const QJsonValue& v : r.objects(o, "hands"))
        f.hands.push_back(readHand(r, v.toObject()));
    for (const QJsonValue& v : r.objects(o, "pointables"))
        f.pointables.push_back(readPointable(r, v.toObject()));
    for (const QJsonValue& v : r.objects(o, "gestures"))
        f.gestures.push_back(readGesture(r, v.toObject()));
    if (!uniqueIds(f.hands) || !uniqueIds(f.pointables) || !uniqueIds(f.gestures))
        r.fail(QStringLiteral("two hands, pointables or gestures of one frame share an id"));
    return f;
}

} // namespace

std::optional<std::vector<ScriptedBackend::Event>> ScriptedBackend::parse(const QByteArray& jsonLines,
                                                                          QString* errorMessage)
{
    std::vector<Event> events;
    std::int64_t previousId = 0;
    std::int64_t previousTimestamp = 0;
    const QList<QByteArray> lines = jsonLines.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        Reader r;
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            r.fail(parseError.errorString());
        else if (!document.isObject())
            r.fail(QStringLiteral("not a JSON object"));
        const QJsonObject o = document.object();
        const QString kind = o.value(QLatin1String("event")).toString();
        Event event;
        if (!r.ok()) {
        } else if (kind == QLatin1String("connect")) {
            event.kind = Event::Connect;
        } else if (kind == QLatin1String("disconnect")) {
            event.kind = Event::Disconnect;
        } else if (kind == QLatin1String("focusGained")) {
            event.kind = Event::FocusGained;
        } else if (kind == QLatin1String("focusLost")) {
            event.kind = Event::FocusLost;
        } else if (kind == QLatin1String("frame")) {
            event.kind = Event::Frame;
            event.frame = readFrame(r, o, previousId, previousTimestamp);
            previousId = event.frame.id;
            previousTimestamp = std::max(previousTimestamp, event.frame.timestampMicroseconds);
        } else {
            r.fail(QStringLiteral("\"event\" is missing or unknown"));
        }
        if (!r.ok()) {
            if (errorMessage)
                *errorMessage = QStringLiteral("line %1: %2").arg(i + 1).arg(r.problem);
            return std::nullopt;
        }
        events.push_back(std::move(event));
    }
    return events;
}

std::shared_ptr<ScriptedBackend> ScriptedBackend::fromFile(const QString& path, Mode mode, double framesPerSecond,
                                                           QString* errorMessage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorMessage)
            *errorMessage = file.errorString();
        return nullptr;
    }
    std::optional<std::vector<Event>> events = parse(file.readAll(), errorMessage);
    if (!events)
        return nullptr;
    return std::make_shared<ScriptedBackend>(std::move(*events), mode, framesPerSecond);
}

namespace {

double saneRate(double framesPerSecond)
{
    return framesPerSecond > 0 && framesPerSecond <= 1e6 ? framesPerSecond : 60;
}

std::vector<ScriptedBackend::Event> withTimes(std::vector<ScriptedBackend::Event> events, double framesPerSecond)
{
    const auto period = std::int64_t(std::llround(1e6 / framesPerSecond));
    std::int64_t previous = 0;
    for (ScriptedBackend::Event& event : events) {
        if (event.kind != ScriptedBackend::Event::Frame)
            continue;
        FrameData& frame = event.frame;
        if (frame.timestampMicroseconds < 0)
            frame.timestampMicroseconds = previous + period;
        previous = frame.timestampMicroseconds;
        if (!(frame.framesPerSecond > 0))
            frame.framesPerSecond = float(framesPerSecond);
    }
    return events;
}

} // namespace

ScriptedBackend::ScriptedBackend(std::vector<Event> events, Mode mode, double framesPerSecond)
    : m_events(withTimes(std::move(events), saneRate(framesPerSecond)))
    , m_mode(mode)
    , m_period(std::chrono::nanoseconds(std::llround(1e9 / saneRate(framesPerSecond))))
{
}

ScriptedBackend::~ScriptedBackend()
{
    detach();
}

void ScriptedBackend::attach(BackendSink* sink)
{
    std::lock_guard lock(m_deliveryMutex);
    if (m_sink) {
        qCWarning(lcLeap) << "a scripted backend serves one controller only";
        return;
    }
    m_sink = sink;
}

void ScriptedBackend::activate()
{
    std::lock_guard lock(m_mutex);
    m_active = true;
    if (m_mode != Mode::Threaded || m_thread.joinable() || m_stopping)
        return;
    m_nextFrameDue = std::chrono::steady_clock::now();
    m_thread = std::thread([this] { replay(); });
}

void ScriptedBackend::detach()
{
    std::thread thread;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        thread = std::move(m_thread);
    }
    m_wake.notify_all();
    if (thread.joinable())
        thread.join();
    std::lock_guard lock(m_deliveryMutex);
    m_sink = nullptr;
}

std::optional<ScriptedBackend::Event> ScriptedBackend::takeNext(bool waitForFrameTime)
{
    std::unique_lock lock(m_mutex);
    if (m_stopping || !m_active || m_next >= m_events.size())
        return std::nullopt;
    if (waitForFrameTime && m_events[m_next].kind == Event::Frame) {
        if (m_wake.wait_until(lock, m_nextFrameDue, [this] { return m_stopping; }))
            return std::nullopt;
        m_nextFrameDue += m_period;
    }
    return m_events[m_next++];
}

void ScriptedBackend::deliver(const Event& event)
{
    std::lock_guard lock(m_deliveryMutex);
    if (!m_sink)
        return;
    switch (event.kind) {
    case Event::Connect:
        m_sink->deviceConnected();
        break;
    case Event::Disconnect:
        m_sink->deviceDisconnected();
        break;
    case Event::FocusGained:
        m_sink->focusChanged(true);
        break;
    case Event::FocusLost:
        m_sink->focusChanged(false);
        break;
    case Event::Frame:
        m_sink->frameArrived(event.frame);
        break;
    }
    std::lock_guard counted(m_mutex);
    ++m_delivered;
}

void ScriptedBackend::replay()
{
    while (std::optional<Event> event = takeNext(true))
        deliver(*event);
}

bool ScriptedBackend::step()
{
    {
        std::lock_guard lock(m_deliveryMutex);
        if (!m_sink || m_mode != Mode::Synchronous)
            return false;
    }
    std::optional<Event> event = takeNext(false);
    if (!event)
        return false;
    deliver(*event);
    return true;
}

int ScriptedBackend::runToEnd()
{
    int delivered = 0;
    while (step())
        ++delivered;
    return delivered;
}

bool ScriptedBackend::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_delivered == m_events.size();
}

} // namespace Leap
