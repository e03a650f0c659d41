// XMLUtils holds debugging aids for the document model. dumpNode writes an
// indented picture of a node and its subtree to the root logger at debug
// level: three blanks per level (counted from the top of the whole tree),
// children before the element's body and CDATA, nothing escaped.
//
// Ownership and threads: it reads the tree and keeps nothing, except one
// process-wide buffer through which long attribute values are logged in
// pieces of 1,024 bytes; callers that dump from several threads at once
// serialise the calls themselves.
//
//   logging::Logger::mROOT_LOGGER->setDebugEnabled(true);
//   XMLUtils::dumpNode(doc->getRootNode());   // pieces go to the logger
#ifndef KAVRIXML_XML_XMLUTILS_H
#define KAVRIXML_XML_XMLUTILS_H

namespace kavri {
namespace xml {

class XNode;

class XMLUtils {
  public:
    XMLUtils() = delete;

    // Each piece of the picture is one Logger::debug entry, logged literally
    // (a percent sign is text); the pieces carry their own line breaks.
    static void dumpNode(const XNode* node);
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLUTILS_H
