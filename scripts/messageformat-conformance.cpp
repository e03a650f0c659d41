// Runs the JSON test files of MessageFormat 2's test suite
// against the library: compiles each message, formats it with the test's
// arguments, and compares output, parts and error names. The suite's test
// functions :test:function, :test:select and :test:format are registered as
// application functions, as the suite's README defines them.
//
//   messageformat-conformance FILE.json...     (prints "N passed, N failed")
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "i18n/MessageFormat.h"

using kavri::i18n::MessageArgument;
using kavri::i18n::MessageArguments;
using kavri::i18n::MessageCustomValue;
using kavri::i18n::MessageError;
using kavri::i18n::MessageFormat;
using kavri::i18n::MessageFormatException;
using kavri::i18n::MessageFunctionCall;
using kavri::i18n::MessageFunctions;
using kavri::i18n::MessagePart;
using json = nlohmann::json;

namespace {

// The resolved value of :test:function and its two halves.
struct TestValue : MessageCustomValue {
    double input = 0;
    int decimalPlaces = 0;
    bool failsFormat = false;
    bool failsSelect = false;
    bool canFormat = true;
    bool canSelect = true;

    bool format(std::string& out, MessageError::Type& error) const override {
        if (!canFormat || failsFormat) {
            error = canFormat ? MessageError::BAD_OPTION : MessageError::UNSUPPORTED_OPERATION;
            return false;
        }
        const double magnitude = std::fabs(input);
        if (input < 0) {
            out += '-';
        }
        out += std::to_string(static_cast<long long>(std::floor(magnitude)));
        if (decimalPlaces == 1) {
            out += '.';
            out += static_cast<char>(
                '0' + static_cast<int>(std::floor((magnitude - std::floor(magnitude)) * 10)));
        }
        return true;
    }
    bool selects() const override { return canSelect && !failsSelect; }
    bool match(const std::string& key, bool& error) const override {
        error = false;
        if (input != 1) {
            return false;
        }
        return key == "1" || (decimalPlaces == 1 && key == "1.0");
    }
    bool betterThan(const std::string& key1, const std::string&) const override {
        return key1 == "1.0";
    }
    bool toString(std::string& out) const override {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", input);
        out = buffer;
        return true;
    }
};

std::shared_ptr<const MessageCustomValue> testFunction(const MessageFunctionCall& call,
                                                       MessageError::Type& error, bool canFormat,
                                                       bool canSelect) {
    auto value = std::make_shared<TestValue>();
    const auto* operand = dynamic_cast<const TestValue*>(call.operandCustom());
    char* end = nullptr;
    if (operand != nullptr) {
        *value = *operand;
    } else if (call.operandType() == MessageFunctionCall::STRING ||
               call.operandType() == MessageFunctionCall::NUMBER) {
        const std::string& text = call.operandText();
        value->input = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || text[0] == '+' || text[0] == '.') {
            error = MessageError::BAD_OPERAND;
            return nullptr;
        }
    } else {
        error = MessageError::BAD_OPERAND;
        return nullptr;
    }
    value->canFormat = canFormat;
    value->canSelect = canSelect;
    if (const MessageFunctionCall::Option* places = call.option("decimalPlaces")) {
        if (places->value != "0" && places->value != "1") {
            error = MessageError::BAD_OPTION;
            return nullptr;
        }
        value->decimalPlaces = places->value[0] - '0';
    }
    if (const MessageFunctionCall::Option* fails = call.option("fails")) {
        const std::string& f = fails->value;
        value->failsFormat = value->failsFormat || f == "always" || f == "format";
        value->failsSelect = value->failsSelect || f == "always" || f == "select";
        if (f != "always" && f != "format" && f != "select" && f != "never") {
            call.report(MessageError::BAD_OPTION);
        }
    }
    return value;
}

MessageFunctions testFunctions() {
    MessageFunctions functions;
    const bool both[][2] = {{true, true}, {false, true}, {true, false}};
    const char* names[] = {"test:function", "test:select", "test:format"};
    for (int i = 0; i < 3; ++i) {
        const bool format = both[i][0], select = both[i][1];
        functions.add(names[i],
                      [format, select](const MessageFunctionCall& call, MessageError::Type& error) {
                          return testFunction(call, error, format, select);
                      });
    }
    return functions;
}

MessageArguments arguments(const json& test) {
    MessageArguments args;
    if (!test.contains("params")) {
        return args;
    }
    for (const json& param : test["params"]) {
        const std::string name = param["name"];
        const json& value = param["value"];
        if (value.is_string()) {
            args.set(name, MessageArgument(value.get<std::string>()));
        } else if (value.is_boolean()) {
            args.set(name, MessageArgument(value.get<bool>()));
        } else if (value.is_number_integer()) {
            args.set(name, MessageArgument(value.get<long long>()));
        } else if (value.is_number()) {
            args.set(name, MessageArgument(value.get<double>()));
        }
    }
    return args;
}

