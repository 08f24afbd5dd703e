#include "service/OpenRequestUi.h"

namespace {
std::shared_ptr<OpenRequestUi>& registered()
{
    static std::shared_ptr<OpenRequestUi> ui;
    return ui;
}
} // namespace

void OpenRequestUi::registerUi(std::shared_ptr<OpenRequestUi> ui)
{
    registered() = std::move(ui);
}

std::shared_ptr<OpenRequestUi> OpenRequestUi::current()
{
    return registered();
}
