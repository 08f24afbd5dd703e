#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include <QCoreApplication>

// Objects that hold themselves until the main thread takes their next step. When the application ends first,
// that step never comes: the application's end calls `LetGo` on each one still alive, which breaks its hold, so
// none outlives the process's clean-up. `note` may be called from any thread.
template <class T, void (T::*LetGo)()> class SelfHeldObjects {
public:
    static void note(const std::shared_ptr<T>& object)
    {
        State& held = state();
        std::lock_guard lock(held.mutex);
        if (!held.routineAdded && QCoreApplication::instance()) {
            held.routineAdded = true;
            qAddPostRoutine(letGoAll);
        }
        held.objects.erase(std::remove_if(held.objects.begin(), held.objects.end(),
                                          [](const std::weak_ptr<T>& weak) { return weak.expired(); }),
                           held.objects.end());
        held.objects.push_back(object);
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<std::weak_ptr<T>> objects;
        bool routineAdded = false;
    };
    static State& state()
    {
        static State held;
        return held;
    }
    static void letGoAll()
    {
        std::vector<std::shared_ptr<T>> alive;
        {
            State& held = state();
            std::lock_guard lock(held.mutex);
            for (const auto& weak : std::as_const(held.objects)) {
                if (auto object = weak.lock())
                    alive.push_back(std::move(object));
            }
            held.objects.clear();
        }
        for (const auto& object : alive)
            (object.get()->*LetGo)();
    }
};
