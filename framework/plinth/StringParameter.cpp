#include "framework/plinth/StringParameter.h"

namespace parameter {

const core::Type StringParameter::TYPE("StringParameter", BaseParameter::TYPE);

}  // namespace parameter
