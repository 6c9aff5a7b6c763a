#include "driver/options.h"

namespace vorsk {

constinit Options options;

}  // namespace vorsk
