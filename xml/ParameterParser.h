// ParameterParser turns XML parameter descriptions (PARAM elements) into the
// framework's parameter objects, and reads parameter values with conversion.
//
//   <PARAM name="window" type="complex">
//     <PARAM name="width" type="int" value="800"/>
//   </PARAM>
//
// `type` picks the creator ("string", "complex", "list", "int", "float",
// "bool"; exact names); without it a `value` makes a string and its absence a
// complex parameter. Members of a complex or list parameter are its PARAM
// children, or those of its first VALUE child when it has one.
//
// Ownership: every parameter built is new. fromXML(node) hands it to the
// caller (count 0); fromXML(node, list) hands each to the list. The parser
// holds nothing of what it built and never changes after construction, so one
// parser may convert separate trees on several threads at once.
//
//   kavri::xml::ParameterParser parser;
//   core::SmartPtr<parameter::BaseParameter> window(parser.fromXML(node));
//   auto* members = dynamic_cast<parameter::ComplexParameter*>(window.get());
//   int width = ParameterParser::getInt(members->getParameter("width"), 640);
#ifndef KAVRIXML_XML_PARAMETERPARSER_H
#define KAVRIXML_XML_PARAMETERPARSER_H

#include <map>
#include <memory>
#include <string>

#include "core/Callback.h"
#include "framework/plinth/BaseParameter.h"
#include "framework/plinth/ParameterList.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {

class ParameterParser {
  public:
    using Creator = ::core::Callback<parameter::BaseParameter*, xml::XNode*, const char*>;

    // The tag of a parameter element: "PARAM".
    static const std::string PARAMTAG;

    ParameterParser();
    // A copy registers its own creators, bound to itself: it never calls
    // through the parser it was copied from, which may go first.
    ParameterParser(const ParameterParser& other);
    ParameterParser& operator=(const ParameterParser& other);
    virtual ~ParameterParser();

    // Converts one PARAM element (tag compared ignoring case). Returns a new
    // parameter that the caller owns, or null for a type that has no creator.
    // Throws core::Exception "XML node is not a param with tag PARAM" for any
    // other node, null included.
    parameter::BaseParameter* fromXML(xml::XNode* node);
    // Converts every child of `node` tagged exactly "PARAM" and adds each to
    // `list`; a child that cannot be converted is logged and skipped.
    void fromXML(xml::XNode* node, parameter::ParameterList& list);
    // Parameters are converted one way only: always null.
    xml::XNode* toXML(parameter::BaseParameter* parameter);

    // Value getters. Null gives the default; a parameter of the getter's own
    // class gives its value; a StringParameter gives its text, parsed; any
    // other class throws core::Exception naming the parameter.
    // getString's pointer is valid while the parameter lives unchanged.
    static const char* getString(const parameter::BaseParameter* p, const char* defaultValue);
    static int getInt(const parameter::BaseParameter* p, int defaultValue);
    static float getFloat(const parameter::BaseParameter* p, float defaultValue);
    static bool getBool(const parameter::BaseParameter* p, bool defaultValue);

  private:
    static parameter::BaseParameter* _stringCreator(xml::XNode* node, const char* name);
    parameter::BaseParameter* _complexCreator(xml::XNode* node, const char* name);
    parameter::BaseParameter* _listCreator(xml::XNode* node, const char* name);
    parameter::BaseParameter* _intCreator(xml::XNode* node, const char* name);
    parameter::BaseParameter* _floatCreator(xml::XNode* node, const char* name);
    parameter::BaseParameter* _boolCreator(xml::XNode* node, const char* name);

    using MemberCreator = parameter::BaseParameter* (ParameterParser::*)(xml::XNode*, const char*);
    void _registerCreators();
    void _registerMember(const char* type, MemberCreator creator);
    void _registerCreator(const char* type, std::unique_ptr<Creator::Interface> callable);
    void _deleteCreators();
    // Converts the members of a composite parameter into `list`; `warnOnNull`
    // says whether a member that gives null is logged.
    void _addMembers(xml::XNode* node, parameter::ParameterList& list, bool warnOnNull);

    std::map<std::string, Creator*> mCreators;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_PARAMETERPARSER_H
