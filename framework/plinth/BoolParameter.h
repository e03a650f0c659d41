// BoolParameter is a parameter that holds a bool.
// It is a BaseParameter: counted, named, owned by the lists that accept it.
//
//   parameter::BoolParameter maximized("maximized", true);
//   maximized.getValue();   // true
#ifndef KAVRIXML_FRAMEWORK_PLINTH_BOOLPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_BOOLPARAMETER_H

#include <string>

#include "framework/plinth/BaseParameter.h"

namespace parameter {

class BoolParameter : public BaseParameter {
  public:
    static const core::Type TYPE;

    BoolParameter(const std::string& name, bool value) : BaseParameter(name), mValue(value) {}

    const core::Type& getType() const override { return TYPE; }

    bool getValue() const { return mValue; }
    void setValue(bool value) { mValue = value; }

  private:
    bool mValue;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_BOOLPARAMETER_H
