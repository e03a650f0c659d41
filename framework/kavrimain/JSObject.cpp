#include "framework/kavrimain/JSObject.h"

#include <cstring>
#include <nlohmann/json.hpp>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "framework/kavrimain/InputStream.h"
#include "framework/plinth/Exception.h"

namespace kavri {
namespace json {

namespace {

using Json = nlohmann::ordered_json;

// Deeper texts are refused while parsing. The parser and the destructor of
// the JSON library work without recursion, but writing a value back out
// (toJSON) recurses once per level; this bound keeps that well inside any
// thread's stack. Real documents (bundles, settings) nest a few levels.
const int kMaxDepth = 1000;

// A wrapper held by its parent: one counted reference, given back (and the
// wrapper disposed of when it was the last) when the parent lets go.
struct GiveBack {
    void operator()(::core::IRefCount* object) const {
        if (object->decRef() == 0) {
            ::core::IRefCount::dispose(object);
        }
    }
};

// Members of an object are a vector of pairs (ordered_json).
using Members = Json::object_t::Container;

bool hasElements(const Json& value) {
    if (const Json::array_t* array = value.get_ptr<const Json::array_t*>()) {
        return !array->empty();
    }
    if (const Json::object_t* object = value.get_ptr<const Json::object_t*>()) {
        return !object->empty();
    }
    return false;
}

// The last element or member value of a container that has one.
Json& lastElement(Json& container) {
    if (Json::array_t* array = container.get_ptr<Json::array_t*>()) {
        return array->back();
    }
    return container.get_ptr<Json::object_t*>()->back().second;
}

void removeLast(Json& container) noexcept {
    if (Json::array_t* array = container.get_ptr<Json::array_t*>()) {
        array->pop_back();
    } else {
        container.get_ptr<Json::object_t*>()->pop_back();
    }
}

// Empties `value` and every container below it, deepest first, without
// allocating. The JSON library's own destructor flattens a container into a
// work list that it allocates, and a destructor cannot report that such an
// allocation failed: the process would end. Emptied here first, every
// container it destroys is empty and needs no list. The path down is kept
// on the stack; trees are at most kMaxDepth deep (parse refuses deeper ones,
// set adds strings only), and below a full path the walk starts again from
// its last entry, which costs time but no memory.
void dismantle(Json& value) noexcept {
    const size_t kPathLength = kMaxDepth + 1;
    Json* path[kPathLength];
    size_t depth = 0;
    if (hasElements(value)) {
        path[depth++] = &value;
    }
    while (depth > 0) {
        Json& top = *path[depth - 1];
        if (!hasElements(top)) {
            --depth;
            continue;
        }
        Json& last = lastElement(top);
        if (!hasElements(last)) {
            removeLast(top);  // a scalar or an empty container
        } else if (depth < kPathLength) {
            path[depth++] = &last;
        } else {
            Json* container = &last;
            while (hasElements(lastElement(*container))) {
                container = &lastElement(*container);
            }
            removeLast(*container);
        }
    }
}

// The parsed tree, shared by the wrapper of its root and every wrapper of a
// value inside it.
struct Tree {
    Json root;
    // Values that set() replaced while wrappers still pointed at them: kept
    // until the tree goes, so that those wrappers stay valid.
    std::vector<std::unique_ptr<Json>> retired;

