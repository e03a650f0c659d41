#include "framework/plinth/UniqueParameterList.h"

namespace parameter {

UniqueParameterList::~UniqueParameterList() = default;

bool UniqueParameterList::_accepts(const BaseParameter& parameter) const {
    return getParameter(parameter.getName()) == nullptr;
}

}  // namespace parameter
