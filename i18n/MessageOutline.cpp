// MessageOutline: arguments and selectors as the message's model view gives them.
#include "i18n/MessageOutline.h"

#include "i18n/MessageModelView.h"

namespace kavri {
namespace i18n {

MessageOutline::MessageOutline(const std::string& text) {
    const message::ModelView view(text);
    mArguments = view.arguments();
    mSelectors.resize(view.selectorCount());
    for (size_t i = 0; i < mSelectors.size(); ++i) {
        message::ModelView::Selector selector = view.selector(i);
        mSelectors[i].variable = std::move(selector.variable);
        mSelectors[i].function = std::move(selector.function);
        mSelectors[i].select = std::move(selector.select);
        mSelectors[i].keys = std::move(selector.keys);
    }
}

}  // namespace i18n
}  // namespace kavri
