#include "tessarine_data_model/ZERI_FlowModel.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

#include <QHash>
#include <QJsonArray>
#include <QThread>

#include "platform/HandOffQueue.h"
#include "platform/WorkerThreads.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_FlowScreenBackgroundModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"

namespace {
const QString kScreensKey = QStringLiteral("screens");
const QString kScreenModelsKey = QStringLiteral("screenModels");
const QString kTitleKey = QStringLiteral("title");
const QString kThemeIDKey = QStringLiteral("themeID");
const QString kViewSizeKey = QStringLiteral("viewSize");
const QString kSlideDurationKey = QStringLiteral("autoAdvanceSlideDuration");
const QString kTransitionTypeKey = QStringLiteral("autoAdvanceTransitionType");
const QString kLoopsKey = QStringLiteral("autoAdvanceLoops");
const QSizeF kDefaultViewSize(1024, 748);

// Threads that read or write the screens of a long flow beside the thread loading or saving it; idle otherwise.
WorkerThreads& screenBuilders()
{
    static WorkerThreads::Lasting builders(std::clamp(QThread::idealThreadCount(), 2, 8) - 1,
                                           QStringLiteral("screen builders"));
    return builders.threads();
}

// Runs `each` for 0 to count - 1, each index once, on this thread and on the screen builders, and returns once
// every index has run. This thread and the builders take the indexes one at a time, in order; this thread then
// waits only for the indexes a builder is still on. A builder the system has not run by then finds nothing left:
// on a busy machine this thread is not held up until every builder has had its turn. A builder that ran indexes
// hands back how many through `done`, which only this thread pops; what `each` wrote is this thread's to read then.
void forEachOnScreenBuilders(std::size_t count, std::function<void(std::size_t)> each)
{
    struct Work {
        std::size_t count = 0;
        std::function<void(std::size_t)> each;
        std::atomic<std::size_t> next{0};
        HandOffQueue done;
        std::size_t ran = 0; // this thread's count
    };
    auto work = std::make_shared<Work>();
    work->count = count;
    work->each = std::move(each);
    const auto run = [](Work& shared) {
        std::size_t ran = 0;
        for (std::size_t k = shared.next++; k < shared.count; k = shared.next++, ++ran)
            shared.each(k);
        return ran;
    };
    WorkerThreads& builders = screenBuilders();
    for (int i = 0; i < builders.threadCount(); ++i) {
        builders.post([work, run] {
            if (const std::size_t ran = run(*work))
                work->done.push([shared = work.get(), ran] { shared->ran += ran; });
        });
    }
    work->ran += run(*work);
    while (work->ran < work->count) {
        if (const HandOffQueue::Task counted = work->done.waitPop())
            counted();
    }
}
} // namespace

ZERI_FlowModel::ZERI_FlowModel()
    : m_viewSize(kDefaultViewSize)
    , m_undoManager(std::make_unique<UndoManager>())
{
    m_undoManager->setLevelsOfUndo(kUndoLevels);
    // A change still open (a gesture waiting for its pictures) is closed first, so undo reverts it.
    m_undoManager->setWillUndoOrRedo([this] {
        if (currentUndoableAction())
            endUndoableChanges();
    });
}

ZERI_FlowModel::~ZERI_FlowModel() = default;

std::shared_ptr<ZERI_FlowModel> ZERI_FlowModel::create()
{
    auto flow = std::make_shared<ZERI_FlowModel>();
    flow->setInternalID(newUniqueID());
    flow->stampNewTimestamps();
    return flow;
}

std::shared_ptr<ZERI_FlowModel> ZERI_FlowModel::initWithDict(const QJsonObject& dict, Error* error)
{
    auto flow = std::make_shared<ZERI_FlowModel>();
    ModelReadStatus status;
    flow->readFromReader(ModelJsonReader(dict, QString(), status), false);
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    return flow;
}

std::shared_ptr<ZERI_FlowScreenModel> ZERI_FlowModel::screenWithID(const QString& internalID) const
{
    for (const auto& screen : m_screens) {
        if (screen->internalID() == internalID)
            return screen;
    }
    return nullptr;
}

qsizetype ZERI_FlowModel::indexOfFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen) const
{
    const auto it = std::find(m_screens.begin(), m_screens.end(), screen);
    return it == m_screens.end() ? -1 : qsizetype(it - m_screens.begin());
}

