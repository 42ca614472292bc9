#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace pressling::log {
namespace {

std::mutex gConsole;

void write(std::string_view level, std::string_view message) {
    std::lock_guard lock(gConsole);
    std::fprintf(stderr, "pressling: %.*s: %.*s\n", int(level.size()), level.data(),
                 int(message.size()), message.data());
}

}  // namespace

void warning(std::string_view message) { write("warning", message); }
void error(std::string_view message) { write("error", message); }

}  // namespace pressling::log
