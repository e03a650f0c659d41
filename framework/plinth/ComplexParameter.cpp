#include "framework/plinth/ComplexParameter.h"

namespace parameter {

const core::Type ComplexParameter::TYPE("ComplexParameter", BaseParameter::TYPE);

ComplexParameter::~ComplexParameter() = default;

}  // namespace parameter
