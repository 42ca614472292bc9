#include "platform/Version.h"

namespace pressling {

std::string_view presslingVersion() { return PRESSLING_VERSION; }

}  // namespace pressling
