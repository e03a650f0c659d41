#include "framework/plinth/ParameterList.h"

namespace parameter {

namespace {

// One counted reference, released on every way out unless handed on.
struct Reference {
    BaseParameter* held;
    explicit Reference(BaseParameter* parameter) : held(parameter) { held->addRef(); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;
    ~Reference() {
        if (held != nullptr && held->decRef() == 0) {
            core::IRefCount::dispose(held);
        }
    }
};

}  // namespace

ParameterList::~ParameterList() {
    for (BaseParameter* parameter : mParameters) {
        if (parameter->decRef() == 0) {
            core::IRefCount::dispose(parameter);
        }
    }
}

bool ParameterList::addParameter(BaseParameter* parameter) {
    if (parameter == nullptr || _isSelf(parameter)) {
        return false;
    }
    // Held from here on: a refused parameter, or one that a failed
    // allocation below leaves out, is disposed of when nobody else holds it.
    Reference held(parameter);
    if (!_accepts(*parameter)) {
        return false;
    }
    // The list first, then the index; a failure in between takes the list's
    // entry back, so that the two always agree.
    mParameters.push_back(parameter);
    try {
        mFirstByName.emplace(parameter->getName(), size() - 1);
    } catch (...) {
        mParameters.pop_back();
        throw;
    }
    held.held = nullptr;  // the list keeps the reference
    return true;
}

BaseParameter* ParameterList::getParameter(unsigned index) const {
    return index < mParameters.size() ? mParameters[index] : nullptr;
}

BaseParameter* ParameterList::getParameter(const std::string& name) const {
    auto found = mFirstByName.find(name);
    return found != mFirstByName.end() ? mParameters[found->second] : nullptr;
}

// A list that held itself would never be released. Only parameters that are
// lists can be this list, and the cross-cast finds out which ones are.
bool ParameterList::_isSelf(const BaseParameter* parameter) const {
    return dynamic_cast<const ParameterList*>(parameter) == this;
}

}  // namespace parameter
