// Threads under load: four threads parse their own documents over and over
// (some broken on purpose, so that failures release the reader's lock under
// contention too) while two threads share one XMLWriter and one stream.
// Every tree must match the one a single thread reads, every failure must
// carry its message, and the shared stream must hold whole documents one
// after another. The ThreadSanitizer build (make tsan) runs this test too.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#include "xml_io_support.h"

namespace {

using kavri::stream::MemoryInputStream;
using kavri::xml::Document;
using kavri::xml::DOMParser;

const int PARSES = 500;
const int WRITES = 500;

// Documents that use every part of the reader: declaration, DOCTYPE,
// entities, both quotes, CDATA, comments, nesting, UTF-8.
const char* const DOCUMENTS[4] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<config version=\"2\"><item id='1' name=\"first &amp; best\">one</item>"
    "<item id='2'/><!-- dropped --></config>",
    "<!DOCTYPE LANGUAGE PUBLIC \"-//texts\" 'texts.dtd'>\n"
    "<LANGUAGE><TEXT key=\"hello\"><![CDATA[Hello, %s! <b>&</b>]]></TEXT>"
    "<TEXT key='bye'><![CDATA[Bye]]><![CDATA[ now]]></TEXT></LANGUAGE>",
    "<a><b><c><d><e f='&#233;&#x41;'>deep &lt;text&gt;</e></d></c></b>tail</a>",
    "<list>\xC3\xA9t\xC3\xA9<x n='1'/><x n='2'/><x n='3'/><x n='4'/><x n='5'/></list>",
};

// Each thread's broken document, with the message it must fail with.
const char* const BROKEN[4][2] = {
    {"<config><item></config>", "Unclosed node item"},
    {"<?xml version='1.1'?><a/>", "Only XML 1.0 supported"},
    {"<a><b>", "Unexpected end of input (expected '<')"},
    {"<!DOCTYPE a PUBLIC 'p'><b/>",
     "Root node do not match DOCTYPE declaration. It must be <a>, not <b>"},
};

std::string treeOf(DOMParser& parser, const std::string& text) {
    MemoryInputStream in(text);
    std::unique_ptr<Document> doc(parser.parse(&in));
    std::string dumped;
    doc->getRootNode()->dump(dumped);
    return dumped;
}

std::string failureOf(DOMParser& parser, const std::string& text) {
    MemoryInputStream in(text);
    try {
        delete parser.parse(&in);
        return "parsed";
    } catch (const core::Exception& e) {
        return e.getMessage();
    }
}

std::string written(kavri::xml::XMLWriter& writer, Document* doc) {
    kavri::stream::MemoryOutputStream out;
    writer.write(doc, &out);
    return out.str();
}

