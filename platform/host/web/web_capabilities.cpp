// What the browser host can do. Threads need a build with them and a page
// the browser isolates (cross-origin); the page as built has neither.
#include "platform/host/host.h"

namespace host {

bool HasThreads() {
#if defined(__EMSCRIPTEN_PTHREADS__)
    return true;
#else
    return false;
#endif
}

}  // namespace host
