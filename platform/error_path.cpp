#include "error_path.h"

#include "version.h"

#include <cstdio>
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

void endWithFailure(const std::string &what, int status,
                    const std::function<void(const std::string &line)> &tell)
{
    const std::string line = failureLine(what);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    if (tell) {
        tell(line);
    }
    std::_Exit(status);
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