void ZERI_FlowModel::insertFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen, qsizetype index)
{
    if (!screen || indexOfFlowScreen(screen) >= 0)
        return;
    if (const auto oldFlow = std::dynamic_pointer_cast<ZERI_FlowModel>(screen->parent()))
        oldFlow->removeFlowScreen(screen);
    index = std::clamp<qsizetype>(index, 0, qsizetype(m_screens.size()));
    m_screens.insert(m_screens.begin() + index, screen);
    adopt(screen);
    didChange(kScreenModelsKey);
}

void ZERI_FlowModel::addFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    insertFlowScreen(screen, qsizetype(m_screens.size()));
}

void ZERI_FlowModel::removeFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screenToRemove)
{
    // A copy: the argument may refer to the very element erased below.
    const auto screen = screenToRemove;
    const qsizetype index = indexOfFlowScreen(screen);
    if (index < 0)
        return;
    m_screens.erase(m_screens.begin() + index);
    screen->setParent(nullptr);
    didChange(kScreenModelsKey);
}

std::shared_ptr<ZERI_FlowScreenModel>
ZERI_FlowModel::duplicateFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    const qsizetype index = indexOfFlowScreen(screen);
    if (index < 0)
        return nullptr;
    auto duplicate = screen->copy(true);
    if (!duplicate)
        return nullptr;
    insertFlowScreen(duplicate, index + 1);
    return duplicate;
}

void ZERI_FlowModel::sendFlowScreenAtIndex(qsizetype from, qsizetype to)
{
    const auto count = qsizetype(m_screens.size());
    if (from < 0 || to < 0 || from >= count || to >= count || from == to)
        return;
    auto screen = m_screens[from];
    m_screens.erase(m_screens.begin() + from);
    m_screens.insert(m_screens.begin() + to, screen);
    didChange(kScreenModelsKey);
}

void ZERI_FlowModel::setTitle(const QString& title)
{
    if (m_title == title)
        return;
    m_title = title;
    didChange(kTitleKey);
}

void ZERI_FlowModel::setThemeID(const QString& themeID)
{
    if (m_themeID == themeID)
        return;
    m_themeID = themeID;
    didChange(kThemeIDKey);
}

void ZERI_FlowModel::setViewSize(const QSizeF& size)
{
    if (m_viewSize == size || !size.isValid())
        return;
    m_viewSize = size;
    didChange(kViewSizeKey);
}

void ZERI_FlowModel::setAutoAdvanceSlideDuration(std::optional<double> seconds)
{
    if (m_autoAdvanceSlideDuration == seconds)
        return;
    m_autoAdvanceSlideDuration = seconds;
    didChange(kSlideDurationKey);
}

void ZERI_FlowModel::setAutoAdvanceTransitionType(std::optional<int> transitionType)
{
    if (m_autoAdvanceTransitionType == transitionType)
        return;
    m_autoAdvanceTransitionType = transitionType;
    didChange(kTransitionTypeKey);
}

void ZERI_FlowModel::setAutoAdvanceLoops(bool loops)
{
    if (m_autoAdvanceLoops == loops)
        return;
    m_autoAdvanceLoops = loops;
    didChange(kLoopsKey);
}

void ZERI_FlowModel::appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const
{
    children.insert(children.end(), m_screens.begin(), m_screens.end());
}

void ZERI_FlowModel::prepareScreenDictionaries() const
{
    // Screens share nothing below them, so when many have no cached form (a first save, a save after a big
    // edit), their forms are built on several threads; each thread fills only its screens' caches.
    std::vector<ZERI_FlowScreenModel*> stale;
    for (const auto& screen : m_screens) {
        if (!screen->hasCachedJsonDictionary())
            stale.push_back(screen.get());
    }
    if (stale.size() < 32)
        return;
    forEachOnScreenBuilders(stale.size(), [&stale](std::size_t k) { stale[k]->jsonDictionary(); });
}

QJsonObject ZERI_FlowModel::makeJsonDictionary() const
{
    QJsonObject dict;
    writeInternalID(dict);
    writeTimestamps(dict);
    prepareScreenDictionaries();
    QJsonArray screens;
    for (const auto& screen : m_screens)
        screens.append(screen->jsonDictionary());
    dict.insert(kScreensKey, screens);
    dict.insert(kTitleKey, m_title);
    if (!m_themeID.isEmpty())
        dict.insert(kThemeIDKey, m_themeID);
    dict.insert(kViewSizeKey, ZERI_AppDataModelCenter::jsonFromSize(m_viewSize));
    if (m_autoAdvanceSlideDuration)
        dict.insert(kSlideDurationKey, *m_autoAdvanceSlideDuration);
    if (m_autoAdvanceTransitionType)
        dict.insert(kTransitionTypeKey, *m_autoAdvanceTransitionType);
    dict.insert(kLoopsKey, yesNo(m_autoAdvanceLoops));
    return dict;
}

