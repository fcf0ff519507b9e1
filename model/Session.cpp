#include "model/Session.h"

#include "model/Paths.h"

namespace dorvane {

void OperationRequest::choose(const std::string& chosen) {
    path = chosen;
    basePath = basePathOf(chosen);
}

} // namespace dorvane