    Tree() = default;
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    ~Tree() {
        dismantle(root);
        for (const std::unique_ptr<Json>& value : retired) {
            dismantle(*value);
        }
    }
};

// Makes room for one more element, so that the push_back after it cannot fail.
template <class Vector>
void reserveOneMore(Vector& vector) {
    if (vector.size() == vector.capacity()) {
        vector.reserve(vector.empty() ? 4 : 2 * vector.size());
    }
}

// Makes room for one more member. A vector of members grows by copying
// (their keys are const), and copies of containers, and the destruction of
// the originals, would allocate: here the keys are copied and the values
// moved, and a failed copy moves them back.
void reserveOneMore(Members& members) {
    if (members.size() < members.capacity()) {
        return;
    }
    Members grown;
    grown.reserve(members.empty() ? 4 : 2 * members.size());
    try {
        for (auto& member : members) {
            grown.emplace_back(std::piecewise_construct, std::forward_as_tuple(member.first),
                               std::forward_as_tuple(std::move(member.second)));
        }
    } catch (...) {
        for (size_t i = 0; i < grown.size(); ++i) {
            members[i].second = std::move(grown[i].second);
        }
        throw;
    }
    members.swap(grown);
}

// nlohmann's messages start with "[json.exception.parse_error.101] "; the
// rest is the reason, with line and column.
const char* reasonOf(const nlohmann::json::exception& error) {
    const char* text = error.what();
    if (text[0] == '[') {
        const char* end = std::strstr(text, "] ");
        if (end != nullptr) {
            return end + 2;
        }
    }
    return text;
}

// "parse error at line 1, column 7: syntax error ..." becomes
// ", line 1, column 7: syntax error ...", to follow the byte offset.
std::string positionAndReason(const nlohmann::json::parse_error& error) {
    static const char kAt[] = "parse error at ";
    static const char kPlain[] = "parse error: ";
    const char* reason = reasonOf(error);
    if (std::strncmp(reason, kAt, sizeof kAt - 1) == 0) {
        return std::string(", ") + (reason + sizeof kAt - 1);
    }
    if (std::strncmp(reason, kPlain, sizeof kPlain - 1) == 0) {
        return std::string(": ") + (reason + sizeof kPlain - 1);
    }
    return std::string(": ") + reason;
}

// Builds the tree from the JSON library's parse events. The library's own
// builder finds each key of an ordered object by a linear search, so that an
// object of n members costs n * n / 2 comparisons: minutes for a bundle of
// 100,000 texts. Here every open object keeps a hash index of its keys. A key
// given twice keeps its first place and its last value, as with the library.
class TreeBuilder {
  public:
    explicit TreeBuilder(Json& root) : mRoot(root) {}
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;
    // A parse that failed leaves the members of its open objects here.
    ~TreeBuilder() {
        for (Level& level : mOpen) {
            for (auto& member : level.members) {
                dismantle(member.second);
            }
        }
    }

