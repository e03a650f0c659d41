#include "framework/plinth/ParameterList.h"

namespace parameter {

ParameterList::~ParameterList() = default;

bool ParameterList::addParameter(BaseParameter* parameter) {
    if (parameter == nullptr || _isSelf(parameter)) {
        return false;
    }
    if (!_accepts(*parameter)) {
        _disposeIfUnheld(parameter);
        return false;
    }
    mFirstByName.emplace(parameter->getName(), size());
    mParameters.emplace_back(parameter);
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

// Nobody else will ever release a refused parameter that nobody holds, so the
// list does; one that is held elsewhere stays with its holders.
void ParameterList::_disposeIfUnheld(BaseParameter* parameter) {
    if (parameter->getRefCount() == 0) {
        core::IRefCount::dispose(parameter);
    }
}

}  // namespace parameter
