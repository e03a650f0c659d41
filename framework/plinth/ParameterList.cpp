#include "framework/plinth/ParameterList.h"

namespace parameter {

ParameterList::~ParameterList() = default;

bool ParameterList::addParameter(BaseParameter* parameter) {
    if (parameter == nullptr || _isSelf(parameter)) {
        return false;
    }
    // Held from here on: a refused parameter, or one that a failed
    // allocation below leaves out, is disposed of when nobody else holds it.
    core::SmartPtr<BaseParameter> held(parameter);
    if (!_accepts(*parameter)) {
        return false;
    }
    // The list first, then the index; a failure in between takes the list's
    // entry back, so that the two always agree.
    mParameters.push_back(held);
    try {
        mFirstByName.emplace(parameter->getName(), size() - 1);
    } catch (...) {
        mParameters.pop_back();
        throw;
    }
    return true;
}

BaseParameter* ParameterList::getParameter(unsigned index) const {
    return index < mParameters.size() ? mParameters[index].get() : nullptr;
}

BaseParameter* ParameterList::getParameter(const std::string& name) const {
    auto found = mFirstByName.find(name);
    return found != mFirstByName.end() ? mParameters[found->second].get() : nullptr;
}

// A list that held itself would never be released. Only parameters that are
// lists can be this list, and the cross-cast finds out which ones are.
bool ParameterList::_isSelf(const BaseParameter* parameter) const {
    return dynamic_cast<const ParameterList*>(parameter) == this;
}

}  // namespace parameter
