// ListParameter is a sequence of entries: a parameter whose members are a
// SimpleParameterList, so entries keep their order and may share a name or have
// none (the recently opened files).
// As a parameter it is counted and owned by whoever holds it; as a list it
// holds counted references to its members (see ParameterList.h), so
// releasing it releases the members that nobody else holds.
//
//   parameter::ListParameter* recent = new parameter::ListParameter("recent");
//   recent->addParameter(new parameter::StringParameter("", "/home/ana/a.txt"));
//   recent->getParameter(0u);   // the first entry
#ifndef KAVRIXML_FRAMEWORK_PLINTH_LISTPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_LISTPARAMETER_H

#include <string>

#include "framework/plinth/BaseParameter.h"
#include "framework/plinth/SimpleParameterList.h"

namespace parameter {

class ListParameter : public BaseParameter, public SimpleParameterList {
  public:
    static const core::Type TYPE;

    explicit ListParameter(const std::string& name) : BaseParameter(name) {}
    ~ListParameter() override;

    const core::Type& getType() const override { return TYPE; }
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_LISTPARAMETER_H
