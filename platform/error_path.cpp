#include "error_path.h"

#include "version.h"

#include <cstdlib>

namespace hexlark {
namespace {

ErrorPath *g_uncaughtErrors = nullptr;

[[noreturn]] void onTerminate()
{
    if (g_uncaughtErrors != nullptr) {
        g_uncaughtErrors->fail(describe(std::current_exception()));
    }
    std::_Exit(kFailureStatus);
}

} // namespace

std::string failureLine(const std::string &what)
{
    return std::string(kExecutableName) + ": " + what;
}

std::string describe(const std::exception_ptr &error)
{
    try {
        if (error) {
            std::rethrow_exception(error);
        }
    } catch (const std::exception &thrown) {
        return thrown.what();
    } catch (...) {
    }
    return "the program stopped on an unexpected error";
}

void sendUncaughtErrorsTo(ErrorPath &errors)
{
    g_uncaughtErrors = &errors;
    std::set_terminate(onTerminate);
}

} // namespace hexlark
