// SimpleParameterList is a parameter list that takes every non-null
// parameter, names repeated or not, in the order given. ListParameter entries
// are kept this way.
// What the list holds and disposes of is described in ParameterList.h.
//
//   parameter::SimpleParameterList recent;
//   recent.addParameter(new parameter::StringParameter("file", "a.txt"));   // true
//   recent.addParameter(new parameter::StringParameter("file", "b.txt"));   // true
#ifndef KAVRIXML_FRAMEWORK_PLINTH_SIMPLEPARAMETERLIST_H
#define KAVRIXML_FRAMEWORK_PLINTH_SIMPLEPARAMETERLIST_H

#include "framework/plinth/ParameterList.h"

namespace parameter {

class SimpleParameterList : public ParameterList {
  public:
    SimpleParameterList() = default;
    ~SimpleParameterList() override;

  protected:
    bool _accepts(const BaseParameter& parameter) const override;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_SIMPLEPARAMETERLIST_H