TEST(ThreadStress, FourParsingThreadsAndTwoThreadsSharingAWriter) {
    DOMParser single;
    std::string expected[4];
    for (int i = 0; i < 4; ++i) {
        expected[i] = treeOf(single, DOCUMENTS[i]);
    }
    std::unique_ptr<Document> toWrite[2] = {xmlio::parse(DOCUMENTS[0]), xmlio::parse(DOCUMENTS[1])};
    kavri::xml::XMLWriter writer;
    const std::string expectedOutput[2] = {written(writer, toWrite[0].get()),
                                           written(writer, toWrite[1].get())};

    xmlio::LogCapture log;
    std::atomic<int> wrongTrees{0};
    std::atomic<int> wrongFailures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &expected, &wrongTrees, &wrongFailures] {
            DOMParser parser;
            for (int i = 0; i < PARSES; ++i) {
                if (i % 10 == 5) {
                    wrongFailures += failureOf(parser, BROKEN[t][0]) != BROKEN[t][1];
                }
                wrongTrees += treeOf(parser, DOCUMENTS[t]) != expected[t];
            }
        });
    }
    // Both writers write to one stream: the writer's lock must keep each
    // document whole. Now and then a write with nothing to write logs its
    // warning from both threads at once.
    kavri::stream::MemoryOutputStream shared;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([t, &writer, &toWrite, &shared] {
            for (int i = 0; i < WRITES; ++i) {
                writer.write(toWrite[t].get(), &shared);
                if (i % 50 == 0) {
                    writer.write(static_cast<Document*>(nullptr), &shared);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    EXPECT_EQ(wrongTrees.load(), 0);
    EXPECT_EQ(wrongFailures.load(), 0);
    // Cut the shared output into whole documents, counting each kind.
    const std::string& output = shared.str();
    int counts[2] = {0, 0};
    size_t at = 0;
    while (at < output.size()) {
        int kind = output.compare(at, expectedOutput[0].size(), expectedOutput[0]) == 0   ? 0
                   : output.compare(at, expectedOutput[1].size(), expectedOutput[1]) == 0 ? 1
                                                                                          : -1;
        ASSERT_NE(kind, -1) << "interleaved output at byte " << at;
        ++counts[kind];
        at += expectedOutput[kind].size();
    }
    EXPECT_EQ(counts[0], WRITES);
    EXPECT_EQ(counts[1], WRITES);
    EXPECT_EQ(log.pieces(logging::Logger::WARN),
              std::vector<std::string>(2 * WRITES / 50,
                                       "Trying to write NULL or empty XML document. Write "
                                       "skipped."));
}

// Readers of one tree need no lock, and threads on trees of their own never
// meet: while four threads read one shared tree (attribute maps, look-ups,
// walks, writes to their own streams), two others build, change and read
// the attribute maps of trees of their own. ThreadSanitizer sees every
// access.
// A lossless tree makes each element's body on its first getBody(): threads
// asking at once must all see the one body, and none may leak or be lost.
TEST(ThreadStress, ThreadsMakingTheBodiesOfALosslessTreeAtOnce) {
    std::string text = "<list>";
    for (int i = 0; i < 2000; ++i) {
        text += "<x>t" + std::to_string(i) + "<![CDATA[c]]><y>&amp;" + std::to_string(i % 7) +
                "</y> tail</x>";
    }
    text += "</list>";
    DOMParser lenient;
    lenient.setLenient(true);
    const std::string expected = treeOf(lenient, text);
    for (int round = 0; round < 5; ++round) {
        DOMParser lossless;
        lossless.setLossless(true);
        MemoryInputStream in(text);
        std::unique_ptr<Document> doc(lossless.parse(&in));
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&doc, &expected, &wrong] {
                std::string dumped;
                doc->getRootNode()->dump(dumped);
                wrong += dumped != expected;
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(wrong.load(), 0);
    }
}

TEST(ThreadStress, ThreadsReadingOneTreeWhileOthersChangeTheirOwn) {
    std::string text = "<list>";
    for (int i = 0; i < 2000; ++i) {
        text += "<x id='" + std::to_string(i) + "' b='2' a='1'><y z='" + std::to_string(i % 7) +
                "'/></x>";
    }
    text += "</list>";
    std::unique_ptr<Document> doc = xmlio::parse(text);
    kavri::xml::XMLWriter writer(false, false, false);
    const std::string expectedOutput = written(writer, doc.get());
    const auto& items = doc->getRootNode()->getChildren();

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &items, &wrong, &doc, &expectedOutput] {
            for (size_t i = 0; i < items.size(); ++i) {
                const size_t index = t % 2 == 0 ? i : items.size() - 1 - i;
                kavri::xml::XNode* item = items[index];
                const auto& map = item->getAttributes();
                wrong += map.size() != 3 || std::string(map.begin()->first) != "a";
                wrong += item->getAttributeInt("id", -1) != static_cast<int>(index);
                wrong += item->getFirstChild("y")->getAttributeInt("z", -1) !=
                         static_cast<int>(index % 7);
            }
            int nodes = 0;
            doc->getRootNode()->visit([&nodes](kavri::xml::XNode*, int, int) {
                ++nodes;
                return kavri::xml::XNode::VISIT_CONTINUE;
            });
            wrong += nodes != 4001;
            kavri::xml::XMLWriter own(false, false, false);
            wrong += written(own, doc.get()) != expectedOutput;
        });
    }
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&wrong, &text] {
            std::unique_ptr<Document> mine = xmlio::parse(text);
            for (const auto& item : mine->getRootNode()->getChildren()) {
                const auto& map = item->getAttributes();
                item->addAttribute("c", "3");
                item->getAttribute("a")->setName("renamed");
                wrong += !item->removeAttribute("b");
                wrong += map.size() != 3 || std::string(map.begin()->first) != "a";
                wrong += std::string(map.begin()->second->getName()) != "renamed";
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