json partJson(const MessagePart& part) {
    static const char* const KINDS[] = {"", "open", "standalone", "close"};
    json out;
    switch (part.type) {
        case MessagePart::TEXT:
            return json{{"type", "text"}, {"value", part.value}};
        case MessagePart::BIDI_ISOLATION:
            return json{{"type", "bidiIsolation"}, {"value", part.value}};
        case MessagePart::FALLBACK:
            return json{{"type", "fallback"}, {"source", part.source}};
        case MessagePart::PLACEHOLDER:
            out = {{"type", part.function}, {"value", part.value}, {"locale", part.locale}};
            if (part.function == "integer" || part.function == "percent" ||
                part.function == "currency" || part.function == "offset") {
                out["type"] = "number";
            }
            break;
        default:
            out = {{"type", "markup"}, {"kind", KINDS[part.type]}, {"name", part.name}};
            if (!part.options.empty()) {
                out["options"] = json::object();
                for (const auto& option : part.options) {
                    out["options"][option.first] = option.second;
                }
            }
    }
    if (!part.id.empty()) {
        out["id"] = part.id;
    }
    if (!part.dir.empty() && part.dir != "auto") {
        out["dir"] = part.dir;
    }
    return out;
}

// An expected part matches when each of its fields is ours; nested number
// parts are compared by the text they join to.
bool partMatches(const json& expected, const json& actual) {
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (it.key() == "parts") {
            std::string joined;
            for (const json& sub : *it) {
                joined += sub.value("value", "");
            }
            if (joined != actual.value("value", "")) {
                return false;
            }
        } else if (!actual.contains(it.key()) || actual[it.key()] != *it) {
            return false;
        }
    }
    return true;
}

struct Outcome {
    std::string output;
    json parts = json::array();
    json errors = json::array();
    bool compiled = true;
};

Outcome run(const json& test, const MessageFunctions& functions) {
    Outcome outcome;
    const std::string locale = test.value("locale", "en-US");
    const auto isolation = test.value("bidiIsolation", "none") == "default"
                               ? MessageFormat::BIDI_DEFAULT
                               : MessageFormat::BIDI_NONE;
    try {
        MessageFormat message(test["src"].get<std::string>(), locale, &functions);
        std::vector<MessageError> errors;
        const MessageArguments args = arguments(test);
        outcome.output = message.format(args, &errors, isolation);
        for (const MessageError& error : errors) {
            outcome.errors.push_back(json{{"type", error.name()}});
        }
        for (const MessagePart& part : message.formatToParts(args, nullptr, isolation)) {
            outcome.parts.push_back(partJson(part));
        }
    } catch (const MessageFormatException& e) {
        outcome.compiled = false;
        outcome.errors.push_back(json{{"type", MessageError::name(e.getErrorType())}});
    }
    return outcome;
}

// Returns the reason the test failed, or "".
std::string check(const json& test, const Outcome& outcome) {
    if (test.contains("exp") && outcome.compiled && outcome.output != test["exp"]) {
        return "output " + json(outcome.output).dump() + ", expected " + test["exp"].dump();
    }
    const json expected = test.contains("expErrors") ? test["expErrors"] : json::array();
    json names = json::array();
    for (const json& error : expected) {
        names.push_back(json{{"type", error["type"]}});
    }
    if (names != outcome.errors) {
        return "errors " + outcome.errors.dump() + ", expected " + names.dump();
    }
    if (test.contains("expParts")) {
        const json& parts = test["expParts"];
        bool same = parts.size() == outcome.parts.size();
        for (size_t i = 0; same && i < parts.size(); ++i) {
            same = partMatches(parts[i], outcome.parts[i]);
        }
        if (!same) {
            return "parts " + outcome.parts.dump() + ", expected " + parts.dump();
        }
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    const MessageFunctions functions = testFunctions();
    int passed = 0, failed = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i]);
        const json file = json::parse(in);
        const json defaults = file.value("defaultTestProperties", json::object());
        for (const json& entry : file["tests"]) {
            json test = defaults;
            test.update(entry);
            const std::string reason = check(test, run(test, functions));
            if (reason.empty()) {
                ++passed;
                continue;
            }
            ++failed;
            std::cout << "FAIL " << argv[i] << ": " << test["src"].dump() << "\n  " << reason
                      << "\n";
        }
    }
    std::cout << passed << " passed, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}
