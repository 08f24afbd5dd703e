#include "creator/window/CreatorOutput.h"

namespace {
std::shared_ptr<CreatorOutput>& registeredOutput()
{
    static std::shared_ptr<CreatorOutput> output;
    return output;
}
} // namespace

void CreatorOutput::registerOutput(std::shared_ptr<CreatorOutput> output)
{
    registeredOutput() = std::move(output);
}

std::shared_ptr<CreatorOutput> CreatorOutput::shared()
{
    return registeredOutput();
}
