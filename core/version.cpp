#include "core/version.h"

namespace funkor {

const char* programVersion() {
    return "0.1.0";
}

}  // namespace funkor
