// StringParameter is a parameter that holds a text (any bytes, NULs included).
// It is a BaseParameter: counted, named, owned by the lists that accept it.
//
//   parameter::StringParameter title("title", "Main window");
//   title.getValue();   // "Main window"
#ifndef KAVRIXML_FRAMEWORK_PLINTH_STRINGPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_STRINGPARAMETER_H

#include <string>

#include "framework/plinth/BaseParameter.h"

namespace parameter {

class StringParameter : public BaseParameter {
  public:
    static const core::Type TYPE;

    StringParameter(const std::string& name, const std::string& value)
        : BaseParameter(name), mValue(value) {}

    const core::Type& getType() const override { return TYPE; }

    const std::string& getValue() const { return mValue; }
    void setValue(const std::string& value) { mValue = value; }

  private:
    std::string mValue;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_STRINGPARAMETER_H
