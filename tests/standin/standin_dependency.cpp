#include "standin/standin_dependency.h"

const char* standinDependencyName() {
    return "standin_runtime";
}
