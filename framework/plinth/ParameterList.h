// ParameterList is an ordered collection of parameters, the base of
// UniqueParameterList (names are unique) and SimpleParameterList (anything
// goes). ComplexParameter and ListParameter are parameters that are also lists.
//
// Ownership: the list keeps a counted reference to every parameter it accepts
// and releases them when it is destroyed. A parameter that the list refuses
// and that nobody else holds (count 0) is disposed of by the list, so a caller
// may hand over a new parameter without checking the answer:
//
//   parameter::UniqueParameterList settings;
//   settings.addParameter(new parameter::IntParameter("width", 800));    // true
//   settings.addParameter(new parameter::IntParameter("width", 1024));   // false, deleted
//   settings.getParameter("width");                                      // the first one
//
// A list never holds null, and never holds itself (a ComplexParameter handed
// to its own addParameter is refused); deeper cycles are the caller's fault
// and would keep their members alive.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_PARAMETERLIST_H
#define KAVRIXML_FRAMEWORK_PLINTH_PARAMETERLIST_H

#include <string>
#include <unordered_map>
#include <vector>

#include "framework/plinth/BaseParameter.h"

namespace parameter {

class ParameterList {
  public:
    virtual ~ParameterList();
    ParameterList(const ParameterList&) = delete;
    ParameterList& operator=(const ParameterList&) = delete;

    // Appends `parameter` and takes a counted reference to it. Answers false,
    // and changes nothing, for null, for the list itself and for whatever the
    // kind of list refuses; a refused parameter with count 0 is disposed of.
    // When memory runs out it throws std::bad_alloc with the list unchanged,
    // and a parameter with count 0 is disposed of just the same.
    bool addParameter(BaseParameter* parameter);

    unsigned size() const { return static_cast<unsigned>(mParameters.size()); }
    // The parameter at `index` in the order they were added, or null.
    BaseParameter* getParameter(unsigned index) const;
    // The first parameter named `name`, or null.
    BaseParameter* getParameter(const std::string& name) const;

  protected:
    ParameterList() = default;

    // Whether this kind of list takes `parameter` (never null, never the list).
    virtual bool _accepts(const BaseParameter& parameter) const = 0;

  private:
    bool _isSelf(const BaseParameter* parameter) const;

    // Each holds one counted reference of the list's, released when the
    // list goes (by hand: plinth sits below the core templates).
    std::vector<BaseParameter*> mParameters;
    // Index in mParameters of the first parameter of each name.
    std::unordered_map<std::string, unsigned> mFirstByName;
};

}  // namespace parameter

#endif  // KAVRIXML_FRAMEWORK_PLINTH_PARAMETERLIST_H
