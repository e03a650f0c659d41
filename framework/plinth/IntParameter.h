// IntParameter is a parameter that holds an int.
// It is a BaseParameter: counted, named, owned by the lists that accept it.
//
//   parameter::IntParameter width("width", 800);
//   width.getValue();   // 800
#ifndef KAVRIXML_FRAMEWORK_PLINTH_INTPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_INTPARAMETER_H

#include <string>

#include "framework/plinth/BaseParameter.h"

namespace parameter {

class IntParameter : public BaseParameter {
  public:
    static const core::Type TYPE;

    IntParameter(const std::string& name, int value) : BaseParameter(name), mValue(value) {}

    const core::Type& getType() const override { return TYPE; }

    int getValue() const { return mValue; }
    void setValue(int value) { mValue = value; }

  private:
    int mValue;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_INTPARAMETER_H
