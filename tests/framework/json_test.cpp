#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"

using kavri::json::JSObject;
using kavri::stream::MemoryInputStream;
using Root = core::SmartPtr<JSObject>;

namespace {

Root parse(const std::string& text) {
    MemoryInputStream in(text);
    return Root(JSObject::parse(&in));
}

std::string failure(const std::string& text) {
    try {
        parse(text);
    } catch (const core::Exception& e) {
        return e.getMessage();
    }
    return "no exception";
}

// "key=text" of each member, with "?" for values that are no strings.
std::vector<std::string> members(const JSObject* object) {
    std::vector<std::string> out;
    for (JSObject::JSIterator it = object->begin(); it.isValid(); ++it) {
        out.push_back(std::string(it.getKey()) + "=" + it.getValue()->asString("?"));
    }
    return out;
}

}  // namespace

TEST(JSObject, ParsesMembersInFileOrder) {
    Root root = parse(
        " {\"zeta\": \"last letter\", \"alpha\": \"first\", \"n\": 42,\n"
        "  \"list\": [1, \"two\"], \"flag\": true, \"none\": null, \"obj\": {}} ");
    EXPECT_EQ(JSObject::OBJECT, root->getValueType());
    EXPECT_EQ(7u, root->size());
    EXPECT_EQ((std::vector<std::string>{"zeta=last letter", "alpha=first", "n=?", "list=?",
                                        "flag=?", "none=?", "obj=?"}),
              members(root));
    EXPECT_EQ(JSObject::NUMBER, root->get("n")->getValueType());
    EXPECT_EQ(JSObject::ARRAY, root->get("list")->getValueType());
    EXPECT_EQ(JSObject::BOOLEAN, root->get("flag")->getValueType());
    EXPECT_EQ(JSObject::NULLVALUE, root->get("none")->getValueType());
    EXPECT_EQ(JSObject::OBJECT, root->get("obj")->getValueType());
    EXPECT_EQ(nullptr, root->get("missing"));
    EXPECT_EQ(nullptr, root->get(nullptr));
    EXPECT_EQ(root->get("alpha"), root->get("alpha"));  // the same wrapper, not a copy
    EXPECT_EQ(
        "{\"zeta\":\"last letter\",\"alpha\":\"first\",\"n\":42,\"list\":[1,\"two\"],"
        "\"flag\":true,\"none\":null,\"obj\":{}}",
        root->toJSON());
}

TEST(JSObject, AsStringGivesTextOnlyForStrings) {
    Root root = parse("{\"s\":\"\",\"n\":1,\"b\":false,\"z\":null,\"a\":[],\"o\":{}}");
    EXPECT_STREQ("", root->get("s")->asString("fallback"));
    for (const char* key : {"n", "b", "z", "a", "o"}) {
        EXPECT_STREQ("fallback", root->get(key)->asString("fallback")) << key;
        EXPECT_EQ(nullptr, root->get(key)->asString(nullptr)) << key;
    }
    EXPECT_STREQ("fb", root->asString("fb"));
}

TEST(JSObject, DecodesEscapesAndSurrogatePairs) {
    Root root = parse(R"({"esc":"q\"b\\s\/n\nt\tr\rb\bf\f","u":"\u00e9\u20AC",)"
                      R"("pair":"\ud83d\ude00","nul":"a\u0000b","raw":"\u00e9 é"})");
    EXPECT_STREQ("q\"b\\s/n\nt\tr\rb\bf\f", root->get("esc")->asString(nullptr));
    EXPECT_STREQ("\xC3\xA9\xE2\x82\xAC", root->get("u")->asString(nullptr));
    EXPECT_STREQ("\xF0\x9F\x98\x80", root->get("pair")->asString(nullptr));
    EXPECT_EQ(R"("a\u0000b")", root->get("nul")->toJSON());
    EXPECT_STREQ("\xC3\xA9 \xC3\xA9", root->get("raw")->asString(nullptr));
}

TEST(JSObject, NestedObjectsAndArraysIterate) {
    Root root = parse(R"({"menu":{"file":{"open":"Open","close":"Close"},"edit":"Edit"},)"
                      R"("items":["a",{"k":"v"},3]})");
    const JSObject* menu = root->get("menu");
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ((std::vector<std::string>{"open=Open", "close=Close"}), members(menu->get("file")));
    EXPECT_EQ((std::vector<std::string>{"=a", "=?", "=?"}), members(root->get("items")));

    JSObject::JSIterator it = root->get("items")->begin();
    ++it;
    EXPECT_STREQ("v", it.getValue()->get("k")->asString(nullptr));
    JSObject::JSIterator copy = it;
    ++it;
    ++it;
    EXPECT_FALSE(it.isValid());
    EXPECT_EQ(nullptr, it.getKey());
    ++it;  // stays ended
    EXPECT_EQ(nullptr, it.getValue());
    EXPECT_STREQ("", copy.getKey());
    EXPECT_EQ(JSObject::OBJECT, copy.getValue()->getValueType());
    copy = it;
    EXPECT_FALSE(copy.isValid());

    // A value lives on while someone holds it, even after its root is gone.
    Root kept(const_cast<JSObject*>(menu->get("file")));
    root = nullptr;
    EXPECT_STREQ("Close", kept->get("close")->asString(nullptr));
}

