// BaseParameter is the root of the framework's configuration parameters: a
// named, reference-counted value. Scalars (StringParameter, IntParameter,
// FloatParameter, BoolParameter) carry one value; ComplexParameter and
// ListParameter are also parameter lists and hold members.
//
// Ownership: a new parameter has count 0 and belongs to whoever made it until
// a holder takes a counted reference: a ParameterList (addParameter) or a
// caller's core::SmartPtr. The name is fixed at construction.
//
//   core::SmartPtr<parameter::BaseParameter> keep(new parameter::IntParameter("width", 800));
//   keep->getName();                                              // "width"
//   keep->getType().instanceOf(parameter::IntParameter::TYPE);    // true
//
// Parameters are not copied by value: a copy would also copy the count.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_BASEPARAMETER_H
#define KAVRIXML_FRAMEWORK_PLINTH_BASEPARAMETER_H

#include <string>

#include "framework/plinth/IRefCount.h"
#include "framework/plinth/Type.h"

namespace parameter {

class BaseParameter : public virtual core::IRefCount {
  public:
    static const core::Type TYPE;

    // The run-time type of the object; subclasses answer their own TYPE.
    virtual const core::Type& getType() const { return TYPE; }
    ~BaseParameter() override;

    BaseParameter(const BaseParameter&) = delete;
    BaseParameter& operator=(const BaseParameter&) = delete;

    const std::string& getName() const { return mName; }

  protected:
    explicit BaseParameter(const std::string& name) : mName(name) {}

  private:
    const std::string mName;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_BASEPARAMETER_H