    bool null() { return scalar(Json(nullptr)); }
    bool boolean(bool value) { return scalar(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return scalar(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return scalar(Json(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t&) {
        return scalar(Json(value));
    }
    bool string(Json::string_t& value) { return scalar(Json(std::move(value))); }
    bool binary(Json::binary_t&) { return scalar(Json(nullptr)); }  // not in JSON text

    bool start_object(std::size_t) { return open(Json::object()); }
    bool start_array(std::size_t) { return open(Json::array()); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(Json::string_t& name) {
        Level& level = mOpen.back();
        auto found = level.keys.find(name);
        if (found != level.keys.end()) {
            mSlot = &level.members[found->second].second;
        } else {
            level.members.emplace_back(std::move(name), nullptr);
            level.keys.emplace(level.members.back().first, level.members.size() - 1);
            mSlot = &level.members.back().second;
        }
        return true;
    }

    // The library hands over its exception; thrown by its own type, so that
    // parse can tell a syntax error from the other failures.
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& error) {
        if (error.id / 100 == 1) {
            throw static_cast<const nlohmann::json::parse_error&>(error);
        }
        throw error;
    }

  private:
    // An open container. The members of an object are collected apart, in
    // pairs whose moves cannot fail, and given to the object when it closes
    // (a vector of the object's own pairs would copy them as it grows).
    struct Level {
        Json* value;
        std::unordered_map<std::string, std::size_t> keys;  // objects only
        std::vector<std::pair<std::string, Json>> members;  // objects only
    };

    bool scalar(Json value) {
        put(std::move(value));
        return true;
    }
    // The value's place: the root, the end of the open array, or the slot
    // that the last key made in the open object.
    Json* put(Json value) {
        Json* slot = nullptr;
        if (mOpen.empty()) {
            slot = &mRoot;
        } else if (mOpen.back().value->is_array()) {
            Json::array_t& elements = *mOpen.back().value->get_ptr<Json::array_t*>();
            elements.push_back(nullptr);
            slot = &elements.back();
        } else {
            slot = mSlot;
        }
        dismantle(*slot);  // the value of a key given before goes without allocating
        *slot = std::move(value);
        return slot;
    }
    bool open(Json container) {
        if (mOpen.size() >= static_cast<std::size_t>(kMaxDepth)) {
            throw ::core::Exception("Invalid JSON: nested deeper than %d levels", kMaxDepth);
        }
        // A container's place stays put while it is open: its parent grows
        // only after it has been closed.
        Json* slot = put(std::move(container));
        mOpen.push_back(Level{slot, {}, {}});
        return true;
    }
    bool close() {
        Level& level = mOpen.back();
        if (level.value->is_object()) {
            Members members;
            members.reserve(level.members.size());
            for (auto& member : level.members) {
                members.emplace_back(std::move(member.first), std::move(member.second));
            }
            level.value->get_ptr<Json::object_t*>()->swap(members);
        }
        mOpen.pop_back();
        return true;
    }

    Json& mRoot;
    std::vector<Level> mOpen;
    Json* mSlot = nullptr;
};

}  // namespace

struct JSObject::Impl {
    std::shared_ptr<Tree> tree;
    Json* node;
    // Wrappers of the members (or elements), by index, made on first use and
    // kept while this object lives, so that get() and the iterator hand out
    // the same wrapper and never copy a subtree.
    std::vector<std::unique_ptr<JSObject, GiveBack>> children;
    std::vector<std::unique_ptr<JSObject, GiveBack>> retiredChildren;
    // Positions of an object's members by key, made on the first look-up by
    // key, so that building an object with set() costs linear time.
    std::unordered_map<std::string, size_t> keys;
    bool keysReady = false;

    Impl(std::shared_ptr<Tree> t, Json* n) : tree(std::move(t)), node(n) {}

    // The position of the member `name`, or -1 (this must be an object).
    size_t find(const std::string& name) {
        const Members& object = *members();
        if (!keysReady) {
            for (size_t i = 0; i < object.size(); ++i) {
                keys.emplace(object[i].first, i);
            }
            keysReady = true;
        }
        auto found = keys.find(name);
        return found != keys.end() ? found->second : static_cast<size_t>(-1);
    }
    // What can fail comes first (the value, the room, the key's index
    // entry); the member is then added by moves that cannot fail.
    void append(std::string name, std::string text) {
        Members& object = *members();
        Json value(std::move(text));
        const void* before = object.data();
        reserveOneMore(object);
        if (object.data() != before) {
            repointChildren();
        }
        if (keysReady) {
            keys.emplace(name, object.size());
        }
        object.emplace_back(std::move(name), std::move(value));
    }

    // The index of a member never changes: members are only ever appended.
    Members* members() const {
        return node->is_object() ? node->get_ptr<Json::object_t*>() : nullptr;
    }
    Json::array_t* elements() const {
        return node->is_array() ? node->get_ptr<Json::array_t*>() : nullptr;
    }
    size_t count() const {
        if (const Members* object = members()) {
            return object->size();
        }
        if (const Json::array_t* array = elements()) {
            return array->size();
        }
        return 0;
    }
    Json* valueAt(size_t index) const {
        if (Members* object = members()) {
            return &(*object)[index].second;
        }
        return &(*elements())[index];
    }
    const char* keyAt(size_t index) const {
        Members* object = members();
        return object != nullptr ? (*object)[index].first.c_str() : "";
    }

    JSObject* child(size_t index) {
        if (index >= count()) {
            return nullptr;
        }
        if (children.size() <= index) {
            children.resize(count());
        }
        if (!children[index]) {
            children[index].reset(new JSObject(std::make_shared<Impl>(tree, valueAt(index))));
            children[index]->addRef();
        }
        return children[index].get();
    }

    // A wrapper already handed out for the old value stays valid and keeps
    // showing it: the old value moves to the tree's retired values, the
    // wrapper to this object's retired children, and get() makes a new
    // wrapper for the new value.
    // Everything that allocates comes before the first change.
    void replaceMember(size_t index, std::string text) {
        Json& slot = (*members())[index].second;
        Json value(std::move(text));
        if (index < children.size() && children[index]) {
            auto retired = std::make_unique<Json>();
            reserveOneMore(tree->retired);
            reserveOneMore(retiredChildren);
            retired->swap(slot);
            children[index]->mImpl->node = retired.get();
            tree->retired.push_back(std::move(retired));
            retiredChildren.push_back(std::move(children[index]));
            children[index] = nullptr;
        } else {
            dismantle(slot);  // the old value goes without allocating
        }
        slot.swap(value);
    }

    // Adding a member may move the member values in memory: the wrappers
    // already handed out follow them.
    void repointChildren() {
        for (size_t i = 0; i < children.size(); ++i) {
            if (children[i]) {
                children[i]->mImpl->node = valueAt(i);
            }
        }
    }
};

struct JSObject::JSIterator::State {
    const JSObject* parent;
    size_t index;
    const JSObject* current;  // held by the parent

    void load() { current = parent != nullptr ? parent->mImpl->child(index) : nullptr; }
};

JSObject::JSIterator::JSIterator(std::unique_ptr<State> state) : mState(std::move(state)) {}

JSObject::JSIterator::JSIterator(const JSIterator& other)
    : mState(std::make_unique<State>(*other.mState)) {}

JSObject::JSIterator& JSObject::JSIterator::operator=(const JSIterator& other) {
    if (this != &other) {
        mState = std::make_unique<State>(*other.mState);
    }
    return *this;
}

JSObject::JSIterator::~JSIterator() = default;

const char* JSObject::JSIterator::getKey() const {
    if (!mState->current) {
        return nullptr;
    }
    return mState->parent->mImpl->keyAt(mState->index);
}

const JSObject* JSObject::JSIterator::getValue() const {
    return mState->current;
}

JSObject::JSIterator& JSObject::JSIterator::operator++() {
    if (mState->current) {
        ++mState->index;
        mState->load();
    }
    return *this;
}

JSObject::JSObject(Type type) {
    auto tree = std::make_shared<Tree>();
    switch (type) {
        case OBJECT:
            tree->root = Json::object();
            break;
        case ARRAY:
            tree->root = Json::array();
            break;
        case STRING:
            tree->root = "";
            break;
        case NUMBER:
            tree->root = 0;
            break;
        case BOOLEAN:
            tree->root = false;
            break;
        case NULLVALUE:
            break;
    }
    Json* root = &tree->root;
    mImpl = std::make_shared<Impl>(std::move(tree), root);
}

JSObject::JSObject(std::shared_ptr<Impl> impl) : mImpl(std::move(impl)) {}

JSObject::~JSObject() = default;

JSObject* JSObject::parse(stream::InputStream* stream) {
    if (stream == nullptr) {
        throw ::core::Exception("Invalid JSON: no input stream");
    }
    std::string text;
    stream->readAll(text);
    return parse(text);
}

JSObject* JSObject::parse(const std::string& text) {
    if (text.empty()) {
        throw ::core::Exception("Invalid JSON: empty input");
    }
    auto tree = std::make_shared<Tree>();
    TreeBuilder builder(tree->root);
    try {
        Json::sax_parse(text.begin(), text.end(), &builder);
    } catch (const nlohmann::json::parse_error& error) {
        throw ::core::Exception("Invalid JSON at byte %zu%s", error.byte,
                                positionAndReason(error).c_str());
    } catch (const nlohmann::json::exception& error) {
        throw ::core::Exception("Invalid JSON: %s", reasonOf(error));
    }
    Json* root = &tree->root;
    return new JSObject(std::make_shared<Impl>(std::move(tree), root));
}

JSObject::Type JSObject::getValueType() const {
    switch (mImpl->node->type()) {
        case nlohmann::json::value_t::object:
            return OBJECT;
        case nlohmann::json::value_t::array:
            return ARRAY;
        case nlohmann::json::value_t::string:
            return STRING;
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return NUMBER;
        case nlohmann::json::value_t::boolean:
            return BOOLEAN;
        default:
            return NULLVALUE;
    }
}

void JSObject::set(const char* key, const char* value) {
    Members* object = mImpl->members();
    if (object == nullptr) {
        throw ::core::Exception("Cannot set member %s: the JSON value is no object",
                                key != nullptr ? key : "");
    }
    std::string name = key != nullptr ? key : "";
    std::string text = value != nullptr ? value : "";
    size_t index = mImpl->find(name);
    if (index != static_cast<size_t>(-1)) {
        mImpl->replaceMember(index, std::move(text));
    } else {
        mImpl->append(std::move(name), std::move(text));
    }
}

unsigned JSObject::size() const {
    return static_cast<unsigned>(mImpl->count());
}

const JSObject* JSObject::get(const char* key) const {
    const Members* object = mImpl->members();
    if (object == nullptr || key == nullptr) {
        return nullptr;
    }
    size_t index = mImpl->find(key);
    return index != static_cast<size_t>(-1) ? mImpl->child(index) : nullptr;
}

JSObject::JSIterator JSObject::begin() const {
    auto state = std::make_unique<JSIterator::State>();
    state->parent = this;
    state->index = 0;
    state->load();
    return JSIterator(std::move(state));
}

const char* JSObject::asString(const char* fallback) const {
    const std::string* text = mImpl->node->get_ptr<const std::string*>();
    return text != nullptr ? text->c_str() : fallback;
}

std::string JSObject::toJSON() const {
    // Strings set by callers may hold bytes that are no UTF-8; they come out
    // as U+FFFD instead of failing the whole dump.
    return mImpl->node->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace json
}  // namespace kavri
