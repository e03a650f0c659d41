#include "i18n/MessageValue.h"

namespace kavri {
namespace i18n {
namespace message {

// A value that holds its text must point into its own copy after a copy or
// a move; one that points elsewhere keeps pointing there.
MessageValue& MessageValue::operator=(const MessageValue& other) {
    if (this != &other) {
        function = other.function;
        number = other.number;
        options = other.options;
        numberFormat = other.numberFormat;
        selectable = other.selectable;
        custom = other.custom;
        applicationName = other.applicationName;
        direction = other.direction;
        isolate = other.isolate;
        dirName = other.dirName;
        id = other.id;
        mKind = other.mKind;
        mOwned = other.mOwned;
        const bool owned = other.mText == other.mOwned.data();
        mText = owned ? mOwned.data() : other.mText;
        mLength = other.mLength;
    }
    return *this;
}

MessageValue& MessageValue::operator=(MessageValue&& other) noexcept {
    if (this != &other) {
        function = other.function;
        number = std::move(other.number);
        options = other.options;
        numberFormat = other.numberFormat;
        selectable = other.selectable;
        custom = std::move(other.custom);
        applicationName = other.applicationName;
        direction = other.direction;
        isolate = other.isolate;
        dirName = other.dirName;
        id = std::move(other.id);
        mKind = other.mKind;
        const bool owned = other.mText == other.mOwned.data();
        mOwned = std::move(other.mOwned);
        mText = owned ? mOwned.data() : other.mText;
        mLength = other.mLength;
    }
    return *this;
}

}  // namespace message
}  // namespace i18n
}  // namespace kavri
