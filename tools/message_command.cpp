// kavrixml message: formats one MessageFormat 2 message with arguments from
// the command line, as text, as parts, or as JSON for other programs.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/plinth/Exception.h"
#include "i18n/MessageFormat.h"
#include "syntax/XMLChars.h"
#include "tools/Command.h"
#include "tools/CommandArguments.h"

namespace kavrixml_tool {

namespace {

using kavri::i18n::MessageArgument;
using kavri::i18n::MessageArguments;
using kavri::i18n::MessageError;
using kavri::i18n::MessageFormat;
using kavri::i18n::MessageFormatException;
using kavri::i18n::MessagePart;
using kavri::json::JSObject;

const char* const MESSAGE_USAGE =
    "usage: kavrixml message [--locale TAG] [--bidi-isolation default|none]\n"
    "                        [--arg NAME=VALUE]... [--args-json OBJECT] [--parts] [--json]\n"
    "                        MESSAGE\n"
    "\n"
    "Formats MESSAGE, a Unicode MessageFormat 2 message, in the locale TAG (default\n"
    "en) and prints the result. VALUE is a JSON string, number or boolean; any\n"
    "other text is taken as a string, and a number keeps every digit. --args-json\n"
    "gives arguments as one JSON object, whose numbers are read as doubles (give\n"
    "long numbers as strings); later arguments replace earlier ones of the same\n"
    "name. Placeholders are isolated with U+2066..U+2069 unless --bidi-isolation\n"
    "none.\n"
    "\n"
    "--parts prints the formatted parts one per line (text, markup, placeholders,\n"
    "fallbacks, isolation marks). --json prints one JSON object:\n"
    "{\"output\": TEXT, \"errors\": [{\"type\": NAME, \"offset\": N}, ...]}, with\n"
    "\"parts\" too when --parts is given; a message that does not compile has the\n"
    "output \"{\\ufffd}\" and its one error.\n"
    "\n"
    "Errors are named as MessageFormat 2 names them (syntax-error,\n"
    "unresolved-variable, bad-operand, ...). A failed placeholder shows its\n"
    "fallback, as {$name}.\n"
    "\n"
    "Exit status: 0 formatted without errors, 1 formatted with errors, 2 a usage\n"
    "error or a message with a syntax or data model error (shown with a caret\n"
    "under the fault).\n";

struct Settings {
    std::string locale = "en";
    MessageFormat::BidiIsolation isolation = MessageFormat::BIDI_DEFAULT;
    MessageArguments arguments;
    bool parts = false;
    bool json = false;
    std::string message;
    bool haveMessage = false;
};

bool parseArgsJson(const std::string& text, MessageArguments& arguments, std::string& error) {
    try {
        const core::SmartPtr<JSObject> object(JSObject::parse(text));
        if (object->getValueType() != JSObject::OBJECT) {
            error = "--args-json expects a JSON object";
            return false;
        }
        for (auto it = object->begin(); it.isValid(); ++it) {
            MessageArgument argument("");
            if (!argumentOf(*it.getValue(), argument)) {
                error = std::string("--args-json: '") + it.getKey() +
                        "' is no string, number or boolean";
                return false;
            }
            arguments.set(it.getKey(), argument);
        }
    } catch (const core::Exception& e) {
        error = std::string("--args-json: ") + e.getMessage();
        return false;
    }
    return true;
}

// Takes the option at args[i] (and its value); false with `error` set on a
// usage error.
bool takeOption(const std::vector<std::string>& args, size_t& i, Settings& settings,
                std::string& error) {
    const std::string& arg = args[i];
    if (arg == "--parts" || arg == "--json") {
        (arg == "--parts" ? settings.parts : settings.json) = true;
        return true;
    }
    if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
    }
    const std::string& value = args[++i];
    if (arg == "--locale") {
        settings.locale = value;
    } else if (arg == "--bidi-isolation" && (value == "default" || value == "none")) {
        settings.isolation =
            value == "none" ? MessageFormat::BIDI_NONE : MessageFormat::BIDI_DEFAULT;
    } else if (arg == "--bidi-isolation") {
        error = "--bidi-isolation is default or none";
        return false;
    } else if (arg == "--arg") {
        return readNamedArgument(value, settings.arguments, error);
    } else {
        return parseArgsJson(value, settings.arguments, error);
    }
    return true;
}

void appendJsonString(const std::string& text, std::string& out) {
    out += '"';
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendMember(const char* name, const std::string& value, std::string& out) {
    out += ", \"";
    out += name;
    out += "\": ";
    appendJsonString(value, out);
}

const char* partType(const MessagePart& part) {
    static const char* const TYPES[] = {"text",        "markup",   "markup",       "markup",
                                        "placeholder", "fallback", "bidiIsolation"};
    return part.type == MessagePart::PLACEHOLDER ? part.function.c_str() : TYPES[part.type];
}

const char* markupKind(const MessagePart& part) {
    return part.type == MessagePart::MARKUP_OPEN         ? "open"
           : part.type == MessagePart::MARKUP_STANDALONE ? "standalone"
                                                         : "close";
}

void appendPartJson(const MessagePart& part, std::string& out) {
    out += "{\"type\": ";
    appendJsonString(partType(part), out);
    const bool markup =
        part.type >= MessagePart::MARKUP_OPEN && part.type <= MessagePart::MARKUP_CLOSE;
    if (markup) {
        appendMember("kind", markupKind(part), out);
        appendMember("name", part.name, out);
        if (!part.options.empty()) {
            out += ", \"options\": {";
            for (size_t i = 0; i < part.options.size(); ++i) {
                out += i == 0 ? "" : ", ";
                appendJsonString(part.options[i].first, out);
                out += ": ";
                appendJsonString(part.options[i].second, out);
            }
            out += '}';
        }
    } else if (part.type == MessagePart::FALLBACK) {
        appendMember("source", part.source, out);
    } else {
        appendMember("value", part.value, out);
    }
    if (part.type == MessagePart::PLACEHOLDER) {
        appendMember("locale", part.locale, out);
        if (!part.dir.empty()) {
            appendMember("dir", part.dir, out);
        }
    }
    if (!part.id.empty()) {
        appendMember("id", part.id, out);
    }
    out += '}';
}

// One line per part: its type, then what it holds, as C writes strings.
void appendPartLine(const MessagePart& part, std::string& out) {
    out += partType(part);
    const bool markup =
        part.type >= MessagePart::MARKUP_OPEN && part.type <= MessagePart::MARKUP_CLOSE;
    const std::string& shown = markup                               ? part.name
                               : part.type == MessagePart::FALLBACK ? part.source
                                                                    : part.value;
    out += markup ? std::string(" ") + markupKind(part) + " " : " \"";
    if (markup) {
        out += shown;
    } else {
        appendEscaped(shown, 0, shown.size(), out);
        out += '"';
    }
    for (const auto& option : part.options) {
        out += " " + option.first + "=\"";
        appendEscaped(option.second, 0, option.second.size(), out);
        out += '"';
    }
    if (!part.id.empty()) {
        out += " id=" + part.id;
    }
    out += '\n';
}

void appendErrorsJson(const std::vector<MessageError>& errors, std::string& out) {
    out += ", \"errors\": [";
    for (size_t i = 0; i < errors.size(); ++i) {
        out += i == 0 ? "" : ", ";
        out += "{\"type\": \"";
        out += errors[i].name();
        out += "\", \"offset\": " + std::to_string(errors[i].offset) + "}";
    }
    out += ']';
}

// The line of the message that holds `offset`, and a caret under the fault.
std::string caret(const std::string& message, size_t offset) {
    offset = offset < message.size() ? offset : message.size();
    const size_t start = message.rfind('\n', offset == 0 ? 0 : offset - 1);
    const size_t begin = start == std::string::npos || offset == 0 ? 0 : start + 1;
    const size_t end = message.find('\n', begin);
    std::string line = message.substr(begin, end == std::string::npos ? end : end - begin);
    const size_t column =
        kavri::xml::syntax::countCharacters(message.data() + begin, offset - begin);
    return "  " + line + "\n  " + std::string(column, ' ') + "^\n";
}

int reportCompileError(const Settings& settings, const MessageFormatException& e) {
    std::fprintf(stderr, "kavrixml message: %s\n%s", e.getMessage(),
                 caret(settings.message, e.getOffset()).c_str());
    if (settings.json) {
        std::string out = "{\"output\": \"{\\ufffd}\"";
        appendErrorsJson({MessageError{e.getErrorType(), e.getOffset()}}, out);
        out += settings.parts ? ", \"parts\": []}\n" : "}\n";
        std::fputs(out.c_str(), stdout);
    }
    return EXIT_USAGE;
}

int formatMessage(const Settings& settings) {
    std::unique_ptr<MessageFormat> message;
    try {
        message.reset(new MessageFormat(settings.message, settings.locale));
    } catch (const MessageFormatException& e) {
        return reportCompileError(settings, e);
    }
    std::vector<MessageError> errors;
    const std::string output = message->format(settings.arguments, &errors, settings.isolation);
    std::vector<MessagePart> parts;
    if (settings.parts) {
        parts = message->formatToParts(settings.arguments, nullptr, settings.isolation);
    }
    std::string out;
    if (settings.json) {
        out = "{\"output\": ";
        appendJsonString(output, out);
        appendErrorsJson(errors, out);
        if (settings.parts) {
            out += ", \"parts\": [";
            for (size_t i = 0; i < parts.size(); ++i) {
                out += i == 0 ? "" : ", ";
                appendPartJson(parts[i], out);
            }
            out += ']';
        }
        out += "}\n";
    } else if (settings.parts) {
        for (const MessagePart& part : parts) {
            appendPartLine(part, out);
        }
    } else {
        out = output + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (!settings.json) {
        for (const MessageError& error : errors) {
            std::fprintf(stderr, "kavrixml message: %s at offset %zu\n", error.name(),
                         error.offset);
        }
    }
    return errors.empty() ? EXIT_OK : EXIT_FAULT;
}

int runMessage(const std::vector<std::string>& args) {
    Settings settings;
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        static const char* const KNOWN[] = {"--locale",    "--bidi-isolation", "--arg",
                                            "--args-json", "--parts",          "--json"};
        bool known = false;
        for (const char* name : KNOWN) {
            known = known || arg == name;
        }
        if (options && arg == "--") {
            options = false;
        } else if (options && known) {
            std::string error;
            if (!takeOption(args, i, settings, error)) {
                return report("message", EXIT_USAGE, "%s", error.c_str());
            }
        } else if (options && isOption(arg)) {
            return unknownOption("message", arg);
        } else if (settings.haveMessage) {
            return report("message", EXIT_USAGE,
                          "expects one MESSAGE (see kavrixml message --help)");
        } else {
            settings.message = arg;
            settings.haveMessage = true;
        }
    }
    if (!settings.haveMessage) {
        return report("message", EXIT_USAGE, "expects MESSAGE (see kavrixml message --help)");
    }
    return formatMessage(settings);
}

const CommandRegistrar kMessage({"message", "format a MessageFormat 2 message with arguments",
                                 MESSAGE_USAGE, &runMessage});

}  // namespace

}  // namespace kavrixml_tool
