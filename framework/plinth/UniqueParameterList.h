// UniqueParameterList is a parameter list that refuses a second parameter of
// a name it already holds (the first one stays). ComplexParameter members are
// kept this way.
// What the list holds and disposes of is described in ParameterList.h.
//
//   parameter::UniqueParameterList window;
//   window.addParameter(new parameter::IntParameter("width", 800));     // true
//   window.addParameter(new parameter::IntParameter("width", 640));     // false, disposed of
#ifndef KAVRIXML_FRAMEWORK_PLINTH_UNIQUEPARAMETERLIST_H
#define KAVRIXML_FRAMEWORK_PLINTH_UNIQUEPARAMETERLIST_H

#include "framework/plinth/ParameterList.h"

namespace parameter {

class UniqueParameterList : public ParameterList {
  public:
    UniqueParameterList() = default;
    ~UniqueParameterList() override;

  protected:
    bool _accepts(const BaseParameter& parameter) const override;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_UNIQUEPARAMETERLIST_H
