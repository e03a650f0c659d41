#include "xml/ParameterParser.h"

#include <memory>

#include "framework/plinth/BoolParameter.h"
#include "framework/plinth/ComplexParameter.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/FloatParameter.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/ListParameter.h"
#include "framework/plinth/Logger.h"
#include "framework/plinth/StringParameter.h"
#include "framework/plinth/StringUtil.h"

namespace kavri {
namespace xml {

using parameter::BaseParameter;

const std::string ParameterParser::PARAMTAG("PARAM");

namespace {

const char* const VALUE_TAG = "VALUE";

using Function = BaseParameter* (*)(XNode*, const char*);
using FunctionInterface =
    ::core::FunctorCallbackInterface<BaseParameter*, Function, XNode*, const char*>;

// The text of an attribute, or null when the node has none of that name.
const char* attributeText(const XNode* node, const char* name) {
    const Attribute* attribute = node->getAttribute(name);
    return attribute != nullptr ? attribute->getValue() : nullptr;
}

// A PARAM without a `name` attribute still makes a parameter, named "": a
// list entry often needs no name, and nothing downstream accepts null.
std::string nameOf(const char* name) {
    return name != nullptr ? std::string(name) : std::string();
}

void warnCannotProcess(const XNode* member) {
    logging::Logger::mROOT_LOGGER->warn("ParameterParser::can't process node %s",
                                        member->getName());
}

// The parameter as a `P` when its run-time type says it is one, else null.
template <class P>
const P* as(const BaseParameter* p) {
    return p->getType().instanceOf(P::TYPE) ? dynamic_cast<const P*>(p) : nullptr;
}

// Shared by the numeric getters: the own class's value, a string's parsed
// text, or the exception that names the parameter and the class.
template <class P, class T, class Parse>
T readValue(const BaseParameter* p, T defaultValue, Parse parse) {
    if (p == nullptr) {
        return defaultValue;
    }
    if (const P* own = as<P>(p)) {
        return own->getValue();
    }
    if (const auto* text = as<parameter::StringParameter>(p)) {
        return parse(text->getValue().c_str());
    }
    // The type's name is the class name: "Parameter x not IntParameter ...".
    throw ::core::Exception("Parameter %s not %s and cannot be parsed", p->getName().c_str(),
                            P::TYPE.getName());
}

}  // namespace

ParameterParser::ParameterParser() {
    _registerCreators();
}

ParameterParser::ParameterParser(const ParameterParser& /*other*/) {
    _registerCreators();
}

// Every parser holds the same six creators, bound to itself, and nothing
// changes a registry after construction: this parser's own creators already
// are what a copy of `other` would register, so they stay.
ParameterParser& ParameterParser::operator=(const ParameterParser& /*other*/) {
    return *this;
}

ParameterParser::~ParameterParser() {
    _deleteCreators();
}

// A constructor that throws runs no destructor, so a half-filled registry is
// emptied here before the exception goes on.
void ParameterParser::_registerCreators() {
    try {
        _registerCreator("string", std::make_unique<FunctionInterface>(&_stringCreator));
        _registerMember("complex", &ParameterParser::_complexCreator);
        _registerMember("list", &ParameterParser::_listCreator);
        _registerMember("int", &ParameterParser::_intCreator);
        _registerMember("float", &ParameterParser::_floatCreator);
        _registerMember("bool", &ParameterParser::_boolCreator);
    } catch (...) {
        _deleteCreators();
        throw;
    }
}

void ParameterParser::_registerMember(const char* type, MemberCreator creator) {
    using Bound = mpl::MEncapsulate<ParameterParser, BaseParameter*, XNode*, const char*>;
    using BoundInterface =
        ::core::FunctorCallbackInterface<BaseParameter*, Bound, XNode*, const char*>;
    _registerCreator(type, std::make_unique<BoundInterface>(Bound(this, creator)));
}

void ParameterParser::_registerCreator(const char* type,
                                       std::unique_ptr<Creator::Interface> callable) {
    auto creator = std::make_unique<Creator>(callable.get());
    callable.release();  // the Creator owns it now
    Creator*& slot = mCreators[type];
    delete slot;
    slot = creator.release();
}

void ParameterParser::_deleteCreators() {
    for (auto& entry : mCreators) {
        delete entry.second;
    }
    mCreators.clear();
}

BaseParameter* ParameterParser::fromXML(XNode* node) {
    if (node == nullptr ||
        text::StringUtil::compareIgnoreCase(node->getName(), PARAMTAG.c_str()) != 0) {
        throw ::core::Exception("XML node is not a param with tag %s", PARAMTAG.c_str());
    }
    const char* name = attributeText(node, "name");
    if (const char* type = attributeText(node, "type")) {
        auto found = mCreators.find(type);
        return found != mCreators.end() ? found->second->call(node, name) : nullptr;
    }
    if (node->hasAttribute("value")) {
        return _stringCreator(node, name);
    }
    return _complexCreator(node, name);
}

void ParameterParser::fromXML(XNode* node, parameter::ParameterList& list) {
    if (node != nullptr) {
        _addMembers(node, list, true);
    }
}

XNode* ParameterParser::toXML(BaseParameter* /*parameter*/) {
    return nullptr;
}

// Visits the same children, in the same order, as getFirstChild(PARAMTAG)
// followed by getNextSibling(), without getNextSibling's search for its own
// place in the list at every step.
void ParameterParser::_addMembers(XNode* node, parameter::ParameterList& list, bool warnOnNull) {
    for (const ::core::SmartPtr<XNode>& child : node->getChildren()) {
        if (child->getNameString() != PARAMTAG) {
            continue;
        }
        BaseParameter* member = fromXML(child.get());
        if (member == nullptr && warnOnNull) {
            warnCannotProcess(child.get());
            continue;
        }
        list.addParameter(member);
    }
}

BaseParameter* ParameterParser::_stringCreator(XNode* node, const char* name) {
    // "string" without `value` makes an empty text, as the other scalars fall
    // back to 0, 0.0 and false.
    const char* value = attributeText(node, "value");
    return new parameter::StringParameter(nameOf(name), value != nullptr ? value : "");
}

BaseParameter* ParameterParser::_intCreator(XNode* node, const char* name) {
    const char* value = attributeText(node, "value");
    return new parameter::IntParameter(nameOf(name),
                                       value != nullptr ? text::StringUtil::parseInt(value) : 0);
}

BaseParameter* ParameterParser::_floatCreator(XNode* node, const char* name) {
    const char* value = attributeText(node, "value");
    return new parameter::FloatParameter(
        nameOf(name), value != nullptr ? text::StringUtil::parseFloat(value) : 0.0f);
}

BaseParameter* ParameterParser::_boolCreator(XNode* node, const char* name) {
    const char* value = attributeText(node, "value");
    return new parameter::BoolParameter(
        nameOf(name), value != nullptr ? text::StringUtil::parseBool(value) : false);
}

// The members live in the first VALUE child when there is one, else directly
// below the parameter. The composite is held by a unique_ptr while it fills,
// so that an exception from a member does not leak it; it leaves with count 0.
BaseParameter* ParameterParser::_complexCreator(XNode* node, const char* name) {
    auto complex = std::make_unique<parameter::ComplexParameter>(nameOf(name));
    XNode* wrapper = node->getFirstChild(VALUE_TAG);
    _addMembers(wrapper != nullptr ? wrapper : node, *complex, true);
    return complex.release();
}

// A list hands every result to addParameter unchecked; the list refuses a
// null one (an unregistered type) without a word.
BaseParameter* ParameterParser::_listCreator(XNode* node, const char* name) {
    auto list = std::make_unique<parameter::ListParameter>(nameOf(name));
    XNode* wrapper = node->getFirstChild(VALUE_TAG);
    _addMembers(wrapper != nullptr ? wrapper : node, *list, false);
    return list.release();
}

const char* ParameterParser::getString(const BaseParameter* p, const char* defaultValue) {
    if (p == nullptr) {
        return defaultValue;
    }
    if (const auto* text = as<parameter::StringParameter>(p)) {
        return text->getValue().c_str();
    }
    throw ::core::Exception("Parameter %s not StringParameter", p->getName().c_str());
}

int ParameterParser::getInt(const BaseParameter* p, int defaultValue) {
    return readValue<parameter::IntParameter>(p, defaultValue, &text::StringUtil::parseInt);
}

float ParameterParser::getFloat(const BaseParameter* p, float defaultValue) {
    return readValue<parameter::FloatParameter>(p, defaultValue, &text::StringUtil::parseFloat);
}

bool ParameterParser::getBool(const BaseParameter* p, bool defaultValue) {
    return readValue<parameter::BoolParameter>(p, defaultValue, &text::StringUtil::parseBool);
}

}  // namespace xml
}  // namespace kavri
