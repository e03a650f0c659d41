#include "framework/plinth/SimpleParameterList.h"

namespace parameter {

SimpleParameterList::~SimpleParameterList() = default;

bool SimpleParameterList::_accepts(const BaseParameter& /*parameter*/) const {
    return true;
}

}  // namespace parameter
