#include "readinglist/Pasteboard.h"

namespace pressling {
namespace {

Pasteboard* gInstalled = nullptr;

}  // namespace

Pasteboard* generalPasteboard() { return gInstalled; }

void installGeneralPasteboard(Pasteboard* pasteboard) { gInstalled = pasteboard; }

}  // namespace pressling
