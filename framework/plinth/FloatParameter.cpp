#include "framework/plinth/FloatParameter.h"

namespace parameter {

const core::Type FloatParameter::TYPE("FloatParameter", BaseParameter::TYPE);

}  // namespace parameter
