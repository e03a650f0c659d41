#include "framework/plinth/ListParameter.h"

namespace parameter {

const core::Type ListParameter::TYPE("ListParameter", BaseParameter::TYPE);

ListParameter::~ListParameter() = default;

}  // namespace parameter
