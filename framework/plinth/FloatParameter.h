// FloatParameter is a parameter that holds a float.
// It is a BaseParameter: counted, named, owned by the lists that accept it.
//
//   parameter::FloatParameter scale("scale", 1.5f);
//   scale.getValue();   // 1.5f
#ifndef KAVRIXML_FRAMEWORK_PLINTH_FLOATPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_FLOATPARAMETER_H

#include <string>

#include "framework/plinth/BaseParameter.h"

namespace parameter {

class FloatParameter : public BaseParameter {
  public:
    static const core::Type TYPE;

    FloatParameter(const std::string& name, float value) : BaseParameter(name), mValue(value) {}

    const core::Type& getType() const override { return TYPE; }

    float getValue() const { return mValue; }
    void setValue(float value) { mValue = value; }

  private:
    float mValue;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_FLOATPARAMETER_H