TEST(JSObject, TopLevelMayBeAnyValueAfterAByteOrderMark) {
    // A repeated key keeps the last value at the first place.
    EXPECT_EQ((std::vector<std::string>{"a=3", "b=2"}),
              members(parse(R"({"a":"1","b":"2","a":"3"})")));
    // Editors on some systems start UTF-8 files with a byte-order mark.
    EXPECT_EQ((std::vector<std::string>{"k=v"}), members(parse("\xEF\xBB\xBF{\"k\":\"v\"}")));

    Root array = parse("[\"x\", \"y\"]");
    EXPECT_EQ(JSObject::ARRAY, array->getValueType());
    EXPECT_EQ(nullptr, array->get("0"));
    EXPECT_EQ((std::vector<std::string>{"=x", "=y"}), members(array));
    Root text = parse("\"just text\"");
    EXPECT_STREQ("just text", text->asString(nullptr));
    EXPECT_EQ(0u, text->size());
    EXPECT_FALSE(text->begin().isValid());
    EXPECT_EQ("-1500.0", parse(" -1.5e3 ")->toJSON());
}

TEST(JSObject, BadInputThrowsCoreExceptionWithTheReason) {
    EXPECT_EQ("Invalid JSON: empty input", failure(""));
    EXPECT_EQ(
        "Invalid JSON at byte 7, line 1, column 7: syntax error while parsing object - "
        "unexpected end of input; expected '}'",
        failure("{\"a\":1"));
    EXPECT_EQ(
        "Invalid JSON at byte 9, line 2, column 3: syntax error while parsing value - "
        "invalid literal; last read: '\"a\":<U+000A>  x'",
        failure("{\"a\":\n  x}"));
    const char* bad[] = {"   ",         "{",           "{\"a\"}",     "{\"a\":}",
                         "{'a':1}",     "[1,]",        "{\"a\":1,}",  "nul",
                         "01",          "\"\\x\"",     "\"\\ud800\"", "\"a\nb\"",
                         "{\"a\":1} x", "\"\xC3\"",    "\"\xFF\"",    "\"\xED\xA0\x80\"",
                         "1e99999",     "{\"a\":1}{}", "\xEF\xBB"};
    for (const char* text : bad) {
        std::string why = failure(text);
        EXPECT_EQ(0u, why.find("Invalid JSON")) << text << " -> " << why;
    }
    EXPECT_THROW(JSObject::parse(static_cast<kavri::stream::InputStream*>(nullptr)),
                 core::Exception);
}

TEST(JSObject, BuildsObjectsWithSet) {
    Root root(new JSObject(JSObject::OBJECT));
    EXPECT_EQ(0u, root->size());
    EXPECT_EQ("{}", root->toJSON());
    EXPECT_FALSE(root->begin().isValid());
    root->set("b", "2");
    root->set("a", "x\"y");
    const JSObject* first = root->get("b");
    for (int i = 0; i < 100; ++i) {  // grows the member storage several times
        root->set(("k" + std::to_string(i)).c_str(), "v");
    }
    EXPECT_STREQ("2", first->asString(nullptr));
    root->set("b", "replaced");
    EXPECT_STREQ("2", first->asString(nullptr));  // handed-out values do not change under you
    EXPECT_STREQ("replaced", root->get("b")->asString(nullptr));
    root->set("a", "x\"z");  // a member no value was handed out for, beside one that was
    EXPECT_EQ(102u, root->size());
    EXPECT_EQ(0u, root->toJSON().find("{\"b\":\"replaced\",\"a\":\"x\\\"z\",\"k0\":\"v\""));

    // Bytes that are no UTF-8 come out replaced rather than failing the dump.
    JSObject raw;
    raw.set("bad",
            "a\xFF"
            "b");
    EXPECT_EQ(
        "{\"bad\":\"a\xEF\xBF\xBD"
        "b\"}",
        raw.toJSON());

    JSObject array(JSObject::ARRAY);
    EXPECT_THROW(array.set("k", "v"), core::Exception);
    EXPECT_EQ("[]", array.toJSON());
    EXPECT_EQ("null", JSObject(JSObject::NULLVALUE).toJSON());
    EXPECT_EQ("\"\"", JSObject(JSObject::STRING).toJSON());
}

TEST(JSObject, HostileNestingFailsCleanly) {
    const char* kTooDeep = "Invalid JSON: nested deeper than 1000 levels";
    const size_t kDepth = 1000000;
    std::string arrays(kDepth, '[');
    arrays.append(kDepth, ']');
    EXPECT_EQ(kTooDeep, failure(arrays));

    std::string objects;
    for (size_t i = 0; i < kDepth; ++i) {
        objects += "{\"a\":";
    }
    objects += "1";
    objects.append(kDepth, '}');
    EXPECT_EQ(kTooDeep, failure(objects));
    EXPECT_EQ(kTooDeep, failure(std::string(kDepth, '[')));  // never closed

    // 1000 levels parse, and write back out (which recurses per level).
    std::string limit(1000, '[');
    limit.append(1000, ']');
    Root root = parse(limit);
    EXPECT_EQ(limit, root->toJSON());
    EXPECT_EQ(kTooDeep, failure("[" + limit + "]"));
}