void ZERI_FlowModel::readFreshScreens(const QJsonArray& entries, const std::vector<qsizetype>& indexes,
                                      const ModelJsonReader& reader,
                                      std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens)
{
    // New screens share nothing while they are built (each is parented only afterwards, here), so a long flow
    // reads them on several threads. Each screen keeps its own status; the fault of the earliest screen wins, and
    // once a screen failed, the screens after it are not read.
    std::vector<ModelReadStatus> statuses(indexes.size());
    std::atomic<std::size_t> firstFailed{indexes.size()};
    const auto readScreen = [&](std::size_t k) {
        if (k > firstFailed.load())
            return;
        const qsizetype i = indexes[k];
        auto screen = std::make_shared<ZERI_FlowScreenModel>();
        screen->backgroundModel()->setParent(screen);
        screen->readFromReader(ModelJsonReader(entries[i].toObject(), reader, kScreensKey, i, statuses[k]), false);
        if (statuses[k].failed()) {
            for (std::size_t known = firstFailed.load(); k < known && !firstFailed.compare_exchange_weak(known, k);) {
            }
            return;
        }
        screens[i] = std::move(screen);
    };
    if (indexes.size() >= 32) {
        forEachOnScreenBuilders(indexes.size(), readScreen);
    } else {
        for (std::size_t k = 0; k < indexes.size(); ++k)
            readScreen(k);
    }

    if (firstFailed < indexes.size()) {
        reader.status().fail(statuses[firstFailed].error());
        return;
    }
    for (const qsizetype i : indexes)
        screens[i]->setParent(shared_from_this());
}

void ZERI_FlowModel::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    readInternalID(reader, changedKeys);
    readTimestamps(reader, changedKeys);
    assign(m_title, reader.string(kTitleKey), kTitleKey, changedKeys);
    assign(m_themeID, reader.string(kThemeIDKey), kThemeIDKey, changedKeys);
    QSizeF viewSize = reader.size(kViewSizeKey, kDefaultViewSize);
    if (!viewSize.isValid() || viewSize.isEmpty())
        viewSize = kDefaultViewSize;
    assign(m_viewSize, viewSize, kViewSizeKey, changedKeys);
    assign(m_autoAdvanceSlideDuration, reader.optionalMeasure(kSlideDurationKey), kSlideDurationKey, changedKeys);
    assign(m_autoAdvanceTransitionType, reader.optionalInteger(kTransitionTypeKey), kTransitionTypeKey, changedKeys);
    assign(m_autoAdvanceLoops, reader.boolean(kLoopsKey), kLoopsKey, changedKeys);

    // Screens whose id is already in the flow are updated in place, so holders of them survive an undo.
    QHash<QString, std::shared_ptr<ZERI_FlowScreenModel>> existing;
    for (const auto& screen : m_screens)
        existing.insert(screen->internalID(), screen);
    const QJsonArray entries = reader.array(kScreensKey).value_or(QJsonArray());
    std::vector<std::shared_ptr<ZERI_FlowScreenModel>> screens(entries.size());
    std::vector<qsizetype> fresh;
    for (qsizetype i = 0; i < entries.size() && reader.ok(); ++i) {
        if (!entries[i].isObject()) {
            reader.status().fail(reader.pathOf(kScreensKey, i), QStringLiteral("expected an object"));
            break;
        }
        const QJsonObject dict = entries[i].toObject();
        const QString id = existing.isEmpty() ? QString() : dict.value(QLatin1String("id")).toString();
        if (auto screen = id.isEmpty() ? nullptr : existing.take(id)) {
            screen->readFromReader(ModelJsonReader(dict, reader, kScreensKey, i), true);
            screens[i] = std::move(screen);
        } else {
            fresh.push_back(i);
        }
    }
    if (reader.ok())
        readFreshScreens(entries, fresh, reader, screens);
    if (!reader.ok())
        return;
    if (screens != m_screens) {
        for (const auto& removed : existing)
            removed->setParent(nullptr);
        m_screens = std::move(screens);
        changedKeys.insert(kScreenModelsKey);
    }
}

void ZERI_FlowModel::beginUndoableChangesPagingToScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                        bool endOnNextBegin)
{
    beginUndoableChanges(endOnNextBegin);
    const auto action = currentUndoableAction();
    if (action && screen && !screen->internalID().isEmpty())
        action->setUserInfo({{QStringLiteral("screenToPageTo"), screen->internalID()}});
}
