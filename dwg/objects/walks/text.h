#pragma once

#include "dwg/objects/object.h"

namespace dwg {

}  // namespace dwg
