// MessageOutline: arguments and selectors as the message's model view gives them.
#include "i18n/MessageOutline.h"

#include "i18n/MessageModelView.h"

namespace kavri {
namespace i18n {

MessageOutline::MessageOutline(const std::string& text) {
    const message::ModelView view(text);
    mArguments = view.arguments();
    mSelectors.reserve(view.selectorCount());
    for (size_t i = 0; i < view.selectorCount(); ++i) {
        mSelectors.push_back(view.selector(i));
    }
}

}  // namespace i18n
}  // namespace kavri
