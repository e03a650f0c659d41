// Bundle: texts formatted as MessageFormat messages, compiled once per key and text.
#include <utility>

#include "framework/plinth/Logger.h"
#include "i18n/Bundle.h"

namespace kavri {
namespace i18n {

// An entry whose source is no longer the key's text (set anew, or an
// ancestor's or a referenced text changed) is compiled again in its place.
const MessageFormat* Bundle::compileMessage(const std::string& text, const char* key) const {
    auto found = mMessages.find(key);
    if (found != mMessages.end() && found->second.first == text) {
        return found->second.second.get();
    }
    std::unique_ptr<MessageFormat> message;
    try {
        message.reset(new MessageFormat(text, mLanguage.empty() ? "en" : mLanguage));
    } catch (const MessageFormatException& e) {
        logging::Logger::mROOT_LOGGER->warn("Bundle::formatMessage:invalid message %s: %s", key,
                                            e.getMessage());
    }
    auto& entry = mMessages[key];
    entry.first = text;
    entry.second = std::move(message);
    return entry.second.get();
}

const char* Bundle::formatMessage(const char* key, const MessageArguments& arguments,
                                  std::string& out, bool inherit, std::vector<MessageError>* errors,
                                  MessageFormat::BidiIsolation isolation) const {
    out.clear();
    if (key == nullptr) {
        return out.c_str();
    }
    std::string source;
    _resolve(getText(key, inherit), source, inherit);
    const MessageFormat* message = compileMessage(source, key);
    if (message == nullptr) {
        out.assign(key);
        return out.c_str();
    }
    std::vector<MessageError> ignored;
    message->format(arguments, out, errors != nullptr ? *errors : ignored, isolation);
    return out.c_str();
}

}  // namespace i18n
}  // namespace kavri
