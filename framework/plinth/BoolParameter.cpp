#include "framework/plinth/BoolParameter.h"

namespace parameter {

const core::Type BoolParameter::TYPE("BoolParameter", BaseParameter::TYPE);

}  // namespace parameter
