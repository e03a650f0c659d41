#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/kavrimain/LexerException.h"
#include "framework/plinth/Exception.h"

using kavri::parser::LexerException;

TEST(Exception, FormatsPrintfStyleAndWhatEqualsGetMessage) {
    core::Exception e("Cannot open file %s: %d%% done, %c", "a.xml", 50, 'x');
    EXPECT_STREQ("Cannot open file a.xml: 50% done, x", e.getMessage());
    EXPECT_EQ(e.what(), e.getMessage());
    EXPECT_EQ(&core::Exception::TYPE, &e.getType());
    EXPECT_STREQ("Exception", e.getType().getName());

    core::Exception plain("no conversions");
    EXPECT_STREQ("no conversions", plain.what());
    core::Exception empty("%s", "");
    EXPECT_STREQ("", empty.what());
}

TEST(Exception, LongMessagesAreKeptWhole) {
    std::string big(100000, 'x');
    core::Exception e("[%s]", big.c_str());
    ASSERT_EQ(big.size() + 2, std::strlen(e.getMessage()));
    EXPECT_EQ('[', e.getMessage()[0]);
    EXPECT_EQ(']', e.getMessage()[big.size() + 1]);
}

TEST(Exception, CopiesOwnTheirMessage) {
    std::string name = "first";
    auto* original = new core::Exception("node %s", name.c_str());
    name = "changed";
    core::Exception copy(*original);
    delete original;
    EXPECT_STREQ("node first", copy.getMessage());

    core::Exception assigned("other");
    assigned = copy;
    EXPECT_STREQ("node first", assigned.what());

    try {
        throw copy;
    } catch (const std::exception& caught) {
        EXPECT_STREQ("node first", caught.what());
    }
}

TEST(LexerException, IsACoreExceptionWithOptionalCause) {
    LexerException plain("Unexpected %s at %d", "'>'", 7);
    EXPECT_STREQ("Unexpected '>' at 7", plain.getMessage());
    EXPECT_EQ(nullptr, plain.getCause());
    EXPECT_EQ(&core::Exception::TYPE, &plain.getType());

    LexerException withNullCause("x %d", static_cast<const core::Exception*>(nullptr), 1);
    EXPECT_STREQ("x 1", withNullCause.getMessage());
    EXPECT_EQ(nullptr, withNullCause.getCause());
}

TEST(LexerException, CopiesItsCauseDeeply) {
    auto* cause = new core::Exception("Cannot read %s", "in.xml");
    LexerException outer("Bad include: %s", cause, "in.xml");
    EXPECT_NE(cause, outer.getCause());
    delete cause;
    ASSERT_NE(nullptr, outer.getCause());
    EXPECT_STREQ("Cannot read in.xml", outer.getCause()->getMessage());
    EXPECT_STREQ("Bad include: in.xml", outer.getMessage());

    // A chain of lexer exceptions survives copying at every level.
    auto* top = new LexerException("top", &outer);
    LexerException copy(*top);
    delete top;
    ASSERT_NE(nullptr, copy.getCause());
    auto* middle = dynamic_cast<const LexerException*>(copy.getCause());
    ASSERT_NE(nullptr, middle);
    EXPECT_STREQ("Bad include: in.xml", middle->getMessage());
    ASSERT_NE(nullptr, middle->getCause());
    EXPECT_STREQ("Cannot read in.xml", middle->getCause()->getMessage());

    LexerException assigned("other");
    assigned = copy;
    EXPECT_STREQ("top", assigned.getMessage());
    ASSERT_NE(nullptr, assigned.getCause());
    EXPECT_NE(copy.getCause(), assigned.getCause());
}

TEST(LexerException, ThrowSameThrowsACopyOfItsOwnClass) {
    core::Exception cause("inner");
    LexerException original("outer %d", &cause, 3);
    try {
        original.throwSame();
        FAIL() << "throwSame returned";
    } catch (const LexerException& thrown) {
        EXPECT_NE(&original, &thrown);
        EXPECT_STREQ("outer 3", thrown.getMessage());
        ASSERT_NE(nullptr, thrown.getCause());
        EXPECT_STREQ("inner", thrown.getCause()->getMessage());
    }
    // Caught through the base, as the library's callers do.
    EXPECT_THROW(original.throwSame(), core::Exception);
}
