// ModelView answers what a tool asks of a message without formatting it:
// the arguments it reads and, for each selector of its .match, the function
// that selects, how it selects and the keys its variants list. Tools read
// these answers rather than the compiled message's own layout.
//
//   message::ModelView view(".input {$n :integer} .match $n one {{a}} * {{b}}");
//   view.arguments();              // {"n"}
//   view.selector(0).select;       // "plural"
//
// Ownership and threads: the view owns the model it parsed; immutable once
// made, so it may be read from many threads.
#ifndef KAVRIXML_I18N_MESSAGEMODELVIEW_H
#define KAVRIXML_I18N_MESSAGEMODELVIEW_H

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "i18n/MessageOutline.h"

namespace kavri {
namespace i18n {
namespace message {

struct Model;

class ModelView {
  public:
    // As the outline gives it.
    using Selector = MessageOutline::Selector;

    // Throws MessageFormatException for a syntax or data model error.
    explicit ModelView(const std::string& text);
    ~ModelView();
    ModelView(const ModelView&) = delete;
    ModelView& operator=(const ModelView&) = delete;

    // The .input declarations and the variables no declaration gives.
    std::set<std::string> arguments() const;
    size_t selectorCount() const;
    Selector selector(size_t index) const;

  private:
    // What a variable's value is as far as selection goes.
    struct Resolved;
    Resolved _resolve(uint32_t variable, size_t depth) const;

    std::unique_ptr<Model> mModel;
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEMODELVIEW_H
