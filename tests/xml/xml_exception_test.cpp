#include "xml/XMLException.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kavri {
namespace xml {
namespace {

TEST(XMLException, CutsAMessageLongerThanItsBuffer) {
    const std::string longName(2000, 'n');
    XMLException error("Unclosed node %s", longName.c_str());
    // The buffer holds strlen(format) + 1024 bytes, the terminator included.
    const std::string message = error.getMessage();
    ASSERT_EQ(message.size(), std::strlen("Unclosed node %s") + 1023);
    EXPECT_EQ(message, "Unclosed node " + longName.substr(0, message.size() - 14));

    // One that just fits is kept whole.
    const std::string fitting(1025, 'f');
    XMLException whole("%s!", fitting.c_str());
    EXPECT_EQ(std::string(whole.getMessage()), fitting + "!");
}

TEST(XMLException, IsThrownAndCaughtAsCoreExceptionWithItsCause) {
    ::core::Exception cause("Cannot open %s", "a.xml");
    try {
        throw XMLException("Bad include %s", &cause, "a.xml");
    } catch (const ::core::Exception& caught) {
        EXPECT_STREQ(caught.getMessage(), "Bad include a.xml");
        const auto* xml = dynamic_cast<const XMLException*>(&caught);
        ASSERT_NE(xml, nullptr);
        ASSERT_NE(xml->getCause(), nullptr);
        EXPECT_STREQ(xml->getCause()->getMessage(), "Cannot open a.xml");

        // Copies carry the message and a cause of their own.
        XMLException copy(*xml);
        EXPECT_STREQ(copy.getMessage(), "Bad include a.xml");
        ASSERT_NE(copy.getCause(), nullptr);
        EXPECT_NE(copy.getCause(), xml->getCause());
        EXPECT_STREQ(copy.getCause()->getMessage(), "Cannot open a.xml");
    }

    XMLException noCause("Unexpected end %s", static_cast<const ::core::Exception*>(nullptr),
                         "of input");
    EXPECT_STREQ(noCause.getMessage(), "Unexpected end of input");
    EXPECT_EQ(noCause.getCause(), nullptr);
    XMLException numbers("line %d, column %u: %c (%s) ", 3, 14u, 'x', "]]");
    EXPECT_STREQ(numbers.what(), "line 3, column 14: x (]]) ");
    EXPECT_EQ(numbers.getCause(), nullptr);
}

}  // namespace
}  // namespace xml
}  // namespace kavri
