#include "framework/plinth/BaseParameter.h"

namespace parameter {

const core::Type BaseParameter::TYPE("BaseParameter");

BaseParameter::~BaseParameter() = default;

}  // namespace parameter
