#include "framework/plinth/IntParameter.h"

namespace parameter {

const core::Type IntParameter::TYPE("IntParameter", BaseParameter::TYPE);

}  // namespace parameter
