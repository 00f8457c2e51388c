// Moving the complete container files of a conversion to their names all
// together: either every file appears (replacing older ones with -f), or none
// does and older files stay as they were, never a mix of old and new.
#pragma once

#include <memory>
#include <vector>

#include "vorn_core/container_writer.hpp"

namespace zelc {

// Publishes `writers` (finished, unpublished) in order. On a failure the
// files published so far are taken back: the older file returns where there
// was one, the new file is removed where there was none. Throws
// std::runtime_error naming the file that failed.
void publish_all(std::vector<std::unique_ptr<vorn::ContainerWriter>>& writers, bool overwrite);

}  // namespace zelc
