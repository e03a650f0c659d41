// ComplexParameter is a group of named settings: a parameter whose members
// are a UniqueParameterList, so each member name occurs once (a window with its
// width and height).
// As a parameter it is counted and owned by whoever holds it; as a list it
// holds counted references to its members (see ParameterList.h), so
// releasing it releases the members that nobody else holds.
//
//   parameter::ComplexParameter* window = new parameter::ComplexParameter("window");
//   window->addParameter(new parameter::IntParameter("width", 800));
//   window->getParameter("width");   // the IntParameter; null for a missing name
#ifndef KAVRIXML_FRAMEWORK_PLINTH_COMPLEXPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_COMPLEXPARAMETER_H

#include <string>

#include "framework/plinth/BaseParameter.h"
#include "framework/plinth/UniqueParameterList.h"

namespace parameter {

class ComplexParameter : public BaseParameter, public UniqueParameterList {
  public:
    static const core::Type TYPE;

    explicit ComplexParameter(const std::string& name) : BaseParameter(name) {}
    ~ComplexParameter() override;

    const core::Type& getType() const override { return TYPE; }
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_COMPLEXPARAMETER_H
