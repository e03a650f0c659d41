// Bundle: texts, the child tree, look-ups, references and formatting. The
// file loaders are in BundleLoader.cpp.
#include "i18n/Bundle.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/SystemInfo.h"
#include "framework/plinth/Logger.h"

#include "i18n/VarArgs.h"

namespace kavri {
namespace i18n {

namespace {

char* copyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

Bundle::Bundle(const char* name, const char* path)
    : mTexts(false, nullptr),
      mChildIndex(false, nullptr),
      mParent(nullptr),
      mName(name),
      mPath(path) {
    setLanguage(platform::SystemInfo::getLanguageCode());
    const char* extension = platform::FileOperations::getExtension(mPath.c_str());
    if (extension == nullptr || *extension == '\0') {
        mPath += ".xml";
    }
}

Bundle::~Bundle() {
    clear();
    mChildIndex.clear();
    // Children that others still hold live on, parentless.
    while (!mChildren.empty()) {
        mChildren.front()->mParent = nullptr;
        mChildren.erase(mChildren.begin());
    }
}

// --- Tree -------------------------------------------------------------------

Bundle* Bundle::getChild(const char* name, bool deep) {
    return const_cast<Bundle*>(static_cast<const Bundle*>(this)->getChild(name, deep));
}

const Bundle* Bundle::getChild(const char* name, bool deep) const {
    if (!deep) {
        return mChildIndex.get(name);
    }
    for (const auto& entry : mChildIndex) {
        const Bundle* child = entry.second;
        const Bundle* grandchild = child->mChildIndex.get(name);
        if (grandchild != nullptr) {
            return grandchild;
        }
        if (child->mName == name) {
            return child;
        }
    }
    return nullptr;
}

bool Bundle::isAncestorOrSelf(const Bundle* bundle) const {
    for (const Bundle* b = this; b != nullptr; b = b->mParent) {
        if (b == bundle) {
            return true;
        }
    }
    return false;
}

void Bundle::addChild(Bundle* child) {
    // A bundle below itself would be a cycle that no count could free.
    if (child == nullptr || child->mParent == this || isAncestorOrSelf(child)) {
        return;
    }
    // What can fail comes first (the list, then the index, which gives the
    // list's entry back when it fails); leaving the old parent cannot fail.
    mChildren.push_back(child);
    try {
        mChildIndex.put(child->getName(), child);
    } catch (...) {
        mChildren.pop_back();
        throw;
    }
    if (child->mParent != nullptr) {
        child->mParent->removeChild(child, false);
    }
    child->mParent = this;
    if (child->mLanguage != mLanguage) {
        logging::Logger::mROOT_LOGGER->warn(
            "Bundle::addChild:adding bundle in different language: %s!=%s", child->getLanguage(),
            getLanguage());
    }
}

bool Bundle::removeChild(Bundle* child, bool deep) {
    for (auto it = mChildren.begin(); it != mChildren.end(); ++it) {
        Bundle* entry = *it;
        if (entry == child) {
            child->mParent = nullptr;
            // A later sibling of the same name may own the index entry; it
            // stays findable.
            if (mChildIndex.get(child->getName()) == child) {
                mChildIndex.remove(child->getName());
            }
            mChildren.erase(it);
            return true;
        }
        if (deep && entry->removeChild(child, deep)) {
            return true;
        }
    }
    return false;
}

void Bundle::setLanguage(const char* code) {
    if (code == nullptr || mLanguage == code) {
        return;
    }
    mLanguage = code;
    mMessages.clear();
    mPluralRules[0] = nullptr;
    mPluralRules[1] = nullptr;
    for (const auto& child : mChildren) {
        child->setLanguage(code);
    }
}

void Bundle::clear() {
    // The map does not own the texts: free them, then drop the entries.
    for (const auto& entry : mTexts) {
        delete[] entry.second;
    }
    mTexts.clear();
    mTextIndex.clear();
    mMessages.clear();
    mExactForms = 0;
    for (const auto& child : mChildren) {
        child->clear();
    }
}

// --- Texts ------------------------------------------------------------------

void Bundle::storeText(const char* key, const char* text) {
    // The copy belongs to this function until both maps hold it.
    std::unique_ptr<char[]> copy(copyText(text));
    auto indexed = mTextIndex.find(std::string_view(key));
    if (indexed != mTextIndex.end()) {
        const char* old = indexed->second;
        mTexts.put(key, copy.get());  // an existing key: only the value changes
        indexed->second = copy.release();
        delete[] old;
        return;
    }
    mTexts.put(key, copy.get());
    // The text map and its index must agree: when the index cannot take the
    // key, the text map gives it back.
    try {
        mTextIndex.emplace(std::string_view(mTexts.find(key)->first), copy.get());
    } catch (...) {
        mTexts.remove(key);
        throw;
    }
    copy.release();
    if (std::strstr(key, "_=") != nullptr) {
        ++mExactForms;
    }
}

void Bundle::setText(const char* key, const char* text) {
    if (key == nullptr || text == nullptr) {
        return;
    }
    storeText(key, text);
}

const char* Bundle::getText(const char* key, bool inherit) const {
    if (key == nullptr) {
        return nullptr;
    }
    for (const Bundle* bundle = this; bundle != nullptr; bundle = bundle->mParent) {
        const char* text = bundle->findText(key);
        if (text != nullptr) {
            return text;
        }
        if (!inherit) {
            break;
        }
    }
    return key;
}

const char* Bundle::operator[](const char* key) const {
    const char* text = findText(key);
    return text != nullptr ? text : key;
}

const char* Bundle::parametrize(const char* format, std::string& out, va_list args) {
    // Without a conversion the formatter would copy the text as it is.
    if (std::strchr(format, '%') == nullptr) {
        out.assign(format);
        return out.c_str();
    }
    // Most results fit here, which saves the measuring pass.
    char small[256];
    va_list first;
    va_copy(first, args);
    int length = std::vsnprintf(small, sizeof small, format, first);
    va_end(first);
    if (length <= 0) {
        out.clear();
        return out.c_str();
    }
    if (static_cast<size_t>(length) < sizeof small) {
        out.assign(small, static_cast<size_t>(length));
        return out.c_str();
    }
    out.resize(static_cast<size_t>(length));
    va_list write;
    va_copy(write, args);
    std::vsnprintf(&out[0], out.size() + 1, format, write);
    va_end(write);
    return out.c_str();
}

const char* Bundle::vgetText(const char* key, std::string& out, bool inherit, va_list args) const {
    const char* text = getText(key, inherit);
    out.clear();
    if (text != nullptr && *text != '\0') {
        parametrize(text, out, args);
    }
    return out.c_str();
}

const char* Bundle::getText(const char* key, std::string& out, bool inherit, ...) const {
    va_list args;
    KAVRIXML_VA_START(args, inherit);
    vgetText(key, out, inherit, args);
    va_end(args);
    return out.c_str();
}

bool Bundle::needsResolving(const char* text) {
    return text != nullptr && std::strstr(text, "${") != nullptr;
}

bool Bundle::findReference(const char* from, Reference& reference) {
    for (const char* open = std::strstr(from, "${"); open != nullptr;
         open = std::strstr(open + 2, "${")) {
        const char* name = open + 2;
        const char* close = std::strchr(name, '}');
        if (close == nullptr) {
            return false;  // no "}" further on: every later "${" is plain text too
        }
        size_t length = static_cast<size_t>(close - name);
        if (length >= 1 && length <= MAX_REFERENCE_NAME) {
            reference.begin = open;
            reference.name = name;
            reference.nameLength = length;
            reference.end = close + 1;
            return true;
        }
    }
    return false;
}

const char* Bundle::_resolve(const char* text, std::string& out, bool inherit) const {
    out.clear();
    const char* scan = text;
    Reference reference;
    while (findReference(scan, reference)) {
        out.append(scan, reference.begin);
        char name[MAX_REFERENCE_NAME + 1];
        std::memcpy(name, reference.name, reference.nameLength);
        name[reference.nameLength] = '\0';
        const char* found = findText(name);
        if (found == nullptr) {
            found = (inherit && mParent != nullptr) ? mParent->getText(name, inherit) : name;
        }
        out.append(found);
        scan = reference.end;
    }
    out.append(scan);
    return out.c_str();
}

const char* Bundle::vresolve(const char* text, std::string& out, bool inherit, va_list args) const {
    _resolve(text, out, inherit);
    // A text without '%' formats to itself: no second copy for it.
    if (!out.empty() && out.find('%') != std::string::npos) {
        std::string formatted;
        parametrize(out.c_str(), formatted, args);
        out.swap(formatted);
    }
    return out.c_str();
}

const char* Bundle::resolve(const char* text, std::string& out, bool inherit, ...) const {
    va_list args;
    KAVRIXML_VA_START(args, inherit);
    vresolve(text, out, inherit, args);
    va_end(args);
    return out.c_str();
}

}  // namespace i18n
}  // namespace kavri
