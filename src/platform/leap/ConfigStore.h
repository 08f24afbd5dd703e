#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <variant>

namespace Leap {

// What Config handles share. The controller flips `serviceConnected` from its backend's thread.
struct ConfigStore {
    std::mutex mutex;
    std::map<std::string, std::variant<bool, std::int32_t, float, std::string>> values;
    std::atomic<bool> serviceConnected{false};
};

} // namespace Leap
